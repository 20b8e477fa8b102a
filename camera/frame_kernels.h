// The inner loops of the frame conversion, over whole runs of pixels: the luma
// gather from YUY2 (every even byte) and the expansion of gray values into
// 24-bit gray pixels, each forwards or mirrored. Vectorised where the CPU
// allows; every variant writes exactly the bytes of the plain loops.
#pragma once

#include <cstddef>
#include <cstdint>

namespace camera::kernels {

// out[i] = yuy2[2 i] for i < count.
void GatherLuma(const uint8_t* yuy2, size_t count, uint8_t* out);
// end[-1 - i] = yuy2[2 i] for i < count: the run mirrored, ending at `end`.
void GatherLumaMirrored(const uint8_t* yuy2, size_t count, uint8_t* end);
// out[3 i .. 3 i + 2] = luma[i] for i < count.
void ExpandGray(const uint8_t* luma, size_t count, uint8_t* out);
// end[-3 (i + 1) .. -3 i - 1] = luma[i] for i < count: pixels placed backwards from `end`.
void ExpandGrayMirrored(const uint8_t* luma, size_t count, uint8_t* end);

}  // namespace camera::kernels
