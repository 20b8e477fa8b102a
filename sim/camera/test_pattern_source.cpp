#include "sim/camera/frame_source.h"

namespace k7qsim {

void TestPatternSource::Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* gray) {
    const int shift = static_cast<int>(timeMs / 10.0) + (eye == Eye::Right ? 128 : 0);
    const int level = controls.backlight / 4;  // 0..100 over the backlight range
    for (int y = 0; y < kFrameHeight; ++y) {
        uint8_t* row = gray + y * kFrameWidth;
        for (int x = 0; x < kFrameWidth; ++x) {
            const int ramp = ((x + y + shift) & 0xFF) / 2;
            const int value = ramp + level;
            row[x] = static_cast<uint8_t>(value > 255 ? 255 : value);
        }
    }
}

}  // namespace k7qsim
