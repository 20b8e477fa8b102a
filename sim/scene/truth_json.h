// The ground truth of a frame as one JSON object (written next to images).
#pragma once

#include <string>

#include "sim/scene/scene.h"

namespace k7qsim {

struct EyeParams;

// Keys in ascending order; `params`, when given, adds the rendering inputs.
std::string GroundTruthJson(const GroundTruth& truth, const EyeParams* params = nullptr);

}  // namespace k7qsim
