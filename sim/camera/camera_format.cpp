#include "sim/camera/camera_format.h"

namespace k7qsim {

void PackGrayToYuy2(const uint8_t* gray, int width, int height, uint8_t* yuy2) {
    const int pixels = width * height;
    for (int i = 0; i < pixels; ++i) {
        yuy2[2 * i] = gray[i];
        yuy2[2 * i + 1] = 128;
    }
}

// Chroma bytes sit at odd offsets: 1, 3, 5, ...
void StampFrameCounter(uint32_t counter, uint8_t* yuy2) {
    for (int i = 0; i < kCounterChromaBytes; ++i) {
        const uint32_t nibble = (counter >> (4 * i)) & 0xFu;
        yuy2[2 * i + 1] = static_cast<uint8_t>(0x80u + nibble);
    }
}

bool ReadFrameCounter(const uint8_t* yuy2, int length, uint32_t* counter) {
    if (yuy2 == nullptr || length < 2 * kCounterChromaBytes) return false;
    uint32_t value = 0;
    for (int i = 0; i < kCounterChromaBytes; ++i) {
        const uint8_t byte = yuy2[2 * i + 1];
        if ((byte & 0xF0u) != 0x80u) return false;
        value |= static_cast<uint32_t>(byte & 0xFu) << (4 * i);
    }
    *counter = value;
    return true;
}

}  // namespace k7qsim
