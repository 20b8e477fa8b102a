// The operating-system services the in-memory module loader and the module
// bindings use: virtual memory, the process heap, the system's library loader,
// the mapped image's entry point and the resources of the control's own module.
// Windows implements them with the Win32 calls; native tests use a fake.
#pragma once

#include <cstddef>
#include <cstdint>

// Page protections, with the values Windows gives them.
constexpr uint32_t kPageNoAccess = 0x01;
constexpr uint32_t kPageReadOnly = 0x02;
constexpr uint32_t kPageReadWrite = 0x04;
constexpr uint32_t kPageWriteCopy = 0x08;
constexpr uint32_t kPageExecute = 0x10;
constexpr uint32_t kPageExecuteRead = 0x20;
constexpr uint32_t kPageExecuteReadWrite = 0x40;
constexpr uint32_t kPageExecuteWriteCopy = 0x80;
constexpr uint32_t kPageNoCache = 0x200;

// Reasons passed to a module's entry point.
constexpr uint32_t kProcessDetach = 0;
constexpr uint32_t kProcessAttach = 1;

// The bytes of a resource, valid as long as the module that carries it.
struct ModuleResource {
    const void* data = nullptr;
    size_t size = 0;
};

class IModulePlatform {
public:
    virtual ~IModulePlatform() = default;

    // IMAGE_FILE_MACHINE_* of the running process: only such images can run.
    virtual uint16_t ProcessMachine() const = 0;

    // Reserves size bytes at preferred (null: anywhere); null when that fails.
    virtual void* Reserve(void* preferred, size_t size) = 0;
    // Commits read-write pages inside a reservation; failures are not reported
    // because the loader proceeds either way.
    virtual void Commit(void* address, size_t size) = 0;
    virtual void Decommit(void* address, size_t size) = 0;
    virtual void Protect(void* address, size_t size, uint32_t protection) = 0;
    virtual void Release(void* base, size_t size) = 0;

    // The process heap, for the ModuleImage record.
    virtual void* AllocateRecord(size_t size) = 0;
    virtual void FreeRecord(void* record) = 0;

    // The system's own library loader, for a mapped image's imports.
    virtual void* OpenLibrary(const char* name) = 0;
    virtual void* ResolveByName(void* library, const char* name) = 0;
    virtual void* ResolveByOrdinal(void* library, uint16_t ordinal) = 0;
    virtual void CloseLibrary(void* library) = 0;

    // Calls a mapped image's DLL entry point with (base, reason, null).
    virtual int32_t CallEntry(void* entry, void* base, uint32_t reason) = 0;

    // Finds resource (type, id) in the module that contains this code.
    virtual bool FindOwnResource(const char* type, int id, ModuleResource* out) = 0;
};

// The platform of the running process (defined only in the Windows build).
IModulePlatform& DefaultModulePlatform();
