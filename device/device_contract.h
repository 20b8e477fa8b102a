// The contract between the control and the device object: the five device
// operations, the result routine the device calls back, the capture-done
// event, the shared capture flags and the records that cross between them.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string>

namespace platform {
class ManualResetEvent;
}

// Which eye a capture is for, as the host names it in "eyeType". Other values
// pass through unchanged; the device then analyses nothing and times out.
using EyeType = int32_t;
constexpr EyeType kEyeRight = 1;  // camera "K7Qright"
constexpr EyeType kEyeLeft = 2;   // camera "K7Qleft"
constexpr EyeType kEyeBoth = 3;   // the default

// Four zero-terminated, zero-padded narrow text fields.
struct DeviceInfo {
    char name[128];
    char serial[32];
    char modelCode[32];
    char organisationCode[32];
};
static_assert(sizeof(DeviceInfo) == 224, "DeviceInfo is four packed text fields");

// A DeviceInfo field's text: up to its first zero, never past its end.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, std::find(field, field + N, '\0'));
}

// One complete 640x480 8-bit grayscale BMP file image: 14-byte file header,
// 40-byte information header, 256-entry palette, pixels.
constexpr int32_t BitmapFileSize = 1078 + 640 * 480;
static_assert(BitmapFileSize == 0x4B436, "eye bitmap file size");

// Shared capture flags. Each has one writer at a time by the capture protocol;
// they are atomic so that the polling threads read them without a data race.
extern std::atomic<int32_t> CaptureArmed;  // a capture is armed; clearing it ends the capture
extern std::atomic<int32_t> ForceAccept;   // 1: take the first located eye, accept low scores
extern std::atomic<int32_t> CaptureMode;   // 1: one result per capture; 2: two results reported together
// Nonzero while the control's thread handles a result the capture thread is
// still sending (the host's OnCapture handler runs): a stop or close made
// from there cannot wait for the capture thread, which waits for the handler.
extern std::atomic<int32_t> ResultBeingHandled;

// What the device reports to the result routine.
enum CaptureOutcome : int32_t {
    kOutcomeRefused = -1,  // a start refused because a capture is still armed
    kOutcomeTimeout = 1,   // no result within 20 seconds
    kOutcomeStopped = 2,   // CaptureArmed cleared during a pass
    kOutcomeSuccess = 3,
    kOutcomeFailure = 4,   // an exception in the capture thread
};

// Status codes of the device operations.
enum DeviceStatus : int32_t {
    kDeviceOk = 0,
    kDeviceOpenFailed = -1,        // DevInit: already initialised or cameras not opened; DevGetInfo/GetTemplate: null argument
    kDeviceModuleRefused = -2,     // DevInit: the algorithm module refused initialisation
    kDeviceCaptureArmed = -5,      // DevStartCapture: a capture is still armed (kind -1 reported); GetTemplate: a capture runs
    kDeviceNotInitialised = -6,
    kDeviceStdException = -99,
    kDeviceUnknownException = -999,
};

// The result routine: both bitmaps (owned by the device, valid only during
// the call), their length, the armed eye type, both scores and the outcome.
using ResultRoutine = void (*)(const unsigned char* leftImage, const unsigned char* rightImage, int32_t imageLength,
                               int32_t eyeType, int32_t leftScore, int32_t rightScore, int32_t outcome);

// The window the cameras paint their previews into (an HWND on Windows).
using NativeWindow = void*;

// The device operations the control calls, all on the control's thread.
class IDevice {
public:
    virtual ~IDevice() = default;
    virtual int32_t DevInit(NativeWindow window) = 0;
    virtual int32_t DevClose() = 0;
    virtual int32_t DevStartCapture(EyeType eyeType) = 0;
    virtual int32_t DevGetInfo(DeviceInfo* info) = 0;
    virtual int32_t GetTemplate(const char* bitmapPath) = 0;
    // Manual-reset event set at every end of a capture and in every idle cycle;
    // null when the device has none.
    virtual platform::ManualResetEvent* CaptureDoneEvent() = 0;
};

// The single device object of the process, created on first use with the
// host's result routine (the control's, or the capture service's); later
// calls return the same object and leave its routine as it was. Defined by
// the device implementation linked into the program (the real device
// object, or a scripted one in tests).
IDevice* GetDevice(ResultRoutine hostRoutine);
