#include "sim/camera/scene_camera.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "camera/camera_codes.h"
#include "camera/graph_event_set.h"
#include "log/log_writer.h"
#include "platform/clock.h"
#include "sim/camera/camera_format.h"
#include "sim/camera/frame_pacer.h"

namespace k7qsim {

// The graph event queue of a scene camera: what its stream posts (a lost
// device), read by the device object's graph event thread.
class SceneGraphEvents : public IGraphEvents {
public:
    void Post(int32_t code) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            codes_.push_back(code);
        }
        ready_.notify_all();
    }
    bool GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) override {
        std::unique_lock<std::mutex> guard(lock_);
        if (!ready_.wait_for(guard, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                             [this] { return !codes_.empty(); }))
            return false;
        if (code) *code = codes_.front();
        if (param1) *param1 = 0;
        if (param2) *param2 = 0;
        codes_.pop_front();
        return true;
    }

private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<int32_t> codes_;
};

namespace {

constexpr int32_t kDeviceLost = 31;  // EC_DEVICE_LOST
constexpr uint32_t kFaultPollMs = 100;
constexpr uint32_t kIdleMs = 20;
constexpr uint64_t kDefaultSceneSeed = 7;

// The device paths the virtual cameras are registered with.
struct SceneDevice {
    const char* devicePath;
    Eye eye;
};
constexpr SceneDevice kDevices[] = {
    {"\\\\?\\usb#vid_0c45&pid_6666&mi_00#7&2f1c4a6e&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global", Eye::Left},
    {"\\\\?\\usb#vid_0c45&pid_8888&mi_00#7&3a9d0b15&0&0000#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global",
     Eye::Right},
};

std::mutex sourceLock;
SceneSourceFactory sourceFactory;

}  // namespace

void SetSceneSourceFactory(SceneSourceFactory factory) {
    std::lock_guard<std::mutex> guard(sourceLock);
    sourceFactory = std::move(factory);
}

uint64_t SceneSeedFromEnvironment() {
    const char* value = std::getenv("K7Q_SCENE_SEED");
    return value ? std::strtoull(value, nullptr, 10) : kDefaultSceneSeed;
}

bool SceneCamera::TableSet::GetRange(long id, camera::PropertyRange* range) {
    PropertyRange r;
    if (table_->GetRange(static_cast<int>(id), &r) != PropertyStatus::Ok) return false;
    range->minimum = r.minimum;
    range->maximum = r.maximum;
    range->step = r.step;
    range->defaultValue = r.defaultValue;
    range->caps = r.capsFlags;
    return true;
}
bool SceneCamera::TableSet::Get(long id, long* value, long* flags) {
    return table_->Get(static_cast<int>(id), value, flags) == PropertyStatus::Ok;
}
bool SceneCamera::TableSet::Set(long id, long value, long flags) {
    return table_->Set(static_cast<int>(id), value, flags) == PropertyStatus::Ok;
}

SceneCamera::SceneCamera(std::unique_ptr<FrameSource> source)
    : source_(std::move(source)), controlPath_(CameraControlPath()), gray_(kFrameBytes), yuy2_(kYuy2FrameBytes) {}

SceneCamera::~SceneCamera() { CloseCamera(); }

int32_t SceneCamera::OpenCamera(const char* deviceKey, const char* settingsText, NativeWindow) {
    if (opened_) return camera::kAlreadyOpen;
    if (!deviceKey) return camera::kNoDeviceKey;
    const SceneDevice* device = nullptr;
    for (const SceneDevice& candidate : kDevices)
        if (*deviceKey && std::strstr(candidate.devicePath, deviceKey)) {
            device = &candidate;
            break;
        }
    if (!device) return camera::kNotFound;
    eye_ = device->eye;

    int32_t result = camera::ApplySettings(settingsText ? settingsText : "", this, &formatName_);
    if (result != camera::kOpened) return result;
    const camera::FrameFormat format = camera::ParseFrameFormat(formatName_);
    if (format == camera::FrameFormat::Unknown) return camera::kUnknownFormat;
    if (format == camera::FrameFormat::Rgb24) return camera::kRenderFailed;  // the stream is YUY2 only
    result = StartStream();
    if (result != camera::kGraphRunning) return result;

    frames_.Open();
    char message[kGrabMessageBytes] = {};
    if (!frames_.GrabFrame(message)) return camera::kNoFirstFrame;
    opened_ = true;
    camera::PublishGraphEvents(events_);
    return camera::kOpened;
}

