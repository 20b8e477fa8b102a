#include "platform/event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/thread.h"

namespace platform {

struct ManualResetEvent::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool set = false;
};

ManualResetEvent::ManualResetEvent(bool initiallySet) : state_(new State) { state_->set = initiallySet; }

ManualResetEvent::~ManualResetEvent() = default;

void ManualResetEvent::Set() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->set = true;
    state_->changed.notify_all();
}

void ManualResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->set = false;
}

bool ManualResetEvent::Wait(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    auto isSet = [&] { return state_->set; };
    if (timeoutMs == kWaitForever) {
        state_->changed.wait(lock, isSet);
        return true;
    }
    return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSet);
}

bool ManualResetEvent::WaitLettingSentMessagesIn(uint32_t timeoutMs) { return Wait(timeoutMs); }

bool ManualResetEvent::IsSet() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->set;
}

void* ManualResetEvent::NativeHandle() const { return nullptr; }

}  // namespace platform
