// The module loader's services on Windows.
#include <windows.h>

#include <cstdlib>

#include "modules/module_loader.h"
#include "modules/module_platform.h"

namespace {

using EntryPoint = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

class CWin32ModulePlatform : public IModulePlatform {
public:
    uint16_t ProcessMachine() const override { return sizeof(void*) == 8 ? 0x8664 : 0x014C; }

    void* Reserve(void* preferred, size_t size) override {
        return VirtualAlloc(preferred, size, MEM_RESERVE, PAGE_READWRITE);
    }
    void Commit(void* address, size_t size) override { VirtualAlloc(address, size, MEM_COMMIT, PAGE_READWRITE); }
    void Decommit(void* address, size_t size) override { VirtualFree(address, size, MEM_DECOMMIT); }
    void Protect(void* address, size_t size, uint32_t protection) override {
        DWORD previous = 0;
        VirtualProtect(address, size, protection, &previous);
    }
    void Release(void* base, size_t) override { VirtualFree(base, 0, MEM_RELEASE); }

    void* AllocateRecord(size_t size) override { return HeapAlloc(GetProcessHeap(), 0, size); }
    void FreeRecord(void* record) override { HeapFree(GetProcessHeap(), 0, record); }

    void* OpenLibrary(const char* name) override { return LoadLibraryA(name); }
    void* ResolveByName(void* library, const char* name) override {
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
    }
    void* ResolveByOrdinal(void* library, uint16_t ordinal) override {
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), MAKEINTRESOURCEA(ordinal)));
    }
    void CloseLibrary(void* library) override { FreeLibrary(static_cast<HMODULE>(library)); }

    int32_t CallEntry(void* entry, void* base, uint32_t reason) override {
        return reinterpret_cast<EntryPoint>(entry)(static_cast<HINSTANCE>(base), reason, nullptr);
    }

    bool FindOwnResource(const char* type, int id, ModuleResource* out) override {
        HMODULE self = nullptr;
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCSTR>(&DefaultModulePlatform), &self)) {
            return false;
        }
        HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(id), type);
        HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
        const void* data = loaded ? LockResource(loaded) : nullptr;
        if (!data) return false;
        out->data = data;
        out->size = SizeofResource(self, found);
        return true;
    }
};

}  // namespace

IModulePlatform& DefaultModulePlatform() {
    static CWin32ModulePlatform platform;
    return platform;
}

ModuleImage* LoadModuleImage(const void* data, size_t size) { return LoadModuleImage(data, size, DefaultModulePlatform()); }
