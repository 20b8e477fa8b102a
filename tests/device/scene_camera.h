// A native eye camera over a scenario scene: renders its eye's frame at the
// time since the first camera opened, lit by the backlight level the device
// object sets, at the cameras' 30 frames per second.
#pragma once

#include <memory>

#include "camera/camera_seam.h"
#include "device/device_services.h"
#include "sim/scene/scenario.h"

namespace scenecam {

// Cameras made from now on show `scenario` (seeded), time starting at the first open.
void UseScenario(k7qsim::Scenario scenario, uint64_t seed = 7);
// Renders without waiting for the frame interval (for benchmarks).
void SetUnpaced(bool unpaced);
std::unique_ptr<IEyeCamera> Create();
// The truth of the latest frame of each eye.
k7qsim::GroundTruth LastTruth(k7qsim::Eye eye);

// With tagging on, each frame's first pixel names its eye (1 left, 2 right),
// so TruthLocator can answer with the scene's own eye box: the analysis after
// the locator, tried on scene frames independently of the locator's model.
void SetTagging(bool on);
class TruthLocator : public IEyeLocator {
public:
    int32_t Init(int32_t, int32_t) override { return 0; }
    int32_t Detect(const uint8_t* frame, int32_t length, int32_t* result) override;
    int32_t Crop(const uint8_t* frame, int32_t frameWidth, int32_t frameHeight, const int32_t* rect,
                 uint8_t* window, int32_t windowWidth, int32_t windowHeight) override;
    void Release() override {}
};

}  // namespace scenecam
