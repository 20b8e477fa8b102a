// The module that holds the COM classes: its instance handle, its path and
// the count of live objects and locks that DllCanUnloadNow reports.
#pragma once

#include <windows.h>

#include <string>

namespace com {

HINSTANCE ModuleInstance();           // the image this code is linked into (DLL or EXE)
std::string ModulePath();             // its full file name
std::wstring ModulePathW();

void LockModule();                    // one live object or IClassFactory::LockServer lock
void UnlockModule();
bool ModuleInUse();

}  // namespace com
