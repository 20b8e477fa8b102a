// The scripted person behind SceneTimeline: where the eye is at each moment.
#pragma once

#include <memory>

#include "sim/scene/scene_render.h"

namespace k7qsim {

class PersonScript {
public:
    explicit PersonScript(uint64_t seed);
    ~PersonScript();
    // The parameters of `eye`'s camera frame at `timeMs`; false while nobody
    // is in front of the device.
    bool ParamsAt(Eye eye, double timeMs, EyeParams& out) const;
    double ArrivalMs() const;
    double GoneMs() const;

    struct Script;  // defined in timeline.cpp

private:
    std::unique_ptr<Script> s_;
};

}  // namespace k7qsim
