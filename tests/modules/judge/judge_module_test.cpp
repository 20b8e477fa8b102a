// The image-judge module behind the control's binding: the native library
// build of the module's entry (the code the DLLs run) judged through
// CImageJudge::JudgeImage, and the two DLLs mapped by the in-memory loader.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "device/device_contract.h"
#include "modules/image_judge.h"
#include "modules/judge/judge_entries.h"
#include "modules/judge/judge_score.h"
#include "modules/module_loader.h"
#include "modules/testing/fake_module_platform.h"
#include "tests/modules/judge/judge_scene.h"
#include "tests/support/temp_dir.h"

namespace {

std::vector<uint8_t> Picture(const std::function<void(k7qsim::EyeParams&)>& change, uint64_t seed = 21) {
    static JudgeSceneMaker maker;
    k7qsim::EyeParams p = GoodEye(seed);
    change(p);
    return maker.Make(p).bitmap;
}
std::vector<uint8_t> Sharp(uint64_t seed = 21) {
    return Picture([](k7qsim::EyeParams& p) { p.defocusSigma = 0.5; }, seed);
}
// Too small an iris: segmented and scored, below the line.
std::vector<uint8_t> Small(uint64_t seed = 21) {
    return Picture([](k7qsim::EyeParams& p) { p.irisRadius = 86; }, seed);
}

class JudgeContractTest : public ::testing::Test {
protected:
    JudgeContractTest() { ForceAccept = 0; }
    ~JudgeContractTest() override { ForceAccept = 0; }
    testsupport::TempDir dir{"judge-contract"};
    CImageJudge judge{JudgeEntryValue, dir.str() + "/"};

