// One judgement: read the file, check its layout, segment the iris, measure
// the components and combine them. All memory is the caller's workspace.
#pragma once

#include "modules/judge/judge_score.h"

// Finds the iris in a top-down picture; false when there is none.
struct JudgeSegmenter {
    bool (*find)(void* context, const GrayView& picture, IrisCircles* circles);
    void* context;
};

constexpr size_t kJudgeSegmentationBytes = 512 * 1024;

struct JudgeWorkspace {
    uint8_t file[kJudgeFileBytes];
    uint8_t topDown[kJudgePixelBytes];  // the pixels top row first, for the segmentation
    alignas(16) uint8_t segmentation[kJudgeSegmentationBytes];
};

// The iris segmentation the module carries (the iris module's own code),
// working in `ws`'s segmentation bytes.
JudgeSegmenter IrisModuleSegmenter(JudgeWorkspace* ws);

struct JudgeReport {
    JudgeComponents components;
    IrisCircles circles;
    int32_t score = 0;
};

// kJudgeOk with the report filled, or the code of the first failing step.
JudgeResult JudgeBitmapBytes(JudgeWorkspace* ws, size_t size, const JudgeSegmenter& segmenter, JudgeReport* report);
JudgeResult JudgeBitmapFile(const char* path, JudgeWorkspace* ws, const JudgeSegmenter& segmenter,
                            JudgeReport* report);
