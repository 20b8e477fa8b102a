#include "tools/iris_eval/eye_chain.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "device/imaging/crop.h"
#include "device/imaging/dim_iris_disc.h"
#include "device/imaging/gray_measures.h"
#include "device/imaging/gray_bitmap.h"
#include "device/imaging/motion_blur.h"
#include "device/imaging/sharpen.h"
#include "modules/vmcalib/vmcalib_records.h"
#include "modules/vmcalib/vmcalib_entries.h"

namespace iriseval {
namespace {

constexpr int kSide = 720;

// The module's own entries, as the DLL exports them.
int32_t CallF4(void* input, void* output) {
    static const bool initialised = VmCaLib_f1("", 0, 0) == 1;
    return initialised ? VmCaLib_f4(0, input, output) : kVmBadArguments;
}

int32_t DetectOnce(uint8_t* image, ChainCircle* circle, double* ms, char* line = nullptr) {
    static char text[kVmTextBytes];
    static uint8_t iris[kVmIrisOutBytes];
    VmCaWord input[kVmInWords] = {};
    input[kVmInKind] = kVmInKindGray720;
    input[kVmInImage] = reinterpret_cast<VmCaWord>(image);
    VmCaWord output[kVmOutWords] = {};
    output[kVmOutText] = reinterpret_cast<VmCaWord>(text);
    output[kVmOutIris] = reinterpret_cast<VmCaWord>(iris);
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = CallF4(input, output);
    if (ms) *ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (line) std::snprintf(line, 128, "%s", text);
    circle->cx = static_cast<int32_t>(output[kVmOutCentreX]);
    circle->cy = static_cast<int32_t>(output[kVmOutCentreY]);
    circle->outer = static_cast<int32_t>(output[kVmOutOuterRadius]);
    circle->inner = static_cast<int32_t>(output[kVmOutInnerRadius]);
    circle->pupilX = static_cast<int32_t>(output[kVmOutPupilX]);
    circle->pupilY = static_cast<int32_t>(output[kVmOutPupilY]);
    return result;
}

}  // namespace

JudgeResult JudgeView(const uint8_t* view, JudgeReport* report) {
    static JudgeWorkspace ws;
    std::vector<uint8_t> pixels(view, view + kViewBytes);
    MakeGrayBitmap(pixels.data(), ws.file);
    return JudgeBitmapBytes(&ws, BitmapFileSize, IrisModuleSegmenter(&ws), report);
}

void RunChain(uint8_t* window, ChainOutcome* out, uint8_t* view) {
    *out = ChainOutcome{};
    static uint8_t scratch[kSide * kSide];
    Sharpen(window, scratch);
    std::memcpy(window, scratch, sizeof scratch);
    out->first = DetectOnce(window, &out->firstCircle, &out->f4Ms, out->firstText);
    if (out->first != 1) return;
    const ChainCircle& c = out->firstCircle;
    out->blurStatus = MeasureMotionBlur(&out->blurScore, window, c.cx - c.outer, c.cy - c.outer, c.cx + c.outer,
                                        c.cy + c.outer);
    out->blurred = IsMotionBlurred(out->blurStatus, out->blurScore);
    if (out->blurred) return;
    DimIrisDisc(window, scratch, c.cx, c.cy, c.outer);
    std::memcpy(window, scratch, sizeof scratch);
    out->second = DetectOnce(window, &out->secondCircle, nullptr);
    if (out->second != 1) return;
    const ChainCircle& d = out->secondCircle;
    out->irisGray = IrisGrayValue(window, d.cx, d.cy, d.outer, d.inner);
    CropTo640x480(window, d.cx, d.cy, view);
    const auto start = std::chrono::steady_clock::now();
    out->judgeResult = JudgeView(view, &out->judge);
    out->judgeMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    out->accepted = out->judgeResult == kJudgeOk && out->judge.score >= 60;
}

}  // namespace iriseval
