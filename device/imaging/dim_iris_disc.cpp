#include "device/imaging/dim_iris_disc.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "device/eye_records.h"

namespace {

// One pixel inside the square of side 2R about the centre. The distance is
// the single-precision root of the exact integer squared distance; the inner
// bound 0.9 * R is compared in double precision, the ring's scale d / R is
// computed in single precision ((src * d) / R) and truncated.
uint8_t DimPixel(uint8_t value, int64_t squaredDistance, int32_t radius) {
    const float d = std::sqrt(static_cast<float>(squaredDistance));
    if (d < 0.9 * radius) {
        return static_cast<uint8_t>(std::min(255.0, std::trunc(value * 0.9)));
    }
    if (d < static_cast<float>(radius)) {
        const float scaled = static_cast<float>(value) * d / static_cast<float>(radius);
        return static_cast<uint8_t>(std::trunc(std::max(0.0f, scaled)));
    }
    return value;
}

}  // namespace

void DimIrisDisc(const uint8_t* src, uint8_t* dst, int32_t cx, int32_t cy, int32_t radius) {
    std::memcpy(dst, src, kWorkBytes);
    if (radius <= 0) {
        return;  // d < 0.9 R and d < R never hold: every pixel is copied
    }
    // Pixels with |x - cx| >= R or |y - cy| >= R lie at d >= R and keep their
    // value; only the square about the centre is visited.
    const int64_t r = radius;
    const int32_t y0 = static_cast<int32_t>(std::max<int64_t>(0, cy - r + 1));
    const int32_t y1 = static_cast<int32_t>(std::min<int64_t>(kWorkSide - 1, cy + r - 1));
    const int32_t x0 = static_cast<int32_t>(std::max<int64_t>(0, cx - r + 1));
    const int32_t x1 = static_cast<int32_t>(std::min<int64_t>(kWorkSide - 1, cx + r - 1));
    for (int32_t y = y0; y <= y1; ++y) {
        const int64_t dy = static_cast<int64_t>(y) - cy;
        const uint8_t* in = src + static_cast<int64_t>(y) * kWorkSide;
        uint8_t* out = dst + static_cast<int64_t>(y) * kWorkSide;
        for (int32_t x = x0; x <= x1; ++x) {
            const int64_t dx = static_cast<int64_t>(x) - cx;
            out[x] = DimPixel(in[x], dx * dx + dy * dy, radius);
        }
    }
}
