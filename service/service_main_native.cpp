// tavrik-capture-service (native): the capture service on the native scene
// cameras and the virtual microcontroller, for the fast HTTP tests.
//   tavrik-capture-service [--port N] [--allow-origin ORIGIN]...
#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/device_k7q.h"
#include "device/native/native_services.h"
#include "service/capture_service.h"
#include "service/http_api.h"
#include "service/service_options.h"

int main(int argc, char** argv) {
    service::ApiOptions options;
    if (!service::ReadOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: tavrik-capture-service [--port N] [--allow-origin ORIGIN]...\n");
        return 2;
    }
    CPromptRecorder prompts;
    CWarningRecorder warnings;
    DeviceServices services = NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts, &warnings);
    service::ProgressFeed progress;
    services.prompts = &progress;
    services.warning = &progress;
    service::Previews previews;
    services.leftFrames = &previews.left;
    services.rightFrames = &previews.right;
    services.resultRoutine = service::CaptureService::ResultRoutine;
    CDeviceK7Q device(std::move(services));
    service::CaptureService capture(device);
    httplib::Server server;
    if (!service::BindLoopback(server, &options)) {
        std::fprintf(stderr, "tavrik-capture-service: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    service::InstallApi(server, capture, progress, previews, options);
    return server.listen_after_bind() ? 0 : 1;
}
