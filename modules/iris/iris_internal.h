// Internal pieces of the segmentation shared by its source files.
#pragma once

#include "modules/iris/iris_math.h"
#include "modules/iris/iris_segmentation.h"

namespace iris {

constexpr int kRays = 128;      // rays of an edge search, evenly spaced
constexpr int kMaxProfile = 512;
constexpr int kDownShift = 2;    // the coarse image is 4 x 4 block means

struct View {
    const uint8_t* p;
    int w, h, s;
    int At(int x, int y) const { return p[y * s + x]; }
};

// Bilinear sample, or -1 outside the image.
inline float Sample(const View& v, float x, float y) {
    if (!(x >= 0) || !(y >= 0) || x > v.w - 1.001f || y > v.h - 1.001f) return -1;
    const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
    const float fx = x - x0, fy = y - y0;
    const uint8_t* r0 = v.p + y0 * v.s + x0;
    const uint8_t* r1 = r0 + v.s;
    const float top = r0[0] + (r0[1] - r0[0]) * fx;
    const float bottom = r1[0] + (r1[1] - r1[0]) * fx;
    return top + (bottom - top) * fy;
}

struct Circle {
    float x = 0, y = 0, r = 0;
};

struct EdgePoints {
    float x[kRays], y[kRays];
    int n = 0;
};

// Least-squares circle through the points, dropping outliers in rounds.
// False when fewer than `minPoints` points remain.
bool FitCircleRobust(EdgePoints& pts, int minPoints, Circle* out);

// Workspace layout, carved from the caller's bytes.
struct Workspace {
    uint8_t* filled;     // w x h: the image with its specular spots filled in
    uint8_t* lineMarks;  // w: marks of one row
    uint8_t* coarse;     // (w >> 2) x (h >> 2) block means of the filled image
    int32_t* integral;   // (cw + 1) x (ch + 1)
    int cw, ch;
};

// Specular spots: narrow bright peaks, in runs of at most kMaxSpot pixels
// (with their fringe) along a row, bridged in `filled`.
constexpr int kMaxSpot = 28;
void FillSpecular(const View& v, uint8_t* filled, uint8_t* marks);

// Dark discs with a brighter surround: pupil candidates, a few per size
// band so that lash clusters and dark corners cannot crowd the pupil out.
constexpr int kMaxCandidates = 12;
struct Candidates {
    Circle c[kMaxCandidates];
    float score[kMaxCandidates];
    int n = 0;
};

// Dark discs with a brighter surround, best first is not implied.
int CoarsePupils(const View& v, const Workspace& ws, float minR, float maxR, Candidates* out);
// `support`: edge points on the fitted circle, of kRays.
bool RefinePupil(const View& v, Circle* pupil, int* pupilMean, int* support);
constexpr int kLimbusRays = 48;  // rays of the fine limbus search, 24 a side
// The limbus: the circle near-concentric with the pupil with the most
// dark-to-bright evidence on the lateral sectors. `evidence` is its mean
// saturated radial step, `support` the rays that carry an edge on it.
bool FindLimbus(const View& v, const Workspace& ws, const Circle& pupil, float minR, float maxR, Circle* iris,
                int* support, float* evidence);
void Measure(const View& v, IrisSegmentation* seg);

// Mean gray of the iris ring and of the sclera beside it, on the lateral
// sectors (lids rarely reach there).
struct Levels {
    int iris, sclera;
};
Levels LateralLevels(const View& v, const Circle& pupil, const Circle& iris);
void MeasureImage(const View& v, IrisSegmentation* seg);

}  // namespace iris
