// Helpers for the eye locator's tests: a hand-made model and frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "modules/eye_locator_stages.h"

namespace eyetest {

// Tables with every learner zero; learners are then set one by one.
struct HandModel {
    std::vector<int16_t> feature, threshold, leaf;
    HandModel() : feature(eyeloc::kModelEntries), threshold(eyeloc::kModelEntries), leaf(eyeloc::kModelEntries) {}
    eyeloc::Model View() const { return {feature.data(), threshold.data(), leaf.data()}; }
    // Learner k of a scale: every slot reads list entry `entry` against
    // `limit`; windows at or below it take `low`, the others `high`.
    void SetLearner(int scale, int k, int16_t entry, int16_t limit, int16_t low, int16_t high) {
        const size_t at = static_cast<size_t>(scale) * eyeloc::kScaleEntries + static_cast<size_t>(k) * eyeloc::kSlots;
        for (int s = 0; s < 3; ++s) {
            feature[at + s] = entry;
            threshold[at + s] = limit;
        }
        leaf[at + 3] = low;   // root low, child low
        leaf[at + 4] = low;
        leaf[at + 5] = high;
        leaf[at + 6] = high;  // root high, child high
    }
};

std::vector<uint8_t> RandomFrame(int32_t width, int32_t height, uint32_t seed);

}  // namespace eyetest
