// The capture service's HTTP interface (docs/capture-service.openapi.json): the
// routes over CaptureService and the checks every request passes first:
// the Host must be this loopback address (a page on another name that
// resolves here is refused: DNS rebinding), an Origin must be on the
// allow-list (CORS, preflight and Chromium's private-network request
// included), requests stay within a budget, bodies are small, and every
// refusal is a JSON error.
#pragma once

#include <string>
#include <vector>

#include "service/capture_service.h"
#include "service/eye_preview.h"
#include "service/progress_feed.h"

namespace httplib {
class Server;
}

namespace service {

// The longest a request for progress events waits for one.
constexpr uint32_t kMaxEventWaitMs = 10000;

struct ApiOptions {
    int port = 0;
    std::vector<std::string> allowedOrigins;  // exact "scheme://host[:port]"; none by default
    double requestsPerSecond = 100, requestBurst = 200;  // RequestBudget
    uint32_t eventWaitLimitMs = kMaxEventWaitMs;          // the longest a progress request waits
    uint32_t previewRepeatMs = 1000;  // a preview stream without new frames sends its last one again this often
};

constexpr size_t kMaxBodyBytes = 4096;
// A stored eye bitmap for analysis: headers and a 720 x 720 image at most.
constexpr size_t kMaxBitmapBytes = 1078 + 720 * 720;

void InstallApi(httplib::Server& server, CaptureService& service, ProgressFeed& progress, Previews& previews,
                const ApiOptions& options);

// The checks on their own, for tests and the fuzz target: whether a Host
// header names this service, and whether an Origin is allowed.
bool HostAllowed(const std::string& host, int port);
bool OriginAllowed(const std::string& origin, const std::vector<std::string>& allowed);

}  // namespace service
