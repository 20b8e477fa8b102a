// Degraded versions of a good eye window, for the quality checks: what a
// person at a real desk does to an image (moves, stands out of focus, half
// closes the eye, is lit too little or too much, wears glasses).
#pragma once

#include <cstdint>

namespace iriseval {

enum class Degradation { kMotion, kDefocus, kLid, kUnder, kOver, kGlare, kCount };
const char* DegradationName(Degradation d);

// Writes the degraded copy of the 720 x 720 `window` into `out`; (cx, cy, r)
// is the iris the degradation aims at.
void Degrade(const uint8_t* window, Degradation d, int cx, int cy, int r, uint8_t* out);

}  // namespace iriseval
