// One analysis pass of both eyes on frames rendered beforehand (no camera
// wait): grab copies, location, sharpen, two iris detections per eye, motion
// blur, exposure, crop, bitmap and judgement. The locator variant uses the
// built-in eye locator; the other answers with the scene's own eye box, so
// the analysis after the locator is measured whatever the locator finds.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "device/device_k7q.h"
#include "device/native/native_services.h"
#include "platform/clock.h"
#include "sim/scene/scenario.h"

namespace {

struct Frames {
    std::vector<uint8_t> eye[2];
    k7qsim::GroundTruth truth[2];
    Frames() {
        k7qsim::ScenarioScene scene(k7qsim::Scenario::WellPlaced, 7);
        k7qsim::CameraControls controls;
        controls.backlight = 210;
        for (int i = 0; i < 2; ++i) {
            eye[i].resize(k7qsim::kFrameBytes);
            truth[i] = scene.Render(i ? k7qsim::Eye::Right : k7qsim::Eye::Left, 1000, controls, eye[i].data());
        }
    }
};
Frames& Rendered() {
    static Frames frames;
    return frames;
}

class ReplayCamera : public IEyeCamera {
public:
    void SetCameraName(const char* name) override { name_ = name; }
    const char* CameraName() const override { return name_; }
    int32_t OpenCamera(const char* key, const char*, NativeWindow) override {
        eye_ = std::strcmp(key, kLeftCameraKey) == 0 ? 0 : 1;
        return kCameraOk;
    }
    int32_t CloseCamera() override { return 1; }
    const uint8_t* GrabFrame(char*) override { return Rendered().eye[eye_].data(); }
    int32_t SetBacklight(int32_t v) override { return level_ = v, 0; }
    int32_t GetBacklight(int32_t* v) override { return *v = level_, 0; }

private:
    const char* name_ = "";
    int eye_ = 0;
    int32_t level_ = 210;
};

class TruthBoxLocator : public IEyeLocator {
public:
    int32_t Init(int32_t w, int32_t h) override { return BuiltInEyeLocator().Init(w, h); }
    int32_t Detect(const uint8_t* frame, int32_t, int32_t* r) override {
        const int eye = std::memcmp(frame, Rendered().eye[0].data(), 4096) == 0 ? 0 : 1;
        const k7qsim::GroundTruth& t = Rendered().truth[eye];
        r[0] = static_cast<int32_t>(t.irisX) - 192;
        r[1] = static_cast<int32_t>(t.irisY) - 96;
        r[2] = r[0] + 384;
        r[3] = r[1] + 192;
        return 1;
    }
    int32_t Crop(const uint8_t* f, int32_t fw, int32_t fh, const int32_t* r, uint8_t* w, int32_t ww,
                 int32_t wh) override {
        return BuiltInEyeLocator().Crop(f, fw, fh, r, w, ww, wh);
    }
    void Release() override {}
};

void RunPasses(benchmark::State& state, bool truthBox) {
    static CPromptRecorder prompts;
    static CWarningRecorder warnings;
    static TruthBoxLocator truthLocator;
    Rendered();
    DeviceServices s = NativeDeviceServices([] { return std::unique_ptr<IEyeCamera>(new ReplayCamera()); }, nullptr,
                                            &prompts, &warnings);
    if (truthBox) s.locator = &truthLocator;
    CDeviceK7Q device(std::move(s));
    device.SetVoiceEnabled(0);
    if (device.DevInit(nullptr) != 0) {
        state.SkipWithError("DevInit failed");
        return;
    }
    // Passes run on this thread, so the device's own capture thread must be
    // gone: its idle cycle clears the scores and results the passes write
    // (it waits at most 50 ms before it sees the exit flag).
    CaptureThreadExit = 1;
    platform::SleepMs(200);
    std::unique_ptr<PassState> pass(new PassState());
    int64_t accepted = 0;
    for (auto _ : state) {
        device.CaptureBothEyes(*pass);
        accepted += pass->leftList.Size() + pass->rightList.Size();
        CDeviceK7Q::ClearCandidates(pass->leftList, pass->rightList);
    }
    state.counters["accepted_per_pass"] = benchmark::Counter(static_cast<double>(accepted) / state.iterations());
    device.DevClose();
}

void BM_PassBothEyesSceneBox(benchmark::State& state) { RunPasses(state, true); }
void BM_PassBothEyesLocator(benchmark::State& state) { RunPasses(state, false); }

}  // namespace

BENCHMARK(BM_PassBothEyesSceneBox)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PassBothEyesLocator)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
