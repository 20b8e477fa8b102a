// The module that holds the COM classes: its instance handle, its path and
// the count of live objects and locks that DllCanUnloadNow reports.
#pragma once

#include <windows.h>

#include <string>

namespace com {

HINSTANCE ModuleInstance();           // the image this code is linked into (DLL or EXE)
std::wstring ModulePathW();           // its full file name

void LockModule();                    // one live object or IClassFactory::LockServer lock
void UnlockModule();
// True while objects or locks are live, or while the module's unload guard
// says its own threads still run code of this image.
bool ModuleInUse();

// The module's answer to "do threads of this image still run?" (a log
// writer, a device's worker threads). DllCanUnloadNow asks it besides the
// object count; null: no such threads. Set once, at load.
using UnloadGuard = bool (*)();
void SetUnloadGuard(UnloadGuard busy);

}  // namespace com
