// The loader over real mingw-built images of both machines, mapped with the
// fake platform: placement, relocation, imports, exports, entry point, unload.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "modules/module_loader.h"
#include "modules/testing/fake_module_platform.h"
#include "tests/modules/test_image.h"

using namespace testimage;

namespace {

struct Machine {
    const char* arch;
    uint16_t machine;
    int width;  // pointer size inside the image
};

class ModuleLoaderTest : public ::testing::TestWithParam<Machine> {
protected:
    ModuleLoaderTest() : platform(GetParam().machine) {}

    std::string Bytes(const std::string& name) { return ModuleBytes(GetParam().arch, name); }
    ModuleImage* Load(const std::string& bytes) { return LoadModuleImage(bytes.data(), bytes.size(), platform); }

    // A pointer-sized word inside the mapped image.
    uint64_t Word(const void* at) {
        uint64_t v = 0;
        std::memcpy(&v, at, GetParam().width);
        return v;
    }
    template <typename T>
    T* Export(ModuleImage* m, const char* name) {
        return static_cast<T*>(GetModuleExport(m, name));
    }
    void ExpectAllReleased() {
        EXPECT_EQ(platform.Reservations(), 0u);
        EXPECT_EQ(platform.openRecords, 0);
        EXPECT_EQ(platform.openLibraries, 0);
        EXPECT_EQ(platform.outOfRangeCalls, 0);
    }
    // Every table pointer must address its own target in this mapping.
    void ExpectPointersAddressTargets(ModuleImage* m) {
        const int count = *Export<int32_t>(m, "RelocCount");
        const auto* table = Export<uint8_t>(m, "RelocTable");
        const uint64_t targets = reinterpret_cast<uintptr_t>(Export<uint8_t>(m, "RelocTargets"));
        ASSERT_EQ(count, 4000);
        int wrong = 0;
        for (int i = 0; i < count; ++i) wrong += Word(table + i * GetParam().width) != targets + 4 * i;
        EXPECT_EQ(wrong, 0);
    }

    FakeModulePlatform platform;
};

TEST_P(ModuleLoaderTest, MapsAtThePreferredBaseWithoutRelocating) {
    const std::string bytes = Bytes("main");
    ModuleImage* m = Load(bytes);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(m->base), kPreferredBase);
    EXPECT_EQ(m->headers, m->base + NtOffset(bytes));
    EXPECT_STREQ(Export<char>(m, "ModuleTag"), "tavrik test module");
    ExpectPointersAddressTargets(m);
    ASSERT_EQ(platform.entryCalls.size(), 1u);
    EXPECT_EQ(platform.entryCalls[0].reason, kProcessAttach);
    EXPECT_EQ(platform.entryCalls[0].base, m->base);
    EXPECT_EQ(m->attached, 1);
    UnloadModuleImage(m);
    ExpectAllReleased();
}

