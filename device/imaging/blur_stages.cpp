// The image stages of the motion blur measure: the 80x80 reduction, the
// strong-edge map and the turn onto a larger canvas.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "device/imaging/motion_blur.h"

namespace {

// Source coordinate of output sample i of 80 over n input samples, in single
// precision: ((i + 0.5) * n) / 80 - 0.5. Before the first input sample (only
// for n < 80) the coordinate is held at 0 so that no weight is negative.
float SourceCoordinate(int32_t i, int32_t n) {
    const float f = (static_cast<float>(i) + 0.5f) * static_cast<float>(n) / 80.0f - 0.5f;
    return f < 0.0f ? 0.0f : f;
}

// Integer part and the weight of the next sample in 1/2048 units, truncated.
void SplitCoordinate(float f, int32_t* index, int32_t* weight) {
    *index = static_cast<int32_t>(f);
    *weight = static_cast<int32_t>((f - static_cast<float>(*index)) * 2048.0f);
}

}  // namespace

void ResampleTo80(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst) {
    for (int32_t i = 0; i < kReducedSide; ++i) {
        int32_t y0, wy;
        SplitCoordinate(SourceCoordinate(i, h), &y0, &wy);
        // The last sample's neighbour lies past the image only for n <= 80,
        // where its weight is 0 or the edge row stands in for it.
        const int32_t y1 = y0 + 1 < h ? y0 + 1 : h - 1;
        const uint8_t* row0 = src + static_cast<size_t>(y0) * w;
        const uint8_t* row1 = src + static_cast<size_t>(y1) * w;
        for (int32_t j = 0; j < kReducedSide; ++j) {
            int32_t x0, wx;
            SplitCoordinate(SourceCoordinate(j, w), &x0, &wx);
            const int32_t x1 = x0 + 1 < w ? x0 + 1 : w - 1;
            const int32_t left = (2048 - wy) * row0[x0] + wy * row1[x0];
            const int32_t right = (2048 - wy) * row0[x1] + wy * row1[x1];
            dst[i * kReducedSide + j] = static_cast<uint8_t>((left * (2048 - wx) + right * wx) >> 22);
        }
    }
}

namespace {

// One-sided difference at the first and last sample, half the central
// difference (shifted) in between.
int32_t Difference(const uint8_t* line, int32_t k, int32_t stride) {
    constexpr int32_t last = kReducedSide - 1;
    if (k == 0) return std::abs(line[stride] - line[0]);
    if (k == last) return std::abs(line[last * stride] - line[(last - 1) * stride]);
    return std::abs(line[(k + 1) * stride] - line[(k - 1) * stride]) >> 1;
}

}  // namespace

void StrongEdgeMap(const uint8_t* reduced, uint8_t* edges) {
    constexpr int32_t n = kReducedSide;
    uint8_t magnitude[kReducedBytes];
    int32_t histogram[256] = {};
    for (int32_t y = 0; y < n; ++y) {
        for (int32_t x = 0; x < n; ++x) {
            const int32_t gx = Difference(reduced + y * n, x, 1);
            const int32_t gy = Difference(reduced + x, y, n);
            // The root of an integer below 2^17 truncates the same in single
            // and double precision; the magnitude wraps to 8 bits.
            const auto m = static_cast<uint8_t>(static_cast<int32_t>(std::sqrt(static_cast<float>(gx * gx + gy * gy))));
            magnitude[y * n + x] = m;
            ++histogram[m];
        }
    }
    int32_t level = 0;
    for (int32_t running = 0, i = 0; i < 256; ++i) {
        running += histogram[i];
        if (running > 6350) {
            level = i;
            break;
        }
    }
    std::memset(edges, 0, kReducedBytes);
    for (int32_t y = 1; y < n - 1; ++y) {
        for (int32_t x = 1; x < n - 1; ++x) {
            if (magnitude[y * n + x] > level) edges[y * n + x] = 255;
        }
    }
}

void TurnImage(const uint8_t* src, int32_t w, int32_t h, uint8_t* dst, int32_t canvasX, int32_t canvasY,
               float thetaDegrees) {
    constexpr float kPi = 3.1415926f;
    const float radians = thetaDegrees * kPi / 180.0f;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    // The centres are integer halves (X / 2, Y / 2, W' / 2, H' / 2 in integer
    // division); start values and steps are the float values times 65536,
    // truncated, then accumulated in 16.16 fixed point.
    const float halfX = static_cast<float>(canvasX / 2);
    const float halfY = static_cast<float>(canvasY / 2);
    const float startX = -c * halfX + s * halfY + static_cast<float>(w / 2);
    const float startY = -s * halfX - c * halfY + static_cast<float>(h / 2);
    const auto fixed = [](float v) { return static_cast<int32_t>(v * 65536.0f); };
    const int32_t columnStepX = fixed(c), columnStepY = fixed(s);
    const int32_t rowStepX = fixed(-s), rowStepY = fixed(c);
    int32_t rowX = fixed(startX), rowY = fixed(startY);
    std::memset(dst, 0, static_cast<size_t>(canvasX) * canvasY);
    for (int32_t v = 0; v < canvasY; ++v, rowX += rowStepX, rowY += rowStepY) {
        uint8_t* out = dst + static_cast<size_t>(v) * canvasX;
        int32_t fx = rowX, fy = rowY;
        for (int32_t u = 0; u < canvasX; ++u, fx += columnStepX, fy += columnStepY) {
            const int32_t ix = fx >> 16;  // arithmetic shift: the floor, also below 0
            const int32_t iy = fy >> 16;
            if (ix >= 0 && ix < w && iy >= 0 && iy < h) out[u] = src[static_cast<size_t>(iy) * w + ix];
        }
    }
}
