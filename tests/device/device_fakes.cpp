#include "tests/device/device_fakes.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "modules/vmcalib/vmcalib_records.h"
#include "platform/clock.h"

namespace fakes {
namespace {

std::mutex resultLock;
std::condition_variable resultArrived;
std::vector<Result> results;

void Record(const unsigned char* left, const unsigned char* right, int32_t length, int32_t eyeType, int32_t ls,
            int32_t rs, int32_t outcome) {
    Result r{outcome, eyeType, ls, rs, length, platform::TickCount(), {}, {}};
    if (left) r.left.assign(left, left + length);
    if (right) r.right.assign(right, right + length);
    std::lock_guard<std::mutex> lock(resultLock);
    results.push_back(std::move(r));
    resultArrived.notify_all();
}

// A frame: background, the eye's mark in byte 0 and the grab number in byte 1.
class Camera : public IEyeCamera {
public:
    Camera() : frame_(new uint8_t[kCameraFrameBytes]) { ++Current().liveCameras; }
    ~Camera() override { --Current().liveCameras; }
    void SetCameraName(const char* name) override {
        name_ = name;
        eye_ = std::strcmp(name, kLeftCameraName) == 0 ? kLeft : kRight;
    }
    const char* CameraName() const override { return name_; }
    int32_t OpenCamera(const char* key, const char*, NativeWindow) override {
        ++Current().opens;
        // The device path key, not the name, tells which camera this is.
        eye_ = std::strcmp(key, kLeftCameraKey) == 0 ? kLeft : kRight;
        open_ = Current().openResult[eye_] == kCameraOk;
        return Current().openResult[eye_];
    }
    int32_t CloseCamera() override {
        if (open_) ++Current().closes;
        open_ = false;
        return 1;
    }
    const uint8_t* GrabFrame(char* message) override {
        EyeScript& e = Current().eye[eye_];
        const int n = ++e.grabs;
        if (Current().onGrab) Current().onGrab(eye_, n);
        if (!open_ || !e.cameraDelivers) {
            std::strcpy(message, "no frame");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return nullptr;
        }
        std::memset(frame_.get(), 120, kCameraFrameBytes);
        frame_[0] = eye_ == kLeft ? kLeftMark : kRightMark;
        frame_[1] = static_cast<uint8_t>(n);
        return frame_.get();
    }
    int32_t SetBacklight(int32_t value) override {
        level_ = value;
        Current().backlight[eye_] = value;
        return 0;
    }
    int32_t GetBacklight(int32_t* value) override {
        *value = level_;
        return 0;
    }

private:
    std::unique_ptr<uint8_t[]> frame_;
    const char* name_ = "";
    int eye_ = kLeft;
    bool open_ = false;
    int32_t level_ = 230;
};

int EyeOf(const uint8_t* image) { return image[0] == kLeftMark ? kLeft : kRight; }

// A round eye: iris gray 80 (inside the exposure band), a dark pupil and the
// round reflection of the device's light in it, the compact structure the
// motion-blur measure looks for.
void PaintEye(uint8_t* work, uint8_t mark, uint8_t number) {
    for (int y = 0; y < kWorkSide; ++y)
        for (int x = 0; x < kWorkSide; ++x) {
            const int d2 = (x - 360) * (x - 360) + (y - 360) * (y - 360);
            const int s2 = (x - 372) * (x - 372) + (y - 350) * (y - 350);
            work[y * kWorkSide + x] = s2 < 10 * 10 ? 250 : (d2 < 40 * 40 ? 15 : (d2 < 100 * 100 ? 80 : 110));
        }
    work[0] = mark;
    work[1] = number;
    for (int y = 150; y < 154; ++y) std::memset(work + y * kWorkSide + 300, number, 4);  // inside the view
}

class Locator : public IEyeLocator {
public:
    int32_t Init(int32_t, int32_t) override { return 0; }
    int32_t Detect(const uint8_t* frame, int32_t length, int32_t* result) override {
        if (length != kCameraFrameBytes) return -69;
        EyeScript& e = Current().eye[EyeOf(frame)];
        const int32_t cx = e.centreX, cy = e.centreY;
        result[0] = cx - 96;
        result[1] = cy - 48;
        result[2] = cx + 96;
        result[3] = cy + 48;
        return e.locatorResult;
    }
    int32_t Crop(const uint8_t* frame, int32_t, int32_t, const int32_t*, uint8_t* window, int32_t,
                 int32_t) override {
        PaintEye(window, frame[0], frame[1]);
        return 0;
    }
    void Release() override {}
};

int32_t F0(char* text, int32_t size) {
    ++Current().f0Calls;
    std::strncpy(text, "fake 1.0", static_cast<size_t>(size));
    return 1;
}
int32_t F1(const char*, int32_t, int32_t) {
    ++Current().f1Calls;
    return Current().f1Result;
}
int32_t F2() { return ++Current().f2Calls, 1; }
int32_t F3(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) { return ++Current().f3Calls, 1; }
std::atomic<int> lastDetectedEye{kLeft};

int32_t F4(int32_t, void* input, void* output) {
    const VmCaWord* in = static_cast<const VmCaWord*>(input);
    VmCaWord* out = static_cast<VmCaWord*>(output);
    const uint8_t* image = reinterpret_cast<const uint8_t*>(in[kVmInImage]);
    lastDetectedEye = EyeOf(image);
    EyeScript& e = Current().eye[lastDetectedEye];
    ++e.detections;
    if (Current().onDetect) Current().onDetect();
    out[kVmOutKey] = 500 + image[1];
    out[kVmOutOpening] = 80;
    out[kVmOutCentreX] = 360;
    out[kVmOutCentreY] = 360;
    out[kVmOutOuterRadius] = 100;
    out[kVmOutInnerRadius] = 40;
    return e.detectResult;
}

int32_t Judge(const unsigned char* bitmap, int32_t* value) {
    // The judge runs right after the eye's detection on the same thread.
    (void)bitmap;
    EyeScript& e = Current().eye[lastDetectedEye];
    ++e.judgements;
    *value = e.judgeScore;
    return e.judgeResult;
}

}  // namespace

void Script::Reset() {
    for (EyeScript& e : eye) {
        e.centreX = 480;
        e.centreY = 360;
        e.locatorResult = 1;
        e.detectResult = 1;
        e.judgeScore = 85;
        e.judgeResult = 0;
        e.cameraDelivers = true;
        e.grabs = e.detections = e.judgements = 0;
    }
    f1Result = 1;
    f0Calls = f1Calls = f2Calls = f3Calls = 0;
    openResult[0] = openResult[1] = 1;
    opens = closes = 0;
    backlight[0] = backlight[1] = 0;
    onGrab = nullptr;
    onDetect = nullptr;
    clockSpeed = 1;
}

Script& Current() {
    static Script script;
    return script;
}

void EventQueue::Push(int32_t code) {
    std::lock_guard<std::mutex> lock(lock_);
    codes_.push_back(code);
    pushed_.notify_all();
}

bool EventQueue::GetEvent(int32_t* code, intptr_t* p1, intptr_t* p2, int32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    if (!pushed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !codes_.empty(); }))
        return false;
    *code = codes_.front();
    codes_.pop_front();
    *p1 = *p2 = 0;
    return true;
}

