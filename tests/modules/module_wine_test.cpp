// The loader and the bindings for real: the x86_64 test modules are resources
// of this program, mapped from memory by the Win32 platform, and called.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "device/device_contract.h"
#include "modules/image_judge.h"
#include "modules/module_loader.h"
#include "modules/vmcalib.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr int kMainModule = 300;
constexpr int kRefusingModule = 301;
constexpr int kVmCaLibWithoutF7 = 302;

ModuleImage* LoadEmbedded(int id) {
    ModuleResource resource;
    if (!DefaultModulePlatform().FindOwnResource("MODE", id, &resource)) return nullptr;
    return LoadModuleImage(resource.data, resource.size);
}

// tavrik_ordlib counts the attach and detach calls the test module's entry
// point reports; holding it keeps the counts readable after an unload.
class OrdinalLibrary {
public:
    OrdinalLibrary() : handle_(LoadLibraryA("tavrik_ordlib.dll")) {}
    ~OrdinalLibrary() { FreeLibrary(handle_); }
    int Attaches() const { return *Counter("ProcessAttaches"); }
    int Detaches() const { return *Counter("ProcessDetaches"); }
    bool Loaded() const { return handle_ != nullptr; }

private:
    const int* Counter(const char* name) const {
        return reinterpret_cast<const int*>(GetProcAddress(handle_, name));
    }
    HMODULE handle_;
};

template <typename T>
T Export(ModuleImage* m, const char* name) {
    return reinterpret_cast<T>(GetModuleExport(m, name));
}

void ExpectModuleWorks(ModuleImage* m) {
    EXPECT_EQ(Export<int (*)(int, int)>(m, "mixedcasename")(2, 3), 65);
    EXPECT_EQ(Export<int (*)()>(m, "F12")(), 12);
    EXPECT_EQ(Export<DWORD (*)()>(m, "ProcessIdSeen")(), GetCurrentProcessId());  // kernel32 by name
    EXPECT_EQ(Export<int (*)(int)>(m, "CallByName")(5), 1005);                     // tavrik_ordlib by name
    const int count = *Export<const int*>(m, "RelocCount");
    int** table = Export<int**>(m, "RelocTable");
    int* targets = Export<int*>(m, "RelocTargets");
    int wrong = 0;
    for (int i = 0; i < count; ++i) wrong += table[i] != targets + i;
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(Export<int (*)()>(m, "CheckPointers")(), count);
    EXPECT_EQ(*Export<int*>(m, "AttachCount"), 1);
}

TEST(ModuleLoaderWineTest, EmbeddedModuleRunsFromMemoryAndDetachesOnUnload) {
    OrdinalLibrary ordlib;
    ModuleImage* m = LoadEmbedded(kMainModule);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(ordlib.Loaded());
    const int attaches = ordlib.Attaches(), detaches = ordlib.Detaches();
    EXPECT_GE(attaches, 1);  // by the ordinal import, from the entry point
    ExpectModuleWorks(m);
    EXPECT_EQ(UnloadModuleImage(m), 0);
    EXPECT_EQ(ordlib.Attaches(), attaches);
    EXPECT_EQ(ordlib.Detaches(), detaches + 1);
}

TEST(ModuleLoaderWineTest, ModuleMappedAwayFromItsBaseIsRelocated) {
    void* blocker = VirtualAlloc(reinterpret_cast<void*>(0x10000000), 0x100000, MEM_RESERVE, PAGE_NOACCESS);
    ModuleImage* m = LoadEmbedded(kMainModule);
    ASSERT_NE(m, nullptr);
    EXPECT_NE(reinterpret_cast<uintptr_t>(m->base), 0x10000000u);
    ExpectModuleWorks(m);
    UnloadModuleImage(m);
    if (blocker) VirtualFree(blocker, 0, MEM_RELEASE);
}

TEST(ModuleLoaderWineTest, EntryRefusingAttachYieldsNullWithoutDetach) {
    OrdinalLibrary ordlib;
    const int attaches = ordlib.Attaches(), detaches = ordlib.Detaches();
    EXPECT_EQ(LoadEmbedded(kRefusingModule), nullptr);
    EXPECT_EQ(ordlib.Attaches(), attaches + 1);
    EXPECT_EQ(ordlib.Detaches(), detaches);
}

