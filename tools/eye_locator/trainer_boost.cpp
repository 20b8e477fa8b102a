#include "tools/eye_locator/trainer_boost.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "sim/scene/detmath.h"

namespace eyetools {

namespace {
constexpr double kLeafLimit = 2.5;
constexpr int kBins = 256;

double LeafValue(double wp, double wn, double eps) {
    const double v = 0.5 * std::log((wp + eps) / (wn + eps));
    return std::max(-kLeafLimit, std::min(kLeafLimit, v));
}
}  // namespace

int Tree::Leaf(const uint8_t* column, int64_t stride, int64_t m) const {
    const int node = column[feature[0] * stride + m] <= threshold[0] ? 1 : 2;
    const int slot = column[feature[node] * stride + m] <= threshold[node] ? 2 * node + 1 : 2 * node + 2;
    return slot - 3;
}

Booster::Booster(const TrainingSet& set, int scale, const std::vector<Sample>& positives,
                 const std::vector<Sample>& negatives)
    : features_(0), samples_(static_cast<int64_t>(positives.size() + negatives.size())) {
    const eyeloc::ScaleShape& sh = eyeloc::kScaleShapes[scale];
    features_ = eyeloc::kPlanes * (sh.windowH / 4) * (sh.windowW / 4);
    x_.resize(static_cast<size_t>(features_) * samples_);
    label_.resize(samples_);
    weight_.resize(samples_);
    node_.resize(samples_);
    int64_t m = 0;
    for (const auto* list : {&positives, &negatives})
        for (const Sample& s : *list) {
            for (int32_t f = 0; f < features_; ++f) x_[f * samples_ + m] = set.Value(s, scale, f);
            label_[m] = list == &positives ? 1 : -1;
            weight_[m] = 0.5 / static_cast<double>(list->size());
            ++m;
        }
}

void Booster::BestSplits(const std::vector<int32_t>& chosen, int nodes, Split* best) const {
    std::vector<double> hist(static_cast<size_t>(nodes) * kBins * 2);
    for (int32_t f : chosen) {
        std::fill(hist.begin(), hist.end(), 0.0);
        const uint8_t* col = x_.data() + static_cast<int64_t>(f) * samples_;
        for (int64_t m = 0; m < samples_; ++m) {
            const int n = nodes == 1 ? 0 : node_[m] - 1;
            hist[(static_cast<size_t>(n) * kBins + col[m]) * 2 + (label_[m] > 0 ? 0 : 1)] += weight_[m];
        }
        for (int n = 0; n < nodes; ++n) {
            const double* h = hist.data() + static_cast<size_t>(n) * kBins * 2;
            double tp = 0, tn = 0;
            for (int v = 0; v < kBins; ++v) tp += h[2 * v], tn += h[2 * v + 1];
            double lp = 0, ln = 0;
            for (int v = 0; v < kBins - 1; ++v) {
                lp += h[2 * v];
                ln += h[2 * v + 1];
                if (h[2 * v] == 0 && h[2 * v + 1] == 0) continue;
                const double z = std::sqrt(lp * ln) + std::sqrt((tp - lp) * (tn - ln));
                if (z < best[n].z) best[n] = {static_cast<int16_t>(f), static_cast<int16_t>(v), z};
            }
        }
    }
}

Tree Booster::Next(uint64_t seed, double featureShare) {
    k7qsim::Rng rng(seed);
    std::vector<int32_t> chosen;
    for (int32_t f = 0; f < features_; ++f)
        if (rng.Uniform() < featureShare) chosen.push_back(f);
    if (chosen.empty()) chosen.push_back(0);
    Tree t{};
    Split root;
    BestSplits(chosen, 1, &root);
    t.feature[0] = root.feature;
    t.threshold[0] = root.threshold;
    const uint8_t* rootCol = x_.data() + static_cast<int64_t>(root.feature) * samples_;
    for (int64_t m = 0; m < samples_; ++m) node_[m] = rootCol[m] <= root.threshold ? 1 : 2;
    Split children[2];
    BestSplits(chosen, 2, children);
    for (int n = 0; n < 2; ++n) {
        t.feature[1 + n] = children[n].feature;
        t.threshold[1 + n] = children[n].threshold;
    }
    double wp[4] = {}, wn[4] = {};
    std::vector<uint8_t> leaves;
    Leaves(t, leaves);
    for (int64_t m = 0; m < samples_; ++m) (label_[m] > 0 ? wp : wn)[leaves[m]] += weight_[m];
    const double eps = 0.1 / static_cast<double>(samples_);
    for (int l = 0; l < 4; ++l) t.leaf[l] = LeafValue(wp[l], wn[l], eps);
    double total = 0;
    for (int64_t m = 0; m < samples_; ++m) {
        weight_[m] *= std::exp(-label_[m] * t.leaf[leaves[m]]);
        total += weight_[m];
    }
    for (double& w : weight_) w /= total;
    return t;
}

void Booster::Leaves(const Tree& t, std::vector<uint8_t>& out) const {
    out.resize(samples_);
    for (int64_t m = 0; m < samples_; ++m) out[m] = static_cast<uint8_t>(t.Leaf(x_.data(), samples_, m));
}

}  // namespace eyetools