TEST_P(ModuleLoaderTest, ElsewhereEveryFixupMovesByTheDeltaAndNoOtherByteChanges) {
    const std::string bytes = Bytes("main");
    ModuleImage* home = Load(bytes);
    platform.mapAtPreferredBase = false;
    ModuleImage* moved = Load(bytes);
    ASSERT_NE(home, nullptr);
    ASSERT_NE(moved, nullptr);
    ASSERT_NE(moved->base, home->base);
    ExpectPointersAddressTargets(moved);

    // The header copy records where the image and its sections really are.
    const uint64_t delta = reinterpret_cast<uintptr_t>(moved->base) - reinterpret_cast<uintptr_t>(home->base);
    const size_t imageBaseField = OptOffset(bytes) + (Is64(bytes) ? 24 : 28);
    EXPECT_EQ(Word(moved->base + imageBaseField), reinterpret_cast<uintptr_t>(moved->base));
    std::set<size_t> expected;  // header bytes that must differ
    for (int k = 0; k < GetParam().width; ++k) expected.insert(imageBaseField + k);
    for (int i = 0; i < SectionCount(bytes); ++i) {
        const size_t misc = SectionHeader(bytes, i) + 8;
        if (U32(bytes, misc + 8) == 0 && U32(bytes, misc + 4) == 0) continue;
        uint32_t placed;
        std::memcpy(&placed, moved->base + misc, 4);
        EXPECT_EQ(placed, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(moved->base) + U32(bytes, misc + 4)));
        for (int k = 0; k < 4; ++k) expected.insert(misc + k);
    }

    const std::vector<Fixup> fixups = Relocations(bytes);
    ASSERT_GE(fixups.size(), 4000u);
    std::vector<bool> fixed(home->size, false);
    for (const Fixup& f : fixups) {
        uint64_t before = 0, after = 0;
        std::memcpy(&before, home->base + f.rva, f.width);
        std::memcpy(&after, moved->base + f.rva, f.width);
        const uint64_t mask = f.width == 8 ? ~uint64_t{0} : 0xFFFFFFFFu;
        EXPECT_EQ((after - before) & mask, delta & mask) << "fixup at " << f.rva;
        for (int k = 0; k < f.width; ++k) fixed[f.rva + k] = true;
    }
    size_t strays = 0;
    for (size_t i = 0; i < fixed.size(); ++i) {
        if (!fixed[i] && !expected.count(i) && home->base[i] != moved->base[i]) ++strays;
    }
    EXPECT_EQ(strays, 0u);
    UnloadModuleImage(home);
    UnloadModuleImage(moved);
    ExpectAllReleased();
}

TEST_P(ModuleLoaderTest, ResolvesImportsByNameAndByOrdinal) {
    ModuleImage* m = Load(Bytes("main"));
    ASSERT_NE(m, nullptr);
    const auto* slots = Export<uint8_t>(m, "ImportSlots");
    ASSERT_NE(slots, nullptr);
    auto slotValue = [&](int i) {
        return Word(reinterpret_cast<const void*>(static_cast<uintptr_t>(Word(slots + i * GetParam().width))));
    };
    EXPECT_EQ(slotValue(0), reinterpret_cast<uintptr_t>(FakeModulePlatform::AddressOf("tavrik_ordlib.dll", "TavrikNoteByName")));
    EXPECT_EQ(slotValue(1), reinterpret_cast<uintptr_t>(FakeModulePlatform::AddressOf("tavrik_ordlib.dll", uint16_t{7})));
    EXPECT_EQ(slotValue(2), reinterpret_cast<uintptr_t>(FakeModulePlatform::AddressOf("kernel32.dll", "GetCurrentProcessId")));
    EXPECT_EQ(m->libraryCount, 2);
    EXPECT_EQ(platform.openLibraries, 2);
    UnloadModuleImage(m);
    ExpectAllReleased();
}

TEST_P(ModuleLoaderTest, ExportSearchIgnoresCase) {
    ModuleImage* m = Load(Bytes("main"));
    ASSERT_NE(m, nullptr);
    void* exact = GetModuleExport(m, "MixedCaseName");
    ASSERT_NE(exact, nullptr);
    EXPECT_EQ(GetModuleExport(m, "mixedcasename"), exact);
    EXPECT_EQ(GetModuleExport(m, "MIXEDCASENAME"), exact);
    EXPECT_NE(GetModuleExport(m, "F12"), nullptr);
    EXPECT_EQ(GetModuleExport(m, "F12"), GetModuleExport(m, "f12"));
    EXPECT_EQ(GetModuleExport(m, "MixedCaseNam"), nullptr);
    EXPECT_EQ(GetModuleExport(m, "MixedCaseNameX"), nullptr);
    EXPECT_EQ(GetModuleExport(m, ""), nullptr);
    EXPECT_EQ(GetModuleExport(nullptr, "f12"), nullptr);
    UnloadModuleImage(m);
}

