// The service's host of the device, without HTTP: requests come on whichever
// server worker took them, and the device must still see one thread (its
// cameras live in the COM apartment of the thread that opened them).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

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
        onNewThread([&] { EXPECT_EQ(capture.Open(service::OpenRequest{}, &status), service::Result::kOk); });
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

// Reports success at once and disarms a while later, as a capture thread
// whose host's routine returns before it clears the armed flag.
class LateDisarmingDevice : public ThreadRecordingDevice {
public:
    ~LateDisarmingDevice() override {
        if (capture_.joinable()) capture_.join();
    }
    int32_t DevStartCapture(EyeType eye) override {
        armed_ = true;
        done_.Reset();
        capture_ = std::thread([this, eye] {
            const std::vector<uint8_t> view(BitmapFileSize, 0);
            service::CaptureService::ResultRoutine(view.data(), view.data(), BitmapFileSize, eye, 80, 80,
                                                   kOutcomeSuccess);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            armed_ = false;
            done_.Set();
        });
        return kDeviceOk;
    }
    platform::ManualResetEvent* CaptureDoneEvent() override { return &done_; }
    std::atomic<bool> armed_{false};

private:
    platform::ManualResetEvent done_{true};
    std::thread capture_;
};

// A page that asks for the next capture as soon as one is answered must not
// find the device still armed from the last.
TEST(CaptureServiceTest, ACaptureIsAnsweredOnlyOnceTheDeviceHasDisarmed) {
    LateDisarmingDevice device;
    service::CaptureService capture(device);
    int32_t status = 0;
    ASSERT_EQ(capture.Open(service::OpenRequest{}, &status), service::Result::kOk);
    service::CaptureReply reply;
    ASSERT_EQ(capture.Capture(service::CaptureRequest{}, &reply, &status), service::Result::kOk);
    EXPECT_EQ(reply.status, 0);
    EXPECT_FALSE(device.armed_.load());
    EXPECT_EQ(capture.Close(&status), service::Result::kOk);
}

}  // namespace
