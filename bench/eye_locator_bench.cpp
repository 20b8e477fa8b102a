// One eye locator detection on a 960x720 frame: the budget is 2 ms on one core.
// Frames: a well-placed eye, an eye at the band's edge, the empty device, a
// closed eye, and a busy random frame (the most windows surviving longest).
#include <benchmark/benchmark.h>

#include <vector>

#include "modules/eye_locator.h"
#include "sim/scene/scene_render.h"

namespace {

using namespace k7qsim;

void DetectIn(benchmark::State& state, const std::vector<uint8_t>& frame) {
    EyeLocatorInit(kFrameWidth, kFrameHeight);
    int32_t rect[8];
    int32_t eyes = 0;
    for (auto _ : state) {
        eyes = EyeLocatorDetect(frame.data(), kFrameBytes, rect);
        benchmark::DoNotOptimize(rect);
    }
    state.counters["eyes"] = eyes;
    EyeLocatorRelease();
}

std::vector<uint8_t> Rendered(const EyeParams& p) {
    SceneRenderer renderer;
    std::vector<uint8_t> frame(kFrameBytes);
    renderer.Render(p, CameraControls{}, frame.data());
    return frame;
}

void BM_EyeLocatorWellPlacedEye(benchmark::State& state) { DetectIn(state, Rendered(EyeParams{})); }

void BM_EyeLocatorEyeAtBandEdge(benchmark::State& state) {
    EyeParams p;
    p.centerX = 330;
    p.centerY = 470;
    p.defocusSigma = 2;
    DetectIn(state, Rendered(p));
}

void BM_EyeLocatorEmptyDevice(benchmark::State& state) {
    SceneRenderer renderer;
    std::vector<uint8_t> frame(kFrameBytes);
    renderer.RenderEmpty(12345, CameraControls{}, frame.data());
    DetectIn(state, frame);
}

void BM_EyeLocatorClosedEye(benchmark::State& state) {
    SceneRenderer renderer;
    std::vector<uint8_t> frame(kFrameBytes);
    renderer.RenderNegative(NegativeKind::ClosedEye, 7, CameraControls{}, frame.data());
    DetectIn(state, frame);
}

void BM_EyeLocatorRandomNoise(benchmark::State& state) {
    std::vector<uint8_t> frame(kFrameBytes);
    uint32_t s = 1;
    for (uint8_t& v : frame) v = static_cast<uint8_t>((s = s * 1664525u + 1013904223u) >> 24);
    DetectIn(state, frame);
}

}  // namespace

BENCHMARK(BM_EyeLocatorWellPlacedEye);
BENCHMARK(BM_EyeLocatorEyeAtBandEdge);
BENCHMARK(BM_EyeLocatorEmptyDevice);
BENCHMARK(BM_EyeLocatorClosedEye);
BENCHMARK(BM_EyeLocatorRandomNoise);
BENCHMARK_MAIN();
