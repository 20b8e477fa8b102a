#include "tools/eye_locator/trainer_calibrate.h"

#include <algorithm>
#include <cmath>

namespace eyetools {

namespace {
constexpr double kLeafRange = 16000;   // the largest scaled leaf
constexpr int64_t kTraceSlack = 1000;  // positives stay this far above the early stop
constexpr int32_t kInt16Max = 32767;
}  // namespace

ModelTables::ModelTables()
    : feature(eyeloc::kModelEntries), threshold(eyeloc::kModelEntries), leaf(eyeloc::kModelEntries) {}

void ModelTables::ClearScale(int scale) {
    const size_t at = static_cast<size_t>(scale) * eyeloc::kScaleEntries;
    for (auto* t : {&feature, &threshold, &leaf}) std::fill(t->begin() + at, t->begin() + at + eyeloc::kScaleEntries, 0);
}

int32_t WriteTrees(const Booster& booster, const std::vector<Tree>& trees, int scale, ModelTables& tables) {
    tables.ClearScale(scale);
    bool anyPositive = false;
    for (int64_t m = 0; m < booster.Samples() && !anyPositive; ++m) anyPositive = booster.Positive(m);
    if (!anyPositive) return 0;  // no eye of this size: the scale stays empty
    double largest = 1e-9;
    for (const Tree& t : trees)
        for (double v : t.leaf) largest = std::max(largest, std::fabs(v));
    const double alpha = kLeafRange / largest;
    std::vector<int64_t> running(booster.Samples(), 0);
    std::vector<uint8_t> leaves;
    int64_t offset = 0;  // constant added so far
    const size_t base = static_cast<size_t>(scale) * eyeloc::kScaleEntries;
    for (size_t k = 0; k < trees.size() && k < eyeloc::kLearners; ++k) {
        const Tree& t = trees[k];
        int32_t q[4];
        for (int l = 0; l < 4; ++l) q[l] = static_cast<int32_t>(std::lround(alpha * t.leaf[l]));
        booster.Leaves(t, leaves);
        int64_t lowest = INT64_MAX;
        for (int64_t m = 0; m < booster.Samples(); ++m)
            if (booster.Positive(m)) {
                running[m] += q[leaves[m]];
                lowest = std::min(lowest, running[m]);
            }
        // Shift so the weakest positive sits kTraceSlack above the early stop.
        int64_t shift = eyeloc::kRejectScore + kTraceSlack - lowest - offset;
        const int32_t qmax = *std::max_element(q, q + 4), qmin = *std::min_element(q, q + 4);
        shift = std::max<int64_t>(-kInt16Max - qmin, std::min<int64_t>(kInt16Max - qmax, shift));
        offset += shift;
        const size_t at = base + k * eyeloc::kSlots;
        for (int s = 0; s < 3; ++s) {
            tables.feature[at + s] = t.feature[s];
            tables.threshold[at + s] = t.threshold[s];
        }
        for (int l = 0; l < 4; ++l) tables.leaf[at + 3 + l] = static_cast<int16_t>(q[l] + shift);
    }
    return static_cast<int32_t>(std::min<size_t>(trees.size(), eyeloc::kLearners));
}

int32_t WriteBias(int scale, int32_t first, int64_t bias, ModelTables& tables) {
    int32_t k = first;
    while (bias != 0 && k < eyeloc::kLearners) {
        const int64_t part = std::max<int64_t>(-kInt16Max, std::min<int64_t>(kInt16Max, bias));
        const size_t at = static_cast<size_t>(scale) * eyeloc::kScaleEntries + static_cast<size_t>(k) * eyeloc::kSlots;
        for (int s = 0; s < 3; ++s) tables.feature[at + s] = tables.threshold[at + s] = 0;
        for (int l = 0; l < 4; ++l) tables.leaf[at + 3 + l] = static_cast<int16_t>(part);
        bias -= part;
        ++k;
    }
    return k;
}

}  // namespace eyetools
