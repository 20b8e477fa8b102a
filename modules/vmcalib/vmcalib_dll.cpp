// What the DLL needs beyond the entries: its entry point. With the memory
// routines of modules/module_memory.cpp the module imports nothing at all.
#include <stddef.h>

typedef int BOOL_;
typedef void* HANDLE_;

#if defined(__i386__)
#define ENTRY_CC __attribute__((stdcall))
#else
#define ENTRY_CC
#endif

extern "C" BOOL_ ENTRY_CC VmCaLibDllMain(HANDLE_, unsigned long, void*) {
    return 1;
}
