// The bindings of the two embedded modules over the fake platform: which
// resource they take, when every entry is bound, what a failed binding leaves
// behind, and the image judge's file handling when no module can score.
#include <gtest/gtest.h>

#include <thread>

#include "device/device_contract.h"
#include "modules/image_judge.h"
#include "modules/testing/fake_module_platform.h"
#include "modules/vmcalib.h"
#include "platform/files.h"
#include "tests/modules/test_image.h"

using testimage::ModuleBytes;

namespace {

std::vector<void*> Entries(const CVmCaLib& lib) {
    return {reinterpret_cast<void*>(lib.f0),  reinterpret_cast<void*>(lib.f1),  reinterpret_cast<void*>(lib.f2),
            reinterpret_cast<void*>(lib.f3),  reinterpret_cast<void*>(lib.f4),  reinterpret_cast<void*>(lib.f5),
            reinterpret_cast<void*>(lib.f6),  reinterpret_cast<void*>(lib.f7),  reinterpret_cast<void*>(lib.f8),
            reinterpret_cast<void*>(lib.f10), reinterpret_cast<void*>(lib.f11), reinterpret_cast<void*>(lib.f12),
            reinterpret_cast<void*>(lib.f13), reinterpret_cast<void*>(lib.f14), reinterpret_cast<void*>(lib.f15)};
}

TEST(VmCaLibBindingTest, BindsEveryEntryFromResource217) {
    FakeModulePlatform platform;
    platform.resources[216] = ModuleBytes("x86_64", "vmcalib_without_f7");  // the wrong id is never taken
    platform.resources[kVmCaLibResourceId] = ModuleBytes("x86_64", "vmcalib");
    {
        CVmCaLib lib(platform);
        ASSERT_TRUE(lib.Loaded());
        std::set<void*> distinct;
        for (void* entry : Entries(lib)) {
            EXPECT_NE(entry, nullptr);
            distinct.insert(entry);
        }
        EXPECT_EQ(distinct.size(), 15u);
        EXPECT_EQ(platform.Reservations(), 1u);
    }
    EXPECT_EQ(platform.Reservations(), 0u);  // released with the binding
    EXPECT_EQ(platform.openRecords, 0);
}

TEST(VmCaLibBindingTest, AMissingEntryUnloadsTheImageAndLeavesNothingCallable) {
    FakeModulePlatform platform;
    platform.resources[kVmCaLibResourceId] = ModuleBytes("x86_64", "vmcalib_without_f7");
    CVmCaLib lib(platform);
    EXPECT_FALSE(lib.Loaded());
    for (void* entry : Entries(lib)) EXPECT_EQ(entry, nullptr);
    EXPECT_EQ(platform.Reservations(), 0u);
    EXPECT_EQ(platform.openRecords, 0);
    EXPECT_EQ(platform.entryCalls.size(), 2u);  // attached, then detached by the unload
}

TEST(VmCaLibBindingTest, NoResourceOrAnUnloadableOneBindsNothing) {
    FakeModulePlatform platform;
    CVmCaLib none(platform);
    EXPECT_FALSE(none.Loaded());
    EXPECT_EQ(none.f1, nullptr);
    platform.resources[kVmCaLibResourceId] = ModuleBytes("i686", "vmcalib");  // the other machine
    CVmCaLib other(platform);
    EXPECT_FALSE(other.Loaded());
    EXPECT_EQ(other.f1, nullptr);
    EXPECT_EQ(platform.Reservations(), 0u);
}

class ImageJudgeBindingTest : public ::testing::Test {
protected:
    ImageJudgeBindingTest() : bitmap(BitmapFileSize, 200) { ForceAccept = 0; }
    ~ImageJudgeBindingTest() override { ForceAccept = 0; }

    testsupport::TempDir dir;
    FakeModulePlatform platform;
    std::vector<unsigned char> bitmap;
};

TEST_F(ImageJudgeBindingTest, WithoutAModuleEveryImageIsRejectedUnlessForced) {
    CImageJudge judge(platform, dir.str() + "/");
    EXPECT_FALSE(judge.Loaded());
    EXPECT_EQ(judge.TemporaryPath(), dir.str() + "/tp.bmp");
    int32_t value = 0;
    EXPECT_EQ(judge.JudgeImage(bitmap.data(), &value), kImageRejected);
    EXPECT_EQ(value, 0);  // the score keeps what the caller set
    ForceAccept = 1;
    EXPECT_EQ(judge.JudgeImage(bitmap.data(), &value), 0);
    EXPECT_FALSE(platform::PathExists(judge.TemporaryPath()));
    EXPECT_EQ(judge.JudgeImage(nullptr, &value), kImageRejected);
    EXPECT_EQ(judge.JudgeImage(bitmap.data(), nullptr), kImageRejected);
}

TEST_F(ImageJudgeBindingTest, AModuleWithoutTheJudgeExportsStaysLoadedButUnbound) {
    platform.resources[kImageJudgeResourceId] = ModuleBytes("x86_64", "main");
    {
        CImageJudge judge(platform, dir.str() + "/");
        EXPECT_TRUE(judge.Loaded());
        int32_t value = 0;
        EXPECT_EQ(judge.JudgeImage(bitmap.data(), &value), kImageRejected);  // never calls into the image
    }
    EXPECT_EQ(platform.Reservations(), 0u);
}

TEST_F(ImageJudgeBindingTest, AnUnwritableTemporaryPathIsReportedAndTheJudgementGoesOn) {
    CImageJudge judge(platform, dir.str() + "/missing-folder/");
    int32_t value = 0;
    testing::internal::CaptureStdout();
    EXPECT_EQ(judge.JudgeImage(bitmap.data(), &value), kImageRejected);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "open " + judge.TemporaryPath() + " error\n");
}

TEST_F(ImageJudgeBindingTest, ConcurrentJudgementsLeaveNoFileBehind) {
    CImageJudge judge(platform, dir.str() + "/");
    auto run = [&] {
        for (int i = 0; i < 20; ++i) {
            int32_t value = 0;
            EXPECT_EQ(judge.JudgeImage(bitmap.data(), &value), kImageRejected);
        }
    };
    std::thread a(run), b(run);
    a.join();
    b.join();
    EXPECT_FALSE(platform::PathExists(judge.TemporaryPath()));
}

}  // namespace
