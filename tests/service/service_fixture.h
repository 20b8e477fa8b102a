// A capture service for tests: the device object on the native scene
// cameras and the virtual microcontroller, served on a free loopback port.
#pragma once

#include <httplib.h>
#include <json/json.h>

#include <memory>
#include <string>
#include <thread>

#include "device/device_k7q.h"
#include "device/native/native_services.h"
#include "service/capture_service.h"
#include "service/http_api.h"

namespace servicetest {

constexpr const char* kAllowedOrigin = "http://127.0.0.1:9000";

class Service {
public:
    // `scenario`: the subject in front of the cameras (sim/scene/scenario.h).
    explicit Service(const char* scenario);
    ~Service();
    int Port() const { return options_.port; }
    httplib::Client Client() const;

private:
    CPromptRecorder prompts_;
    CWarningRecorder warnings_;
    service::ProgressFeed progress_;
    service::Previews previews_;
    std::unique_ptr<CDeviceK7Q> device_;
    std::unique_ptr<service::CaptureService> capture_;
    service::ApiOptions options_;
    httplib::Server server_;
    std::thread thread_;
};

Json::Value Parse(const std::string& text);
// Polls the device state until a capture runs (at most 2 s).
void WaitUntilCapturing(httplib::Client& client);

}  // namespace servicetest
