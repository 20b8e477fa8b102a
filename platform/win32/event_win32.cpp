#include "platform/event.h"

#include <windows.h>

#include "platform/thread.h"

namespace platform {

struct ManualResetEvent::State {
    HANDLE handle = nullptr;
};

ManualResetEvent::ManualResetEvent(bool initiallySet) : state_(new State) {
    state_->handle = CreateEventA(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
}

ManualResetEvent::~ManualResetEvent() {
    if (state_->handle) CloseHandle(state_->handle);
}

void ManualResetEvent::Set() { SetEvent(state_->handle); }

void ManualResetEvent::Reset() { ResetEvent(state_->handle); }

bool ManualResetEvent::Wait(uint32_t timeoutMs) {
    return WaitForSingleObject(state_->handle, timeoutMs == kWaitForever ? INFINITE : timeoutMs) == WAIT_OBJECT_0;
}

bool ManualResetEvent::WaitLettingSentMessagesIn(uint32_t timeoutMs) {
    HANDLE handle = state_->handle;
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD left = INFINITE;
        if (timeoutMs != kWaitForever) {
            const DWORD spent = GetTickCount() - start;
            if (spent >= timeoutMs) return IsSet();
            left = timeoutMs - spent;
        }
        const DWORD rc = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (rc == WAIT_OBJECT_0) return true;
        if (rc != WAIT_OBJECT_0 + 1) return IsSet();
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // dispatches sent messages only
    }
}

bool ManualResetEvent::IsSet() { return WaitForSingleObject(state_->handle, 0) == WAIT_OBJECT_0; }

void* ManualResetEvent::NativeHandle() const { return state_->handle; }

}  // namespace platform
