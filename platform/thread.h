// A worker thread that can be joined with a time-out, as the control needs
// for its writer, capture and event threads: a thread that does not end in
// time is let go (its handle closed) instead of blocking the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

class Thread {
public:
    Thread();
    ~Thread();  // lets a still-running thread go, like closing its handle
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread. False when a thread is already held or the
    // OS refused to create one.
    bool Start(std::function<void()> body);

    // Waits up to timeoutMs for the thread to end. True when it ended (or none
    // was held). Either way the thread is no longer held afterwards.
    bool Join(uint32_t timeoutMs);

    // Lets the thread go without waiting.
    void Release();

    bool Holds() const;
    // True when the held thread has ended, also one the process's end cut
    // short before its last step; false while it runs or when none is held.
    bool Ended() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
