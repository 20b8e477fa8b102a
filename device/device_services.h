// What the device object needs from outside its own code: the eye cameras,
// the graph event queue, the eye locator, the iris algorithm module, the
// image judge, the voice prompt player, the warning box and the caller-side
// wait. The shipped control gets the Windows implementations; native builds
// and tests hand in scene cameras, static module builds and recorders.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "camera/camera_seam.h"
#include "modules/vmcalib.h"

namespace platform {
class ManualResetEvent;
}

// The eye locator's four operations (rectangles: left, top, right, bottom).
class IEyeLocator {
public:
    virtual ~IEyeLocator() = default;
    virtual int32_t Init(int32_t width, int32_t height) = 0;
    // 1 with one rectangle in result[0..3]; 2, 0 or a negative code otherwise.
    virtual int32_t Detect(const uint8_t* frame, int32_t length, int32_t* result) = 0;
    virtual int32_t Crop(const uint8_t* frame, int32_t frameWidth, int32_t frameHeight, const int32_t* rect,
                         uint8_t* window, int32_t windowWidth, int32_t windowHeight) = 0;
    virtual void Release() = 0;
};

// The process's built-in locator (modules/eye_locator.h).
IEyeLocator& BuiltInEyeLocator();

// The entries of the iris algorithm module the device object calls; each
// null when not bound.
struct IrisEntries {
    CVmCaLib::VersionEntry f0 = nullptr;
    CVmCaLib::InitEntry f1 = nullptr;
    CVmCaLib::ReleaseEntry f2 = nullptr;
    CVmCaLib::SettingsEntry f3 = nullptr;
    CVmCaLib::DetectEntry f4 = nullptr;
};
IrisEntries EntriesOf(const CVmCaLib& binding);

// Voice prompts: WAVE resources 203-215 of the control's module.
class IPromptPlayer {
public:
    virtual ~IPromptPlayer() = default;
    // Starts the prompt and returns at once.
    virtual void Play(int32_t id) = 0;
    // Stops whatever prompt is playing.
    virtual void StopAll() = 0;
};

// The modal warning shown when the device is lost; returns when closed.
class IWarningBox {
public:
    virtual ~IWarningBox() = default;
    virtual void Show(const char* text, const char* caption) = 0;
};

struct DeviceServices {
    std::function<std::unique_ptr<IEyeCamera>()> createCamera;
    std::function<std::shared_ptr<IGraphEvents>()> graphEvents;
    // Binds the module on first use; entries stay valid while the process runs.
    std::function<IrisEntries()> irisModule;
    // 0 accepted, non-zero rejected; value receives the score.
    std::function<int32_t(const unsigned char* bitmap, int32_t* value)> judgeImage;
    IEyeLocator* locator = nullptr;
    IPromptPlayer* prompts = nullptr;
    IWarningBox* warning = nullptr;
    // Every frame of the left and of the right camera while they are open
    // (the capture service's preview); null: none.
    IFrameTap* leftFrames = nullptr;
    IFrameTap* rightFrames = nullptr;
    // The millisecond tick the 20-second budget is measured on.
    std::function<uint32_t()> tickCount;
    // The host's result routine (the control's CallBackEnroll, or the
    // capture service's); DevStartCapture stores it in the device itself.
    ResultRoutine resultRoutine = nullptr;
    // Waits on the control's thread for the capture to end, letting the
    // capture thread's synchronous result message through meanwhile.
    std::function<bool(platform::ManualResetEvent& event, uint32_t timeoutMs)> waitOnControlThread;
};

// The services of the program's build (Windows: DirectShow cameras, embedded
// modules, PlaySound, MessageBoxA; native: scene cameras and recorders).
// The host gives its result routine.
DeviceServices DefaultDeviceServices(ResultRoutine hostRoutine);
