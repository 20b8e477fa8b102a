// tavrik-capture-service (native): the capture service on the native scene
// cameras and the virtual microcontroller, for the fast HTTP tests.
//   tavrik-capture-service [--port N] [--allow-origin ORIGIN]...
#include <cstdio>

#include "device/native/native_services.h"
#include "service/service_host.h"
#include "service/service_options.h"

int main(int argc, char** argv) {
    service::ApiOptions options;
    if (!service::ReadOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: tavrik-capture-service [--port N] [--allow-origin ORIGIN]...\n");
        return 2;
    }
    CPromptRecorder prompts;
    CWarningRecorder warnings;
    service::ServiceHost host(NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts, &warnings),
                              options);
    if (!host.Bind()) {
        std::fprintf(stderr, "tavrik-capture-service: cannot listen on 127.0.0.1:%d\n", options.port);
        return 1;
    }
    return host.Serve() ? 0 : 1;
}
