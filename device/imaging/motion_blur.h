// The motion blur measure: how close to square the strongest compact edge
// structure around the iris and the bright patch around it are. Motion smears
// such a structure into an elongated one. Plain integer and float arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>

enum MotionBlurStatus : int32_t {
    kBlurOk = 0,
    kBlurNullArgument = -1,
    kBlurBadSize = -2,     // width or height 0, 720 or more, or negative
    kBlurNoMemory = -4,    // scratch not available
    kBlurNoStructure = -5, // no blob found (a flat square): treated as blurred
};

constexpr int32_t kBlurImageWidth = 720;   // the working image's row length
constexpr int32_t kBlurImageHeight = 720;
constexpr int32_t kReducedSide = 80;
constexpr int32_t kReducedBytes = kReducedSide * kReducedSide;

// Inclusive rows and columns.
struct BlobBox {
    int32_t top, bottom, left, right;
};

// min(rows, cols) / max(rows, cols) of a box, in single precision.
float BoxAspectRatio(const BlobBox& box);

// The eye analysis's verdict: any non-zero status, or a score below 0.7
// compared in double precision, is a blurred image. 7/10 in single precision
// lies just below 0.7 and so counts as blurred.
constexpr double kBlurAcceptScore = 0.7;
inline bool IsMotionBlurred(int32_t status, float score) {
    return status != kBlurOk || static_cast<double>(score) < kBlurAcceptScore;
}

// Scores the square (x1, y1)-(x2, y2) (rows y1..y2-1, columns x1..x2-1) of the
// 720x720 image: 0 and *score in (0, 1], or a negative status with *score
// untouched. Parts of the square outside the image read as 0.
int32_t MeasureMotionBlur(float* score, const uint8_t* image, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// Bilinear reduction of a w x h image to 80x80 with weights in 1/2048 units.
void ResampleTo80(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst);

// 80x80 map of 255 where the gradient magnitude exceeds the level below which
// 6350 of the 6400 pixels lie (border rows and columns stay 0).
void StrongEdgeMap(const uint8_t* reduced, uint8_t* edges);

// Scratch for LargestBlobBox over a rows x cols image: labels and queue hold
// rows * cols entries, rowSums rows and colSums cols. BlobScratchBytes and
// CarveBlobScratch lay them out in one block (aligned as operator new aligns).
struct BlobScratch {
    int32_t* queue;
    uint8_t* labels;
    uint8_t* rowSums;
    uint8_t* colSums;
};
size_t BlobScratchBytes(int32_t rows, int32_t cols);
BlobScratch CarveBlobScratch(uint8_t* block, int32_t rows, int32_t cols);

// Labels the 8-connected blobs of 255 (labels 8 bits wide), keeps the largest
// (lowest label on ties) and writes its box from the 8-bit row and column
// sums of its mask. 0 box written; -1 no blob, box unchanged; -2 the sums of
// one axis all wrapped to 0, that axis's fields unchanged. Every blob's
// label stays in scratch.labels.
int32_t LargestBlobBox(const uint8_t* image, int32_t rows, int32_t cols, BlobBox* box, const BlobScratch& scratch);

// How far the largest bright (>= 200) patch wholly inside a w x h image is
// drawn out: sqrt(12 (l1 - l2)) over its second moments l1 >= l2, the length
// of a straight smear that turns a round patch into this one. False when no
// such patch of a few pixels or more lies clear of the border. `block` holds
// BlobScratchBytes(h, w) + w * h bytes, aligned as operator new aligns.
bool BrightPatchSmear(const uint8_t* image, int32_t w, int32_t h, uint8_t* block, float* smear);

// Turns the w x h image src by thetaDegrees about its centre onto the X x Y
// canvas dst (zero where no source pixel maps), in 16.16 fixed point.
void TurnImage(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst, int32_t canvasX, int32_t canvasY,
               float thetaDegrees);
