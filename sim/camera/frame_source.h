// Where a virtual camera's pictures come from: the scene renderer's timeline,
// or a synthetic test pattern where no scene is wanted.
#pragma once

#include <cstdint>
#include <memory>

#include "sim/scene/scene.h"

namespace k7qsim {

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Renders `eye`'s 960x720 gray frame at `timeMs` into `gray`, lit as
    // `controls` say.
    virtual void Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* gray) = 0;
};

// A diagonal ramp that moves with time and brightens with the backlight
// level: cheap, deterministic, and different from frame to frame.
class TestPatternSource : public FrameSource {
public:
    void Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* gray) override;
};

// The source the cameras stream from: the scene renderer's timeline for
// `seed` when the scene is built in, else the test pattern.
std::unique_ptr<FrameSource> MakeDefaultFrameSource(uint64_t seed);

}  // namespace k7qsim
