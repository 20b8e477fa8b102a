#include "modules/testing/standin_module_platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

static_assert(sizeof(void*) == 4, "PE32 code runs only in a 32-bit process");

namespace {

uintptr_t PageSize() { return static_cast<uintptr_t>(sysconf(_SC_PAGESIZE)); }
uintptr_t PageDown(uintptr_t at) { return at & ~(PageSize() - 1); }
uintptr_t PageUp(uintptr_t at) { return PageDown(at + PageSize() - 1); }

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int PosixProtection(uint32_t protection) {
    switch (protection & 0xFF) {
        case kPageReadOnly: return PROT_READ;
        case kPageReadWrite:
        case kPageWriteCopy: return PROT_READ | PROT_WRITE;
        case kPageExecute: return PROT_EXEC;
        case kPageExecuteRead: return PROT_READ | PROT_EXEC;
        case kPageExecuteReadWrite:
        case kPageExecuteWriteCopy: return PROT_READ | PROT_WRITE | PROT_EXEC;
        default: return PROT_NONE;
    }
}

// mprotect on the whole pages that [address, address + size) touches.
void ProtectPages(void* address, size_t size, int prot) {
    if (size == 0) return;
    const uintptr_t at = reinterpret_cast<uintptr_t>(address);
    const uintptr_t start = PageDown(at);
    mprotect(reinterpret_cast<void*>(start), PageUp(at + size) - start, prot);
}

}  // namespace

StandInModulePlatform::StandInModulePlatform() {
    AddKernel32StandIns(*this);
    AddMsvcrtStandIns(*this);
}

StandInModulePlatform::~StandInModulePlatform() {
    for (const auto& [start, length] : reservations_) munmap(reinterpret_cast<void*>(start), length);
}

StandInModulePlatform::Library& StandInModulePlatform::Named(const std::string& name) {
    Library& library = libraries_[Lower(name)];
    library.name = Lower(name);
    return library;
}

void StandInModulePlatform::AddFunction(const std::string& library, const std::string& name, void* address) {
    Named(library).byName[name] = address;
}

void StandInModulePlatform::AddOrdinal(const std::string& library, uint16_t ordinal, void* address) {
    Named(library).byOrdinal[ordinal] = address;
}

void* StandInModulePlatform::Reserve(void* preferred, size_t size) {
    if (size == 0) return nullptr;
    const size_t length = PageUp(size);
    const int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | (preferred ? MAP_FIXED_NOREPLACE : 0);
    void* at = mmap(preferred, length, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (at == MAP_FAILED) return nullptr;
    if (preferred && at != preferred) {  // kernels without MAP_FIXED_NOREPLACE treat it as a hint
        munmap(at, length);
        return nullptr;
    }
    reservations_[reinterpret_cast<uintptr_t>(at)] = length;
    return at;
}

void StandInModulePlatform::Commit(void* address, size_t size) { ProtectPages(address, size, PROT_READ | PROT_WRITE); }

void StandInModulePlatform::Decommit(void* address, size_t size) {
    if (size == 0) return;
    const uintptr_t start = PageDown(reinterpret_cast<uintptr_t>(address));
    const size_t length = PageUp(reinterpret_cast<uintptr_t>(address) + size) - start;
    madvise(reinterpret_cast<void*>(start), length, MADV_DONTNEED);
    mprotect(reinterpret_cast<void*>(start), length, PROT_NONE);
}

void StandInModulePlatform::Protect(void* address, size_t size, uint32_t protection) {
    ProtectPages(address, size, PosixProtection(protection));
}

void StandInModulePlatform::Release(void* base, size_t) {
    auto it = reservations_.find(reinterpret_cast<uintptr_t>(base));
    if (it == reservations_.end()) return;
    munmap(base, it->second);
    reservations_.erase(it);
}

void* StandInModulePlatform::AllocateRecord(size_t size) { return std::malloc(size); }
void StandInModulePlatform::FreeRecord(void* record) { std::free(record); }

StandInModulePlatform::Library* StandInModulePlatform::Find(void* handle) {
    for (auto& [name, library] : libraries_) {
        if (&library == handle) return &library;
    }
    return nullptr;
}

void* StandInModulePlatform::OpenLibrary(const char* name) {
    auto it = libraries_.find(Lower(name));
    if (it == libraries_.end()) {
        unresolved.push_back(Lower(name));
        return nullptr;
    }
    ++openLibraries;
    return &it->second;
}

void* StandInModulePlatform::ResolveByName(void* handle, const char* name) {
    Library* library = Find(handle);
    if (!library) return nullptr;
    auto it = library->byName.find(name);
    if (it != library->byName.end()) return it->second;
    unresolved.push_back(library->name + "!" + name);
    return nullptr;
}

void* StandInModulePlatform::ResolveByOrdinal(void* handle, uint16_t ordinal) {
    Library* library = Find(handle);
    if (!library) return nullptr;
    auto it = library->byOrdinal.find(ordinal);
    if (it != library->byOrdinal.end()) return it->second;
    unresolved.push_back(library->name + "#" + std::to_string(ordinal));
    return nullptr;
}

void StandInModulePlatform::CloseLibrary(void*) { --openLibraries; }

int32_t StandInModulePlatform::CallEntry(void* entry, void* base, uint32_t reason) {
    using DllEntry = int32_t(__attribute__((stdcall)) *)(void*, uint32_t, void*);
    return reinterpret_cast<DllEntry>(entry)(base, reason, nullptr);
}

bool StandInModulePlatform::FindOwnResource(const char* type, int id, ModuleResource* out) {
    auto it = resources.find(id);
    if (std::strcmp(type, "MODE") != 0 || it == resources.end()) return false;
    out->data = it->second.data();
    out->size = it->second.size();
    return true;
}
