// The i686 test modules executed for real in this 32-bit process: mapped by
// the loader on a 32-bit address space, their imports bound to stand-ins,
// their entry point and exports run as i686 code, and the two module
// bindings driving them.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "device/device_contract.h"
#include "modules/image_judge.h"
#include "modules/module_loader.h"
#include "modules/testing/standin_module_platform.h"
#include "modules/vmcalib.h"
#include "platform/files.h"
#include "tests/modules/test_image.h"

using testimage::ModuleBytes;

namespace {

// tavrik_ordlib.dll as the test modules call it (C convention).
int attachNotes = 0, detachNotes = 0;
__attribute__((force_align_arg_pointer)) int NoteByName(int x) { return x + 1000; }
__attribute__((force_align_arg_pointer)) int NoteByOrdinal(int reason) {
    if (reason == kProcessAttach) ++attachNotes;
    if (reason == kProcessDetach) ++detachNotes;
    return reason;
}

class StandInModuleTest : public ::testing::Test {
protected:
    StandInModuleTest() {
        attachNotes = detachNotes = 0;
        platform.AddFunction("TAVRIK_ORDLIB.dll", "TavrikNoteByName", reinterpret_cast<void*>(&NoteByName));
        platform.AddOrdinal("tavrik_ordlib.dll", 7, reinterpret_cast<void*>(&NoteByOrdinal));
    }

    template <typename T>
    T Export(ModuleImage* module, const char* name) {
        void* address = GetModuleExport(module, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<T>(address);
    }

    // Runs the main module's own code and checks what it reports.
    void ExpectMainModuleWorks(ModuleImage* module, int line) {
        SCOPED_TRACE(testing::Message() << "called from line " << line);
        EXPECT_EQ(Export<int (*)(int, int)>(module, "MIXEDCASENAME")(3, 4), 3 * 31 + 4);
        EXPECT_EQ(Export<int (*)(int)>(module, "CallByName")(5), 1005);  // through the stand-in import
        EXPECT_EQ(Export<uint32_t (*)()>(module, "ProcessIdSeen")(), static_cast<uint32_t>(getpid()));  // stdcall
        const int count = *Export<const int*>(module, "RelocCount");
        EXPECT_EQ(Export<int (*)()>(module, "CheckPointers")(), count);  // every relocated pointer hits its target
        EXPECT_EQ(*Export<int*>(module, "AttachCount"), 1);
        EXPECT_EQ(attachNotes, 1);
    }

    StandInModulePlatform platform;
};

TEST_F(StandInModuleTest, TheMainModuleRunsAtItsPreferredBaseAndDetachesOnUnload) {
    const std::string image = ModuleBytes("i686", "main");
    ModuleImage* module = LoadModuleImage(image.data(), image.size(), platform);
    ASSERT_NE(module, nullptr) << testing::PrintToString(platform.unresolved);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(module->base), testimage::kPreferredBase);
    ExpectMainModuleWorks(module, __LINE__);
    EXPECT_EQ(platform.openLibraries, 2);  // kernel32.dll, tavrik_ordlib.dll
    UnloadModuleImage(module);
    EXPECT_EQ(detachNotes, 1);
    EXPECT_EQ(platform.openLibraries, 0);
    EXPECT_EQ(platform.Reservations(), 0u);
}

TEST_F(StandInModuleTest, AModuleMappedElsewhereRunsWithEveryPointerRelocated) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* taken = mmap(reinterpret_cast<void*>(testimage::kPreferredBase), page, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    ASSERT_EQ(reinterpret_cast<uintptr_t>(taken), testimage::kPreferredBase);
    const std::string image = ModuleBytes("i686", "main_many");
    ModuleImage* module = LoadModuleImage(image.data(), image.size(), platform);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(reinterpret_cast<uintptr_t>(module->base), testimage::kPreferredBase);
    ExpectMainModuleWorks(module, __LINE__);
    UnloadModuleImage(module);
    munmap(taken, page);
}

TEST_F(StandInModuleTest, CodeAndConstantsAreNotWritableAfterTheLoad) {
    const std::string image = ModuleBytes("i686", "main");
    ModuleImage* module = LoadModuleImage(image.data(), image.size(), platform);
    ASSERT_NE(module, nullptr);
    // A write to the constants must fault: tried in a child process.
    const char* tag = Export<const char*>(module, "ModuleTag");
    EXPECT_STREQ(tag, "tavrik test module");
    const pid_t child = fork();
    if (child == 0) {
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        *const_cast<char*>(tag) = 'X';  // must fault
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status)) << "a write to the module's constants went through";
    UnloadModuleImage(module);
}

