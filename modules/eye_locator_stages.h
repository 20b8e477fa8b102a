// The eye locator's stages and working context, shared by the public entry
// points, the training tool and the tests (which call the same arithmetic the
// device runs rather than copies of it).
#pragma once

#include <cstdint>

namespace eyeloc {

constexpr int kScales = 6;
constexpr int kLearners = 2048;
constexpr int kSlots = 7;
constexpr int kScaleEntries = kLearners * kSlots;      // 14,336
constexpr int kModelEntries = kScales * kScaleEntries;  // 86,016
constexpr int kPlanes = 33;
constexpr int kMaxCandidates = 10;
constexpr int32_t kAcceptScore = 400000;
constexpr int32_t kRejectScore = -20000;
constexpr int32_t kPrimaryScore = 800000;

// Result codes of the stages.
constexpr int32_t kErrModel = -21;       // no model, or a feature slot outside its list
constexpr int32_t kErrSubsample = -34;
constexpr int32_t kErrSmooth = -35;
constexpr int32_t kErrCellMeans = -36;
constexpr int32_t kErrHistograms = -37;
constexpr int32_t kErrClassify = -38;
constexpr int32_t kErrSuppress = -41;
constexpr int32_t kErrPick = -44;
constexpr int32_t kErrMap = -49;

struct SizeRow {
    int32_t width, height, step, margin;
};
// The supported frame sizes; null when (width, height) is not one of them.
const SizeRow* FindSize(int32_t width, int32_t height);

// Window and reported box of a scale, in subsampled pixels (height x width).
struct ScaleShape {
    int32_t windowH, windowW, boxH, boxW;
};
extern const ScaleShape kScaleShapes[kScales];

struct Geometry {
    int32_t width, height, step, margin;
    int32_t rows, cols;          // subsampled image R x C
    int32_t cellRows, cellCols;  // R4 x C4
    int32_t cells;               // N
    int32_t rowPositions[kScales], colPositions[kScales];
    int32_t listStart[kScales], listLength[kScales];  // in the window feature lists
};
void DeriveGeometry(const SizeRow& row, Geometry& g);

// The three parallel tables, each kModelEntries long.
struct Model {
    const int16_t* feature;
    const int16_t* threshold;
    const int16_t* leaf;
};

struct Candidate {
    int32_t y, x, h, w, score;
};

struct Context {
    Geometry g;
    uint8_t* sub;           // R x C subsampled pixels
    int32_t* horizontal;    // R x C, first smoothing pass
    int32_t* smooth;        // R x C
    int32_t* planes;        // kPlanes x N
    int32_t* lists;         // every scale's window feature list
    int32_t usedLearners[kScales];  // learners after the last non-zero one add nothing
    Model model;
    Candidate candidates[kMaxCandidates];
    int32_t count;
};

// Allocates a context for a supported size (null when out of memory) and
// frees it; the model is installed separately.
Context* CreateContext(const SizeRow& row);
void DestroyContext(Context* c);
// Checks the tables against the context's feature lists and installs them.
int32_t InstallModel(Context* c, const Model& model);

// Feature stages (features.cpp).
int32_t Subsample(Context* c, const uint8_t* frame);
int32_t Smooth(Context* c);
int32_t CellMeans(Context* c);
int32_t Histograms(Context* c);
int32_t ComputeFeatures(Context* c, const uint8_t* frame);  // the four above

// Classifier and post-processing (classify.cpp).
// The window's running score, evaluated as the detector does (early stop included).
int32_t ScoreWindow(const Context* c, int scale, int32_t i, int32_t j);
int32_t Classify(Context* c);
int32_t Suppress(Context* c);
// 0 no candidate, 1 one eye, 2 two eyes (the first two candidates).
int32_t Pick(Context* c);
int32_t MapToFrame(const Context* c, int32_t eyes, int32_t* result);

}  // namespace eyeloc
