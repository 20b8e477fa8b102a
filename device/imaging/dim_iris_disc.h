// Dimming of the iris disc before the second iris detection.
#pragma once

#include <cstdint>

// Over all 720x720 pixels, with d the pixel's distance from (cx, cy) as a
// float: inside 0.9 * radius the value is scaled by 0.9, in the ring up to
// radius by d / radius, outside it is copied. src and dst are distinct.
void DimIrisDisc(const uint8_t* src, uint8_t* dst, int32_t cx, int32_t cy, int32_t radius);
