// MediaEvent, the graph event queue the device object's graph event thread
// reads, and the camera factory of the Windows build.
#include <windows.h>
#include <dshow.h>

#include <mutex>

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

std::mutex mediaEventLock;
std::shared_ptr<IGraphEvents> mediaEvent;

}  // namespace

void PublishGraphEvents(IMediaEventEx* events) {
    std::lock_guard<std::mutex> guard(mediaEventLock);
    if (!mediaEvent && events) mediaEvent = std::make_shared<GraphEvents>(events);
}

void WithdrawGraphEvents() {
    std::shared_ptr<IGraphEvents> last;
    {
        std::lock_guard<std::mutex> guard(mediaEventLock);
        last.swap(mediaEvent);
    }
    // A reader still holding the queue keeps it until it lets go.
}

}  // namespace camera

std::shared_ptr<IGraphEvents> CurrentGraphEvents() {
    std::lock_guard<std::mutex> guard(camera::mediaEventLock);
    return camera::mediaEvent;
}

std::unique_ptr<IEyeCamera> CreateEyeCamera() { return std::unique_ptr<IEyeCamera>(new camera::CEyeCamera()); }