int32_t SceneCamera::StartStream() {
    const CameraFault fault = ReadCameraFault(controlPath_, eye_);
    if (fault == CameraFault::Wide) return camera::kWrongFrameSize;
    if (fault == CameraFault::Busy) {
        DebugTrace("%s", camera::BusyTraceLine());
        return camera::kRunFailed;
    }
    // The scene builds its subjects on first use; doing that here, as a real
    // camera's start takes its time, keeps the first frame within the grab's
    // wait even on a slow or busy machine.
    source_->Render(eye_, 0, properties_.RenderControls(), gray_.data());
    frames_.SetFrameSize(kCameraWidth, kCameraHeight);
    frames_.SetFormat(camera::ParseFrameFormat(formatName_));
    events_ = std::make_shared<SceneGraphEvents>();
    fault_ = CameraFault::None;
    stop_ = false;
    stream_ = std::thread([this] { StreamLoop(); });
    return camera::kGraphRunning;
}

void SceneCamera::StopStream() {
    stop_ = true;
    if (stream_.joinable()) stream_.join();
}

int32_t SceneCamera::CloseCamera() {
    opened_ = false;
    frames_.Close();
    StopStream();
    camera::WithdrawGraphEvents(events_.get());
    events_.reset();
    return camera::kOpened;
}

const uint8_t* SceneCamera::GrabFrame(char* message) { return frames_.GrabFrame(message); }

int32_t SceneCamera::SetBacklight(int32_t value) { return camera::SetBacklight(this, value); }

int32_t SceneCamera::GetBacklight(int32_t* value) { return camera::GetBacklight(this, value); }

// Polls the control file a few times a second; an unplug is final: one
// device-lost event, then silence.
bool SceneCamera::DeliverNow(uint32_t* lastFaultCheck, bool* lost) {
    const uint32_t now = platform::TickCount();
    if (!*lost && now - *lastFaultCheck >= kFaultPollMs) {
        *lastFaultCheck = now;
        fault_ = ReadCameraFault(controlPath_, eye_);
        if (fault_ == CameraFault::Unplug) {
            *lost = true;
            events_->Post(kDeviceLost);
        }
    }
    return !*lost && fault_ != CameraFault::Stall;
}

void SceneCamera::StreamLoop() {
    const uint32_t start = platform::TickCount();
    FramePacer pacer(start, kFramesPerSecond);
    uint32_t lastFaultCheck = start - kFaultPollMs;
    bool lost = false;
    uint32_t counter = 0;
    while (!stop_) {
        const uint32_t delay = pacer.DelayMs(platform::TickCount());
        if (delay > 0) {
            platform::SleepMs(delay < kIdleMs ? delay : kIdleMs);
            continue;
        }
        if (DeliverNow(&lastFaultCheck, &lost)) {
            const double elapsedMs = platform::TicksSince(start);
            source_->Render(eye_, elapsedMs, properties_.RenderControls(), gray_.data());
            PackGrayToYuy2(gray_.data(), kCameraWidth, kCameraHeight, yuy2_.data());
            StampFrameCounter(counter++, yuy2_.data());
            frames_.OnFrame(yuy2_.data(), yuy2_.size());
        }
        pacer.FrameSent(platform::TickCount());
    }
}

}  // namespace k7qsim

std::unique_ptr<IEyeCamera> CreateEyeCamera() {
    k7qsim::SceneSourceFactory factory;
    {
        std::lock_guard<std::mutex> guard(k7qsim::sourceLock);
        factory = k7qsim::sourceFactory;
    }
    std::unique_ptr<k7qsim::FrameSource> source =
        factory ? factory() : k7qsim::MakeDefaultFrameSource(k7qsim::SceneSeedFromEnvironment());
    return std::unique_ptr<IEyeCamera>(new k7qsim::SceneCamera(std::move(source)));
}

