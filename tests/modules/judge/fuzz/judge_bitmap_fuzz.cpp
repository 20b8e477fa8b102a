// libFuzzer target over the image-judge module's file handling: arbitrary
// bytes are parsed from a buffer of exactly their size (AddressSanitizer
// catches any read past it); a file that passes goes on through the iris
// segmentation, the components and the score, which must stay in 0..100.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "modules/judge/judge_pipeline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<JudgeWorkspace> ws(new JudgeWorkspace);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[size ? size : 1]);
    if (size) std::memcpy(exact.get(), data, size);
    GrayView view;
    const JudgeResult parsed = ParseJudgeBitmap(exact.get(), size, &view);
    if (parsed != kJudgeOk) {
        if (parsed < kJudgeTruncated || parsed > kJudgeBadLayout) std::abort();
        return 0;
    }
    std::memcpy(ws->file, data, size);
    JudgeReport report;
    const JudgeResult r = JudgeBitmapBytes(ws.get(), size, IrisModuleSegmenter(ws.get()), &report);
    if (r != kJudgeOk && r != kJudgeNoIris) std::abort();
    if (report.score < 0 || report.score > 100) std::abort();
    return 0;
}
