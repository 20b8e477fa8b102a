// The coarse feature image: every step-th pixel, smoothed with [1 2 1] in both
// directions, summarised per 4 x 4 cell as a mean and three histograms of
// brightness-order codes. Integer arithmetic only.
#include <cstddef>
#include <cstring>

#include "modules/eye_locator_stages.h"

namespace eyeloc {

int32_t Subsample(Context* c, const uint8_t* frame) {
    if (c == nullptr || frame == nullptr || c->sub == nullptr) return kErrSubsample;
    const Geometry& g = c->g;
    for (int32_t y = 0; y < g.rows; ++y) {
        const uint8_t* src = frame + static_cast<int64_t>(g.margin - 1 + y * g.step) * g.width;
        uint8_t* dst = c->sub + y * g.cols;
        for (int32_t x = 0; x < g.cols; ++x) dst[x] = src[x * g.step];
    }
    return 0;
}

int32_t Smooth(Context* c) {
    if (c == nullptr || c->sub == nullptr || c->horizontal == nullptr || c->smooth == nullptr) return kErrSmooth;
    const int32_t R = c->g.rows, C = c->g.cols;
    if (R < 2 || C < 2) return kErrSmooth;
    for (int32_t y = 0; y < R; ++y) {
        const uint8_t* p = c->sub + y * C;
        int32_t* h = c->horizontal + y * C;
        h[0] = 3 * p[0] + p[1];
        for (int32_t x = 1; x < C - 1; ++x) h[x] = p[x - 1] + 2 * p[x] + p[x + 1];
        h[C - 1] = 3 * p[C - 1] + p[C - 2];
    }
    const int32_t* h = c->horizontal;
    int32_t* s = c->smooth;
    for (int32_t x = 0; x < C; ++x) {
        s[x] = (3 * h[x] + h[C + x]) >> 4;
        s[(R - 1) * C + x] = (h[(R - 2) * C + x] + 3 * h[(R - 1) * C + x]) >> 4;
    }
    for (int32_t y = 1; y < R - 1; ++y)
        for (int32_t x = 0; x < C; ++x) s[y * C + x] = (h[(y - 1) * C + x] + 2 * h[y * C + x] + h[(y + 1) * C + x]) >> 4;
    return 0;
}

int32_t CellMeans(Context* c) {
    if (c == nullptr || c->smooth == nullptr || c->planes == nullptr) return kErrCellMeans;
    const Geometry& g = c->g;
    for (int32_t cr = 0; cr < g.cellRows; ++cr)
        for (int32_t cc = 0; cc < g.cellCols; ++cc) {
            int32_t sum = 0;
            for (int32_t dy = 0; dy < 4; ++dy) {
                const int32_t* row = c->smooth + (cr * 4 + dy) * g.cols + cc * 4;
                sum += row[0] + row[1] + row[2] + row[3];
            }
            c->planes[cr * g.cellCols + cc] = sum >> 4;
        }
    return 0;
}

int32_t Histograms(Context* c) {
    if (c == nullptr || c->smooth == nullptr || c->planes == nullptr) return kErrHistograms;
    const Geometry& g = c->g;
    const int32_t N = g.cells, C = g.cols;
    std::memset(c->planes + N, 0, sizeof(int32_t) * static_cast<size_t>(N) * (kPlanes - 1));
    int32_t* histA = c->planes + 1 * N;
    int32_t* histB = c->planes + 17 * N;
    int32_t* histC = c->planes + 25 * N;
    // Pixels beyond the last whole cell belong to no cell.
    const int32_t lastRow = g.rows - 2 < g.cellRows * 4 - 1 ? g.rows - 2 : g.cellRows * 4 - 1;
    const int32_t lastCol = g.cols - 2 < g.cellCols * 4 - 1 ? g.cols - 2 : g.cellCols * 4 - 1;
    for (int32_t y = 1; y <= lastRow; ++y) {
        const int32_t* up = c->smooth + (y - 1) * C;
        const int32_t* mid = c->smooth + y * C;
        const int32_t* down = c->smooth + (y + 1) * C;
        const int32_t cellBase = (y >> 2) * g.cellCols;
        for (int32_t x = 1; x <= lastCol; ++x) {
            const int32_t tl = up[x - 1], t = up[x], tr = up[x + 1];
            const int32_t l = mid[x - 1], r = mid[x + 1];
            const int32_t bl = down[x - 1], b = down[x], br = down[x + 1];
            const int32_t cell = cellBase + (x >> 2);
            const int32_t a = 8 * (tr < bl) + 4 * (t < b) + 2 * (tl < br) + (l < r);
            const int32_t bb = 4 * (bl < br) + 2 * (l < r) + (tl < tr);
            const int32_t cc = 4 * (tr < br) + 2 * (t < b) + (tl < bl);
            ++histA[a * N + cell];
            ++histB[bb * N + cell];
            ++histC[cc * N + cell];
        }
    }
    return 0;
}

int32_t ComputeFeatures(Context* c, const uint8_t* frame) {
    int32_t rc = Subsample(c, frame);
    if (rc == 0) rc = Smooth(c);
    if (rc == 0) rc = CellMeans(c);
    if (rc == 0) rc = Histograms(c);
    return rc;
}

}  // namespace eyeloc