TEST_F(StandInModuleTest, ImportsWithoutAStandInFailTheLoadAndAreNamed) {
    StandInModulePlatform bare;  // no tavrik_ordlib.dll
    const std::string image = ModuleBytes("i686", "main");
    EXPECT_EQ(LoadModuleImage(image.data(), image.size(), bare), nullptr);
    EXPECT_EQ(bare.unresolved, (std::vector<std::string>{"tavrik_ordlib.dll"}));
    EXPECT_EQ(bare.openLibraries, 0);
    EXPECT_EQ(bare.Reservations(), 0u);

    platform.AddFunction("kernel32.dll", "GetCurrentProcessId", nullptr);
    EXPECT_EQ(LoadModuleImage(image.data(), image.size(), platform), nullptr);
    EXPECT_EQ(platform.openLibraries, 0);
}

TEST_F(StandInModuleTest, TheIrisModuleBindingCallsTheI686Entries) {
    platform.resources[kVmCaLibResourceId] = ModuleBytes("i686", "vmcalib");
    CVmCaLib lib(platform);
    ASSERT_TRUE(lib.Loaded()) << testing::PrintToString(platform.unresolved);
    char version[20] = {};
    lib.f0(version, sizeof version);
    EXPECT_STREQ(version, "tavrik-test 1.0");
    EXPECT_EQ(lib.f1("", 0, 0), 1);
    EXPECT_EQ(lib.f3(0, 2, 50, 50, 60, 60, 50), 3);
    EXPECT_EQ(lib.f4(0, nullptr, nullptr), 4);
    EXPECT_EQ(lib.f15(), 15);
}

class StandInJudgeTest : public StandInModuleTest {
protected:
    StandInJudgeTest() { platform.resources[kImageJudgeResourceId] = ModuleBytes("i686", "judge"); }
    ~StandInJudgeTest() override { ForceAccept = 0; }

    // A bitmap whose pixel bytes are all the same: the test module scores their mean.
    static std::vector<unsigned char> Bitmap(unsigned char pixel) {
        std::vector<unsigned char> bitmap(BitmapFileSize, pixel);
        bitmap[0] = 'B';
        bitmap[1] = 'M';
        return bitmap;
    }

    testsupport::TempDir dir;
};

TEST_F(StandInJudgeTest, TheJudgeModuleReadsTheFileThroughTheKernelStandIns) {
    CImageJudge judge(platform, dir.str() + "/");
    ASSERT_TRUE(judge.Loaded()) << testing::PrintToString(platform.unresolved);
    int32_t value = 0;
    EXPECT_EQ(judge.JudgeImage(Bitmap(60).data(), &value), 0);
    EXPECT_EQ(value, 60);
    EXPECT_EQ(judge.JudgeImage(Bitmap(59).data(), &value), kImageRejected);
    EXPECT_EQ(value, 59);
    EXPECT_FALSE(platform::PathExists(judge.TemporaryPath()));

    auto notBitmap = Bitmap(200);
    notBitmap[0] = 'X';
    EXPECT_EQ(judge.JudgeImage(notBitmap.data(), &value), kImageRejected);  // the module answers 2
    EXPECT_EQ(value, 200);
}

TEST_F(StandInJudgeTest, AMissingFileIsTheModulesOwnFailure) {
    const std::string& image = platform.resources[kImageJudgeResourceId];
    ModuleImage* module = LoadModuleImage(image.data(), image.size(), platform);
    ASSERT_NE(module, nullptr);
    const auto value_entry = Export<CImageJudge::ValueEntry>(module, "Qdr_ImageJudgeValue");
    int32_t value = 7;
    EXPECT_EQ(value_entry((dir.str() + "/absent.bmp").c_str(), &value), -1);  // CreateFileA failed
    EXPECT_EQ(value, 7);
    UnloadModuleImage(module);
}

}  // namespace
