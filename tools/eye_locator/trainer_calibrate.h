// Turns one scale's real-valued trees into the detector's 16-bit tables: leaves
// scaled and shifted so that the running score of every training positive stays
// above the early stop, and trailing constant learners that lift the windows
// worth accepting above the acceptance score.
#pragma once

#include <cstdint>
#include <vector>

#include "modules/eye_locator_stages.h"
#include "tools/eye_locator/trainer_boost.h"

namespace eyetools {

// The three tables being built, kModelEntries each.
struct ModelTables {
    std::vector<int16_t> feature, threshold, leaf;
    ModelTables();
    eyeloc::Model View() const { return {feature.data(), threshold.data(), leaf.data()}; }
    void ClearScale(int scale);
};

// Writes the trees as learners 0..n-1 of the scale; returns the learner count.
int32_t WriteTrees(const Booster& booster, const std::vector<Tree>& trees, int scale, ModelTables& tables);
// Appends constant learners after `first` that add `bias` to every survivor.
int32_t WriteBias(int scale, int32_t first, int64_t bias, ModelTables& tables);

}  // namespace eyetools
