#include "modules/judge/judge_entries.h"

#include "modules/judge/judge_math.h"
#include "modules/judge/judge_pipeline.h"

namespace {

// One workspace for the process: judgements take turns on a spin lock (the
// control's binding already serialises its calls; this keeps any other caller
// from mixing two files).
JudgeWorkspace g_workspace;
int g_busy = 0;

struct WorkspaceTurn {
    WorkspaceTurn() {
        while (__atomic_exchange_n(&g_busy, 1, __ATOMIC_ACQUIRE)) __builtin_ia32_pause();
    }
    ~WorkspaceTurn() { __atomic_store_n(&g_busy, 0, __ATOMIC_RELEASE); }
};

JudgeResult Judge(const char* path, JudgeReport* report) {
    WorkspaceTurn turn;
    return JudgeBitmapFile(path, &g_workspace, IrisModuleSegmenter(&g_workspace), report);
}

}  // namespace

int32_t JudgeEntryReady(void) { return kJudgeOk; }
int32_t JudgeEntryAcceptScore(void) { return kJudgeAcceptScore; }

int32_t JudgeEntryValue(const char* path, int32_t* value) {
    if (!path || !value) return kJudgeBadArgument;
    JudgeReport report;
    const JudgeResult r = Judge(path, &report);
    if (r == kJudgeOk) *value = report.score;
    return r;
}

int32_t JudgeEntryValueB(const char* path, int32_t* values, int32_t count) {
    if (!path || !values || count < 1) return kJudgeBadArgument;
    JudgeReport report;
    const JudgeResult r = Judge(path, &report);
    if (r != kJudgeOk) return r;
    values[0] = report.score;
    for (int32_t i = 1; i < count && i <= kJudgeComponentCount; ++i)
        values[i] = JudgeRound(100 * ComponentValue(report.components, i - 1));
    return kJudgeOk;
}
