// Frames of the virtual K7Q's eye scenes as the eye locator's tools see them:
// one timeline frame per camera and moment, with its ground truth, and the
// measures the tools judge a detection by.
#pragma once

#include <cstdint>
#include <functional>

#include "modules/eye_locator_stages.h"
#include "sim/scene/scene.h"

namespace eyetools {

struct Box {
    double left, top, right, bottom;
};

double IoU(const Box& a, const Box& b);
Box TruthBox(const k7qsim::GroundTruth& t);
Box RectBox(const int32_t* rect);
// The eye is visible and its box centre lies in the band the capture accepts
// (320..640 across, 240..480 down), measured the way the capture measures it.
bool WellPlaced(const k7qsim::GroundTruth& t);
// Frame-pixel box of the locator's window at a scale and position, and the
// best overlap any window reaches with a box (the locator's boxes have fixed
// sizes and a 2:1 shape, so very near or very narrow eyes fit none well).
Box WindowBox(const eyeloc::Geometry& g, int scale, int32_t i, int32_t j);
double BestWindowIoU(const eyeloc::Geometry& g, const Box& truth);

// Every frame of the timelines of seeds first..last, both cameras, from one
// second before the person arrives until half a second after they have gone,
// every stepMs; the backlight cycles through the levels the control uses.
struct FrameRange {
    uint64_t firstSeed = 1, lastSeed = 20;
    double stepMs = 150;
};
using FrameVisitor = std::function<void(uint64_t seed, double timeMs, const k7qsim::GroundTruth& truth,
                                        const uint8_t* frame)>;
void ForEachTimelineFrame(const FrameRange& range, const FrameVisitor& visit);
int BacklightFor(uint64_t index);

}  // namespace eyetools
