// A capture service for tests: the device object on the native scene
// cameras and the virtual microcontroller, served on a free loopback port.
#pragma once

#include <httplib.h>
#include <json/json.h>

#include <memory>
#include <string>
#include <thread>

#include "device/native/native_services.h"
#include "service/service_host.h"

namespace servicetest {

constexpr const char* kAllowedOrigin = "http://127.0.0.1:9000";

class Service {
public:
    // `scenario`: the subject in front of the cameras (sim/scene/scenario.h).
    explicit Service(const char* scenario);
    ~Service();
    int Port() const { return host_->Port(); }
    httplib::Client Client() const;

private:
    CPromptRecorder prompts_;
    CWarningRecorder warnings_;
    std::unique_ptr<service::ServiceHost> host_;
    std::thread thread_;
};

Json::Value Parse(const std::string& text);
// Polls the device state until a capture runs (at most 2 s).
void WaitUntilCapturing(httplib::Client& client);

}  // namespace servicetest
