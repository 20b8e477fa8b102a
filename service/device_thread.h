// The one thread every device call of the service runs on. The device opens
// its cameras in the COM apartment of the thread that calls DevInit and
// closes them from the thread that calls DevClose; requests come on any of
// the HTTP server's workers, so the calls are carried over to this thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/event.h"

namespace service {

class DeviceThread {
public:
    DeviceThread();
    ~DeviceThread();  // finishes the call under way, then joins
    DeviceThread(const DeviceThread&) = delete;
    DeviceThread& operator=(const DeviceThread&) = delete;

    // Runs `call` on the device thread, one caller at a time, and returns its result.
    int32_t Run(const std::function<int32_t()>& call);

private:
    void Loop();

    std::mutex callers_;  // held by the caller whose call is posted
    std::mutex lock_;
    std::condition_variable finished_;
    platform::ManualResetEvent wake_;
    const std::function<int32_t()>* call_ = nullptr;
    int32_t result_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace service
