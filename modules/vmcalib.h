// The binding of the iris algorithm module VmCaLib, carried as resource
// "MODE" 217 of the control's own module. Either every entry f0...f8 and
// f10...f15 is bound and the module is loaded, or nothing is (f9 is exported
// by the module but not used).
#pragma once

#include <cstdint>

#include "modules/module_loader.h"

constexpr int kVmCaLibResourceId = 217;
constexpr const char* kModuleResourceType = "MODE";

class CVmCaLib {
public:
    // Entries use the C calling convention, 32-bit integer or pointer arguments
    // and a 32-bit integer result.
    using VersionEntry = int32_t (*)(char* text, int32_t size);                             // f0
    using InitEntry = int32_t (*)(const char* text, int32_t, int32_t);                      // f1
    using ReleaseEntry = int32_t (*)();                                                    // f2
    using SettingsEntry = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);  // f3
    using DetectEntry = int32_t (*)(int32_t, void* input, void* output);                   // f4
    using UnusedEntry = int32_t (*)();                                                     // f5...f15

    explicit CVmCaLib(IModulePlatform& platform, int resourceId = kVmCaLibResourceId);
    ~CVmCaLib();
    CVmCaLib(const CVmCaLib&) = delete;
    CVmCaLib& operator=(const CVmCaLib&) = delete;

    bool Loaded() const { return module_ != nullptr; }

    VersionEntry f0 = nullptr;
    InitEntry f1 = nullptr;
    ReleaseEntry f2 = nullptr;
    SettingsEntry f3 = nullptr;
    DetectEntry f4 = nullptr;
    UnusedEntry f5 = nullptr, f6 = nullptr, f7 = nullptr, f8 = nullptr;
    UnusedEntry f10 = nullptr, f11 = nullptr, f12 = nullptr, f13 = nullptr, f14 = nullptr, f15 = nullptr;

private:
    bool BindAll();
    void ClearEntries();

    ModuleImage* module_ = nullptr;
};

// The process's binding, created on first use (thread-safe) from the control's
// own resources and released when the control's module is unloaded.
CVmCaLib& GetVmCaLib();
