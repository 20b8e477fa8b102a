#include "service/service_options.h"

#include <httplib.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace service {

bool ReadOptions(int argc, char** argv, ApiOptions* options) {
    options->port = kDefaultPort;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const std::string value = argv[++i];
        if (arg == "--port") {
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (!end || *end != '\0' || port < 0 || port > 65535) return false;
            options->port = static_cast<int>(port);
        } else if (arg == "--allow-origin") {
            options->allowedOrigins.push_back(value);
        } else {
            return false;
        }
    }
    return true;
}

bool BindLoopback(httplib::Server& server, ApiOptions* options) {
    constexpr const char* kLoopback = "127.0.0.1";
    if (options->port == 0) {
        options->port = server.bind_to_any_port(kLoopback);
        if (options->port <= 0) return false;
    } else if (!server.bind_to_port(kLoopback, options->port)) {
        return false;
    }
    std::printf("listening on %s:%d\n", kLoopback, options->port);
    std::fflush(stdout);
    return true;
}

}  // namespace service
