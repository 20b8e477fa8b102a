// A module platform for native tests, the fuzz target and the benchmark:
// mmap-backed memory with a guard page after each reservation, a fake library
// loader that hands out distinct made-up addresses, an entry-point hook, and
// resources held in memory. It records every call so tests can check them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "modules/module_platform.h"

class FakeModulePlatform : public IModulePlatform {
public:
    struct EntryCall {
        void* entry;
        void* base;
        uint32_t reason;
    };
    struct ProtectCall {
        uintptr_t offset;  // from the reservation's start
        size_t size;
        uint32_t protection;
    };

    explicit FakeModulePlatform(uint16_t machine = 0x8664) : machine_(machine) {}
    ~FakeModulePlatform() override;

    // Configuration.
    bool mapAtPreferredBase = true;       // otherwise always elsewhere (below 2 GiB)
    size_t largestReservation = 64u << 20;
    bool failRecordAllocation = false;
    std::set<std::string> missingLibraries;  // lower-case names OpenLibrary refuses
    std::set<std::string> missingFunctions;  // names (or "#ordinal") that resolve to null
    std::function<int32_t(void* entry, void* base, uint32_t reason)> entryHook;  // default: returns 1
    std::map<int, std::string> resources;    // "MODE" resources by id

    // Observations.
    std::vector<EntryCall> entryCalls;
    std::vector<ProtectCall> protectCalls;
    std::vector<std::string> resolved;       // "library!name" or "library#ordinal", in order
    int openLibraries = 0;                   // opened minus closed
    int openRecords = 0;
    int outOfRangeCalls = 0;                 // memory calls outside any reservation
    size_t Reservations() const { return reservations_.size(); }

    // The made-up address ResolveByName / ResolveByOrdinal give for a function.
    static void* AddressOf(const std::string& library, const std::string& function);
    static void* AddressOf(const std::string& library, uint16_t ordinal);

    uint16_t ProcessMachine() const override { return machine_; }
    void* Reserve(void* preferred, size_t size) override;
    void Commit(void* address, size_t size) override { CheckRange(address, size); }
    void Decommit(void* address, size_t size) override { CheckRange(address, size); }
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
    void CheckRange(const void* address, size_t size);

    uint16_t machine_;
    std::map<uintptr_t, size_t> reservations_;  // start -> size
    std::vector<std::string> libraryNames_;     // a library handle is 1 + its index here
};
