#include "platform/thread.h"

#include <windows.h>
#include <process.h>

namespace platform {

struct Thread::State {
    HANDLE handle = nullptr;
};

namespace {
unsigned __stdcall RunBody(void* argument) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    try {
        (*body)();
    } catch (...) {
        // A thread body never takes the process down.
    }
    return 0;
}
}  // namespace

Thread::Thread() : state_(new State) {}

Thread::~Thread() { Release(); }

bool Thread::Start(std::function<void()> body) {
    if (Holds()) return false;
    auto* heapBody = new std::function<void()>(std::move(body));
    const uintptr_t handle = _beginthreadex(nullptr, 0, RunBody, heapBody, 0, nullptr);
    if (handle == 0) {
        delete heapBody;
        return false;
    }
    state_->handle = reinterpret_cast<HANDLE>(handle);
    return true;
}

bool Thread::Join(uint32_t timeoutMs) {
    if (!Holds()) return true;
    const DWORD waited = WaitForSingleObject(state_->handle, timeoutMs == kWaitForever ? INFINITE : timeoutMs);
    CloseHandle(state_->handle);
    state_->handle = nullptr;
    return waited == WAIT_OBJECT_0;
}

void Thread::Release() {
    if (!Holds()) return;
    CloseHandle(state_->handle);
    state_->handle = nullptr;
}

bool Thread::Holds() const { return state_->handle != nullptr; }

bool Thread::Ended() const { return Holds() && WaitForSingleObject(state_->handle, 0) == WAIT_OBJECT_0; }

}  // namespace platform
