// One eye camera over DirectShow: finds its device by a key in the device
// path, builds a capture graph whose sample grabber hands every frame to the
// camera's frame callback, applies the camera settings and runs the graph.
#pragma once

#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <memory>
#include <string>

#include "camera/camera_seam.h"
#include "camera/win/dshow_properties.h"
#include "camera/win/sample_grabber_cb.h"
#include "com/com_ptr.h"

namespace camera {

class CEyeCamera : public IEyeCamera {
public:
    CEyeCamera() = default;
    ~CEyeCamera() override;  // releases what is held, without stopping the graph

    void SetCameraName(const char* name) override;
    const char* CameraName() const override { return cameraName_.c_str(); }
    int32_t OpenCamera(const char* deviceKey, const char* settingsText, NativeWindow previewWindow) override;
    int32_t CloseCamera() override;
    const uint8_t* GrabFrame(char* message) override;
    int32_t SetBacklight(int32_t value) override;
    int32_t GetBacklight(int32_t* value) override;
    void SetFrameTap(IFrameTap* tap) override { callback_.Frames().SetTap(tap); }

    // The index of the first video input device whose DevicePath holds `key`
    // (case-sensitive, in the ANSI code page): -13, -2004, -2041 or -2003 otherwise.
    static int32_t FindDeviceIndex(const char* key);

    // Settings applied to the capture filter (camera_settings.h); 1 or a code.
    int32_t ApplySettings();
    const std::string& FormatName() const { return formatName_; }
    IBaseFilter* CaptureFilter() const { return capture_.Get(); }
    bool IsOpen() const { return opened_; }

private:
    int32_t CreateGraphObjects();
    int32_t BindCaptureFilter(int32_t index);
    int32_t BuildGraph(int32_t index, HWND previewWindow);
    int32_t ConnectGrabber(IBaseFilter* grabberFilter);
    int32_t ReadConnectedSize();
    int32_t InstallCallback(HWND previewWindow);
    void HideVideoWindow();
    int32_t RunGraph();
    HRESULT SettledRunResult();
    DShowCaptureProperties* Properties();
    void ReleaseGraph();

    int32_t requestedWidth_ = 0, requestedHeight_ = 0;
    std::string formatName_ = "yuv_0130";
    std::string settingsText_;
    CSampleGrabberCB callback_;
    std::string cameraName_;
    bool opened_ = false;
    com::ComPtr<IBaseFilter> capture_;
    com::ComPtr<ISampleGrabber> grabber_;
    com::ComPtr<ICaptureGraphBuilder2> builder_;
    com::ComPtr<IGraphBuilder> graph_;
    com::ComPtr<IVideoWindow> videoWindow_;
    com::ComPtr<IMediaControl> mediaControl_;
    std::unique_ptr<DShowCaptureProperties> properties_;  // of capture_, taken on first use
    std::shared_ptr<IGraphEvents> events_;  // this graph's queue, published while open
};

// The graph's event queue (MediaEvent) as the device object reads it.
std::shared_ptr<IGraphEvents> WrapGraphEvents(IMediaEventEx* events);

}  // namespace camera
