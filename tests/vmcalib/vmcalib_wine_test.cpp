// The module as the control carries it: resource "MODE" 217 (language 2052)
// of the built OCX, mapped from memory by the Win32 platform and called
// through every entry, f4 on a rendered eye.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "modules/module_loader.h"
#include "modules/vmcalib/vmcalib_records.h"
#include "tests/vmcalib/eye_frames.h"

namespace {

class EmbeddedVmCaLib : public ::testing::Test {
protected:
    void SetUp() override {
        ocx_ = LoadLibraryExA(TAVRIK_OCX_PATH, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(ocx_, nullptr) << TAVRIK_OCX_PATH;
        HRSRC found = FindResourceExA(ocx_, "MODE", MAKEINTRESOURCEA(217),
                                      MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
        ASSERT_NE(found, nullptr);
        const void* data = LockResource(LoadResource(ocx_, found));
        module_ = LoadModuleImage(data, SizeofResource(ocx_, found));
        ASSERT_NE(module_, nullptr);
    }
    void TearDown() override {
        if (module_) UnloadModuleImage(module_);
        if (ocx_) FreeLibrary(ocx_);
    }
    template <typename T>
    T Entry(const char* name) {
        return reinterpret_cast<T>(GetModuleExport(module_, name));
    }

    HMODULE ocx_ = nullptr;
    ModuleImage* module_ = nullptr;
};

TEST_F(EmbeddedVmCaLib, EveryEntryAnswersItsContract) {
    char version[kVmVersionBytes + 8];
    std::memset(version, 0x5a, sizeof version);
    Entry<int32_t (*)(char*, int32_t)>("f0")(version, kVmVersionBytes);
    EXPECT_LT(strnlen(version, kVmVersionBytes), static_cast<size_t>(kVmVersionBytes));
    EXPECT_EQ(std::strncmp(version, "VmCaLib", 7), 0) << version;
    EXPECT_EQ(version[kVmVersionBytes], 0x5a);

    EXPECT_EQ(Entry<int32_t (*)(const char*, int32_t, int32_t)>("f1")("", 0, 0), 1);
    auto f3 = Entry<int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)>("f3");
    EXPECT_EQ(f3(0, 2, 50, 50, 60, 60, 50), 1);
    EXPECT_EQ(f3(1, 2, 60, 65, 70, 60, 50), 1);

    for (const char* name : {"f5", "f6", "f7", "f8", "f9", "f10", "f11", "f12", "f13", "f14", "f15"})
        EXPECT_EQ(Entry<int32_t (*)()>(name)(), kVmNotSupported) << name;

    std::vector<uint8_t> work(eyeframes::kSide * eyeframes::kSide);
    eyeframes::FrameMaker maker;
    k7qsim::CameraControls controls;
    const eyeframes::Truth t =
        maker.Make(eyeframes::ParamsFor(eyeframes::Kind::WellPlaced, 3, &controls), controls, work.data());
    std::vector<char> text(kVmTextBytes);
    std::vector<uint8_t> iris(kVmIrisOutBytes);
    int32_t roi[4] = {39, 119, 639, 479};
    VmCaWord in[kVmInWords] = {kVmInKindGray720, 0, reinterpret_cast<VmCaWord>(work.data()), 0, 0,
                               reinterpret_cast<VmCaWord>(roi), 0};
    VmCaWord out[kVmOutWords] = {};
    out[kVmOutText] = reinterpret_cast<VmCaWord>(text.data());
    out[kVmOutIris] = reinterpret_cast<VmCaWord>(iris.data());
    auto f4 = Entry<int32_t (*)(int32_t, void*, void*)>("f4");
    const int32_t result = f4(0, in, out);
    EXPECT_TRUE(result == kVmFound || result == kVmSlightOcclusion) << result << " " << text.data();
    EXPECT_NEAR(static_cast<double>(out[kVmOutCentreX]), t.irisX, 2);
    EXPECT_NEAR(static_cast<double>(out[kVmOutCentreY]), t.irisY, 2);
    EXPECT_NEAR(static_cast<double>(out[kVmOutOuterRadius]), t.irisR, 2);
    EXPECT_NEAR(static_cast<double>(out[kVmOutInnerRadius]), t.pupilR, 2);
    EXPECT_EQ(f4(0, nullptr, out), kVmBadArguments);

    EXPECT_EQ(Entry<int32_t (*)()>("f2")(), 1);
    EXPECT_EQ(f4(0, in, out), kVmBadArguments);  // released
}

}  // namespace
