// Cost of one log call with the writer running: the caller only formats and
// queues; the writer thread does the file work.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "log/log_writer.h"

static void BM_WriteLog(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "tavrik-log-bench";
    std::filesystem::remove_all(dir);
    CLogWriter writer;
    writer.StartLog(dir.string());
    int i = 0;
    for (auto _ : state)
        WriteLog(&writer, 1, "DeviceK7Q", "CDeviceK7Q::DevInit", 247, "SN:%s,%d,%d,%d,%d,%d", "762019030091", 1,
                 230, 230, ++i, 230);
    writer.StopLog();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WriteLog);

BENCHMARK_MAIN();
