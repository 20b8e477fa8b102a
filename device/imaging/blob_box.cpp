// LargestBlobBox: 8-connected blobs of 255 labelled by breadth-first floods
// over linear indices, the largest one framed by its row and column sums.
#include <cmath>
#include <cstring>

#include "device/imaging/motion_blur.h"

namespace {

// (row, column) neighbour offsets in flood order.
constexpr int32_t kNeighbours[8][2] = {{0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}, {-1, -1}, {-1, 0}, {-1, 1}};

// Floods from `start` by linear index: a neighbour is p + dr * cols + dc, so
// the last pixel of a row and the first of the next touch. 0 < q < n.
void Flood(const uint8_t* image, int32_t n, int32_t cols, int32_t start, uint8_t label, const BlobScratch& s) {
    int32_t offsets[8];
    for (int32_t k = 0; k < 8; ++k) offsets[k] = kNeighbours[k][0] * cols + kNeighbours[k][1];
    int32_t head = 0, tail = 0;
    s.labels[start] = label;
    s.queue[tail++] = start;
    while (head < tail) {
        const int32_t p = s.queue[head++];
        for (int32_t offset : offsets) {
            const int32_t q = p + offset;
            if (q > 0 && q < n && image[q] == 255 && s.labels[q] == 0) {
                s.labels[q] = label;
                s.queue[tail++] = q;  // labelled when queued: each pixel at most once
            }
        }
    }
}

// The last k in 1..count-2 with sums[k] != 0 and sums[k + towards] == 0
// (the sums outside 1..count-2 are 0); -1 when there is none.
int32_t LastRunEnd(const uint8_t* sums, int32_t count, int32_t towards) {
    int32_t found = -1;
    for (int32_t k = 1; k <= count - 2; ++k) {
        if (sums[k] != 0 && sums[k + towards] == 0) found = k;
    }
    return found;
}

}  // namespace

size_t BlobScratchBytes(int32_t rows, int32_t cols) {
    const size_t n = static_cast<size_t>(rows) * cols;
    return n * sizeof(int32_t) + n + rows + cols;
}

BlobScratch CarveBlobScratch(uint8_t* block, int32_t rows, int32_t cols) {
    const size_t n = static_cast<size_t>(rows) * cols;
    BlobScratch s;
    s.queue = reinterpret_cast<int32_t*>(block);
    s.labels = block + n * sizeof(int32_t);
    s.rowSums = s.labels + n;
    s.colSums = s.rowSums + rows;
    return s;
}

int32_t LargestBlobBox(const uint8_t* image, int32_t rows, int32_t cols, BlobBox* box, const BlobScratch& s) {
    const int32_t n = rows * cols;
    std::memset(s.labels, 0, static_cast<size_t>(n));
    // Labels are 8 bits wide. 0 means unlabelled, so after 255 the count
    // goes on at 1: blobs that share a label are counted as one.
    uint8_t label = 0;
    bool labelled = false;
    for (int32_t r = 1; r < rows - 1; ++r) {
        for (int32_t c = 1; c < cols - 1; ++c) {
            const int32_t p = r * cols + c;
            if (image[p] == 255 && s.labels[p] == 0) {
                label = label == 255 ? 1 : static_cast<uint8_t>(label + 1);
                labelled = true;
                Flood(image, n, cols, p, label, s);
            }
        }
    }
    if (!labelled) return -1;

    int32_t counts[256] = {};
    for (int32_t p = 0; p < n; ++p) ++counts[s.labels[p]];
    int32_t winner = 1;
    for (int32_t l = 2; l < 256; ++l) {
        if (counts[l] > counts[winner]) winner = l;  // the lowest label keeps a tie
    }

    // Mask sums kept in 8 bits: row k sums the whole row k for k in
    // 1..rows-2, column c the whole column c for c in 1..cols-2.
    std::memset(s.rowSums, 0, static_cast<size_t>(rows));
    std::memset(s.colSums, 0, static_cast<size_t>(cols));
    for (int32_t r = 0; r < rows; ++r) {
        const uint8_t* line = s.labels + static_cast<size_t>(r) * cols;
        for (int32_t c = 0; c < cols; ++c) {
            if (line[c] != winner) continue;
            if (r >= 1 && r <= rows - 2) ++s.rowSums[r];
            if (c >= 1 && c <= cols - 2) ++s.colSums[c];
        }
    }
    const int32_t top = LastRunEnd(s.rowSums, rows, -1), bottom = LastRunEnd(s.rowSums, rows, +1);
    const int32_t left = LastRunEnd(s.colSums, cols, -1), right = LastRunEnd(s.colSums, cols, +1);
    if (top >= 0) box->top = top, box->bottom = bottom;
    if (left >= 0) box->left = left, box->right = right;
    return top >= 0 && left >= 0 ? 0 : -2;
}

bool BrightPatchSmear(const uint8_t* image, int32_t w, int32_t h, uint8_t* block, float* smear) {
    constexpr uint8_t kBright = 200;
    constexpr int64_t kMinPixels = 6;
    const BlobScratch s = CarveBlobScratch(block, h, w);
    uint8_t* mask = block + BlobScratchBytes(h, w);
    for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) mask[i] = image[i] >= kBright ? 255 : 0;
    BlobBox box{};
    if (LargestBlobBox(mask, h, w, &box, s) == -1) return false;
    // The largest patch clear of the border: one that reaches it is cut off
    // there, and its shape says nothing.
    int64_t counts[256] = {};
    bool cut[256] = {};
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* labels = s.labels + static_cast<size_t>(y) * w;
        const bool edgeRow = y <= 1 || y >= h - 2;
        for (int32_t x = 0; x < w; ++x) {
            ++counts[labels[x]];
            cut[labels[x]] |= edgeRow || x <= 1 || x >= w - 2;
        }
    }
    int32_t winner = 0;
    for (int32_t l = 1; l < 256; ++l) {
        if (cut[l] || counts[l] < kMinPixels) continue;
        if (winner == 0 || counts[l] > counts[winner]) winner = l;
    }
    if (winner == 0) return false;
    int64_t n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* labels = s.labels + static_cast<size_t>(y) * w;
        for (int32_t x = 0; x < w; ++x) {
            if (labels[x] != winner) continue;
            ++n, sx += x, sy += y, sxx += int64_t{x} * x, syy += int64_t{y} * y, sxy += int64_t{x} * y;
        }
    }
    const double count = static_cast<double>(n), mx = sx / count, my = sy / count;
    const double cxx = sxx / count - mx * mx, cyy = syy / count - my * my, cxy = sxy / count - mx * my;
    // The difference of the two eigenvalues of the covariance.
    const double spread = std::sqrt((cxx - cyy) * (cxx - cyy) + 4.0 * cxy * cxy);
    *smear = static_cast<float>(std::sqrt(12.0 * spread));
    return true;
}
