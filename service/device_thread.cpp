#include "service/device_thread.h"

#include "platform/thread.h"

namespace service {

DeviceThread::DeviceThread() : thread_([this] { Loop(); }) {}

DeviceThread::~DeviceThread() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
    }
    wake_.Set();
    thread_.join();
}

int32_t DeviceThread::Run(const std::function<int32_t()>& call) {
    std::lock_guard<std::mutex> caller(callers_);
    std::unique_lock<std::mutex> guard(lock_);
    call_ = &call;
    wake_.Set();
    finished_.wait(guard, [this] { return call_ == nullptr; });
    return result_;
}

void DeviceThread::Loop() {
    for (;;) {
        std::unique_lock<std::mutex> guard(lock_);
        if (call_) {
            const std::function<int32_t()>* call = call_;
            guard.unlock();
            const int32_t result = (*call)();
            guard.lock();
            result_ = result;
            call_ = nullptr;
            finished_.notify_all();
            continue;
        }
        if (stop_) return;
        wake_.Reset();  // under the lock: a call posted after this sets it again
        guard.unlock();
        // Windows: messages sent to windows the device made on this thread get through.
        wake_.WaitLettingSentMessagesIn(platform::kWaitForever);
    }
}

}  // namespace service
