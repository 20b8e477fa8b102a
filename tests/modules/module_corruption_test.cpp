// Truncated and corrupted images: every header field, directory and table
// pushed out of range must be refused (or loaded harmlessly) without a read
// outside the buffer (AddressSanitizer watches the heap copy) or a memory
// call outside the reservation (the fake counts them).
#include <gtest/gtest.h>

#include "modules/module_loader.h"
#include "modules/testing/fake_module_platform.h"
#include "tests/modules/test_image.h"

using namespace testimage;

namespace {

class ModuleCorruptionTest : public ::testing::TestWithParam<const char*> {
protected:
    ModuleCorruptionTest()
        : bytes(ModuleBytes(GetParam(), "main")), platform(Is64(bytes) ? 0x8664 : 0x14C) {
        platform.mapAtPreferredBase = false;  // relocation runs too
    }

    // Loads an exact-size heap copy; unloads whatever loads. True if it loaded.
    bool TryLoad(const std::string& image) {
        std::vector<uint8_t> copy(image.begin(), image.end());
        ModuleImage* m = LoadModuleImage(copy.data(), copy.size(), platform);
        if (m) {
            GetModuleExport(m, "MixedCaseName");
            UnloadModuleImage(m);
        }
        EXPECT_EQ(platform.Reservations(), 0u);
        EXPECT_EQ(platform.openRecords, 0);
        EXPECT_EQ(platform.openLibraries, 0);
        EXPECT_EQ(platform.outOfRangeCalls, 0);
        return m != nullptr;
    }
    std::string With32(size_t at, uint32_t value) {
        std::string image = bytes;
        SetU32(image, at, value);
        return image;
    }