    bool NoFileLeft() const { return std::filesystem::is_empty(dir.path()); }
    // Finds where an eye moved toward the picture's left edge scores exactly
    // `score`: the margin component falls about 3 points per pixel there.
    std::vector<uint8_t> PictureScoring(int32_t score) {
        double inside = 260, outside = 130;
        for (int i = 0; i < 24; ++i) {
            const double mid = 0.5 * (inside + outside);
            std::vector<uint8_t> b = Picture([mid](k7qsim::EyeParams& p) { p.centerX = mid; });
            int32_t value = 0;
            judge.JudgeImage(b.data(), &value);
            if (value == score) return b;
            (value > score ? inside : outside) = mid;
        }
        return {};
    }
};

TEST_F(JudgeContractTest, TheAcceptanceLineIs60) {
    const std::vector<uint8_t> at60 = PictureScoring(60), at59 = PictureScoring(59);
    ASSERT_FALSE(at60.empty());
    ASSERT_FALSE(at59.empty());
    int32_t value = 0;
    EXPECT_EQ(judge.JudgeImage(at60.data(), &value), 0);
    EXPECT_EQ(value, 60);
    value = 0;
    EXPECT_EQ(judge.JudgeImage(at59.data(), &value), kImageRejected);
    EXPECT_EQ(value, 59);
    EXPECT_TRUE(NoFileLeft());
}

TEST_F(JudgeContractTest, AFailingModuleResultRejectsWhateverTheScore) {
    std::vector<uint8_t> noEye(BitmapFileSize, 0);
    const std::vector<uint8_t> good = Sharp();
    std::copy(good.begin(), good.begin() + 1078, noEye.begin());
    std::fill(noEye.begin() + 1078, noEye.end(), 128);  // a flat gray picture: no iris
    int32_t value = 77;                                  // a caller's stale score
    EXPECT_EQ(judge.JudgeImage(noEye.data(), &value), kImageRejected);
    EXPECT_EQ(value, 77);  // the module writes no score when it fails
    std::vector<uint8_t> foreign = good;
    foreign[28] = 24;  // 24 bits per pixel
    EXPECT_EQ(judge.JudgeImage(foreign.data(), &value), kImageRejected);
    EXPECT_EQ(JudgeEntryValue((dir / "absent.bmp").string().c_str(), &value), kJudgeUnreadable);
    EXPECT_TRUE(NoFileLeft());
}

TEST_F(JudgeContractTest, ForceAcceptStillAsksTheModuleAndKeepsItsScore) {
    const std::vector<uint8_t> small = Small();
    int32_t value = 0;
    EXPECT_EQ(judge.JudgeImage(small.data(), &value), kImageRejected);
    const int32_t honest = value;
    EXPECT_LT(honest, 60);
    ForceAccept = 1;
    value = -5;
    EXPECT_EQ(judge.JudgeImage(small.data(), &value), 0);
    EXPECT_EQ(value, honest);
    EXPECT_TRUE(NoFileLeft());
}

TEST_F(JudgeContractTest, ConcurrentJudgementsNeverMixTheirFiles) {
    const std::vector<uint8_t> sharp = Sharp(31), blurred = Small(32);
    int32_t sharpScore = 0, blurredScore = 0;
    ASSERT_EQ(judge.JudgeImage(sharp.data(), &sharpScore), 0);
    ASSERT_EQ(judge.JudgeImage(blurred.data(), &blurredScore), kImageRejected);
    ASSERT_GT(blurredScore, 0);
    auto run = [&](const std::vector<uint8_t>& b, int32_t expected, int* mixed) {
        for (int i = 0; i < 12; ++i) {
            int32_t value = 0;
            judge.JudgeImage(b.data(), &value);
            if (value != expected) ++*mixed;
        }
    };
    int mixedA = 0, mixedB = 0;
    std::thread a(run, std::cref(sharp), sharpScore, &mixedA), b(run, std::cref(blurred), blurredScore, &mixedB);
    a.join();
    b.join();
    EXPECT_EQ(mixedA, 0);
    EXPECT_EQ(mixedB, 0);
    EXPECT_TRUE(NoFileLeft());
}

TEST(JudgeEntriesTest, TheOtherEntriesAnswerTheirDocumentedValues) {
    EXPECT_EQ(JudgeEntryReady(), 0);
    EXPECT_EQ(JudgeEntryAcceptScore(), 60);
    testsupport::TempDir dir("judge-entries");
    const std::vector<uint8_t> b = Sharp();
    const std::string path = (dir / "eye.bmp").string();
    testsupport::WriteBinaryFile(path, std::string(b.begin(), b.end()));
    int32_t score = 0;
    ASSERT_EQ(JudgeEntryValue(path.c_str(), &score), kJudgeOk);
    int32_t values[kJudgeComponentCount + 2];
    std::fill(std::begin(values), std::end(values), -7);
    ASSERT_EQ(JudgeEntryValueB(path.c_str(), values, kJudgeComponentCount + 2), kJudgeOk);
    EXPECT_EQ(values[0], score);
    EXPECT_GT(values[1 + kIrisRadius], 100 * 100);      // radius above 100 px, in hundredths
    EXPECT_LE(values[1 + kUsableArea], 100 * 100);
    EXPECT_EQ(values[kJudgeComponentCount + 1], -7);     // nothing past the components
    EXPECT_EQ(JudgeEntryValueB(path.c_str(), values, 0), kJudgeBadArgument);
    EXPECT_EQ(JudgeEntryValue(nullptr, &score), kJudgeBadArgument);
    EXPECT_EQ(JudgeEntryValue(path.c_str(), nullptr), kJudgeBadArgument);
}

// Both DLLs map under the loader, import only the system's file calls and
// carry the four exports by name.
TEST(JudgeDllTest, BothArchitecturesMapWithTheirFourExports) {
    for (const auto& [arch, machine] : {std::pair<std::string, uint16_t>{"i686", 0x14C}, {"x86_64", 0x8664}}) {
        SCOPED_TRACE(arch);
        const std::string bytes =
            testsupport::ReadBinaryFile(std::string(TAVRIK_JUDGE_MODULE_DIR) + "/" + arch + "/tavrik_judge.dll");
        ASSERT_GT(bytes.size(), 4096u);
        FakeModulePlatform platform(machine);
        platform.mapAtPreferredBase = false;  // relocated, as in the control
        ModuleImage* m = LoadModuleImage(bytes.data(), bytes.size(), platform);
        ASSERT_NE(m, nullptr);
        for (const char* name : {"Qdr_ImageJudge", "Qdr_ImageJudgeScore", "Qdr_ImageJudgeValue", "Qdr_ImageJudgeValueB"})
            EXPECT_NE(GetModuleExport(m, name), nullptr) << name;
        std::set<std::string> imports(platform.resolved.begin(), platform.resolved.end());
        EXPECT_EQ(imports, (std::set<std::string>{"kernel32.dll!CloseHandle", "kernel32.dll!CreateFileA",
                                                  "kernel32.dll!ReadFile"}));
        ASSERT_EQ(platform.entryCalls.size(), 1u);  // attached
        UnloadModuleImage(m);
        EXPECT_EQ(platform.Reservations(), 0u);
    }
}

}  // namespace
