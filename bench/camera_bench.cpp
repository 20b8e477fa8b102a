// The frame conversion of an eye camera on a 960x720 YUY2 frame (preview
// expansion for painting plus the gray image of a requested grab), beside a
// memcpy of the same frame bytes: the work is memory-bound, the goal is to
// stay within twice the copy.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "camera/frame_converter.h"

namespace {

constexpr int kWidth = 960, kHeight = 720;
constexpr size_t kFrameBytes = static_cast<size_t>(kWidth) * kHeight * 2;

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> frame(kFrameBytes);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    return frame;
}

void BM_ConvertFrameYuv0130(benchmark::State& state) {
    const std::vector<uint8_t> frame = Frame();
    std::vector<uint8_t> gray(static_cast<size_t>(kWidth) * kHeight);
    camera::FrameConverter converter;
    converter.SetFrameSize(kWidth, kHeight);
    converter.SetFormat(camera::FrameFormat::Yuv0130);
    for (auto _ : state) {
        converter.ConvertGray(frame.data(), frame.size(), gray.data());
        const uint8_t* preview = converter.Preview(frame.data(), frame.size(), true, gray.data());
        benchmark::DoNotOptimize(preview);
        benchmark::DoNotOptimize(gray.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_ConvertFrameYuv0130)->Unit(benchmark::kMicrosecond);

// A frame nobody grabs: only the preview expansion runs.
void BM_PreviewOnlyYuv0130(benchmark::State& state) {
    const std::vector<uint8_t> frame = Frame();
    camera::FrameConverter converter;
    converter.SetFrameSize(kWidth, kHeight);
    converter.SetFormat(camera::FrameFormat::Yuv0130);
    for (auto _ : state) {
        benchmark::DoNotOptimize(converter.Preview(frame.data(), frame.size(), true));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_PreviewOnlyYuv0130)->Unit(benchmark::kMicrosecond);

void BM_MemcpyFrame(benchmark::State& state) {
    const std::vector<uint8_t> frame = Frame();
    std::vector<uint8_t> copy(kFrameBytes);
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.data(), kFrameBytes);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
