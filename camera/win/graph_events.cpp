// A camera graph's event queue (MediaEvent) as the device object's graph
// event thread reads it, and the camera factory of the Windows build.
#include <windows.h>
#include <dshow.h>

#include "camera/camera_seam.h"
#include "camera/win/eye_camera.h"
#include "com/com_ptr.h"

namespace camera {
namespace {

class GraphEvents : public IGraphEvents {
public:
    explicit GraphEvents(IMediaEventEx* events) {
        events->AddRef();
        events_ = com::ComPtr<IMediaEventEx>::Adopt(events);
    }

    bool GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) override {
        long eventCode = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events_->GetEvent(&eventCode, &p1, &p2, timeoutMs) != S_OK) return false;
        events_->FreeEventParams(eventCode, p1, p2);
        if (code) *code = eventCode;
        if (param1) *param1 = p1;
        if (param2) *param2 = p2;
        return true;
    }

private:
    com::ComPtr<IMediaEventEx> events_;
};

}  // namespace

std::shared_ptr<IGraphEvents> WrapGraphEvents(IMediaEventEx* events) {
    return events ? std::make_shared<GraphEvents>(events) : nullptr;
}

}  // namespace camera

std::unique_ptr<IEyeCamera> CreateEyeCamera() { return std::unique_ptr<IEyeCamera>(new camera::CEyeCamera()); }