    const std::string bytes;
    FakeModulePlatform platform;
};

TEST_P(ModuleCorruptionTest, TheUntouchedImageLoads) { EXPECT_TRUE(TryLoad(bytes)); }

TEST_P(ModuleCorruptionTest, EveryTruncationIsRefused) {
    const size_t headers = U32(bytes, OptOffset(bytes) + 60);
    for (size_t cut = 0; cut < bytes.size(); cut += cut < headers ? 1 : 97) {
        EXPECT_FALSE(TryLoad(bytes.substr(0, cut))) << "cut at " << cut;
    }
    EXPECT_EQ(LoadModuleImage(nullptr, 100, platform), nullptr);
}

TEST_P(ModuleCorruptionTest, WrongSignaturesAreRefused) {
    std::string image = bytes;
    image[0] = 'X';
    EXPECT_FALSE(TryLoad(image));
    EXPECT_FALSE(TryLoad(With32(0x3C, 0x40)));  // e_lfanew at something other than "PE\0\0"
    EXPECT_FALSE(TryLoad(With32(NtOffset(bytes), 0x00004551)));
    image = bytes;
    SetU16(image, OptOffset(bytes), Is64(bytes) ? 0x10B : 0x20B);  // optional header of the other machine
    EXPECT_FALSE(TryLoad(image));
}

TEST_P(ModuleCorruptionTest, HeaderFieldsOutOfRangeAreRefused) {
    const size_t nt = NtOffset(bytes), opt = OptOffset(bytes);
    const uint32_t imageSize = U32(bytes, opt + 56);
    const size_t fields[] = {0x3C, opt + 16 /*entry*/, opt + 60 /*SizeOfHeaders*/};
    for (size_t field : fields) {
        for (uint32_t value : {0xFFFFFFFFu, 0x80000000u, imageSize}) {
            EXPECT_FALSE(TryLoad(With32(field, value))) << "field " << field << " = " << value;
        }
    }
    // SizeOfImage too small for the sections, or too large to reserve.
    for (uint32_t value : {0x1000u, imageSize - 0x1000u, 0xFFFFFFFFu}) EXPECT_FALSE(TryLoad(With32(opt + 56, value)));
    std::string image = bytes;
    SetU16(image, nt + 6, 0xFFFF);  // NumberOfSections: the table runs past the headers
    EXPECT_FALSE(TryLoad(image));
    image = bytes;
    SetU16(image, nt + 20, 0xFFF0);  // SizeOfOptionalHeader past the buffer
    EXPECT_FALSE(TryLoad(image));
    EXPECT_FALSE(TryLoad(With32(opt + 56, 0)));  // SizeOfImage 0
}

TEST_P(ModuleCorruptionTest, SectionsOutsideTheFileOrImageAreRefused) {
    for (int i = 0; i < SectionCount(bytes); ++i) {
        const size_t s = SectionHeader(bytes, i);
        if (U32(bytes, s + 16) == 0) continue;  // no raw data
        const uint32_t imageSize = U32(bytes, OptOffset(bytes) + 56);
        for (uint32_t value : {0xFFFFFFFFu, 0xFFFFF000u, imageSize - 0x10u}) {
            EXPECT_FALSE(TryLoad(With32(s + 12, value))) << "VirtualAddress of section " << i;
            EXPECT_FALSE(TryLoad(With32(s + 16, value))) << "SizeOfRawData of section " << i;
            EXPECT_FALSE(TryLoad(With32(s + 20, value))) << "PointerToRawData of section " << i;
        }
    }
}

TEST_P(ModuleCorruptionTest, DirectoriesOutsideTheImageAreHarmless) {
    // Each of the export, import and relocation directories with its address
    // or size pushed out: the load is refused, or (exports) the lookup fails.
    for (int dir : {0, 1, 5}) {
        for (uint32_t value : {0xFFFFFFFFu, 0xFFFFFFF0u, 0x7FFFFFFFu}) {
            std::string image = With32(DirOffset(bytes, dir), value);
            if (dir == 0) {
                std::vector<uint8_t> copy(image.begin(), image.end());
                ModuleImage* m = LoadModuleImage(copy.data(), copy.size(), platform);
                ASSERT_NE(m, nullptr);
                EXPECT_EQ(GetModuleExport(m, "MixedCaseName"), nullptr);
                UnloadModuleImage(m);
            } else {
                EXPECT_FALSE(TryLoad(image)) << "directory " << dir;
            }
            if (dir == 5) {
                EXPECT_FALSE(TryLoad(With32(DirOffset(bytes, dir) + 4, value)));
            }
        }
    }
}

TEST_P(ModuleCorruptionTest, BadRelocationBlocksAreRefused) {
    const size_t block = FileOffset(bytes, U32(bytes, DirOffset(bytes, 5)));
    EXPECT_FALSE(TryLoad(With32(block + 4, 0)));           // SizeOfBlock 0 would never advance
    EXPECT_FALSE(TryLoad(With32(block + 4, 4)));           // shorter than its own header
    EXPECT_FALSE(TryLoad(With32(block + 4, 0x7FFFFFF0)));  // past the directory
    const uint32_t imageSize = U32(bytes, OptOffset(bytes) + 56);
    EXPECT_FALSE(TryLoad(With32(block, imageSize - 2)));   // targets beyond the image
}

TEST_P(ModuleCorruptionTest, BadImportTablesAreRefused) {
    const size_t descriptor = FileOffset(bytes, U32(bytes, DirOffset(bytes, 1)));
    for (uint32_t value : {0xFFFFFFFFu, 0x7FFFFFF0u}) {
        EXPECT_FALSE(TryLoad(With32(descriptor + 12, value))) << "Name";
        std::string image = With32(descriptor + 0, value);  // OriginalFirstThunk
        EXPECT_FALSE(TryLoad(image)) << "OriginalFirstThunk";
        EXPECT_FALSE(TryLoad(With32(descriptor + 16, value))) << "FirstThunk";
    }
    // A by-name thunk whose name lies outside the image.
    const size_t thunk = FileOffset(bytes, U32(bytes, descriptor));
    EXPECT_FALSE(TryLoad(With32(thunk, 0x7FFFFFF0u)));
}

TEST_P(ModuleCorruptionTest, BadExportTablesYieldNull) {
    const size_t dir = FileOffset(bytes, U32(bytes, DirOffset(bytes, 0)));
    for (size_t field : {dir + 20, dir + 24, dir + 28, dir + 32, dir + 36}) {
        for (uint32_t value : {0xFFFFFFFFu, 0x7FFFFFF0u}) {
            std::string image = With32(field, value);
            std::vector<uint8_t> copy(image.begin(), image.end());
            ModuleImage* m = LoadModuleImage(copy.data(), copy.size(), platform);
            ASSERT_NE(m, nullptr);
            EXPECT_EQ(GetModuleExport(m, "zzz_not_there"), nullptr);
            GetModuleExport(m, "MixedCaseName");  // must not read outside, whatever it returns
            UnloadModuleImage(m);
        }
    }
    // No names or no functions: nothing is found.
    for (size_t field : {dir + 20, dir + 24}) {
        std::string image = With32(field, 0);
        std::vector<uint8_t> copy(image.begin(), image.end());
        ModuleImage* m = LoadModuleImage(copy.data(), copy.size(), platform);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(GetModuleExport(m, "MixedCaseName"), nullptr);
        UnloadModuleImage(m);
    }
}

INSTANTIATE_TEST_SUITE_P(BothMachines, ModuleCorruptionTest, ::testing::Values("i686", "x86_64"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
