// The embedded x86_64 image-judge module for real: resource "MODE" 216 of the
// control's resources (linked into this program), mapped from memory by the
// control's own binding and called through JudgeImage, under wine64.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "device/device_contract.h"
#include "modules/image_judge.h"
#include "modules/judge/judge_codes.h"
#include "modules/module_loader.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"
#include "tests/modules/judge/judge_scene.h"

namespace {

std::vector<uint8_t> Eye(double irisRadius, uint64_t seed) {
    static JudgeSceneMaker maker;
    k7qsim::EyeParams p = GoodEye(seed);
    p.irisRadius = irisRadius;
    return maker.Make(p).bitmap;
}

class JudgeWineTest : public ::testing::Test {
protected:
    JudgeWineTest() { ForceAccept = 0; }
    ~JudgeWineTest() override { ForceAccept = 0; }
    CImageJudge* judge = CImageJudge::Instance();
};

TEST_F(JudgeWineTest, TheControlsResourceIsTheModuleAndItScoresEyes) {
    ASSERT_NE(judge, nullptr);
    ASSERT_TRUE(judge->Loaded());
    const std::vector<uint8_t> good = Eye(115, 41), small = Eye(84, 42);
    int32_t value = 0;
    EXPECT_EQ(judge->JudgeImage(good.data(), &value), 0);
    EXPECT_GE(value, 60);
    value = 0;
    EXPECT_EQ(judge->JudgeImage(small.data(), &value), kImageRejected);
    EXPECT_GT(value, 0);
    EXPECT_LT(value, 60);
    ForceAccept = 1;
    int32_t forced = 0;
    EXPECT_EQ(judge->JudgeImage(small.data(), &forced), 0);
    EXPECT_EQ(forced, value);  // still asked, same score
    EXPECT_FALSE(platform::PathExists(judge->TemporaryPath()));
}

TEST_F(JudgeWineTest, AnImageWithoutAnIrisIsRejectedAndNoScoreWritten) {
    std::vector<uint8_t> flat = Eye(115, 43);
    std::fill(flat.begin() + 1078, flat.end(), 90);
    int32_t value = 0;
    EXPECT_EQ(judge->JudgeImage(flat.data(), &value), kImageRejected);
    EXPECT_EQ(value, 0);
    EXPECT_FALSE(platform::PathExists(judge->TemporaryPath()));
}

TEST_F(JudgeWineTest, TwoThreadsJudgingAtOnceKeepTheirOwnScores) {
    const std::vector<uint8_t> good = Eye(118, 44), small = Eye(84, 45);
    int32_t goodScore = 0, smallScore = 0;
    judge->JudgeImage(good.data(), &goodScore);
    judge->JudgeImage(small.data(), &smallScore);
    ASSERT_NE(goodScore, smallScore);
    std::atomic<int> mixed{0};
    auto run = [&](const std::vector<uint8_t>* b, int32_t expected) {
        for (int i = 0; i < 10; ++i) {
            int32_t v = 0;
            judge->JudgeImage(b->data(), &v);
            if (v != expected) ++mixed;
        }
    };
    std::thread a(run, &good, goodScore), b(run, &small, smallScore);
    a.join();
    b.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_FALSE(platform::PathExists(judge->TemporaryPath()));
}

// The DLL's own entries, mapped from the same resource: the file checks of
// its system-call file reader and the three other exports.
TEST(JudgeDllEntriesTest, TheEmbeddedDllAnswersEveryEntry) {
    ModuleResource resource;
    ASSERT_TRUE(DefaultModulePlatform().FindOwnResource("MODE", kImageJudgeResourceId, &resource));
    ModuleImage* m = LoadModuleImage(resource.data, resource.size);
    ASSERT_NE(m, nullptr);
    using Plain = int32_t (*)();
    using Value = int32_t (*)(const char*, int32_t*);
    using ValueB = int32_t (*)(const char*, int32_t*, int32_t);
    auto ready = reinterpret_cast<Plain>(GetModuleExport(m, "Qdr_ImageJudge"));
    auto line = reinterpret_cast<Plain>(GetModuleExport(m, "Qdr_ImageJudgeScore"));
    auto value = reinterpret_cast<Value>(GetModuleExport(m, "Qdr_ImageJudgeValue"));
    auto valueB = reinterpret_cast<ValueB>(GetModuleExport(m, "Qdr_ImageJudgeValueB"));
    ASSERT_TRUE(ready && line && value && valueB);
    EXPECT_EQ(ready(), 0);
    EXPECT_EQ(line(), 60);

    testsupport::TempDir dir("judge-dll");
    int32_t score = -1;
    EXPECT_EQ(value((dir / "absent.bmp").string().c_str(), &score), kJudgeUnreadable);
    EXPECT_EQ(value(dir.str().c_str(), &score), kJudgeUnreadable);  // a directory
    EXPECT_EQ(value(nullptr, &score), kJudgeBadArgument);
    const std::vector<uint8_t> good = Eye(115, 46);
    const std::string path = (dir / "eye.bmp").string();
    testsupport::WriteBinaryFile(dir / "short.bmp", std::string(good.begin(), good.begin() + 5000));
    EXPECT_EQ(value((dir / "short.bmp").string().c_str(), &score), kJudgeBadLayout);
    testsupport::WriteBinaryFile(dir / "long.bmp", std::string(good.begin(), good.end()) + "tail");
    EXPECT_EQ(value((dir / "long.bmp").string().c_str(), &score), kJudgeBadLayout);
    EXPECT_EQ(score, -1);
    testsupport::WriteBinaryFile(path, std::string(good.begin(), good.end()));
    ASSERT_EQ(value(path.c_str(), &score), kJudgeOk);
    EXPECT_GE(score, 60);
    int32_t values[12] = {};
    ASSERT_EQ(valueB(path.c_str(), values, 12), kJudgeOk);
    EXPECT_EQ(values[0], score);
    EXPECT_GT(values[6], 100 * 100);  // the iris radius, in hundredths of a pixel
    UnloadModuleImage(m);
}

}  // namespace
