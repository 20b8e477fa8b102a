// MeasureMotionBlur: the aspect ratio of the strongest compact edge structure
// on an 80x80 reduction of the iris square, and of the bright patch around
// it once turned so that the structure's box diagonal lies level.
#include "device/imaging/motion_blur.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

namespace {

constexpr float kPi = 3.1415926f;
constexpr int32_t kBoxMargin = 5;
constexpr uint8_t kBrightLevel = 200;
constexpr int32_t kMinStructureCells = 6;  // of the 80 across the iris square
constexpr float kRoundPatch = 0.85f;
constexpr float kSharpSmear = 6.5f;      // pixels
constexpr int32_t kPatchMargin = 12;    // pixels around the structure

using Block = std::unique_ptr<uint8_t[]>;

Block Allocate(size_t bytes) { return Block(new (std::nothrow) uint8_t[bytes]); }

// Copies rows top..top+h-1 and columns left..left+w-1 of a srcW x srcH image
// into a w x h image; pixels outside the source read as 0.
void CopyWindow(const uint8_t* src, int64_t srcW, int64_t srcH, int64_t left, int64_t top, int32_t w, int32_t h,
                uint8_t* dst) {
    for (int32_t y = 0; y < h; ++y) {
        uint8_t* out = dst + static_cast<size_t>(y) * w;
        const int64_t sy = top + y;
        if (sy < 0 || sy >= srcH) {
            std::fill(out, out + w, uint8_t{0});
            continue;
        }
        for (int32_t x = 0; x < w; ++x) {
            const int64_t sx = left + x;
            out[x] = (sx >= 0 && sx < srcW) ? src[sy * srcW + sx] : 0;
        }
    }
}

// A cell of the reduced square in A's coordinates: one scale w / 80 for
// both axes, the product truncated toward zero.
int32_t CellToPixel(int32_t cell, int32_t w) {
    const float scale = static_cast<float>(w) / 80.0f;
    return static_cast<int32_t>(static_cast<float>(cell) * scale);
}

int32_t Rows(const BlobBox& b) { return b.bottom - b.top + 1; }
int32_t Cols(const BlobBox& b) { return b.right - b.left + 1; }

// Stage 1: box of the strongest-edge blob on the 80x80 reduction of A.
int32_t EdgeBlobBox(const uint8_t* a, int32_t w, int32_t h, BlobBox* box) {
    const size_t blobBytes = BlobScratchBytes(kReducedSide, kReducedSide);
    Block block = Allocate(blobBytes + 2 * kReducedBytes);
    if (!block) return kBlurNoMemory;
    uint8_t* reduced = block.get() + blobBytes;
    uint8_t* edges = reduced + kReducedBytes;
    ResampleTo80(a, w, h, reduced);
    StrongEdgeMap(reduced, edges);
    const BlobScratch scratch = CarveBlobScratch(block.get(), kReducedSide, kReducedSide);
    return LargestBlobBox(edges, kReducedSide, kReducedSide, box, scratch) == 0 ? kBlurOk : kBlurNoStructure;
}

// Stage 2: box of the largest bright blob around box1, turned by theta.
int32_t BrightBlobBox(const uint8_t* a, int32_t w, int32_t h, const BlobBox& box1, BlobBox* box2) {
    // The enlarged box in A's coordinates.
    const int32_t top = CellToPixel(box1.top, w) - kBoxMargin, bottom = CellToPixel(box1.bottom, w) + kBoxMargin;
    const int32_t left = CellToPixel(box1.left, w) - kBoxMargin, right = CellToPixel(box1.right, w) + kBoxMargin;
    const int32_t wd = right - left, hd = bottom - top;

    // rows1 / cols1 divided in single precision; degrees with pi = 3.1415926.
    const float theta = std::atan(static_cast<float>(Rows(box1)) / static_cast<float>(Cols(box1))) * 180.0f / kPi;
    const float radians = theta * kPi / 180.0f;
    const float c = std::fabs(std::cos(radians)), s = std::fabs(std::sin(radians));
    const auto canvasX = static_cast<int32_t>(c * static_cast<float>(wd) + s * static_cast<float>(hd));
    const auto canvasY = static_cast<int32_t>(s * static_cast<float>(wd) + c * static_cast<float>(hd));
    if (canvasX < 1 || canvasY < 1) return kBlurNoStructure;

    const size_t canvas = static_cast<size_t>(canvasX) * canvasY;
    const size_t blobBytes = BlobScratchBytes(canvasY, canvasX);
    Block block = Allocate(blobBytes + canvas + static_cast<size_t>(wd) * hd);
    if (!block) return kBlurNoMemory;
    uint8_t* turned = block.get() + blobBytes;
    uint8_t* window = turned + canvas;
    CopyWindow(a, w, h, left, top, wd, hd, window);
    TurnImage(window, wd, hd, turned, canvasX, canvasY, theta);
    for (size_t i = 0; i < canvas; ++i) turned[i] = turned[i] >= kBrightLevel ? 255 : 0;
    const BlobScratch scratch = CarveBlobScratch(block.get(), canvasY, canvasX);
    return LargestBlobBox(turned, canvasY, canvasX, box2, scratch) == 0 ? kBlurOk : kBlurNoStructure;
}

// How far the bright patch at box1 is drawn out, looked at in a window
// around box1 wide enough to hold the whole patch (negative: no whole patch).
int32_t PatchSmear(const uint8_t* a, int32_t w, int32_t h, const BlobBox& box1, float* smear) {
    const int32_t left = std::max(0, CellToPixel(box1.left, w) - kPatchMargin);
    const int32_t top = std::max(0, CellToPixel(box1.top, w) - kPatchMargin);
    const int32_t right = std::min(w, CellToPixel(box1.right + 1, w) + kPatchMargin);
    const int32_t bottom = std::min(h, CellToPixel(box1.bottom + 1, w) + kPatchMargin);
    const int32_t wd = right - left, hd = bottom - top;
    *smear = -1.0f;
    if (wd < 5 || hd < 5) return kBlurOk;
    const size_t windowBytes = static_cast<size_t>(wd) * hd, patchBytes = BlobScratchBytes(hd, wd) + windowBytes;
    Block block = Allocate(patchBytes + windowBytes);
    if (!block) return kBlurNoMemory;
    uint8_t* window = block.get() + patchBytes;
    CopyWindow(a, w, h, left, top, wd, hd, window);
    if (!BrightPatchSmear(window, wd, hd, block.get(), smear)) *smear = -1.0f;
    return kBlurOk;
}

}  // namespace

