#include "control/com/module.h"

#include <atomic>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // the linker's symbol for this image's base

namespace com {
namespace {
std::atomic<long> locks{0};
}

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

std::string ModulePath() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
    return std::string(path, n);
}

std::wstring ModulePathW() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameW(ModuleInstance(), path, MAX_PATH);
    return std::wstring(path, n);
}

void LockModule() { ++locks; }
void UnlockModule() { --locks; }
bool ModuleInUse() { return locks.load() != 0; }

}  // namespace com
