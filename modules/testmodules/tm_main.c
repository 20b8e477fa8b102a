/* The loader's main test module: exports with mixed-case names, imports by
   name (kernel32, tavrik_ordlib) and by ordinal (tavrik_ordlib #7), a data
   section of absolute pointers (one base relocation each) and counters of the
   entry point's calls. ENTRY_RESULT (default 1) is what the entry point
   returns; MANY_POINTERS makes the table 50,000 pointers long. */
#include <windows.h>

#define EXPORT __declspec(dllexport)
#ifndef ENTRY_RESULT
#define ENTRY_RESULT 1
#endif

#define STRINGIFY2(x) #x
#define STRINGIFY(x) STRINGIFY2(x)
#define IMPORT_SLOT(name) __asm__("__imp_" STRINGIFY(__USER_LABEL_PREFIX__) #name)

__declspec(dllimport) int TavrikNoteByName(int x);
__declspec(dllimport) int TavrikNoteByOrdinal(int reason);
extern void* ByNameSlot IMPORT_SLOT(TavrikNoteByName);
extern void* ByOrdinalSlot IMPORT_SLOT(TavrikNoteByOrdinal);
extern void* KernelSlot IMPORT_SLOT(GetCurrentProcessId);

#define P1 &RelocTargets[__COUNTER__],
#define P10 P1 P1 P1 P1 P1 P1 P1 P1 P1 P1
#define P100 P10 P10 P10 P10 P10 P10 P10 P10 P10 P10
#define P1000 P100 P100 P100 P100 P100 P100 P100 P100 P100 P100
#define P10000 P1000 P1000 P1000 P1000 P1000 P1000 P1000 P1000 P1000 P1000
#ifdef MANY_POINTERS
#define POINTER_COUNT 50000
#define POINTERS P10000 P10000 P10000 P10000 P10000
#else
#define POINTER_COUNT 4000
#define POINTERS P1000 P1000 P1000 P1000
#endif

EXPORT const char ModuleTag[] = "tavrik test module";
EXPORT int RelocTargets[POINTER_COUNT];
EXPORT int* RelocTable[POINTER_COUNT] = {POINTERS};
EXPORT const int RelocCount = POINTER_COUNT;
EXPORT void* const* const ImportSlots[3] = {&ByNameSlot, &ByOrdinalSlot, &KernelSlot};
EXPORT int AttachCount = 0;
EXPORT int DetachCount = 0;

EXPORT int MixedCaseName(int a, int b) { return a * 31 + b; }
EXPORT int f12(void) { return 12; }
EXPORT int CallByName(int x) { return TavrikNoteByName(x); }
EXPORT DWORD ProcessIdSeen(void) { return GetCurrentProcessId(); }

/* Writes each index through its pointer and counts the targets that hold it. */
EXPORT int CheckPointers(void) {
    int good = 0;
    for (int i = 0; i < POINTER_COUNT; ++i) *RelocTable[i] = i;
    for (int i = 0; i < POINTER_COUNT; ++i) good += RelocTargets[i] == i;
    return good;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) ++AttachCount;
    if (reason == DLL_PROCESS_DETACH) ++DetachCount;
    TavrikNoteByOrdinal((int)reason);
    return ENTRY_RESULT;
}
