#include "service/service_host.h"

#include "service/service_options.h"

namespace service {

ServiceHost::ServiceHost(DeviceServices services, ApiOptions options)
    : options_(std::move(options)), progress_(services.prompts, services.warning) {
    services.prompts = &progress_;
    services.warning = &progress_;
    services.leftFrames = &previews_.left;
    services.rightFrames = &previews_.right;
    services.resultRoutine = CaptureService::ResultRoutine;
    device_ = std::make_unique<CDeviceK7Q>(std::move(services));
    capture_ = std::make_unique<CaptureService>(*device_);
}

ServiceHost::~ServiceHost() {
    capture_.reset();  // stops a capture and closes the device
    device_.reset();
}

bool ServiceHost::Bind() {
    if (!BindLoopback(server_, &options_)) return false;
    InstallApi(server_, *capture_, progress_, previews_, options_);
    return true;
}

}  // namespace service
