#include "tools/eye_locator/eye_evaluation.h"

#include <chrono>
#include <cstdio>

#include "modules/eye_locator.h"

namespace eyetools {

Detector EyeLocatorDetector() {
    return [](const uint8_t* frame, int32_t* rect) { return EyeLocatorDetect(frame, k7qsim::kFrameBytes, rect); };
}

EyeFreeKind KindOf(const k7qsim::GroundTruth& truth) {
    if (!truth.personPresent) return kNoPerson;
    return truth.eyelidOpening < 0.1 ? kClosedEye : kIrisCovered;
}

double ReportedIoU(int32_t eyes, const int32_t* rect, const k7qsim::GroundTruth& truth) {
    return eyes >= 1 ? IoU(RectBox(rect), TruthBox(truth)) : 0;
}

Figures Evaluate(const FrameRange& range, const Detector& detect, const Observer& observe) {
    Figures f;
    eyeloc::Geometry g;
    eyeloc::DeriveGeometry(*eyeloc::FindSize(k7qsim::kFrameWidth, k7qsim::kFrameHeight), g);
    double iouSum = 0, msSum = 0;
    ForEachTimelineFrame(range, [&](uint64_t, double, const k7qsim::GroundTruth& truth, const uint8_t* frame) {
        int32_t rect[8] = {};
        const auto start = std::chrono::steady_clock::now();
        const int32_t eyes = detect(frame, rect);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        msSum += ms;
        if (ms > f.maxMsPerFrame) f.maxMsPerFrame = ms;
        ++f.frames;
        if (!truth.eyeVisible) {
            ++f.eyeFree;
            if (eyes > 0) ++f.eyeFreeDetections;
            const EyeFreeKind kind = KindOf(truth);
            ++f.eyeFreeOfKind[kind];
            if (eyes > 0) ++f.detectionsOfKind[kind];
        } else {
            ++f.oneEye;
            if (eyes == 2) ++f.pairs;
        }
        if (WellPlaced(truth)) {
            ++f.wellPlaced;
            const double iou = ReportedIoU(eyes, rect, truth);
            iouSum += iou;
            const bool found = Found(eyes, iou);
            if (found) ++f.recalled;
            if (BestWindowIoU(g, TruthBox(truth)) < kGoodFitIoU) {
                ++f.poorFit;
                if (found) ++f.poorFitRecalled;
            }
        }
        if (observe) observe(truth, frame, eyes, rect);
    });
    f.meanIoU = f.wellPlaced ? iouSum / f.wellPlaced : 0;
    f.msPerFrame = f.frames ? msSum / f.frames : 0;
    return f;
}

std::string FiguresText(const Figures& f) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "frames %lld; recall %.2f%% (%lld of %lld well-placed eyes, result 1 with IoU >= 0.5); "
                  "mean IoU %.3f; eye-free frames with a detection %.2f%% (%lld of %lld); "
                  "one-eye frames reported as two %.2f%% (%lld of %lld); %.3f ms per frame (max %.3f)",
                  static_cast<long long>(f.frames), 100 * f.Recall(), static_cast<long long>(f.recalled),
                  static_cast<long long>(f.wellPlaced), f.meanIoU, 100 * f.FalseRate(),
                  static_cast<long long>(f.eyeFreeDetections), static_cast<long long>(f.eyeFree), 100 * f.PairRate(),
                  static_cast<long long>(f.pairs), static_cast<long long>(f.oneEye), f.msPerFrame, f.maxMsPerFrame);
    std::string out = text;
    std::snprintf(text, sizeof text, "; recall %.2f%% where a window fits the eye (best IoU >= %.1f; %lld eyes fit none, %lld of them found)",
                  100 * f.GoodFitRecall(), kGoodFitIoU, static_cast<long long>(f.poorFit),
                  static_cast<long long>(f.poorFitRecalled));
    out += text;
    static const char* const kKindNames[3] = {"no person", "closed eye", "iris mostly covered"};
    for (int k = 0; k < 3; ++k) {
        std::snprintf(text, sizeof text, "%s %s %.2f%% (%lld of %lld)", k ? "," : "; eye-free frames by kind:",
                      kKindNames[k], 100 * f.FalseRate(k), static_cast<long long>(f.detectionsOfKind[k]),
                      static_cast<long long>(f.eyeFreeOfKind[k]));
        out += text;
    }
    return out;
}

std::string FiguresJson(const Figures& f, const FrameRange& range) {
    char text[896];
    std::snprintf(text, sizeof text,
                  "{\"eyeFree\":%lld,\"eyeFreeDetections\":%lld,"
                  "\"eyeFreeKinds\":{\"closedEye\":[%lld,%lld],\"irisCovered\":[%lld,%lld],\"noPerson\":[%lld,%lld]},"
                  "\"falseDetectionRate\":%.6f,\"firstSeed\":%llu,"
                  "\"frames\":%lld,\"goodFitRecall\":%.6f,\"lastSeed\":%llu,\"maxMsPerFrame\":%.4f,\"meanIoU\":%.4f,"
                  "\"msPerFrame\":%.4f,\"oneEye\":%lld,\"pairRate\":%.6f,\"pairs\":%lld,\"poorFit\":[%lld,%lld],"
                  "\"recall\":%.6f,\"recalled\":%lld,"
                  "\"stepMs\":%.1f,\"wellPlaced\":%lld}",
                  static_cast<long long>(f.eyeFree), static_cast<long long>(f.eyeFreeDetections),
                  static_cast<long long>(f.eyeFreeOfKind[kClosedEye]), static_cast<long long>(f.detectionsOfKind[kClosedEye]),
                  static_cast<long long>(f.eyeFreeOfKind[kIrisCovered]), static_cast<long long>(f.detectionsOfKind[kIrisCovered]),
                  static_cast<long long>(f.eyeFreeOfKind[kNoPerson]), static_cast<long long>(f.detectionsOfKind[kNoPerson]),
                  f.FalseRate(), static_cast<unsigned long long>(range.firstSeed), static_cast<long long>(f.frames),
                  f.GoodFitRecall(), static_cast<unsigned long long>(range.lastSeed), f.maxMsPerFrame, f.meanIoU,
                  f.msPerFrame, static_cast<long long>(f.oneEye), f.PairRate(), static_cast<long long>(f.pairs),
                  static_cast<long long>(f.poorFit), static_cast<long long>(f.poorFitRecalled), f.Recall(),
                  static_cast<long long>(f.recalled), range.stepMs, static_cast<long long>(f.wellPlaced));
    return text;
}

}  // namespace eyetools
