// The committed tables on held-out frames of the virtual device's scenes (seeds
// the trainer never saw), and a detection's memory: none beyond its context.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "modules/eye_locator.h"
#include "sim/scene/scene.h"
#include "tools/eye_locator/eye_evaluation.h"

// The counting operator new hands out malloc memory, which its delete frees.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

namespace {
void* Counted(std::size_t size) {
    ++g_allocations;
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

class EyeLocatorModelTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(EyeLocatorInit(k7qsim::kFrameWidth, k7qsim::kFrameHeight), 0); }
    void TearDown() override { EyeLocatorRelease(); }
};

TEST_F(EyeLocatorModelTest, CommittedTablesHoldTheirLevelOnHeldOutScenes) {
    const eyetools::FrameRange range{901, 903, 300};
    const eyetools::Figures f = eyetools::Evaluate(range, eyetools::EyeLocatorDetector());
    RecordProperty("figures", eyetools::FiguresText(f));
    std::printf("%s\n", eyetools::FiguresText(f).c_str());
    ASSERT_GT(f.wellPlaced, 50);
    ASSERT_GT(f.eyeFree, 30);
    ASSERT_GT(f.eyeFreeOfKind[eyetools::kNoPerson], 20);
    // The pair and overlap goals hold, and nothing is found where nobody stands
    // in front of the camera. Recall and the detections on closed or mostly
    // covered eyes are held at the committed tables' measured level (98.8% and
    // 5.4%, 4 of 74, on these few frames; docs/eye-locator.md has the larger sets).
    EXPECT_GE(f.Recall(), 0.98);
    // Where one of the locator's fixed-size 2:1 windows fits the eye, it is found.
    EXPECT_GE(f.GoodFitRecall(), 0.99);
    EXPECT_GE(f.meanIoU, 0.6);
    EXPECT_EQ(f.detectionsOfKind[eyetools::kNoPerson], 0);
    EXPECT_LE(f.FalseRate(), 0.06);
    EXPECT_LE(f.PairRate(), 0.01);
}

// The trainer labels windows and the evaluation judges fit by the tools' own
// window boxes; every box the locator reports must be one of them exactly.
TEST_F(EyeLocatorModelTest, ReportedBoxesAreTheToolsWindowBoxes) {
    eyeloc::Geometry g;
    eyeloc::DeriveGeometry(*eyeloc::FindSize(k7qsim::kFrameWidth, k7qsim::kFrameHeight), g);
    int boxes = 0;
    eyetools::Evaluate({901, 901, 300}, eyetools::EyeLocatorDetector(),
                       [&](const k7qsim::GroundTruth&, const uint8_t*, int32_t eyes, const int32_t* rect) {
                           for (int32_t e = 0; e < eyes; ++e, ++boxes)
                               EXPECT_DOUBLE_EQ(eyetools::BestWindowIoU(g, eyetools::RectBox(rect + 4 * e)), 1.0)
                                   << rect[4 * e] << "," << rect[4 * e + 1] << " .. " << rect[4 * e + 2] << ","
                                   << rect[4 * e + 3];
                       });
    EXPECT_GT(boxes, 20);
}

TEST_F(EyeLocatorModelTest, DetectionAllocatesNothing) {
    k7qsim::SceneTimeline timeline(904);
    std::vector<uint8_t> frame(k7qsim::kFrameBytes);
    int32_t rect[8];
    for (double t = timeline.ArrivalMs() - 500; t < timeline.GoneMs(); t += 997) {
        timeline.Render(k7qsim::Eye::Left, t, k7qsim::CameraControls{}, frame.data());
        const long before = g_allocations.load();
        const int32_t eyes = EyeLocatorDetect(frame.data(), k7qsim::kFrameBytes, rect);
        EXPECT_EQ(g_allocations.load(), before) << "at " << t << " ms, result " << eyes;
    }
}

}  // namespace