TEST(VmCaLibWineTest, BindsAndCallsTheEmbeddedModule) {
    CVmCaLib& lib = GetVmCaLib();
    EXPECT_EQ(&lib, &GetVmCaLib());
    ASSERT_TRUE(lib.Loaded());
    char version[20] = {};
    lib.f0(version, sizeof version);
    EXPECT_STREQ(version, "tavrik-test 1.0");
    EXPECT_EQ(lib.f1("", 0, 0), 1);
    EXPECT_EQ(lib.f3(0, 2, 50, 50, 60, 60, 50), 3);
    EXPECT_EQ(lib.f4(0, nullptr, nullptr), 4);
    EXPECT_EQ(lib.f15(), 15);

    CVmCaLib incomplete(DefaultModulePlatform(), kVmCaLibWithoutF7);
    EXPECT_FALSE(incomplete.Loaded());
    EXPECT_EQ(incomplete.f0, nullptr);
    EXPECT_EQ(incomplete.f1, nullptr);
}

class ImageJudgeWineTest : public ::testing::Test {
protected:
    ImageJudgeWineTest() : judge(DefaultModulePlatform(), dir.str() + "\\") { ForceAccept = 0; }
    ~ImageJudgeWineTest() override { ForceAccept = 0; }

    // A complete bitmap whose pixels all hold level.
    static std::vector<unsigned char> Bitmap(unsigned char level, const char* signature = "BM") {
        std::vector<unsigned char> bitmap(BitmapFileSize, level);
        std::memset(bitmap.data(), 0, 1078);
        std::memcpy(bitmap.data(), signature, 2);
        return bitmap;
    }
    int32_t Judge(const std::vector<unsigned char>& bitmap, int32_t* value) {
        *value = 0;
        const int32_t result = judge.JudgeImage(bitmap.data(), value);
        EXPECT_FALSE(platform::PathExists(judge.TemporaryPath())) << "tp.bmp left behind";
        return result;
    }

    testsupport::TempDir dir;
    CImageJudge judge;
};

TEST_F(ImageJudgeWineTest, AcceptsFromTheThresholdUp) {
    ASSERT_TRUE(judge.Loaded());
    int32_t value = 0;
    EXPECT_EQ(Judge(Bitmap(60), &value), 0);
    EXPECT_EQ(value, 60);
    EXPECT_EQ(Judge(Bitmap(59), &value), kImageRejected);
    EXPECT_EQ(value, 59);
    EXPECT_EQ(Judge(Bitmap(200), &value), 0);
}

TEST_F(ImageJudgeWineTest, ANonzeroModuleResultRejectsWhateverTheScore) {
    int32_t value = 0;
    EXPECT_EQ(Judge(Bitmap(90, "XX"), &value), kImageRejected);
    EXPECT_EQ(value, 90);
}

TEST_F(ImageJudgeWineTest, ForceAcceptStillAsksTheModule) {
    ForceAccept = 1;
    int32_t value = 0;
    EXPECT_EQ(Judge(Bitmap(10), &value), 0);
    EXPECT_EQ(value, 10);
    EXPECT_EQ(Judge(Bitmap(90, "XX"), &value), 0);
}

TEST_F(ImageJudgeWineTest, TwoThreadsJudgingAtOnceEachGetTheirOwnScore) {
    std::atomic<int> wrong{0};
    auto run = [&](unsigned char level, int32_t expected) {
        const std::vector<unsigned char> bitmap = Bitmap(level);
        for (int i = 0; i < 25; ++i) {
            int32_t value = 0;
            const int32_t result = judge.JudgeImage(bitmap.data(), &value);
            if (value != level || result != expected) ++wrong;
        }
    };
    std::thread good(run, 61, 0), poor(run, 40, kImageRejected);
    good.join();
    poor.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_FALSE(platform::PathExists(judge.TemporaryPath()));
}

TEST(ImageJudgeInstanceWineTest, OneJudgeInTheTemporaryDirectory) {
    CImageJudge* judge = CImageJudge::Instance();
    ASSERT_NE(judge, nullptr);
    EXPECT_EQ(judge, CImageJudge::Instance());
    EXPECT_TRUE(judge->Loaded());
    EXPECT_EQ(judge->TemporaryPath(), platform::TempDirectory() + "tp.bmp");
}

}  // namespace
