#include "modules/judge/judge_pipeline.h"

JudgeResult JudgeBitmapBytes(JudgeWorkspace* ws, size_t size, const JudgeSegmenter& segmenter, JudgeReport* report) {
    GrayView stored;
    const JudgeResult parsed = ParseJudgeBitmap(ws->file, size, &stored);
    if (parsed != kJudgeOk) return parsed;
    for (int y = 0; y < kJudgeHeight; ++y) __builtin_memcpy(ws->topDown + y * kJudgeWidth, stored.Row(y), kJudgeWidth);
    GrayView picture;
    picture.top = ws->topDown;
    picture.stride = kJudgeWidth;
    picture.width = kJudgeWidth;
    picture.height = kJudgeHeight;
    *report = JudgeReport();
    if (!segmenter.find || !segmenter.find(segmenter.context, picture, &report->circles)) return kJudgeNoIris;
    MeasureQuality(picture, report->circles, &report->components);
    report->score = CombineScore(report->components);
    return kJudgeOk;
}

JudgeResult JudgeBitmapFile(const char* path, JudgeWorkspace* ws, const JudgeSegmenter& segmenter,
                            JudgeReport* report) {
    if (!path || !ws || !report) return kJudgeBadArgument;
    size_t size = 0;
    const JudgeResult read = ReadJudgeFile(path, ws->file, sizeof ws->file, &size);
    if (read != kJudgeOk) return read;
    return JudgeBitmapBytes(ws, size, segmenter, report);
}
