#include "device/imaging/gray_measures.h"

#include <algorithm>
#include <cmath>

#include "device/eye_records.h"

static_assert(kWorkBytes % 4 == 0, "the histogram counts four pixels at a time");

int32_t IrisGrayValue(const uint8_t* image, int32_t cx, int32_t cy, int32_t outerRadius, int32_t innerRadius) {
    if (cy <= 0 || outerRadius <= 0 || innerRadius <= 0) {
        return -1;
    }
    const int64_t outer2 = static_cast<int64_t>(outerRadius) * outerRadius;
    const int64_t inner2 = static_cast<int64_t>(innerRadius) * innerRadius;
    // The band of rows and columns, clipped to the image: pixels outside it
    // do not exist and never count.
    const int64_t yEnd = std::min<int64_t>(kWorkSide - 1, static_cast<int64_t>(cy) + innerRadius);
    const int64_t xBegin = std::max<int64_t>(0, static_cast<int64_t>(cx) - outerRadius);
    const int64_t xEnd = std::min<int64_t>(kWorkSide - 1, static_cast<int64_t>(cx) + outerRadius);
    int64_t sum = 0;
    int64_t count = 0;
    for (int64_t y = cy; y <= yEnd; ++y) {
        const int64_t dy2 = (y - cy) * (y - cy);
        const uint8_t* row = image + y * kWorkSide;
        for (int64_t x = xBegin; x <= xEnd; ++x) {
            const int64_t d2 = (x - cx) * (x - cx) + dy2;
            if (d2 > inner2 && d2 < outer2) {
                sum += row[x];
                ++count;
            }
        }
    }
    return count == 0 ? -1 : static_cast<int32_t>(sum / count);
}

int32_t GetGrayRate(const uint8_t* image) {
    // Four partial histograms let consecutive equal pixels count without
    // waiting on each other.
    int32_t partial[4][256] = {};
    for (int32_t i = 0; i < kWorkBytes; i += 4) {
        ++partial[0][image[i]];
        ++partial[1][image[i + 1]];
        ++partial[2][image[i + 2]];
        ++partial[3][image[i + 3]];
    }
    int32_t histogram[256];
    for (int32_t v = 0; v < 256; ++v) {
        histogram[v] = partial[0][v] + partial[1][v] + partial[2][v] + partial[3][v];
    }
    // p and the entropy in double precision; every non-empty bin of 518400
    // pixels has p >= 1.9e-6 and so passes the floor p > 0.000001.
    double entropy = 0.0;
    for (int32_t count : histogram) {
        const double p = static_cast<double>(count) / kWorkBytes;
        if (p > 0.000001) {
            entropy -= p * std::log2(p);
        }
    }
    const int32_t value = static_cast<int32_t>(std::trunc(12.5 * entropy));
    return value > 74 ? value : 0;
}
