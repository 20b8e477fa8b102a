// The camera seam of the device object: what the device object asks of one
// eye camera, and of the graph event queue shared by the cameras. The Windows
// build implements it with CEyeCamera over DirectShow (camera/win/); natively
// a scene camera (sim/) renders the virtual subject for its eye.
#pragma once

#include <cstdint>
#include <memory>

#include "device/device_contract.h"  // NativeWindow

// Camera results: 1 success, 2002 and -13, -30, -2003 ... -2042 failures.
constexpr int32_t kCameraOk = 1;
// Integer camera settings use this for an absent value.
constexpr int32_t NotSet = -888888;
// Frames handed over by GrabFrame: 960x720 8-bit gray, top row first.
constexpr int32_t kCameraFrameWidth = 960;
constexpr int32_t kCameraFrameHeight = 720;
constexpr int32_t kCameraFrameBytes = kCameraFrameWidth * kCameraFrameHeight;
// GrabFrame's message buffer holds at least this many bytes.
constexpr int32_t kGrabMessageBytes = 100;

// Device-path keys and camera names of the two eyes.
constexpr const char* kLeftCameraKey = "usb#vid_0c45&pid_6666";
constexpr const char* kRightCameraKey = "usb#vid_0c45&pid_8888";
constexpr const char* kLeftCameraName = "K7Qleft";
constexpr const char* kRightCameraName = "K7Qright";

// Every frame of one camera as its 960x720 gray image (top row first), on the
// camera's streaming thread; the image is valid during the call only. The
// capture service's live preview reads the cameras this way.
class IFrameTap {
public:
    virtual ~IFrameTap() = default;
    virtual void OnFrame(const uint8_t* gray, int width, int height) = 0;
};

class IEyeCamera {
public:
    virtual ~IEyeCamera() = default;
    // Set by the owner after construction, before OpenCamera: decides the
    // preview half and the default exposure.
    virtual void SetCameraName(const char* name) = 0;
    virtual const char* CameraName() const = 0;
    // 1, or a camera code. A camera object is opened at most once.
    virtual int32_t OpenCamera(const char* deviceKey, const char* settingsText, NativeWindow previewWindow) = 0;
    // 1; safe on a camera that never opened.
    virtual int32_t CloseCamera() = 0;
    // The gray frame (valid until the camera is destroyed, replaced by the
    // next grab), or null with a message of at most kGrabMessageBytes bytes.
    virtual const uint8_t* GrabFrame(char* message) = 0;
    // 0 written (or NotSet), -1 no proc-amp interface, -2 write failed.
    virtual int32_t SetBacklight(int32_t value) = 0;
    // 0 read into value (left unchanged when it holds NotSet), -1, -2.
    virtual int32_t GetBacklight(int32_t* value) = 0;
    // Set before OpenCamera; null: none. A camera without a stream of its own ignores it.
    virtual void SetFrameTap(IFrameTap* tap) {}
};

// A fresh camera object; the device object makes one for every open.
// Defined by the camera implementation linked into the program.
std::unique_ptr<IEyeCamera> CreateEyeCamera();

// A graph event queue (MediaEvent). CurrentGraphEvents reads the queues of
// every open camera as one (camera/graph_event_set.h).
class IGraphEvents {
public:
    virtual ~IGraphEvents() = default;
    // true with an event's code and parameters, false when none arrived
    // within timeoutMs.
    virtual bool GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) = 0;
};

// The queues of the open cameras: null while no camera graph publishes one. The
// graph event thread holds the returned reference while it reads, so a
// camera close never releases the queue under it.
std::shared_ptr<IGraphEvents> CurrentGraphEvents();
