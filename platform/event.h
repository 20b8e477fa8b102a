// Manual-reset event with a timed wait. On Windows it wraps a real event
// handle, so that a window thread can wait on it while letting sent messages
// through (MsgWaitForMultipleObjects on NativeHandle()).
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool initiallySet = false);
    ~ManualResetEvent();
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void Set();
    void Reset();
    // True when the event was set within timeoutMs (kWaitForever: no limit).
    bool Wait(uint32_t timeoutMs);
    // Wait, on a window thread: messages other threads send to this thread's
    // windows are handled meanwhile (a worker inside SendMessage to us gets
    // through). Elsewhere the same as Wait.
    bool WaitLettingSentMessagesIn(uint32_t timeoutMs);
    bool IsSet();

    // The Windows HANDLE; null on other systems.
    void* NativeHandle() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
