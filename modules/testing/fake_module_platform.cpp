#include "modules/testing/fake_module_platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace {

size_t PageSize() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
size_t RoundUp(size_t n) { return (n + PageSize() - 1) / PageSize() * PageSize(); }

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Made-up function addresses: distinct, stable, below 4 GiB so that 32-bit
// images can hold them, and never dereferenced.
void* MadeUp(const std::string& key) {
    static std::map<std::string, uintptr_t> table;
    auto found = table.find(key);
    if (found == table.end()) found = table.emplace(key, 0x70000000u + 16 * (table.size() + 1)).first;
    return reinterpret_cast<void*>(found->second);
}

}  // namespace

FakeModulePlatform::~FakeModulePlatform() {
    for (const auto& [start, size] : reservations_) munmap(reinterpret_cast<void*>(start), RoundUp(size) + PageSize());
}

void* FakeModulePlatform::AddressOf(const std::string& library, const std::string& function) {
    return MadeUp(Lower(library) + "!" + function);
}

void* FakeModulePlatform::AddressOf(const std::string& library, uint16_t ordinal) {
    return MadeUp(Lower(library) + "#" + std::to_string(ordinal));
}

void* FakeModulePlatform::Reserve(void* preferred, size_t size) {
    if (size == 0 || size > largestReservation) return nullptr;
    if (preferred && !mapAtPreferredBase) return nullptr;
    const size_t length = RoundUp(size) + PageSize();  // plus a guard page
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
    flags |= preferred ? MAP_FIXED_NOREPLACE : MAP_32BIT;
    void* at = mmap(preferred, length, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (at == MAP_FAILED) return nullptr;
    if (preferred && at != preferred) {  // kernels without MAP_FIXED_NOREPLACE treat it as a hint
        munmap(at, length);
        return nullptr;
    }
    mprotect(static_cast<char*>(at) + RoundUp(size), PageSize(), PROT_NONE);
    reservations_[reinterpret_cast<uintptr_t>(at)] = size;
    return at;
}

void FakeModulePlatform::CheckRange(const void* address, size_t size) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(address);
    auto it = reservations_.upper_bound(at);
    if (it == reservations_.begin()) {
        ++outOfRangeCalls;
        return;
    }
    --it;
    if (at - it->first > it->second || size > it->second - (at - it->first)) ++outOfRangeCalls;
}

void FakeModulePlatform::Protect(void* address, size_t size, uint32_t protection) {
    CheckRange(address, size);
    const uintptr_t at = reinterpret_cast<uintptr_t>(address);
    auto it = reservations_.upper_bound(at);
    if (it == reservations_.begin()) return;
    --it;
    protectCalls.push_back({at - it->first, size, protection});
}

void FakeModulePlatform::Release(void* base, size_t size) {
    auto it = reservations_.find(reinterpret_cast<uintptr_t>(base));
    if (it == reservations_.end()) {
        ++outOfRangeCalls;
        return;
    }
    munmap(base, RoundUp(it->second) + PageSize());
    reservations_.erase(it);
}

void* FakeModulePlatform::AllocateRecord(size_t size) {
    if (failRecordAllocation) return nullptr;
    ++openRecords;
    return std::malloc(size);
}

void FakeModulePlatform::FreeRecord(void* record) {
    --openRecords;
    std::free(record);
}

void* FakeModulePlatform::OpenLibrary(const char* name) {
    const std::string lower = Lower(name);
    if (missingLibraries.count(lower)) return nullptr;
    libraryNames_.push_back(lower);
    ++openLibraries;
    return reinterpret_cast<void*>(libraryNames_.size());
}

void* FakeModulePlatform::ResolveByName(void* library, const char* name) {
    const std::string& lib = libraryNames_.at(reinterpret_cast<uintptr_t>(library) - 1);
    resolved.push_back(lib + "!" + name);
    return missingFunctions.count(name) ? nullptr : AddressOf(lib, name);
}

void* FakeModulePlatform::ResolveByOrdinal(void* library, uint16_t ordinal) {
    const std::string& lib = libraryNames_.at(reinterpret_cast<uintptr_t>(library) - 1);
    resolved.push_back(lib + "#" + std::to_string(ordinal));
    return missingFunctions.count("#" + std::to_string(ordinal)) ? nullptr : AddressOf(lib, ordinal);
}

void FakeModulePlatform::CloseLibrary(void* library) { --openLibraries; }

int32_t FakeModulePlatform::CallEntry(void* entry, void* base, uint32_t reason) {
    entryCalls.push_back({entry, base, reason});
    return entryHook ? entryHook(entry, base, reason) : 1;
}

bool FakeModulePlatform::FindOwnResource(const char* type, int id, ModuleResource* out) {
    auto it = resources.find(id);
    if (std::strcmp(type, "MODE") != 0 || it == resources.end()) return false;
    out->data = it->second.data();
    out->size = it->second.size();
    return true;
}
