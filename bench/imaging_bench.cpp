// The per-frame image routines on a rendered eye: the whole two-eye analysis
// pass has 33 ms on one core. Goals: Sharpen and DimIrisDisc 0.5 ms each,
// MeasureMotionBlur on a 260x260 square 1 ms, GetGrayRate 0.3 ms, the crop and
// the BMP file image together 0.3 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "device/eye_records.h"
#include "device/imaging/crop.h"
#include "device/imaging/dim_iris_disc.h"
#include "device/imaging/gray_bitmap.h"
#include "device/imaging/gray_measures.h"
#include "device/imaging/motion_blur.h"
#include "device/imaging/sharpen.h"
#include "sim/scene/scene_render.h"

namespace {

using namespace k7qsim;

// A 720x720 working image cut around a rendered iris of radius 130.
struct EyeImage {
    EyeImage() : work(kWorkBytes) {
        SceneRenderer renderer;
        std::vector<uint8_t> frame(kFrameBytes);
        EyeParams p;
        p.irisRadius = 130;
        const GroundTruth t = renderer.Render(p, CameraControls{230, 0}, frame.data());
        const int x0 = std::clamp(static_cast<int>(t.irisX) - 360, 0, 240);
        for (int y = 0; y < kWorkSide; ++y) std::memcpy(&work[y * kWorkSide], &frame[y * kFrameWidth + x0], kWorkSide);
        cx = static_cast<int>(t.irisX) - x0;
        cy = static_cast<int>(t.irisY);
        r = static_cast<int>(t.irisRadius);
    }
    std::vector<uint8_t> work;
    int cx, cy, r;
};

const EyeImage& Eye() {
    static const EyeImage eye;
    return eye;
}

void BM_Sharpen(benchmark::State& state) {
    std::vector<uint8_t> out(kWorkBytes);
    for (auto _ : state) {
        Sharpen(Eye().work.data(), out.data());
        benchmark::ClobberMemory();
    }
}

void BM_DimIrisDisc(benchmark::State& state) {
    std::vector<uint8_t> out(kWorkBytes);
    for (auto _ : state) {
        DimIrisDisc(Eye().work.data(), out.data(), Eye().cx, Eye().cy, Eye().r);
        benchmark::ClobberMemory();
    }
}

void BM_MeasureMotionBlur260(benchmark::State& state) {
    const EyeImage& e = Eye();
    float score = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MeasureMotionBlur(&score, e.work.data(), e.cx - 130, e.cy - 130, e.cx + 130, e.cy + 130));
    }
    state.counters["score"] = score;
}

// The share of the measure spent on its per-call scratch: the three blocks a
// 260x260 square asks for (square, 80x80 stage, turned canvas with labels).
void BM_MotionBlurScratchBlocks(benchmark::State& state) {
    const size_t sizes[3] = {260 * 260, 6400 * 7 + 160, 300 * 300 * 6 + 600};
    for (auto _ : state) {
        for (size_t n : sizes) {
            uint8_t* block = new uint8_t[n];
            benchmark::DoNotOptimize(block);
            delete[] block;
        }
    }
}

void BM_GetGrayRate(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(GetGrayRate(Eye().work.data()));
}

void BM_IrisGrayValue(benchmark::State& state) {
    const EyeImage& e = Eye();
    for (auto _ : state) benchmark::DoNotOptimize(IrisGrayValue(e.work.data(), e.cx, e.cy, e.r, e.r / 2));
}

void BM_CropAndGrayBitmap(benchmark::State& state) {
    std::vector<uint8_t> view(kViewBytes), bitmap(BitmapFileSize);
    for (auto _ : state) {
        CropTo640x480(Eye().work.data(), Eye().cx, Eye().cy, view.data());
        MakeGrayBitmap(view.data(), bitmap.data());
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_Sharpen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DimIrisDisc)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MeasureMotionBlur260)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MotionBlurScratchBlocks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetGrayRate)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IrisGrayValue)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CropAndGrayBitmap)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
