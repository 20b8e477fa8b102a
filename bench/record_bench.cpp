// Building and serialising a two-eye capture record (two eye bitmaps).
#include <benchmark/benchmark.h>

#include <vector>

#include "device/record/capture_record.h"
#include "device/device_contract.h"

static void BM_TwoEyeRecord(benchmark::State& state) {
    std::vector<unsigned char> left(BitmapFileSize), right(BitmapFileSize);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<unsigned char>(i * 31);
        right[i] = static_cast<unsigned char>(i * 17 + 5);
    }
    RecordFields fields;
    fields.elapsedSeconds = 4;
    fields.captureId = "0123456789abcdef0123456789abcdef";
    fields.serial = "K7Q-0001";
    fields.model = "05";
    fields.organisation = "120000000000000034";
    const CaptureAttempt attempt{left.data(), right.data(), BitmapFileSize, kEyeBoth, 80, 90, kOutcomeSuccess};
    for (auto _ : state) {
        Json::Value record;
        BuildCaptureRecord(attempt, fields, &record);
        std::string text = WriteCompact(record);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_TwoEyeRecord)->Unit(benchmark::kMillisecond);

static void BM_Base64EyeBitmap(benchmark::State& state) {
    std::vector<unsigned char> image(BitmapFileSize, 0x5A);
    for (auto _ : state) {
        std::string text = Base64Encode(image.data(), image.size());
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_Base64EyeBitmap)->Unit(benchmark::kMillisecond);

static void BM_WriteOnly(benchmark::State& state) {
    Json::Value record;
    record["a"] = std::string(411040, 'A');
    record["b"] = std::string(411040, 'B');
    for (auto _ : state) {
        std::string text = WriteCompact(record);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_WriteOnly)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
