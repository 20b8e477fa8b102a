// The capture service's command line, and serving on the loopback address.
#pragma once

#include "service/http_api.h"

namespace service {

constexpr int kDefaultPort = 47821;

// --port N (1..65535; 0: any free port, printed), --allow-origin ORIGIN (repeatable).
bool ReadOptions(int argc, char** argv, ApiOptions* options);

// Binds 127.0.0.1 only (never every interface) and prints "listening on
// 127.0.0.1:PORT"; a port of 0 becomes the one the system chose.
bool BindLoopback(httplib::Server& server, ApiOptions* options);

}  // namespace service
