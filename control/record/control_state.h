// Process-wide state of the control, shared by every control instance and by
// the result routine CallBackEnroll that runs on the device's capture thread.
#pragma once

#include <json/json.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "device/device_contract.h"

// A capture started through the dispatch interface has not yet been reported or stopped.
extern std::atomic<int32_t> CaptureRunning;
// Start of the running capture in seconds (base of "cjtphs").
extern std::atomic<long long> CaptureStartTime;
// The clock of CaptureStartTime and of the elapsed time "cjtphs": seconds
// since the epoch. The system's time unless a test installs its own.
using SecondsClock = long long (*)();
void SetRecordClock(SecondsClock clock);  // nullptr restores the system's time
long long RecordNow();

// Copies of the DeviceInfo fields read at IrisInit ("sbbh", "sbxh").
extern std::string DeviceSerialText;
extern std::string DeviceModelText;
// Event text of the outcome being reported; read by the window thread inside the send.
extern std::string ResultText;
// Records collected in two-step mode.
extern Json::Value StepTwoResults;

// The control's result routine, given to the device when the control first
// asks for it (GetDevice); runs on the device's capture thread.
void CallBackEnroll(const unsigned char* leftImage, const unsigned char* rightImage, int32_t imageLength,
                    int32_t eyeType, int32_t leftScore, int32_t rightScore, int32_t outcome);

// What the result routine needs of the control that receives results.
class IResultTarget {
public:
    virtual ~IResultTarget() = default;
    // The organisation code of the control's DeviceInfo ("sbcsdm").
    virtual std::string OrganisationCode() const = 0;
    // The window the result message goes to.
    virtual NativeWindow ResultWindow() const = 0;
};

// ActiveControl: the control whose window receives results. Guarded, so that
// a control being destroyed can withdraw itself while a result is on its way.
void SetActiveControl(IResultTarget* control);
// Clears ActiveControl when it is `control`.
void WithdrawActiveControl(IResultTarget* control);
IResultTarget* PeekActiveControl();  // for checks only; the pointer may go stale

// Sends the result message (wParam = status) to `window` and returns when the
// window's thread has handled it. False when the window no longer exists.
// Defined by the delivery code linked into the program.
bool SendCaptureResult(NativeWindow window, int32_t status);
