// tavrik-capture-service (Windows): the capture service on the K7Q's
// DirectShow cameras and its microcontroller (hidapi, or the virtual one in
// the development build), with the control's algorithm modules and voice
// prompts embedded as the control embeds them.
//   tavrik-capture-service [--port N] [--allow-origin ORIGIN]...
#include <httplib.h>  // before <windows.h>: it brings in winsock2.h

#include <cstdio>

#include "device/device_k7q.h"
#include "device/device_services.h"
#include "service/capture_service.h"
#include "service/http_api.h"
#include "service/service_options.h"

int main(int argc, char** argv) {
    service::ApiOptions options;
    if (!service::ReadOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: tavrik-capture-service [--port N] [--allow-origin ORIGIN]...\n");
        return 2;
    }
    DeviceServices services = DefaultDeviceServices(service::CaptureService::ResultRoutine);
    service::ProgressFeed progress(services.prompts, services.warning);
    services.prompts = &progress;
    services.warning = &progress;
    service::Previews previews;
    services.leftFrames = &previews.left;
    services.rightFrames = &previews.right;
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
