#include "tests/device/scene_camera.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace scenecam {
namespace {

std::mutex lock;
k7qsim::Scenario current = k7qsim::Scenario::WellPlaced;
uint64_t currentSeed = 7;
bool unpacedFrames = false;
bool tagging = false;
bool started = false;
std::chrono::steady_clock::time_point start;
k7qsim::GroundTruth truths[2];

class SceneCamera : public IEyeCamera {
public:
    SceneCamera() : frame_(new uint8_t[kCameraFrameBytes]) {
        std::lock_guard<std::mutex> g(lock);
        scene_.reset(new k7qsim::ScenarioScene(current, currentSeed));
        unpaced_ = unpacedFrames;
    }
    void SetCameraName(const char* name) override { name_ = name; }
    const char* CameraName() const override { return name_; }
    int32_t OpenCamera(const char* key, const char*, NativeWindow) override {
        eye_ = std::strcmp(key, kLeftCameraKey) == 0 ? k7qsim::Eye::Left : k7qsim::Eye::Right;
        std::lock_guard<std::mutex> g(lock);
        if (!started) start = std::chrono::steady_clock::now();
        started = true;
        open_ = true;
        return kCameraOk;
    }
    int32_t CloseCamera() override {
        open_ = false;
        return 1;
    }
    const uint8_t* GrabFrame(char* message) override {
        if (!open_) {
            std::strcpy(message, "camera closed");
            return nullptr;
        }
        if (!unpaced_) std::this_thread::sleep_for(std::chrono::milliseconds(33));
        const double t =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        k7qsim::CameraControls controls;
        controls.backlight = backlight_;
        const k7qsim::GroundTruth truth = scene_->Render(eye_, t, controls, frame_.get());
        std::lock_guard<std::mutex> g(lock);
        truths[eye_ == k7qsim::Eye::Left ? 0 : 1] = truth;
        if (tagging) frame_[0] = eye_ == k7qsim::Eye::Left ? 1 : 2;
        return frame_.get();
    }
    int32_t SetBacklight(int32_t value) override {
        if (value != NotSet) backlight_ = value;
        return 0;
    }
    int32_t GetBacklight(int32_t* value) override {
        *value = backlight_;
        return 0;
    }

private:
    std::unique_ptr<uint8_t[]> frame_;
    std::unique_ptr<k7qsim::ScenarioScene> scene_;
    const char* name_ = "";
    k7qsim::Eye eye_ = k7qsim::Eye::Left;
    bool open_ = false;
    bool unpaced_ = false;
    int32_t backlight_ = 230;
};

}  // namespace

void UseScenario(k7qsim::Scenario scenario, uint64_t seed) {
    std::lock_guard<std::mutex> g(lock);
    current = scenario;
    currentSeed = seed;
    started = false;
}

void SetUnpaced(bool unpaced) {
    std::lock_guard<std::mutex> g(lock);
    unpacedFrames = unpaced;
}

std::unique_ptr<IEyeCamera> Create() { return std::unique_ptr<IEyeCamera>(new SceneCamera()); }

k7qsim::GroundTruth LastTruth(k7qsim::Eye eye) {
    std::lock_guard<std::mutex> g(lock);
    return truths[eye == k7qsim::Eye::Left ? 0 : 1];
}

void SetTagging(bool on) {
    std::lock_guard<std::mutex> g(lock);
    tagging = on;
}

int32_t TruthLocator::Detect(const uint8_t* frame, int32_t length, int32_t* result) {
    if (length != kCameraFrameBytes || (frame[0] != 1 && frame[0] != 2)) return -69;
    const k7qsim::GroundTruth t = LastTruth(frame[0] == 1 ? k7qsim::Eye::Left : k7qsim::Eye::Right);
    if (!t.eyeVisible) return 0;
    // A box of the locator's shape (2:1) centred on the iris.
    const int32_t cx = static_cast<int32_t>(t.irisX), cy = static_cast<int32_t>(t.irisY);
    result[0] = cx - 192;
    result[1] = cy - 96;
    result[2] = cx + 192;
    result[3] = cy + 96;
    return 1;
}

int32_t TruthLocator::Crop(const uint8_t* frame, int32_t frameWidth, int32_t frameHeight, const int32_t* rect,
                           uint8_t* window, int32_t windowWidth, int32_t windowHeight) {
    return BuiltInEyeLocator().Crop(frame, frameWidth, frameHeight, rect, window, windowWidth, windowHeight);
}

}  // namespace scenecam
