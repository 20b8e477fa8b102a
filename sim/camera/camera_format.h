// The stream of the virtual eye cameras: 960x720 YUY2 at 30 frames per
// second, as the device's two USB cameras deliver it.
#pragma once

#include <cstdint>

namespace k7qsim {

constexpr int kCameraWidth = 960;
constexpr int kCameraHeight = 720;
constexpr int kYuy2FrameBytes = kCameraWidth * kCameraHeight * 2;  // 1,382,400
constexpr int kFramesPerSecond = 30;
constexpr int64_t kFrameDuration100ns = 10000000 / kFramesPerSecond;  // 333,333

// Packs an 8-bit gray image (width x height, top row first) into YUY2 with
// neutral chroma: luma bytes at even offsets, U and V at 128.
void PackGrayToYuy2(const uint8_t* gray, int width, int height, uint8_t* yuy2);

// The frame counter rides in the chroma bytes of the first row, so the luma
// plane stays exactly the rendered scene: 32 bits over 8 chroma bytes, four
// bits each, as 0x80 + nibble (so the stamp is nearly neutral colour).
constexpr int kCounterChromaBytes = 8;
void StampFrameCounter(uint32_t counter, uint8_t* yuy2);
// False when the first row does not carry a stamp.
bool ReadFrameCounter(const uint8_t* yuy2, int length, uint32_t* counter);

}  // namespace k7qsim