std::shared_ptr<EventQueue> Events() {
    static std::shared_ptr<EventQueue> queue = std::make_shared<EventQueue>();
    return queue;
}

std::vector<Result> Results() {
    std::lock_guard<std::mutex> lock(resultLock);
    return results;
}

void ClearResults() {
    std::lock_guard<std::mutex> lock(resultLock);
    results.clear();
}

bool WaitForResults(size_t n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(resultLock);
    return resultArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), [n] { return results.size() >= n; });
}

CPromptRecorder& Prompts() {
    static CPromptRecorder recorder;
    return recorder;
}

CWarningRecorder& Warnings() {
    static CWarningRecorder recorder;
    return recorder;
}

DeviceServices Services() {
    static Locator locator;
    DeviceServices s;
    s.createCamera = [] { return std::unique_ptr<IEyeCamera>(new Camera()); };
    s.graphEvents = [] { return std::shared_ptr<IGraphEvents>(Events()); };
    s.irisModule = [] { return IrisEntries{F0, F1, F2, F3, F4}; };
    s.judgeImage = Judge;
    s.locator = &locator;
    s.prompts = &Prompts();
    s.warning = &Warnings();
    s.tickCount = [] { return platform::TickCount() * Current().clockSpeed; };
    s.resultRoutine = Record;
    return s;
}

}  // namespace fakes
