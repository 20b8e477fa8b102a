#include "device/imaging/sharpen.h"

#include <cstring>

#include "device/eye_records.h"

void Sharpen(const uint8_t* src, uint8_t* dst) {
    constexpr int32_t n = kWorkSide;
    std::memcpy(dst, src, kWorkBytes);
    for (int32_t y = 1; y < n - 1; ++y) {
        const uint8_t* above = src + (y - 1) * n;
        const uint8_t* row = src + y * n;
        const uint8_t* below = src + (y + 1) * n;
        uint8_t* out = dst + y * n;
        for (int32_t x = 1; x < n - 1; ++x) {
            const int32_t neighbours = above[x - 1] + above[x] + above[x + 1] + row[x - 1] + row[x + 1] +
                                       below[x - 1] + below[x] + below[x + 1];
            int32_t v = 2 * row[x] - (neighbours >> 3);
            v = v < 0 ? 0 : (v > 255 ? 255 : v);
            out[x] = static_cast<uint8_t>(v);
        }
    }
}