float BoxAspectRatio(const BlobBox& b) {
    return static_cast<float>(std::min(Rows(b), Cols(b))) / static_cast<float>(std::max(Rows(b), Cols(b)));
}

int32_t MeasureMotionBlur(float* score, const uint8_t* image, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (score == nullptr || image == nullptr) return kBlurNullArgument;
    // The sizes in 64 bits: a negative size (unsigned, a huge one) fails as
    // one of 720 or more does.
    const int64_t width = static_cast<int64_t>(x2) - x1, height = static_cast<int64_t>(y2) - y1;
    if (width <= 0 || height <= 0 || width >= kBlurImageWidth || height >= kBlurImageWidth) {
        return kBlurBadSize;
    }
    const auto w = static_cast<int32_t>(width), h = static_cast<int32_t>(height);
    Block a = Allocate(static_cast<size_t>(w) * h);
    if (!a) return kBlurNoMemory;
    CopyWindow(image, kBlurImageWidth, kBlurImageHeight, x1, y1, w, h, a.get());

    BlobBox box1{}, box2{};
    float smear = -1.0f;
    int32_t status = EdgeBlobBox(a.get(), w, h, &box1);
    if (status != kBlurOk) return status;
    status = BrightBlobBox(a.get(), w, h, box1, &box2);
    if (status != kBlurOk) return status;
    status = PatchSmear(a.get(), w, h, box1, &smear);
    if (status != kBlurOk) return status;
    // The edge structure's box decides only where it has a shape to read.
    // A structure of a few cells (a small illuminator reflection on the
    // reduced square) is rounding: 3 x 2 cells give 0.67 on a sharp image.
    // Nor does it when a whole bright patch beside it is drawn out by less
    // than kSharpSmear pixels: a ring of illuminator dots makes any box, but
    // motion draws every reflection out along its path. The patch's own box
    // still decides when it is stretched.
    const float ratio2 = BoxAspectRatio(box2);
    const bool smallStructure = std::max(Rows(box1), Cols(box1)) < kMinStructureCells && ratio2 >= kRoundPatch;
    const bool sharpReflection = smear >= 0.0f && smear <= kSharpSmear;
    const bool unreadable = smallStructure || sharpReflection;
    const float ratio1 = unreadable ? 1.0f : BoxAspectRatio(box1);
    *score = ratio2 > ratio1 ? ratio1 : ratio2;
    return kBlurOk;
}
