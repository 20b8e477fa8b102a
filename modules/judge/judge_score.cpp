#include "modules/judge/judge_score.h"

#include "modules/judge/judge_math.h"

namespace {

// name, fail (0), limit (60), good (100). Limits are the published
// recommendations where they exist; the others are this module's own.
const ComponentScale kScales[kJudgeComponentCount] = {
    {"usable_iris_area", 50, 70, 85},         // ISO/IEC 29794-6: at least 70 %
    {"iris_sclera_contrast", 0, 5, 10},        // more than 5
    {"iris_pupil_contrast", 15, 30, 40},       // at least 30
    {"pupil_boundary_circularity", 40, 70, 85},
    {"grey_scale_utilisation", 5, 6, 6.5},     // at least 6 bits
    {"iris_radius", 80, 100, 105},             // diameter 200 px; 210 px and more for full credit
    {"pupil_iris_ratio", 10, 20, 25},          // 20 to 70 (upper side mirrored below)
    {"iris_pupil_concentricity", 80, 90, 95},  // at least 90
    {"margin_adequacy", 40, 80, 100},          // more than 80
    {"sharpness", 20, 35, 45},
    {"motion_blur", 20, 38, 48},
    {"pupil_edge_sharpness", 150, 250, 280},
};
// The pupil–iris ratio also has an upper limit: 70 scores 60, 65 100, 80 0.
constexpr double kRatioUpperGood = 65, kRatioUpperLimit = 70, kRatioUpperFail = 80;

double Ramp(double value, double fail, double limit, double good) {
    if (value <= fail) return 0;
    if (value < limit) return 60 * (value - fail) / (limit - fail);
    if (value < good) return 60 + 40 * (value - limit) / (good - limit);
    return 100;
}

}  // namespace

double ComponentValue(const JudgeComponents& c, int index) {
    switch (index) {
        case kUsableArea: return c.usableArea;
        case kIrisScleraContrast: return c.irisScleraContrast;
        case kIrisPupilContrast: return c.irisPupilContrast;
        case kPupilCircularity: return c.pupilCircularity;
        case kGreyScaleUtilisation: return c.greyScaleUtilisation;
        case kIrisRadius: return c.irisRadius;
        case kPupilIrisRatio: return c.pupilIrisRatio;
        case kConcentricity: return c.concentricity;
        case kMarginAdequacy: return c.marginAdequacy;
        case kSharpness: return c.sharpness;
        case kMotionBlur: return c.motionBlur;
        case kPupilEdgeSharpness: return c.pupilEdgeSharpness;
        default: return 0;
    }
}

const ComponentScale& ComponentScaleOf(int index) { return kScales[index]; }

double ComponentScore(int index, double value) {
    const ComponentScale& s = kScales[index];
    double score = Ramp(value, s.fail, s.limit, s.good);
    if (index == kPupilIrisRatio)
        score = JudgeMin(score, Ramp(-value, -kRatioUpperFail, -kRatioUpperLimit, -kRatioUpperGood));
    return score;
}

int32_t CombineScore(const JudgeComponents& c) {
    double score = 100;
    for (int i = 0; i < kJudgeComponentCount; ++i) score = JudgeMin(score, ComponentScore(i, ComponentValue(c, i)));
    return static_cast<int32_t>(score);
}
