// Loads a DLL image (PE32 for i386, PE32+ for x86-64) from a memory buffer
// into freshly allocated virtual memory and runs it there, without the image
// ever touching the disk; finds its exports by name; unloads it again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "modules/module_platform.h"

// One loaded image, allocated from the process heap. Owned by whoever called
// LoadModuleImage until it is passed to UnloadModuleImage.
struct ModuleImage {
    uint8_t* headers;      // the NT headers inside the mapped image (base + e_lfanew)
    uint8_t* base;         // start of the mapped image, SizeOfImage bytes
    void** libraries;      // every library loaded for the imports, in load order
    int32_t libraryCount;
    int32_t attached;      // 1 once the entry point accepted process attach
    // Kept from the checked headers so that no later step trusts the mapped copy.
    IModulePlatform* platform;
    uint32_t size;         // SizeOfImage
    uint32_t entryRva;     // AddressOfEntryPoint, 0 for none
    uint32_t exportRva;    // data directory 0
    uint32_t exportSize;
    bool is64;
};

// Maps the size bytes at data. Returns null (with nothing left allocated) for
// an image that is not a DLL of the process's machine, whose offsets point
// outside the buffer or the mapping, whose imports cannot be resolved or whose
// entry point refuses process attach.
ModuleImage* LoadModuleImage(const void* data, size_t size, IModulePlatform& platform);
ModuleImage* LoadModuleImage(const void* data, size_t size);  // DefaultModulePlatform()

// The address of the export called name (compared without regard to case), or null.
void* GetModuleExport(const ModuleImage* module, const char* name);

// Detaches and frees everything that belongs to module; accepts null. Returns 0.
int32_t UnloadModuleImage(ModuleImage* module);
