// The image-judge module's entry on a rendered good eye, file read included:
// time per call, and heap allocations per call (counted by replacing the
// global operator new; the module itself allocates nothing).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "modules/judge/judge_entries.h"
#include "sim/scene/image_io.h"
#include "sim/scene/scene_render.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

std::string WriteEye() {
    k7qsim::SceneRenderer renderer;
    k7qsim::EyeParams p;
    p.irisRadius = 115;
    std::vector<uint8_t> frame(k7qsim::kFrameBytes), view(640 * 480);
    renderer.Render(p, k7qsim::CameraControls(), frame.data());
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) view[y * 640 + x] = frame[(120 + y) * k7qsim::kFrameWidth + 160 + x];
    const std::vector<uint8_t> bmp = k7qsim::EncodeBmp(view.data(), 640, 480);
    const std::string path = "/tmp/tavrik-judge-bench.bmp";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bmp.data(), 1, bmp.size(), f);
    std::fclose(f);
    return path;
}

void BM_JudgeValue(benchmark::State& state) {
    const std::string path = WriteEye();
    int32_t score = 0;
    if (JudgeEntryValue(path.c_str(), &score) != 0) state.SkipWithError("the eye was not judged");
    const long before = g_allocations;
    for (auto _ : state) {
        benchmark::DoNotOptimize(JudgeEntryValue(path.c_str(), &score));
    }
    state.counters["allocations_per_call"] =
        benchmark::Counter(static_cast<double>(g_allocations - before) / state.iterations());
    state.counters["score"] = score;
    std::remove(path.c_str());
}
BENCHMARK(BM_JudgeValue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
