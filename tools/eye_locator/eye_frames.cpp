#include "tools/eye_locator/eye_frames.h"

#include <algorithm>
#include <vector>

namespace eyetools {

double IoU(const Box& a, const Box& b) {
    const double w = (a.right < b.right ? a.right : b.right) - (a.left > b.left ? a.left : b.left);
    const double h = (a.bottom < b.bottom ? a.bottom : b.bottom) - (a.top > b.top ? a.top : b.top);
    if (w <= 0 || h <= 0) return 0;
    const double inter = w * h;
    const double areaA = (a.right - a.left) * (a.bottom - a.top), areaB = (b.right - b.left) * (b.bottom - b.top);
    return inter / (areaA + areaB - inter);
}

Box TruthBox(const k7qsim::GroundTruth& t) { return {t.eyeBoxLeft, t.eyeBoxTop, t.eyeBoxRight, t.eyeBoxBottom}; }

Box RectBox(const int32_t* r) {
    return {static_cast<double>(r[0]), static_cast<double>(r[1]), static_cast<double>(r[2]),
            static_cast<double>(r[3])};
}

bool WellPlaced(const k7qsim::GroundTruth& t) {
    if (!t.eyeVisible) return false;
    const int left = static_cast<int>(t.eyeBoxLeft), right = static_cast<int>(t.eyeBoxRight);
    const int top = static_cast<int>(t.eyeBoxTop), bottom = static_cast<int>(t.eyeBoxBottom);
    const int cx = left + (right - left) / 2, cy = top + (bottom - top) / 2;
    return cx >= 320 && cx <= 640 && cy >= 240 && cy <= 480;
}

Box WindowBox(const eyeloc::Geometry& g, int scale, int32_t i, int32_t j) {
    const eyeloc::ScaleShape& sh = eyeloc::kScaleShapes[scale];
    const double x = (sh.windowW - sh.boxW) / 2 + 4 * j, y = (sh.windowH - sh.boxH) / 2 + 4 * i;
    const double left = g.step * x, top = g.margin - 1 + g.step * y;
    return {left, top, left + g.step * sh.boxW, top + g.step * sh.boxH};
}

double BestWindowIoU(const eyeloc::Geometry& g, const Box& truth) {
    double best = 0;
    for (int s = 0; s < eyeloc::kScales; ++s)
        for (int32_t i = 0; i < g.rowPositions[s]; ++i)
            for (int32_t j = 0; j < g.colPositions[s]; ++j) best = std::max(best, IoU(WindowBox(g, s, i, j), truth));
    return best;
}

int BacklightFor(uint64_t index) {
    static const int kLevels[] = {230, 170, 290, 200, 260};
    return kLevels[index % 5];
}

void ForEachTimelineFrame(const FrameRange& range, const FrameVisitor& visit) {
    std::vector<uint8_t> frame(k7qsim::kFrameBytes);
    uint64_t index = 0;
    for (uint64_t seed = range.firstSeed; seed <= range.lastSeed; ++seed) {
        k7qsim::SceneTimeline timeline(seed);
        const double from = timeline.ArrivalMs() - 1000, to = timeline.GoneMs() + 500;
        for (double t = from < 0 ? 0 : from; t <= to; t += range.stepMs)
            for (k7qsim::Eye eye : {k7qsim::Eye::Left, k7qsim::Eye::Right}) {
                k7qsim::CameraControls controls;
                controls.backlight = BacklightFor(index++);
                const k7qsim::GroundTruth truth = timeline.Render(eye, t, controls, frame.data());
                visit(seed, t, truth, frame.data());
            }
    }
}

}  // namespace eyetools
