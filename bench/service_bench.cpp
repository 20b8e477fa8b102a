// The capture service's cost: a whole capture of both eyes through the
// device object directly and through HTTP (the difference is what the
// service adds), and the preview's halving of one camera frame. With
// `--soak N` it runs N captures over HTTP in one service process instead
// and prints the resident memory every 100 (the service's memory over time).
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <stdlib.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/device_k7q.h"
#include "device/native/native_services.h"
#include "service/service_host.h"
#include "sim/mcu/virtual_mcu.h"
#include "sim/scene/scenario.h"

namespace {

DeviceServices SceneServices(CPromptRecorder& prompts, CWarningRecorder& warnings) {
    setenv("K7Q_SCENARIO", "well-placed", 1);
    vmcu::Reset();
    return NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts, &warnings);
}

// The service as its program runs it, on a free loopback port.
struct RunningService {
    CPromptRecorder prompts;
    CWarningRecorder warnings;
    service::ServiceHost host{SceneServices(prompts, warnings), service::ApiOptions{}};
    std::thread thread;

    RunningService() {
        if (!host.Bind()) std::abort();
        thread = std::thread([this] { host.Serve(); });
        while (!host.Serving()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~RunningService() {
        host.Stop();
        thread.join();
    }
    // One capture of both eyes over HTTP; false unless it succeeded.
    bool Capture(httplib::Client& client) {
        const httplib::Result r = client.Post("/v1/capture", R"({"eye":"both"})", "application/json");
        return r && r->status == 200 && r->body.find("\"status\":0,") != std::string::npos;
    }
};

httplib::Client ClientOf(const RunningService& host) {
    httplib::Client client("127.0.0.1", host.host.Port());
    client.set_read_timeout(60, 0);
    return client;
}

void BM_CaptureOverHttp(benchmark::State& state) {
    RunningService host;
    httplib::Client client = ClientOf(host);
    client.Post("/v1/device/open", "", "application/json");
    host.Capture(client);  // the subject steps in once
    for (auto _ : state)
        if (!host.Capture(client)) state.SkipWithError("capture failed");
    client.Post("/v1/device/close", "", "application/json");
}
BENCHMARK(BM_CaptureOverHttp)->Iterations(30)->Unit(benchmark::kMillisecond)->UseRealTime();

// The device's own report, as the control receives it.
std::mutex reportLock;
std::condition_variable reported;
int32_t reportedOutcome = 0;
void Report(const unsigned char*, const unsigned char*, int32_t, int32_t, int32_t, int32_t, int32_t outcome) {
    std::lock_guard<std::mutex> guard(reportLock);
    reportedOutcome = outcome;
    reported.notify_all();
}

bool CaptureDirectly(CDeviceK7Q& device) {
    std::unique_lock<std::mutex> guard(reportLock);
    reportedOutcome = 0;
    CaptureMode = 1;
    ForceAccept = 0;
    guard.unlock();
    const int32_t started = device.DevStartCapture(kEyeBoth);
    guard.lock();
    reported.wait_for(guard, std::chrono::seconds(30), [] { return reportedOutcome != 0; });
    guard.unlock();
    device.CaptureDoneEvent()->Wait(2000);  // disarmed, as the service waits too
    return started == kDeviceOk && reportedOutcome == kOutcomeSuccess;
}

void BM_CaptureThroughTheDevice(benchmark::State& state) {
    CPromptRecorder prompts;
    CWarningRecorder warnings;
    DeviceServices s = SceneServices(prompts, warnings);
    s.resultRoutine = Report;
    CDeviceK7Q device(std::move(s));
    device.DevInit(nullptr);
    CaptureDirectly(device);
    for (auto _ : state)
        if (!CaptureDirectly(device)) state.SkipWithError("capture failed");
    device.DevClose();
}
BENCHMARK(BM_CaptureThroughTheDevice)->Iterations(30)->Unit(benchmark::kMillisecond)->UseRealTime();

// One camera frame into the preview; both cameras deliver 30 a second.
void BM_PreviewFrame(benchmark::State& state) {
    k7qsim::ScenarioScene scene(k7qsim::Scenario::WellPlaced, 7);
    std::vector<uint8_t> frame(k7qsim::kFrameBytes);
    k7qsim::CameraControls controls;
    controls.backlight = 210;
    scene.Render(k7qsim::Eye::Left, 1000, controls, frame.data());
    service::EyePreview preview;
    for (auto _ : state) preview.OnFrame(frame.data(), k7qsim::kFrameWidth, k7qsim::kFrameHeight);
    // iterations / 60 per second, inverted: 60 times the time of one frame.
    state.counters["core_share_at_2x30_fps"] =
        benchmark::Counter(state.iterations() / 60.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PreviewFrame);

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int Soak(int captures) {
    RunningService host;
    httplib::Client client = ClientOf(host);
    client.Post("/v1/device/open", "", "application/json");
    int failed = 0;
    for (int i = 1; i <= captures; ++i) {
        failed += host.Capture(client) ? 0 : 1;
        if (i % 100 == 0 || i == 1) std::printf("captures %d failed %d rss_kb %ld\n", i, failed, ResidentKilobytes());
        std::fflush(stdout);
    }
    client.Post("/v1/device/close", "", "application/json");
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--soak") == 0) return Soak(std::atoi(argv[2]));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
