// Figures of iris-eval per camera group, the goals they are held to, and the
// contact sheet of the worst results.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/iris_eval/degrade.h"
#include "tools/iris_eval/eye_chain.h"
#include "tools/iris_eval/hough_peer.h"
#include "tools/iris_eval/real_eye_set.h"

namespace iriseval {

// Groups whose photographs are all usable enrolment images.
bool UsableGroup(const std::string& group);
// Groups at the device's pixel scale (iris radius 95 ... 125 px).
bool DeviceScaleGroup(const std::string& group);

struct EyeResult {
    RealEye eye;
    std::vector<uint8_t> placed;  // the working image before the chain
    int offsetX = 0, offsetY = 0;
    ChainOutcome chain;
    double pupilError = -1, irisError = -1, irisTolerance = 8;  // -1: no circle or no truth
    int judgeOnlyResult = -1;
    JudgeReport judgeOnly;
    PeerCircles hough;  // OpenCV's HoughCircles on the same window, when built with it
    double houghPupilError = -1, houghIrisError = -1;
};

struct DegradedTally {
    int judged[static_cast<int>(Degradation::kCount)] = {};
    int judgeRejects[static_cast<int>(Degradation::kCount)] = {};
    int chainRejects[static_cast<int>(Degradation::kCount)] = {};
    void Add(int kind, bool judgeAccepts, bool chainAccepts) {
        ++judged[kind];
        judgeRejects[kind] += !judgeAccepts;
        chainRejects[kind] += !chainAccepts;
    }
};

class Report {
public:
    void Add(EyeResult result) { results_.push_back(std::move(result)); }
    void Print(bool degraded) const;
    bool GoalsMet(bool degraded) const;
    // The figures reached so far, held against regressions (groups of more
    // than one image): f4 finds the eye, pupil within 3 px, iris within 8 px.
    static constexpr double kFloorFound = 80, kFloorPupil = 80, kFloorIris = 75;
    // The whole chain, on groups of ten or more photographs at the device's scale.
    static constexpr double kFloorChain = 45;
    static constexpr int kChainFloorGroupSize = 10;
    bool FloorsHeld() const;
    bool WriteSheet(const std::string& path) const;
    std::map<std::string, DegradedTally> degraded;

private:
    std::vector<const EyeResult*> Group(const std::string& group) const;
    std::vector<std::string> Groups() const;
    std::vector<EyeResult> results_;
};

}  // namespace iriseval
