// tavrik-capture-service (Windows): the capture service on the K7Q's
// DirectShow cameras and its microcontroller (hidapi, or the virtual one in
// the development build), with the control's algorithm modules and voice
// prompts embedded as the control embeds them.
//   tavrik-capture-service [--port N] [--allow-origin ORIGIN]...
#include <httplib.h>  // before <windows.h>: it brings in winsock2.h

#include <cstdio>

#include "device/device_services.h"
#include "service/service_host.h"
#include "service/service_options.h"

int main(int argc, char** argv) {
    service::ApiOptions options;
    if (!service::ReadOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: tavrik-capture-service [--port N] [--allow-origin ORIGIN]...\n");
        return 2;
    }
    // The device's own player and warning box still speak to the person at the desk.
    service::ServiceHost host(DefaultDeviceServices(service::CaptureService::ResultRoutine), options);
    if (!host.Bind()) {
        std::fprintf(stderr, "tavrik-capture-service: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    return host.Serve() ? 0 : 1;
}
