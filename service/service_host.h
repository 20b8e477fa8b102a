// The capture service as its programs run it: the device object made with
// the program's services, in which the service's progress feed, previews and
// result routine take the places of the prompt player, warning box, frame
// taps and result routine (the feed passes prompts and warnings on to the
// ones it replaced); the capture service over the device; and the HTTP
// interface on 127.0.0.1.
#pragma once

#include <httplib.h>

#include <memory>

#include "device/device_k7q.h"
#include "service/capture_service.h"
#include "service/eye_preview.h"
#include "service/http_api.h"
#include "service/progress_feed.h"

namespace service {

class ServiceHost {
public:
    ServiceHost(DeviceServices services, ApiOptions options);
    ~ServiceHost();  // the server must no longer be serving; closes the device
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Binds 127.0.0.1 (a port of 0 becomes the one the system chose) and
    // installs the interface; false when the port cannot be had.
    bool Bind();
    // Serves until Stop; false when serving failed.
    bool Serve() { return server_.listen_after_bind(); }
    bool Serving() const { return server_.is_running(); }
    void Stop() { server_.stop(); }
    int Port() const { return options_.port; }

private:
    ApiOptions options_;
    ProgressFeed progress_;
    Previews previews_;
    std::unique_ptr<CDeviceK7Q> device_;
    std::unique_ptr<CaptureService> capture_;
    httplib::Server server_;
};

}  // namespace service
