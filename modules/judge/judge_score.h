// The quality score: every component is mapped onto 0..100 so that its
// recommended limit lands on the acceptance line 60, its good value on 100
// and a clear failure on 0; the score is the smallest of them, so one failing
// component rejects the image and an image meeting every limit is accepted.
#pragma once

#include "modules/judge/judge_quality.h"

// Limits of one component: `limit` scores 60, `good` 100, `fail` 0, linear
// between. A two-sided component also has an upper limit band.
struct ComponentScale {
    const char* name;
    double fail, limit, good;
};

enum JudgeComponentIndex {
    kUsableArea, kIrisScleraContrast, kIrisPupilContrast, kPupilCircularity, kGreyScaleUtilisation,
    kIrisRadius, kPupilIrisRatio, kConcentricity, kMarginAdequacy, kSharpness, kMotionBlur,
    kPupilEdgeSharpness, kJudgeComponentCount
};

// The component's value by index (the order above).
double ComponentValue(const JudgeComponents& c, int index);
const ComponentScale& ComponentScaleOf(int index);
// The component's contribution, 0..100.
double ComponentScore(int index, double value);
// The score, 0..100: the smallest contribution, rounded down.
int32_t CombineScore(const JudgeComponents& c);
