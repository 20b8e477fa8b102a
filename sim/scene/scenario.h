// Named subjects for end-to-end runs: one scripted person per situation the
// capture must handle. The native scene cameras and the virtual DirectShow
// cameras both pick one by name from the environment variable K7Q_SCENARIO.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sim/scene/scene.h"

namespace k7qsim {

enum class Scenario {
    WellPlaced,   // "well-placed": steady in the centre of both views, eyes open
    NeverLooksIn, // "never-looks-in": nobody comes to the device
    TooHigh,      // "too-high": eyes above the accepted band
    TooLow,       // "too-low": eyes below it
    TooFar,       // "too-far": small and out of focus
    MotionBlur,   // "motion-blur": sways quickly from side to side
    EyesClosed,   // "eyes-closed"
    Glasses,      // "glasses": reflections of glasses over the eyes
    OnlyLeftEye,  // "only-left-eye": the right camera sees nobody
    ArrivesLate,  // "arrives-late": well placed from 15 s on
};
constexpr int kScenarioCount = 10;
constexpr const char* kScenarioVariable = "K7Q_SCENARIO";

const char* ScenarioName(Scenario s);
bool ScenarioByName(const std::string& name, Scenario* out);
// The scenario K7Q_SCENARIO names; false when unset or unknown.
bool ScenarioFromEnvironment(Scenario* out);

// Renders a scenario's frames, time measured from when the camera started.
class ScenarioScene {
public:
    ScenarioScene(Scenario scenario, uint64_t seed);
    ~ScenarioScene();
    ScenarioScene(const ScenarioScene&) = delete;
    ScenarioScene& operator=(const ScenarioScene&) = delete;
    GroundTruth Render(Eye eye, double timeMs, const CameraControls& controls, uint8_t* out);
    // Whether the person is in front of `eye`'s camera at timeMs.
    bool Present(Eye eye, double timeMs) const;
    Scenario Which() const { return scenario_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    Scenario scenario_;
};

}  // namespace k7qsim
