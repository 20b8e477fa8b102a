// The eye locator measured on held-out timeline frames: recall and box overlap
// on well-placed eyes, false detections on eye-free frames, pairs reported on
// one-eye frames, and the time of a detection.
#pragma once

#include <cstdint>
#include <string>

#include "tools/eye_locator/eye_frames.h"

namespace eyetools {

struct Figures {
    int64_t frames = 0;
    int64_t wellPlaced = 0, recalled = 0;  // result 1 with IoU >= 0.5
    double meanIoU = 0;                     // over well-placed eyes, 0 for a miss
    // Well-placed eyes that no window of the locator fits with IoU >= kGoodFitIoU
    // (very near or very narrow), and of them found.
    int64_t poorFit = 0, poorFitRecalled = 0;
    int64_t eyeFree = 0, eyeFreeDetections = 0;
    // Eye-free frames by what the scene shows there (EyeFreeKind), and of them with a detection.
    int64_t eyeFreeOfKind[3] = {}, detectionsOfKind[3] = {};
    int64_t oneEye = 0, pairs = 0;          // visible-eye frames, of them reported as two eyes
    double msPerFrame = 0;                  // EyeLocatorDetect alone
    double maxMsPerFrame = 0;
    double Recall() const { return wellPlaced ? double(recalled) / wellPlaced : 0; }
    double GoodFitRecall() const {
        const int64_t n = wellPlaced - poorFit;
        return n ? double(recalled - poorFitRecalled) / n : 0;
    }
    double FalseRate() const { return eyeFree ? double(eyeFreeDetections) / eyeFree : 0; }
    double PairRate() const { return oneEye ? double(pairs) / oneEye : 0; }
    double FalseRate(int kind) const {
        return eyeFreeOfKind[kind] ? double(detectionsOfKind[kind]) / eyeFreeOfKind[kind] : 0;
    }
};

constexpr double kGoodFitIoU = 0.6;
// A well-placed eye is found when the locator reports one eye overlapping it by this much.
constexpr double kFoundIoU = 0.5;
// Overlap of the first reported box with the true eye box; 0 when nothing was reported.
double ReportedIoU(int32_t eyes, const int32_t* rect, const k7qsim::GroundTruth& truth);
inline bool Found(int32_t eyes, double iou) { return eyes == 1 && iou >= kFoundIoU; }

// What an eye-free frame shows: nobody in front of the camera, a closed eye
// (lids less than a tenth open), or an eye whose iris is mostly covered
// (open, but under the visibility limit: a blink, a squint, the frame edge).
enum EyeFreeKind { kNoPerson = 0, kClosedEye = 1, kIrisCovered = 2 };
EyeFreeKind KindOf(const k7qsim::GroundTruth& truth);

// A detector under test: fills rect (8 integers) and returns 0, 1 or 2.
using Detector = std::function<int32_t(const uint8_t* frame, int32_t* rect)>;
// Called with every frame after detection (for contact sheets).
using Observer = std::function<void(const k7qsim::GroundTruth& truth, const uint8_t* frame, int32_t eyes,
                                    const int32_t* rect)>;

// The eye locator itself must be initialised for 960 x 720 before.
Figures Evaluate(const FrameRange& range, const Detector& detect, const Observer& observe = nullptr);
Detector EyeLocatorDetector();

std::string FiguresText(const Figures& f);
std::string FiguresJson(const Figures& f, const FrameRange& range);

}  // namespace eyetools
