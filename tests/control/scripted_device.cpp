#include "tests/control/scripted_device.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/clock.h"

namespace {

// The routine the host gave when it first asked for the device.
ResultRoutine& HostRoutine() {
    static ResultRoutine routine = nullptr;
    return routine;
}

void Report(const unsigned char* left, const unsigned char* right, int32_t length, int32_t eyeType, int32_t leftScore,
            int32_t rightScore, int32_t outcome) {
    if (ResultRoutine routine = HostRoutine()) routine(left, right, length, eyeType, leftScore, rightScore, outcome);
}

}  // namespace

CScriptedDevice::CScriptedDevice() : left(BitmapFileSize, 0x11), right(BitmapFileSize, 0x22) {
    thread_.Start([this] { CaptureLoop(); });
}

CScriptedDevice::~CScriptedDevice() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        exit_ = true;
    }
    thread_.Join(platform::kWaitForever);
}

void CScriptedDevice::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.clear();
    capturing_ = false;
    CaptureArmed = 0;
    initialised = false;
    reportStop = true;
    initResult = closeResult = templateResult = 0;
    templateThrows = false;
    serial = "K7Q-TEST-0042";
    startCalls = reports = infoCalls = 0;
    done_.Set();
}

int32_t CScriptedDevice::DevInit(NativeWindow window) {
    initWindow = window;
    if (initialised) return kDeviceOpenFailed;
    if (initResult == 0) initialised = true;
    return initResult;
}

int32_t CScriptedDevice::DevClose() {
    CaptureArmed = 0;
    done_.Wait(2000);
    initialised = false;
    return closeResult;
}

int32_t CScriptedDevice::DevStartCapture(EyeType eyeType) {
    ++startCalls;
    if (!initialised) return kDeviceNotInitialised;
    startedEyeType = eyeType;
    if (CaptureArmed) {
        Report(nullptr, nullptr, 0, -1, 0, 0, kOutcomeRefused);  // on the caller's thread
        return kDeviceCaptureArmed;
    }
    std::lock_guard<std::mutex> guard(lock_);
    done_.Reset();
    capturing_ = true;
    successes_ = 0;
    CaptureArmed = 1;
    return kDeviceOk;
}

int32_t CScriptedDevice::DevGetInfo(DeviceInfo* info) {
    ++infoCalls;
    if (!info) return kDeviceOpenFailed;
    std::memset(info, 0, sizeof *info);
    std::snprintf(info->serial, sizeof info->serial, "%s", initialised ? serial.c_str() : "unkown serial");
    std::strcpy(info->modelCode, "05");
    std::strcpy(info->organisationCode, "120000000000000034");
    return kDeviceOk;
}

int32_t CScriptedDevice::GetTemplate(const char* bitmapPath) {
    if (!bitmapPath) return kDeviceOpenFailed;
    if (templateThrows) throw std::runtime_error("template analysis failed");
    if (!initialised) return kDeviceNotInitialised;
    return templateResult;
}

void CScriptedDevice::Queue(ScriptedOutcome outcome) {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(outcome);
}

// One 5 ms cycle at a time, like the real capture thread's passes.
void CScriptedDevice::CaptureLoop() {
    for (;;) {
        ScriptedOutcome next{};
        bool report = false, stopped = false;
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (exit_) return;
            if (capturing_ && !CaptureArmed) {
                stopped = true;
                capturing_ = false;
            } else if (capturing_ && !queue_.empty()) {
                next = queue_.front();
                queue_.pop_front();
                report = true;
            }
        }
        if (stopped) {
            if (reportStop) {
                ++reports;
                Report(nullptr, nullptr, 0, -1, 0, 0, kOutcomeStopped);
            }
            done_.Set();
        } else if (report) {
            const bool success = next.outcome == kOutcomeSuccess;
            ++reports;
            Report(success ? left.data() : nullptr, success ? right.data() : nullptr,
                           success ? BitmapFileSize : 0, success ? startedEyeType : -1, next.leftScore,
                           next.rightScore, next.outcome);
            // In two-step mode the first success leaves the capture armed for the second.
            if (success) ++successes_;
            const bool secondStepDue = success && CaptureMode == 2 && successes_ == 1;
            if (!secondStepDue) {
                std::lock_guard<std::mutex> guard(lock_);
                capturing_ = false;
                CaptureArmed = 0;
                done_.Set();
            }
        }
        platform::SleepMs(5);
    }
}

CScriptedDevice& ScriptedDevice() {
    static CScriptedDevice device;
    return device;
}

IDevice* GetDevice(ResultRoutine hostRoutine) {
    if (hostRoutine) HostRoutine() = hostRoutine;
    return &ScriptedDevice();
}
