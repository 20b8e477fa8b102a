// Entry point of the OCX: the module needs no per-thread notifications. At
// unload the process-wide objects go first, in reverse order of need, while
// every other static object of the module still exists.
#include <windows.h>

#include "platform/process_objects.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    if (reason == DLL_PROCESS_DETACH) platform::Process().TearDown();
    return TRUE;
}
