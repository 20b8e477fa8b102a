// A module platform that runs 32-bit Windows DLL images (PE32, i386) inside
// a 32-bit Linux process (g++ -m32, run under qemu-i386 here): memory from
// mmap with the sections' real protections, and a library loader that knows
// no DLL files but resolves a module's system imports to small stand-ins
// written against the C library. The C runtime's functions (msvcrt.dll) keep
// the C calling convention, kernel32.dll's use stdcall, exactly as the
// module's call sites expect. Every stand-in realigns the stack, because
// Windows code keeps it aligned to 4 bytes and Linux code expects 16.
//
// Built only where pointers are 32 bits and the system is not Windows.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "modules/module_platform.h"

class StandInModulePlatform : public IModulePlatform {
public:
    StandInModulePlatform();  // knows kernel32.dll and msvcrt.dll
    ~StandInModulePlatform() override;

    // More stand-ins, for test libraries; library names compare without case.
    void AddFunction(const std::string& library, const std::string& name, void* address);
    void AddOrdinal(const std::string& library, uint16_t ordinal, void* address);

    std::map<int, std::string> resources;  // "MODE" resources by id
    // Imports no stand-in answers ("library!name", "library#ordinal", "library"),
    // so that a failed load says what a module would need.
    std::vector<std::string> unresolved;
    int openLibraries = 0;                 // opened minus closed
    size_t Reservations() const { return reservations_.size(); }

    uint16_t ProcessMachine() const override { return 0x014C; }
    void* Reserve(void* preferred, size_t size) override;
    void Commit(void* address, size_t size) override;
    void Decommit(void* address, size_t size) override;
    void Protect(void* address, size_t size, uint32_t protection) override;
    void Release(void* base, size_t size) override;
    void* AllocateRecord(size_t size) override;
    void FreeRecord(void* record) override;
    void* OpenLibrary(const char* name) override;
    void* ResolveByName(void* library, const char* name) override;
    void* ResolveByOrdinal(void* library, uint16_t ordinal) override;
    void CloseLibrary(void* library) override;
    int32_t CallEntry(void* entry, void* base, uint32_t reason) override;
    bool FindOwnResource(const char* type, int id, ModuleResource* out) override;

private:
    struct Library {
        std::string name;
        std::map<std::string, void*> byName;
        std::map<uint16_t, void*> byOrdinal;
    };
    Library& Named(const std::string& name);
    Library* Find(void* handle);

    std::map<std::string, Library> libraries_;  // by lower-case name; a handle points at one
    std::map<uintptr_t, size_t> reservations_;  // start -> mapped length
};

// The kernel32.dll and msvcrt.dll stand-ins (standin_imports.cpp).
void AddKernel32StandIns(StandInModulePlatform& platform);
void AddMsvcrtStandIns(StandInModulePlatform& platform);
