// A device object driven by the test: its capture thread reports the
// outcomes the test queues, through the real result routine, while the
// control waits or pumps on its window thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_contract.h"
#include "platform/event.h"
#include "platform/thread.h"

struct ScriptedOutcome {
    int32_t outcome;  // kOutcomeSuccess, kOutcomeTimeout, kOutcomeFailure ...
    int32_t leftScore;
    int32_t rightScore;
};

class CScriptedDevice : public IDevice {
public:
    CScriptedDevice();
    ~CScriptedDevice() override;

    int32_t DevInit(NativeWindow window) override;
    int32_t DevClose() override;
    int32_t DevStartCapture(EyeType eyeType) override;
    int32_t DevGetInfo(DeviceInfo* info) override;
    int32_t GetTemplate(const char* bitmapPath) override;
    platform::ManualResetEvent* CaptureDoneEvent() override { return &done_; }

    // Reported in order by the capture thread while a capture is armed.
    void Queue(ScriptedOutcome outcome);
    // Reports a stop (kind 2) when CaptureArmed is cleared during a capture.
    bool reportStop = true;
    int32_t initResult = 0;
    int32_t closeResult = 0;
    int32_t templateResult = 0;
    bool templateThrows = false;
    std::string serial = "K7Q-TEST-0042";  // the serial of an initialised device  // GetTemplate throws, like a fault deep inside the device

    // Observations.
    NativeWindow initWindow = nullptr;
    EyeType startedEyeType = 0;
    int startCalls = 0;
    int reports = 0;  // result routine calls made by the capture thread
    int infoCalls = 0;  // DevGetInfo calls
    bool initialised = false;
    std::vector<unsigned char> left, right;  // the bitmaps handed over on success

    void Reset();  // back to a closed device with nothing queued

private:
    void CaptureLoop();

    std::mutex lock_;
    std::deque<ScriptedOutcome> queue_;
    bool capturing_ = false;
    int successes_ = 0;  // successes reported in the running capture
    bool exit_ = false;
    platform::ManualResetEvent done_{true};
    platform::Thread thread_;
};

CScriptedDevice& ScriptedDevice();
