// Gray measures that steer the camera exposure.
#pragma once

#include <cstdint>

// Integer mean of the lower iris ring of a 720-wide image: pixels with
// cy <= y <= cy + inner, cx - outer <= x <= cx + outer, and squared distance
// from (cx, cy) above inner^2 and below outer^2. -1 when cy, outer or inner is
// 0 or less, or when no pixel qualifies. Pixels outside 720x720 never count.
int32_t IrisGrayValue(const uint8_t* image, int32_t cx, int32_t cy, int32_t outerRadius, int32_t innerRadius);

// Histogram entropy H (bits) of the 720x720 image: trunc(12.5 * H) when that
// exceeds 74, else 0. So 0 or 75..100.
int32_t GetGrayRate(const uint8_t* image);
