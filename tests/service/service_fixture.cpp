#include "tests/service/service_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "service/service_options.h"
#include "sim/mcu/virtual_mcu.h"

namespace servicetest {

Service::Service(const char* scenario) {
    setenv("K7Q_SCENARIO", scenario, 1);
    vmcu::Reset();
    DeviceServices s = NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts_, &warnings_);
    s.prompts = &progress_;
    s.warning = &progress_;
    s.leftFrames = &previews_.left;
    s.rightFrames = &previews_.right;
    s.resultRoutine = service::CaptureService::ResultRoutine;
    device_ = std::make_unique<CDeviceK7Q>(std::move(s));
    capture_ = std::make_unique<service::CaptureService>(*device_);
    options_.allowedOrigins = {kAllowedOrigin};
    EXPECT_TRUE(service::BindLoopback(server_, &options_));
    service::InstallApi(server_, *capture_, progress_, previews_, options_);
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Service::~Service() {
    server_.stop();
    thread_.join();
    capture_.reset();
    device_.reset();
    vmcu::Reset();
}

httplib::Client Service::Client() const {
    httplib::Client c("127.0.0.1", options_.port);
    c.set_read_timeout(30, 0);
    return c;
}

Json::Value Parse(const std::string& text) {
    Json::Value v;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &v, &errors)) << text;
    return v;
}

void WaitUntilCapturing(httplib::Client& client) {
    for (int i = 0; i < 200; ++i) {
        const auto r = client.Get("/v1/device");
        if (r && Parse(r->body)["capturing"].asBool()) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "no capture started";
}

}  // namespace servicetest
