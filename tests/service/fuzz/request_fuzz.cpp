// libFuzzer target: raw bytes as one HTTP connection's requests to the
// capture service, through the library's request parsing, the service's
// checks and every route, over a device that answers at once.
#include <httplib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "service/capture_service.h"
#include "service/http_api.h"
#include "service/progress_feed.h"

namespace {

constexpr int kPort = 47821;  // the Host the seeds name

class InstantDevice : public IDevice {
public:
    int32_t DevInit(NativeWindow) override { return kDeviceOk; }
    int32_t DevClose() override { return kDeviceOk; }
    int32_t DevStartCapture(EyeType) override { return kDeviceCaptureArmed; }  // refused: the request ends
    int32_t DevGetInfo(DeviceInfo* info) override {
        *info = DeviceInfo{};
        return kDeviceOk;
    }
    int32_t GetTemplate(const char*) override { return kDeviceOk; }
    platform::ManualResetEvent* CaptureDoneEvent() override { return nullptr; }
};

// The input read as the connection's bytes; answers are dropped.
class InputStream : public httplib::Stream {
public:
    InputStream(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool is_readable() const override { return true; }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, size_ - offset_);
        std::copy(data_ + offset_, data_ + offset_ + n, ptr);
        offset_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char*, size_t size) override { return static_cast<ssize_t>(size); }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = 50000;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "127.0.0.1";
        port = kPort;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

private:
    const uint8_t* data_;
    size_t size_, offset_ = 0;
};

class FuzzedServer : public httplib::Server {
public:
    // Every request the bytes hold, as on one kept-alive connection.
    void Serve(const uint8_t* data, size_t size) {
        InputStream stream(data, size);
        bool closed = false;
        for (int i = 0; i < 8 && !closed; ++i)
            if (!process_request(stream, false, closed, nullptr)) break;
    }
};

struct Service {
    InstantDevice device;
    service::CaptureService capture{device};
    service::ProgressFeed progress;
    service::Previews previews;
    FuzzedServer server;
    Service() {
        service::ApiOptions options;
        options.port = kPort;
        options.allowedOrigins = {"http://127.0.0.1:9000"};
        options.requestsPerSecond = options.requestBurst = 1e12;  // the budget is not what is fuzzed
        options.eventWaitLimitMs = 0;
        options.previewRepeatMs = 0;
        service::InstallApi(server, capture, progress, previews, options);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Service* service = new Service;
    service->server.Serve(data, size);
    return 0;
}
