// libFuzzer target: any byte string, offered as an i386 and as an x86-64
// image, must be refused or loaded, searched and unloaded without a read
// outside the input (AddressSanitizer), a memory call outside the mapping, or
// anything left allocated.
#include <cstddef>
#include <cstdint>

#include "modules/module_loader.h"
#include "modules/testing/fake_module_platform.h"

namespace {

FakeModulePlatform& Platform(int index) {
    static FakeModulePlatform* platforms[2] = {new FakeModulePlatform(0x14C), new FakeModulePlatform(0x8664)};
    FakeModulePlatform& p = *platforms[index];
    p.mapAtPreferredBase = false;  // every input is relocated
    p.largestReservation = 16u << 20;
    p.entryCalls.clear();
    p.protectCalls.clear();
    p.resolved.clear();
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int i = 0; i < 2; ++i) {
        FakeModulePlatform& platform = Platform(i);
        if (ModuleImage* m = LoadModuleImage(data, size, platform)) {
            GetModuleExport(m, "MixedCaseName");
            GetModuleExport(m, "f12");
            UnloadModuleImage(m);
        }
        if (platform.outOfRangeCalls || platform.Reservations() || platform.openRecords || platform.openLibraries) {
            __builtin_trap();
        }
    }
    return 0;
}
