// The service's host of the device, without HTTP: requests come on whichever
// server worker took them, and the device must still see one thread (its
// cameras live in the COM apartment of the thread that opened them).
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>

#include "service/capture_service.h"

namespace {

class ThreadRecordingDevice : public IDevice {
public:
    int32_t DevInit(NativeWindow) override { return Seen(kDeviceOk); }
    int32_t DevClose() override { return Seen(kDeviceOk); }
    int32_t DevStartCapture(EyeType) override { return Seen(kDeviceCaptureArmed); }
    int32_t DevGetInfo(DeviceInfo* info) override {
        *info = DeviceInfo{};
        return Seen(kDeviceOk);
    }
    int32_t GetTemplate(const char*) override { return Seen(kDeviceOk); }
    platform::ManualResetEvent* CaptureDoneEvent() override { return nullptr; }

    std::set<std::thread::id> Threads() {
        std::lock_guard<std::mutex> guard(lock_);
        return threads_;
    }

private:
    int32_t Seen(int32_t status) {
        std::lock_guard<std::mutex> guard(lock_);
        threads_.insert(std::this_thread::get_id());
        return status;
    }
    std::mutex lock_;
    std::set<std::thread::id> threads_;
};

TEST(CaptureServiceTest, EveryDeviceCallRunsOnOneThreadWhicheverRequestAsks) {
    ThreadRecordingDevice device;
    std::set<std::thread::id> callers;
    {
        service::CaptureService capture(device);
        auto onNewThread = [&callers](auto call) {
            std::thread worker(call);
            callers.insert(worker.get_id());
            worker.join();
        };
        int32_t status = 0, analysis = 0;
        service::CaptureReply reply;
        onNewThread([&] { EXPECT_EQ(capture.Open(&status), service::Result::kOk); });
        onNewThread([&] {
            EXPECT_EQ(capture.Capture(service::CaptureRequest{}, &reply, &status), service::Result::kDeviceError);
        });
        onNewThread([&] { EXPECT_EQ(capture.Analyse("BM", &analysis), service::Result::kOk); });
        onNewThread([&] { EXPECT_EQ(capture.Close(&status), service::Result::kOk); });
    }
    const std::set<std::thread::id> seen = device.Threads();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(callers.count(*seen.begin()), 0u);
    EXPECT_NE(*seen.begin(), std::this_thread::get_id());
}

}  // namespace
