// One 960x720 eye frame: the budget is 5 ms on one core (two cameras at 30
// frames per second with room left for the control).
#include <benchmark/benchmark.h>

#include <vector>

#include "sim/scene/scene_render.h"

namespace {

using namespace k7qsim;

void RenderWith(benchmark::State& state, const EyeParams& p) {
    SceneRenderer renderer;
    std::vector<uint8_t> frame(kFrameBytes);
    CameraControls controls;
    renderer.Render(p, controls, frame.data());  // builds the subject's textures once
    for (auto _ : state) {
        EyeParams q = p;
        q.frameSeed++;
        benchmark::DoNotOptimize(renderer.Render(q, controls, frame.data()));
    }
}

void BM_SceneDefaultFrame(benchmark::State& state) { RenderWith(state, EyeParams{}); }

void BM_SceneLargeIrisDefocused(benchmark::State& state) {
    EyeParams p;
    p.irisRadius = 130;
    p.defocusSigma = 4;
    RenderWith(state, p);
}

void BM_SceneMotionBlurGlasses(benchmark::State& state) {
    EyeParams p;
    p.motionLength = 30;
    p.motionAngleDeg = 20;
    p.glareCount = 3;
    RenderWith(state, p);
}

void BM_SceneTimelineFrame(benchmark::State& state) {
    SceneTimeline timeline(3);
    std::vector<uint8_t> frame(kFrameBytes);
    double t = timeline.ArrivalMs() + 3000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(timeline.Render(Eye::Left, t, CameraControls{}, frame.data()));
        t += 33.3;
    }
}

}  // namespace

BENCHMARK(BM_SceneDefaultFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneLargeIrisDefocused)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneMotionBlurGlasses)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneTimelineFrame)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
