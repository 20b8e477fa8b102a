// The 640x480 iris view cut out of the 720x720 working image.
#pragma once

#include <cstdint>

constexpr int32_t kCropNullImage = -71;

// Origin of the view around (cx, cy), flush with the image's edge when the
// centre lies too close to it: x0 in 0..80, y0 in 0..240.
int32_t CropOriginX(int32_t cx);
int32_t CropOriginY(int32_t cy);

// Copies 480 rows of 640 bytes from (CropOriginX(cx), CropOriginY(cy)) of the
// 720x720 src into dst. -71 when src or dst is null, else 0.
int32_t CropTo640x480(const uint8_t* src, int32_t cx, int32_t cy, uint8_t* dst);
