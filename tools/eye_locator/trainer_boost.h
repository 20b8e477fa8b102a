// Real AdaBoost of depth-2 decision trees over one scale's window features.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/eye_locator/trainer_data.h"

namespace eyetools {

struct Tree {
    int16_t feature[3];    // root, left child, right child: entries of the feature list
    int16_t threshold[3];  // value <= threshold goes to the first branch
    double leaf[4];
    int Leaf(const uint8_t* column, int64_t stride, int64_t m) const;
};

class Booster {
public:
    Booster(const TrainingSet& set, int scale, const std::vector<Sample>& positives,
            const std::vector<Sample>& negatives);
    // Fits the next tree on a random share of the features and reweights.
    Tree Next(uint64_t seed, double featureShare);
    int32_t Features() const { return features_; }
    int64_t Samples() const { return samples_; }
    // The leaf of a tree every sample falls into.
    void Leaves(const Tree& t, std::vector<uint8_t>& out) const;
    bool Positive(int64_t m) const { return label_[m] > 0; }

private:
    struct Split {
        int16_t feature = 0, threshold = 0;
        double z = 1e300;
    };
    // Best split of the samples whose node is `node`, over the chosen features.
    void BestSplits(const std::vector<int32_t>& chosen, int nodes, Split* best) const;

    int32_t features_;
    int64_t samples_;
    std::vector<uint8_t> x_;  // feature-major: x_[f * samples_ + m]
    std::vector<int8_t> label_;
    std::vector<double> weight_;
    std::vector<uint8_t> node_;
};

}  // namespace eyetools
