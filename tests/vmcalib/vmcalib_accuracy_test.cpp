// f4 on rendered scene frames with pinned seeds: circles against the scene's
// truth, the dimmed second call of the capture pipeline, and the result code
// of each kind of degraded frame.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "modules/testing/fake_module_platform.h"
#include "modules/vmcalib/vmcalib_static.h"
#include "tests/vmcalib/eye_frames.h"
#include "tests/vmcalib/vmcalib_test_util.h"

namespace {

using eyeframes::Kind;

class VmCaLibAccuracy : public ::testing::Test {
protected:
    void SetUp() override {
        BindStaticVmCaLib(&lib_);
        ASSERT_EQ(lib_.f1("", 0, 0), 1);
    }
    void TearDown() override { lib_.f2(); }

    eyeframes::Truth Render(Kind kind, uint64_t seed, double* glareShare = nullptr) {
        k7qsim::CameraControls controls;
        const auto params = eyeframes::ParamsFor(kind, seed, &controls);
        if (glareShare) *glareShare = maker_.GlareOverIris(params, controls);
        return maker_.Make(params, controls, work_.data());
    }

    void ExpectCircle(const DetectCall& call, const eyeframes::Truth& t, double tolerance, int line) {
        SCOPED_TRACE(::testing::Message() << "from line " << line);
        EXPECT_NEAR(call.CentreX(), t.irisX, tolerance);
        EXPECT_NEAR(call.CentreY(), t.irisY, tolerance);
        EXPECT_NEAR(call.Outer(), t.irisR, tolerance);
        EXPECT_NEAR(call.Inner(), t.pupilR, tolerance);
    }

    FakeModulePlatform platform_;
    CVmCaLib lib_{platform_};
    eyeframes::FrameMaker maker_;
    std::vector<uint8_t> work_ = std::vector<uint8_t>(eyeframes::kSide * eyeframes::kSide);
    std::vector<uint8_t> dimmed_ = std::vector<uint8_t>(eyeframes::kSide * eyeframes::kSide);
};

// Rounded record words: 2 px of tolerance leave 1.5 px for the segmentation.
TEST_F(VmCaLibAccuracy, WellPlacedEyesWithinTwoPixelsAndTheDimmedCallAgrees) {
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const eyeframes::Truth t = Render(Kind::WellPlaced, seed);
        DetectCall first(work_.data());
        const int result = first.Run(lib_);
        EXPECT_TRUE(result == kVmFound || result == kVmSlightOcclusion) << result << " " << first.text.data();
        ExpectCircle(first, t, 2, __LINE__);

        eyeframes::DimIrisDisc(work_.data(), dimmed_.data(), static_cast<int>(first.CentreX()),
                               static_cast<int>(first.CentreY()), static_cast<int>(first.Outer()));
        // The code may move across the slight-occlusion line; the circle may not move.
        DetectCall second(dimmed_.data());
        const int again = second.Run(lib_);
        EXPECT_TRUE(again == kVmFound || again == kVmSlightOcclusion) << again;
        EXPECT_NEAR(second.CentreX(), first.CentreX(), 1);
        EXPECT_NEAR(second.CentreY(), first.CentreY(), 1);
        EXPECT_NEAR(second.Outer(), first.Outer(), 1);
        EXPECT_NEAR(second.Inner(), first.Inner(), 1);
    }
}

TEST_F(VmCaLibAccuracy, EachDegradationGetsItsCode) {
    for (int k = 1; k < static_cast<int>(Kind::Count); ++k) {
        const Kind kind = static_cast<Kind>(k);
        for (uint64_t seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(::testing::Message() << eyeframes::KindName(kind) << " seed " << seed);
            double glare = 0;
            Render(kind, seed, kind == Kind::Glasses ? &glare : nullptr);
            DetectCall call(work_.data());
            const int result = call.Run(lib_);
            EXPECT_NE(eyeframes::Judge(kind, result, glare), eyeframes::Verdict::Wrong)
                << result << " " << call.text.data();
        }
    }
}

}  // namespace
