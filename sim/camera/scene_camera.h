// The eye camera of the native build: stands in for CEyeCamera behind the
// device object's camera seam. It finds its eye by the same device-path keys
// the virtual DirectShow cameras are registered with, renders the scene for
// that eye at the real time elapsed since it opened, lit by its own
// backlight-compensation property, paces frames at 30 per second on a
// streaming thread of its own, and takes its faults (stall, unplug, busy,
// wide) from the same control file as the virtual cameras.
//
// Which subject it shows: the frame source factory (SetSceneSourceFactory),
// by default the scene timeline for the seed in K7Q_SCENE_SEED, as the
// virtual DirectShow cameras read it.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera_seam.h"
#include "camera/camera_settings.h"
#include "camera/frame_callback.h"
#include "sim/camera/camera_faults.h"
#include "sim/camera/camera_properties.h"
#include "sim/camera/frame_source.h"

namespace k7qsim {

using SceneSourceFactory = std::function<std::unique_ptr<FrameSource>()>;

// The source every scene camera created afterwards streams from; an empty
// factory restores the default.
void SetSceneSourceFactory(SceneSourceFactory factory);

// The seed in K7Q_SCENE_SEED, 7 when unset: both eyes of a process show the same person.
uint64_t SceneSeedFromEnvironment();

class SceneCamera : public IEyeCamera, private camera::ICaptureProperties {
public:
    explicit SceneCamera(std::unique_ptr<FrameSource> source);
    ~SceneCamera() override;

    void SetCameraName(const char* name) override { name_ = name ? name : ""; }
    const char* CameraName() const override { return name_.c_str(); }
    int32_t OpenCamera(const char* deviceKey, const char* settingsText, NativeWindow previewWindow) override;
    int32_t CloseCamera() override;
    const uint8_t* GrabFrame(char* message) override;
    int32_t SetBacklight(int32_t value) override;
    int32_t GetBacklight(int32_t* value) override;
    void SetFrameTap(IFrameTap* tap) override { frames_.SetTap(tap); }

    CameraProperties& Properties() { return properties_; }

private:
    class TableSet : public camera::IPropertySet {
    public:
        explicit TableSet(PropertyTable* table) : table_(table) {}
        bool GetRange(long id, camera::PropertyRange* range) override;
        bool Get(long id, long* value, long* flags) override;
        bool Set(long id, long value, long flags) override;

    private:
        PropertyTable* table_;
    };

    camera::IPropertySet* ProcAmp() override { return &ampSet_; }
    camera::IPropertySet* CameraControl() override { return &controlSet_; }
    int32_t StartStream();
    void StopStream();
    void StreamLoop();
    bool DeliverNow(uint32_t* lastFaultCheck, bool* lost);

    std::string name_;
    std::unique_ptr<FrameSource> source_;
    CameraProperties properties_;
    TableSet ampSet_{&properties_.ProcAmp()};
    TableSet controlSet_{&properties_.CameraControl()};
    camera::FrameCallback frames_;
    std::string controlPath_;
    std::string formatName_ = "yuv_0130";
    Eye eye_ = Eye::Left;
    bool opened_ = false;
    std::vector<uint8_t> gray_, yuy2_;
    std::thread stream_;
    std::atomic<bool> stop_{false};
    CameraFault fault_ = CameraFault::None;  // the streaming thread's latest reading
    std::shared_ptr<class SceneGraphEvents> events_;
};

}  // namespace k7qsim
