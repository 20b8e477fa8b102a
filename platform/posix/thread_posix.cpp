#include "platform/thread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace platform {

namespace {
// Outlives a let-go thread: the thread still marks it done when it ends.
struct Completion {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};
}  // namespace

struct Thread::State {
    std::shared_ptr<Completion> completion;
    std::thread thread;
};

Thread::Thread() : state_(new State) {}

Thread::~Thread() { Release(); }

bool Thread::Start(std::function<void()> body) {
    if (Holds()) return false;
    auto completion = std::make_shared<Completion>();
    try {
        state_->thread = std::thread([completion, body = std::move(body)] {
            try {
                body();
            } catch (...) {
                // A thread body never takes the process down.
            }
            std::lock_guard<std::mutex> lock(completion->mutex);
            completion->done = true;
            completion->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    state_->completion = std::move(completion);
    return true;
}

bool Thread::Join(uint32_t timeoutMs) {
    if (!Holds()) return true;
    bool ended;
    {
        std::unique_lock<std::mutex> lock(state_->completion->mutex);
        auto isDone = [&] { return state_->completion->done; };
        if (timeoutMs == kWaitForever) {
            state_->completion->ended.wait(lock, isDone);
            ended = true;
        } else {
            ended = state_->completion->ended.wait_for(lock, std::chrono::milliseconds(timeoutMs), isDone);
        }
    }
    if (ended)
        state_->thread.join();
    else
        state_->thread.detach();
    state_->completion.reset();
    return ended;
}

void Thread::Release() {
    if (!Holds()) return;
    state_->thread.detach();
    state_->completion.reset();
}

bool Thread::Holds() const { return state_->thread.joinable(); }

bool Thread::Ended() const {
    if (!Holds()) return false;
    std::lock_guard<std::mutex> lock(state_->completion->mutex);
    return state_->completion->done;
}

}  // namespace platform
