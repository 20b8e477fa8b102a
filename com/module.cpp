#include "com/module.h"

#include <atomic>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // the linker's symbol for this image's base

namespace com {
namespace {
std::atomic<long> locks{0};
std::atomic<UnloadGuard> guard{nullptr};
}

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::wstring ModulePathW() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    return std::wstring(path, n);
}

void LockModule() { ++locks; }
void UnlockModule() { --locks; }
bool ModuleInUse() {
    if (locks.load() != 0) return true;
    const UnloadGuard busy = guard.load();
    return busy != nullptr && busy();
}

void SetUnloadGuard(UnloadGuard busy) { guard = busy; }

}  // namespace com
