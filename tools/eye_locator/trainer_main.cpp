// eye-trainer: boosts the eye locator's tables on frames of the virtual K7Q's
// eye scenes and writes them as modules/eye_locator_model.cpp.
//   eye-trainer [--positives N] [--negatives N] [--timelines N] [--rounds N]
//               [--learners N] [--mine-cap N] [--seed S] [--eval-first A --eval-last B] -o FILE
// Training seeds start at 1,000,000 (plus --seed); evaluation seeds must lie below.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "modules/eye_locator.h"
#include "modules/eye_locator_model.h"
#include "sim/scene/detmath.h"
#include "sim/scene/scene_render.h"
#include "tools/eye_locator/eye_evaluation.h"
#include "tools/eye_locator/trainer_calibrate.h"
#include "tools/eye_locator/trainer_emit.h"

namespace {

using namespace eyetools;

struct Options {
    int positives = 2000, negatives = 1200, timelines = 12, rounds = 3, learners = 48, minPositives = 200;
    int mineCap = 0;  // 0: mine only the negatives the finished threshold accepts
    uint64_t seed = 0;
    double positiveQuantile = 0.01, negativeShare = 1.0, featureShare = 0.25, timelineStepMs = 400;
    FrameRange eval{1, 12, 200};
    std::string out = "modules/eye_locator_model.cpp";
    std::string commandLine;
};

constexpr uint64_t kTrainingSeedBase = 1000000;

// An eye in the band with its lids nearly shut: most of the iris is covered.
k7qsim::EyeParams BlinkParams(uint64_t seed, k7qsim::Rng& r) {
    k7qsim::EyeParams p = k7qsim::RandomEyeParams(seed);
    p.centerX = r.Range(300, 660);
    p.centerY = r.Range(220, 500);
    p.opening = r.Range(0.03, 0.32);
    return p;
}

// Runs body(0 .. n-1) on every core; each index runs once.
void ParallelFor(int n, const std::function<void(int)>& body) {
    std::atomic<int> next{0};
    auto work = [&] {
        for (int k = next++; k < n; k = next++) body(k);
    };
    std::vector<std::thread> threads(std::max(1u, std::min(std::thread::hardware_concurrency(), static_cast<unsigned>(n))) - 1);
    for (auto& t : threads) t = std::thread(work);
    work();
    for (auto& t : threads) t.join();
}

void RenderFrames(const Options& o, TrainingSet& set) {
    std::vector<uint8_t> frame(k7qsim::kFrameBytes);
    k7qsim::SceneRenderer renderer;
    const uint64_t base = kTrainingSeedBase + o.seed * 100000;
    for (int k = 0; k < o.positives; ++k) {
        const uint64_t seed = base + static_cast<uint64_t>(k);
        k7qsim::EyeParams p = k7qsim::RandomEyeParams(seed);
        k7qsim::Rng r(k7qsim::HashCombine(seed, 0x7a1));
        if (r.Chance(0.7)) {  // most eyes near the band the capture accepts
            p.centerX = r.Range(300, 660);
            p.centerY = r.Range(220, 500);
        }
        k7qsim::CameraControls c;
        c.backlight = r.Int(150, 300);
        c.gain = r.Chance(0.2) ? r.Int(0, 40) : 0;
        set.AddFrame(frame.data(), renderer.Render(p, c, frame.data()));
    }
    for (int k = 0; k < o.negatives; ++k) {
        const uint64_t seed = base + 50000 + static_cast<uint64_t>(k);
        k7qsim::Rng r(k7qsim::HashCombine(seed, 0x7a2));
        k7qsim::CameraControls c;
        c.backlight = r.Int(150, 300);
        // Closed eyes and eyes in mid-blink are the hardest negatives: three
        // frames in ten show a closed eye, two an eye in mid-blink.
        const int pick = k % (k7qsim::kNegativeKinds + 5);
        const int kind = pick >= k7qsim::kNegativeKinds + 1 ? static_cast<int>(k7qsim::NegativeKind::ClosedEye) : pick;
        if (pick >= k7qsim::kNegativeKinds + 3) {
            set.AddFrame(frame.data(), renderer.Render(BlinkParams(seed, r), c, frame.data()));
            continue;
        }
        const k7qsim::GroundTruth t =
            kind == k7qsim::kNegativeKinds
                ? renderer.RenderEmpty(k7qsim::Mix64(seed), c, frame.data())
                : renderer.RenderNegative(static_cast<k7qsim::NegativeKind>(kind), seed, c, frame.data());
        set.AddFrame(frame.data(), t);
    }
    FrameRange timelines{base + 90000, base + 90000 + static_cast<uint64_t>(o.timelines) - 1, o.timelineStepMs};
    if (o.timelines > 0)
        ForEachTimelineFrame(timelines, [&](uint64_t, double, const k7qsim::GroundTruth& t, const uint8_t* f) {
            set.AddFrame(f, t);
        });
}

struct ScaleData {
    std::vector<Sample> positives, negatives;
    std::vector<int32_t> positiveScores;
    std::vector<std::pair<int32_t, Sample>> survivingNegatives;
    int32_t learners = 0, threshold = 0;
    int64_t hardAdded = 0;
};

void SeedNegatives(const TrainingSet& set, const eyeloc::Context* c, uint64_t seed, ScaleData* scales) {
    k7qsim::Rng r(k7qsim::HashCombine(seed, 0x5eed));
    for (int32_t f = 0; f < set.Frames(); ++f)
        for (int s = 0; s < eyeloc::kScales; ++s) {
            for (int32_t i = 0; i < c->g.rowPositions[s]; ++i)
                for (int32_t j = 0; j < c->g.colPositions[s]; ++j)
                    if (set.Label(s, f, i, j) > 0) scales[s].positives.push_back({f, int16_t(i), int16_t(j)});
            for (int n = 0; n < 3; ++n) {
                const int32_t i = r.Int(0, c->g.rowPositions[s] - 1), j = r.Int(0, c->g.colPositions[s] - 1);
                if (set.Label(s, f, i, j) < 0) scales[s].negatives.push_back({f, int16_t(i), int16_t(j)});
            }
            // Windows on part of the eye, or astride it, are the hard ones.
            if (!set.Record(f).hasEye) continue;
            for (int n = 0, tries = 0; n < 4 && tries < 200; ++tries) {
                const int32_t i = r.Int(0, c->g.rowPositions[s] - 1), j = r.Int(0, c->g.colPositions[s] - 1);
                if (set.Label(s, f, i, j) < 0 && IoU(set.WindowBox(s, i, j), set.Record(f).truth) > 0.05) {
                    scales[s].negatives.push_back({f, int16_t(i), int16_t(j)});
                    ++n;
                }
            }
        }
}

// Scores every labelled window of a run of frames with the detector's own code.
void ScoreFrames(const TrainingSet& set, eyeloc::Context* c, int32_t from, int32_t to, ScaleData* scales) {
    for (int32_t f = from; f < to; ++f) {
        set.Load(f, c);
        for (int s = 0; s < eyeloc::kScales; ++s)
            for (int32_t i = 0; i < c->g.rowPositions[s]; ++i)
                for (int32_t j = 0; j < c->g.colPositions[s]; ++j) {
                    const int label = set.Label(s, f, i, j);
                    if (label == 0) continue;
                    const int32_t score = eyeloc::ScoreWindow(c, s, i, j);
                    if (label > 0) scales[s].positiveScores.push_back(score);
                    else if (score > eyeloc::kRejectScore) scales[s].survivingNegatives.push_back({score, {f, int16_t(i), int16_t(j)}});
                }
    }
}

// Scores every frame in two halves, one per thread, and joins them in frame
// order so that the result does not depend on the threads.
void ScoreAll(const TrainingSet& set, const eyeloc::SizeRow& row, const ModelTables& tables, ScaleData* scales) {
    constexpr int kParts = 2;
    ScaleData parts[kParts][eyeloc::kScales];
    const int32_t frames = set.Frames();
    ParallelFor(kParts, [&](int p) {
        eyeloc::Context* c = eyeloc::CreateContext(row);
        eyeloc::InstallModel(c, tables.View());
        ScoreFrames(set, c, frames * p / kParts, frames * (p + 1) / kParts, parts[p]);
        eyeloc::DestroyContext(c);
    });
    for (int s = 0; s < eyeloc::kScales; ++s) {
        scales[s].positiveScores.clear();
        scales[s].survivingNegatives.clear();
        for (auto& part : parts) {
            auto& d = part[s];
            scales[s].positiveScores.insert(scales[s].positiveScores.end(), d.positiveScores.begin(), d.positiveScores.end());
            scales[s].survivingNegatives.insert(scales[s].survivingNegatives.end(), d.survivingNegatives.begin(),
                                                d.survivingNegatives.end());
        }
    }
}

void TrainScale(const TrainingSet& set, const Options& o, int s, int round, ModelTables& tables, ScaleData& d) {
    if (d.positives.size() < static_cast<size_t>(o.minPositives)) {  // too few eyes of this size to learn from
        tables.ClearScale(s);
        d.learners = 0;
        return;
    }
    Booster booster(set, s, d.positives, d.negatives);
    std::vector<Tree> trees;
    for (int k = 0; k < o.learners; ++k)
        trees.push_back(booster.Next(k7qsim::HashCombine(o.seed * 1000 + round * 10 + s, k), o.featureShare));
    d.learners = WriteTrees(booster, trees, s, tables);
    std::fprintf(stderr, "  scale %d: %zu positives, %zu negatives, %d learners\n", s, d.positives.size(),
                 d.negatives.size(), d.learners);
}

// With --mine-cap: the highest-scoring other windows that an eye's threshold
// alone would accept join the negatives, up to the cap per round, so that
// look-alikes (closed eyes, blinks) are learnt even when the share limit hides them.
void MineAboveEyes(int cap, int32_t bar, ScaleData& d) {
    auto& sn = d.survivingNegatives;
    const size_t n = std::min(sn.size(), static_cast<size_t>(cap));
    std::partial_sort(sn.begin(), sn.begin() + static_cast<std::ptrdiff_t>(n), sn.end(),
                      [](const auto& a, const auto& b) { return a.first > b.first; });
    for (size_t k = 0; k < n && sn[k].first > bar; ++k) {
        d.negatives.push_back(sn[k].second);
        ++d.hardAdded;
    }
}

// Accepts windows above the positives' quantile; returns the hard negatives found.
void Finish(const Options& o, int s, int32_t frames, ModelTables& tables, ScaleData& d, bool mine) {
    std::vector<int32_t> pos = d.positiveScores;
    std::sort(pos.begin(), pos.end());
    if (d.learners == 0) {
        d.threshold = eyeloc::kAcceptScore;
        d.hardAdded = 0;
        return;
    }
    d.threshold = pos.empty() ? eyeloc::kAcceptScore : pos[static_cast<size_t>(o.positiveQuantile * pos.size())] - 1;
    const int32_t eyeThreshold = d.threshold;
    // At most --negative-share accepted other windows per training frame: the
    // first scales must not fill the ten candidates before the larger ones run.
    std::vector<int32_t> neg;
    for (const auto& sn : d.survivingNegatives) neg.push_back(sn.first);
    const size_t allowed = static_cast<size_t>(o.negativeShare * frames);
    if (neg.size() > allowed) {
        std::nth_element(neg.begin(), neg.begin() + static_cast<std::ptrdiff_t>(allowed), neg.end(), std::greater<int32_t>());
        d.threshold = std::max(d.threshold, neg[allowed]);
    }
    WriteBias(s, d.learners, static_cast<int64_t>(eyeloc::kAcceptScore) - d.threshold, tables);
    d.hardAdded = 0;
    if (!mine) return;
    if (o.mineCap > 0) {
        MineAboveEyes(o.mineCap, std::min(eyeThreshold, d.threshold), d);
        return;
    }
    for (const auto& sn : d.survivingNegatives)
        if (sn.first > d.threshold) {
            d.negatives.push_back(sn.second);
            ++d.hardAdded;
        }
}

int Run(const Options& o) {
    const eyeloc::SizeRow* row = eyeloc::FindSize(k7qsim::kFrameWidth, k7qsim::kFrameHeight);
    eyeloc::Context* c = eyeloc::CreateContext(*row);
    TrainingSet set(c);
    RenderFrames(o, set);
    std::fprintf(stderr, "%d training frames rendered\n", set.Frames());
    ScaleData scales[eyeloc::kScales];
    SeedNegatives(set, c, o.seed, scales);
    ModelTables tables;
    std::string training;
    for (int round = 0; round < o.rounds; ++round) {
        std::fprintf(stderr, "round %d\n", round + 1);
        // Largest scales first: they have the most features and take longest.
        ParallelFor(eyeloc::kScales, [&](int k) {
            const int s = eyeloc::kScales - 1 - k;
            TrainScale(set, o, s, round, tables, scales[s]);
        });
        ScoreAll(set, *row, tables, scales);
        const bool last = round + 1 == o.rounds;
        for (int s = 0; s < eyeloc::kScales; ++s) {
            Finish(o, s, set.Frames(), tables, scales[s], !last);
            std::fprintf(stderr, "  scale %d: threshold %d, %lld hard negatives\n", s, scales[s].threshold,
                         static_cast<long long>(scales[s].hardAdded));
        }
    }
    // Training-window figures with the finished tables.
    ScoreAll(set, *row, tables, scales);
    char line[256];
    for (int s = 0; s < eyeloc::kScales; ++s) {
        const auto& d = scales[s];
        int64_t pass = 0, falsePass = 0;
        for (int32_t v : d.positiveScores) pass += v > eyeloc::kAcceptScore;
        for (const auto& sn : d.survivingNegatives) falsePass += sn.first > eyeloc::kAcceptScore;
        std::snprintf(line, sizeof line, "scale %d: %d trees, %lld of %zu training eye windows accepted, %lld other windows accepted\n",
                      s, d.learners, static_cast<long long>(pass), d.positiveScores.size(), static_cast<long long>(falsePass));
        training += line;
    }
    std::fputs(training.c_str(), stderr);
    eyeloc::DestroyContext(c);

    EyeLocatorInit(k7qsim::kFrameWidth, k7qsim::kFrameHeight);
    eyeloc::InstallModel(eyeloc::ActiveContext(), tables.View());
    const Figures f = Evaluate(o.eval, EyeLocatorDetector());
    EyeLocatorRelease();
    char evalLine[160];
    std::snprintf(evalLine, sizeof evalLine, "held-out timeline seeds %llu..%llu every %.0f ms: ",
                  static_cast<unsigned long long>(o.eval.firstSeed), static_cast<unsigned long long>(o.eval.lastSeed),
                  o.eval.stepMs);
    const std::string evaluation = evalLine + FiguresText(f);
    std::fprintf(stderr, "%s\n", evaluation.c_str());
    return WriteModelSource(o.out, tables, o.commandLine, training, evaluation) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    o.commandLine = "eye-trainer";
    for (int i = 1; i < argc; ++i) o.commandLine += std::string(" ") + argv[i];
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i];
        const char* v = argv[i + 1];
        if (k == "--positives") o.positives = std::atoi(v);
        else if (k == "--negatives") o.negatives = std::atoi(v);
        else if (k == "--timelines") o.timelines = std::atoi(v);
        else if (k == "--rounds") o.rounds = std::atoi(v);
        else if (k == "--learners") o.learners = std::atoi(v);
        else if (k == "--seed") o.seed = std::strtoull(v, nullptr, 0);
        else if (k == "--min-positives") o.minPositives = std::atoi(v);
        else if (k == "--mine-cap") o.mineCap = std::atoi(v);
        else if (k == "--negative-share") o.negativeShare = std::atof(v);
        else if (k == "--timeline-step") o.timelineStepMs = std::atof(v);
        else if (k == "--quantile") o.positiveQuantile = std::atof(v);
        else if (k == "--feature-share") o.featureShare = std::atof(v);
        else if (k == "--eval-first") o.eval.firstSeed = std::strtoull(v, nullptr, 0);
        else if (k == "--eval-last") o.eval.lastSeed = std::strtoull(v, nullptr, 0);
        else if (k == "--eval-step") o.eval.stepMs = std::atof(v);
        else if (k == "-o") o.out = v;
        else {
            std::fprintf(stderr, "unknown option %s\n", k.c_str());
            return 2;
        }
    }
    if (o.eval.lastSeed >= kTrainingSeedBase || o.learners < 1 || o.learners > 1900) {
        std::fprintf(stderr, "evaluation seeds must lie below %llu; 1..1900 learners\n",
                     static_cast<unsigned long long>(kTrainingSeedBase));
        return 2;
    }
    return Run(o);
}
