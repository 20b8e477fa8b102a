#include "tests/service/service_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "sim/mcu/virtual_mcu.h"

namespace servicetest {

Service::Service(const char* scenario) {
    setenv("K7Q_SCENARIO", scenario, 1);
    vmcu::Reset();
    service::ApiOptions options;
    options.allowedOrigins = {kAllowedOrigin};
    host_ = std::make_unique<service::ServiceHost>(
        NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts_, &warnings_), options);
    EXPECT_TRUE(host_->Bind());
    thread_ = std::thread([this] { host_->Serve(); });
    while (!host_->Serving()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

Service::~Service() {
    host_->Stop();
    thread_.join();
    host_.reset();
    vmcu::Reset();
}

httplib::Client Service::Client() const {
    httplib::Client c("127.0.0.1", host_->Port());
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
