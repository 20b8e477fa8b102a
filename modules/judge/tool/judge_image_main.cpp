// judge-image: prints every quality component and the score of eye bitmaps,
// exactly as the image-judge module computes them.
//   judge-image FILE.bmp...
// One block per file; the exit status is the last file's result code.
#include <cstdio>
#include <memory>

#include "modules/judge/judge_pipeline.h"

namespace {

const char* ResultName(JudgeResult r) {
    switch (r) {
        case kJudgeOk: return "ok";
        case kJudgeBadArgument: return "bad argument";
        case kJudgeUnreadable: return "file missing or unreadable";
        case kJudgeTruncated: return "truncated headers";
        case kJudgeNotBitmap: return "not a BMP file";
        case kJudgeBadHeader: return "unsupported BMP header";
        case kJudgeWrongSize: return "not 640 x 480 bottom-up";
        case kJudgeWrongDepth: return "not 8 bits per pixel";
        case kJudgeNotGray: return "palette not gray";
        case kJudgeBadLayout: return "pixel offset or file length wrong";
        case kJudgeNoIris: return "no iris found";
    }
    return "unknown";
}

void PrintReport(const JudgeReport& r) {
    const IrisCircles& c = r.circles;
    std::printf("  pupil (%.1f, %.1f) r %.1f   iris (%.1f, %.1f) r %.1f   lids %.0f / %.0f\n", c.pupilX, c.pupilY,
                c.pupilR, c.irisX, c.irisY, c.irisR, c.upperLidY, c.lowerLidY);
    std::printf("  %-28s %9s %9s %9s %6s\n", "component", "value", "limit", "good", "score");
    for (int i = 0; i < kJudgeComponentCount; ++i) {
        const ComponentScale& s = ComponentScaleOf(i);
        const double v = ComponentValue(r.components, i);
        std::printf("  %-28s %9.2f %9.2f %9.2f %6.1f\n", s.name, v, s.limit, s.good, ComponentScore(i, v));
    }
    std::printf("  score %d (%s)\n", r.score, r.score >= kJudgeAcceptScore ? "accepted" : "rejected");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: judge-image FILE.bmp...\n");
        return 64;
    }
    auto ws = std::make_unique<JudgeWorkspace>();
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        JudgeReport report;
        const JudgeResult r = JudgeBitmapFile(argv[i], ws.get(), IrisModuleSegmenter(ws.get()), &report);
        std::printf("%s: result %d (%s)\n", argv[i], static_cast<int>(r), ResultName(r));
        if (r == kJudgeOk) PrintReport(report);
        status = r;
    }
    return status;
}
