// The capture pipeline's analysis of one 720 x 720 eye window, as the
// device runs it: sharpen, f4, motion blur check, dim the iris disc, f4
// again, crop the 640 x 480 view, write the bitmap, judge it. Exposure
// steering is left out (a photograph cannot be re-exposed); the iris gray
// it would steer by is reported instead.
#pragma once

#include <cstdint>

#include "modules/judge/judge_pipeline.h"

namespace iriseval {

struct ChainCircle {
    int32_t cx = 0, cy = 0, outer = 0, inner = 0;  // f4's IrisCircle
    int32_t pupilX = 0, pupilY = 0;
};

struct ChainOutcome {
    int32_t first = 0;            // f4 on the sharpened window
    char firstText[128] = {};     // its text line
    ChainCircle firstCircle;
    int32_t blurStatus = 0;
    float blurScore = 0;
    bool blurred = false;
    int32_t second = 0;           // f4 on the dimmed disc (0: not run)
    ChainCircle secondCircle;
    int32_t irisGray = -1;        // what the exposure steering reads
    int32_t judgeResult = -1;     // JudgeResult, -1 when not judged
    JudgeReport judge;
    bool accepted = false;        // every gate passed
    double f4Ms = 0, judgeMs = 0; // time of the first f4 and of the judge
};

// Runs the chain on `window` (720 x 720, modified as the device does).
// `view` receives the 640 x 480 view (top row first) when it was cut.
void RunChain(uint8_t* window, ChainOutcome* out, uint8_t* view);

// Judges a 640 x 480 view (top row first) as the control does.
JudgeResult JudgeView(const uint8_t* view, JudgeReport* report);

}  // namespace iriseval