TEST_P(ModuleLoaderTest, UnloadDetachesOnceThenReleasesEverything) {
    ModuleImage* m = Load(Bytes("main"));
    ASSERT_NE(m, nullptr);
    void* entry = platform.entryCalls.at(0).entry;
    EXPECT_EQ(UnloadModuleImage(m), 0);
    ASSERT_EQ(platform.entryCalls.size(), 2u);
    EXPECT_EQ(platform.entryCalls[1].reason, kProcessDetach);
    EXPECT_EQ(platform.entryCalls[1].entry, entry);
    ExpectAllReleased();
    EXPECT_EQ(UnloadModuleImage(nullptr), 0);
}

TEST_P(ModuleLoaderTest, EntryRefusingAttachLeavesNothingBehind) {
    platform.entryHook = [](void*, void*, uint32_t) { return 0; };
    EXPECT_EQ(Load(Bytes("main")), nullptr);
    ASSERT_EQ(platform.entryCalls.size(), 1u);  // attach only, no detach
    EXPECT_EQ(platform.entryCalls[0].reason, kProcessAttach);
    ExpectAllReleased();
}

TEST_P(ModuleLoaderTest, ImageWithoutEntryPointIsNeverCalled) {
    ModuleImage* m = Load(Bytes("main_noentry"));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->attached, 0);
    UnloadModuleImage(m);
    EXPECT_TRUE(platform.entryCalls.empty());
    ExpectAllReleased();
}

TEST_P(ModuleLoaderTest, UnresolvedImportsFailBeforeTheEntryPointRuns) {
    const std::string bytes = Bytes("main");
    platform.missingLibraries = {"tavrik_ordlib.dll"};
    EXPECT_EQ(Load(bytes), nullptr);
    ExpectAllReleased();
    platform.missingLibraries.clear();
    platform.missingFunctions = {"#7"};
    EXPECT_EQ(Load(bytes), nullptr);
    ExpectAllReleased();
    platform.missingFunctions = {"GetCurrentProcessId"};
    EXPECT_EQ(Load(bytes), nullptr);
    ExpectAllReleased();
    EXPECT_TRUE(platform.entryCalls.empty());
}

TEST_P(ModuleLoaderTest, RefusesTheOtherMachineAndFailedAllocations) {
    FakeModulePlatform other(GetParam().machine == 0x14C ? 0x8664 : 0x14C);
    const std::string bytes = Bytes("main");
    EXPECT_EQ(LoadModuleImage(bytes.data(), bytes.size(), other), nullptr);
    EXPECT_EQ(other.Reservations(), 0u);

    platform.failRecordAllocation = true;
    EXPECT_EQ(Load(bytes), nullptr);
    ExpectAllReleased();
    platform.failRecordAllocation = false;
    platform.largestReservation = 4096;
    EXPECT_EQ(Load(bytes), nullptr);
    ExpectAllReleased();
}

TEST_P(ModuleLoaderTest, SectionsGetTheirProtectionsAndDiscardableOnesAreDecommitted) {
    const std::string bytes = Bytes("main");
    ModuleImage* m = Load(bytes);
    ASSERT_NE(m, nullptr);
    std::map<uintptr_t, uint32_t> protections;
    for (const auto& call : platform.protectCalls) protections[call.offset] = call.protection;
    for (int i = 0; i < SectionCount(bytes); ++i) {
        const size_t s = SectionHeader(bytes, i);
        const std::string name(bytes.data() + s, strnlen(bytes.data() + s, 8));
        const uint32_t va = U32(bytes, s + 12);
        if (name == ".text") {
            EXPECT_EQ(protections[va], kPageExecuteRead);
        } else if (name == ".data") {
            EXPECT_EQ(protections[va], kPageReadWrite);
        } else if (name == ".rdata") {
            EXPECT_EQ(protections[va], kPageReadOnly);
        } else if (name == ".reloc") {
            EXPECT_EQ(protections.count(va), 0u) << "discardable, decommitted";
        }
    }
    UnloadModuleImage(m);
}

INSTANTIATE_TEST_SUITE_P(BothMachines, ModuleLoaderTest,
                         ::testing::Values(Machine{"i686", 0x14C, 4}, Machine{"x86_64", 0x8664, 8}),
                         [](const auto& info) { return std::string(info.param.arch); });

}  // namespace
