/* A plain DLL the test modules import from, by name and by ordinal only
   (TavrikNoteByOrdinal has no name in the export table). It counts the
   attach and detach calls the test module's entry point reports, so that
   they can be checked after the module itself is gone. */
#include <windows.h>

__declspec(dllexport) int ProcessAttaches = 0;
__declspec(dllexport) int ProcessDetaches = 0;

int TavrikNoteByName(int x) { return x + 1000; }

int TavrikNoteByOrdinal(int reason) {
    if (reason == DLL_PROCESS_ATTACH) ++ProcessAttaches;
    if (reason == DLL_PROCESS_DETACH) ++ProcessDetaches;
    return reason;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) { return TRUE; }
