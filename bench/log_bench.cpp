// Cost of one log call with the writer running. The caller only formats and
// queues; the file work happens on the writer thread. Calls are made in
// batches below the queue bound and the queue is drained between batches
// (untimed), so the figure is the caller's cost, not the disk's.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "log/log_writer.h"
#include "platform/clock.h"

namespace {

constexpr int kBatch = 50;

void DrainQueue(const CLogWriter& writer) {
    while (writer.QueuedCount() != 0) platform::SleepMs(1);
}

void BM_WriteLog(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "tavrik-log-bench";
    std::filesystem::remove_all(dir);
    CLogWriter writer;
    writer.StartLog(dir.string());
    int i = 0;
    for (auto _ : state) {
        WriteLog(&writer, 1, "DeviceK7Q", "CDeviceK7Q::DevInit", 247, "SN:%s,%d,%d,%d,%d,%d", "762019030091", 1,
                 230, 230, ++i, 230);
        if (i % kBatch == 0) {
            state.PauseTiming();
            DrainQueue(writer);
            state.ResumeTiming();
        }
    }
    writer.StopLog();
    std::filesystem::remove_all(dir);
}

// Lines per second that the writer thread sustains when producers keep the queue full.
void BM_WriterThroughput(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "tavrik-log-bench-throughput";
    std::filesystem::remove_all(dir);
    CLogWriter writer;
    writer.StartLog(dir.string());
    for (auto _ : state) WriteLog(&writer, 1, "HidOperate", "CHidOperate::send_command", 1, "command %d", 51);
    DrainQueue(writer);
    writer.StopLog();
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(dir);
}

}  // namespace

BENCHMARK(BM_WriteLog)->UseRealTime();
BENCHMARK(BM_WriterThroughput)->UseRealTime();

BENCHMARK_MAIN();
