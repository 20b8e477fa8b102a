#include "camera/win/eye_camera.h"

#include "camera/camera_codes.h"
#include "camera/graph_event_set.h"
#include "camera/camera_settings.h"

namespace camera {

// The owner closes first. A camera destroyed open still stops its graph, so
// that no frame is delivered into a destroyed callback.
CEyeCamera::~CEyeCamera() {
    if (opened_) {
        CloseCamera();
        return;
    }
    callback_.Frames().Close();
    if (grabber_) grabber_->SetCallback(nullptr, 1);
}

void CEyeCamera::SetCameraName(const char* name) { cameraName_ = name ? name : ""; }

int32_t CEyeCamera::OpenCamera(const char* deviceKey, const char* settingsText, NativeWindow previewWindow) {
    if (opened_) return kAlreadyOpen;
    if (!deviceKey) return kNoDeviceKey;
    requestedWidth_ = kCameraFrameWidth;
    requestedHeight_ = kCameraFrameHeight;
    callback_.SetCameraName(cameraName_);
    settingsText_ = settingsText ? settingsText : "";

    const int32_t index = FindDeviceIndex(deviceKey);
    if (index < 0) return kNotFound;
    const int32_t built = BuildGraph(index, static_cast<HWND>(previewWindow));
    if (built < 0) return built;

    callback_.Frames().Open();
    char message[kGrabMessageBytes] = {};
    if (!GrabFrame(message)) return kNoFirstFrame;

    opened_ = true;
    com::ComPtr<IMediaEventEx> events;
    if (SUCCEEDED(graph_->QueryInterface(IID_IMediaEventEx, events.OutVoid()))) {
        events_ = WrapGraphEvents(events.Get());
        PublishGraphEvents(events_);
    }
    return kOpened;
}

// The callback is marked closed before the graph stops, so a frame still in
// delivery is dropped; Close() returns once it has left. A camera whose open
// failed after its graph ran is stopped the same way before it lets go.
int32_t CEyeCamera::CloseCamera() {
    opened_ = false;
    callback_.Frames().Close();
    if (grabber_) grabber_->SetCallback(nullptr, 1);
    if (mediaControl_) mediaControl_->Stop();
    if (videoWindow_) {
        videoWindow_->put_Visible(OAFALSE);
        videoWindow_->put_Owner(0);
    }
    ReleaseGraph();
    WithdrawGraphEvents(events_.get());
    events_.reset();
    return kOpened;
}

void CEyeCamera::ReleaseGraph() {
    properties_.reset();
    capture_.Reset();
    builder_.Reset();
    graph_.Reset();
    videoWindow_.Reset();
    mediaControl_.Reset();
    grabber_.Reset();
}

const uint8_t* CEyeCamera::GrabFrame(char* message) { return callback_.Frames().GrabFrame(message); }

DShowCaptureProperties* CEyeCamera::Properties() {
    if (!capture_) return nullptr;
    if (!properties_) properties_.reset(new DShowCaptureProperties(capture_.Get()));
    return properties_.get();
}

int32_t CEyeCamera::ApplySettings() {
    return camera::ApplySettings(settingsText_, Properties(), &formatName_);
}

int32_t CEyeCamera::SetBacklight(int32_t value) { return camera::SetBacklight(Properties(), value); }

int32_t CEyeCamera::GetBacklight(int32_t* value) { return camera::GetBacklight(Properties(), value); }

}  // namespace camera
