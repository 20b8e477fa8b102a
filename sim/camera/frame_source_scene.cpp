#include "sim/camera/frame_source.h"
#include "sim/scene/scenario.h"

namespace k7qsim {

namespace {

class SceneFrameSource : public FrameSource {
public:
    explicit SceneFrameSource(uint64_t seed) : timeline_(seed) {}
    void Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* gray) override {
        timeline_.Render(eye, timeMs, controls, gray);
    }

private:
    SceneTimeline timeline_;
};

// A named subject (K7Q_SCENARIO) instead of the seeded random person.
class ScenarioFrameSource : public FrameSource {
public:
    ScenarioFrameSource(Scenario scenario, uint64_t seed) : scene_(scenario, seed) {}
    void Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* gray) override {
        scene_.Render(eye, timeMs, controls, gray);
    }

private:
    ScenarioScene scene_;
};

}  // namespace

std::unique_ptr<FrameSource> MakeDefaultFrameSource(uint64_t seed) {
    Scenario scenario;
    if (ScenarioFromEnvironment(&scenario))
        return std::unique_ptr<FrameSource>(new ScenarioFrameSource(scenario, seed));
    return std::unique_ptr<FrameSource>(new SceneFrameSource(seed));
}

}  // namespace k7qsim
