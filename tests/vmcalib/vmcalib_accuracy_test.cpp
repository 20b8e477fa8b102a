// f4 on rendered scene frames with pinned seeds: circles against the scene's
// truth, the dimmed second call of the capture pipeline, and the result code
// of each kind of degraded frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
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

    // The first call against the truth, then the dimmed second call against the first.
    struct Outcome {
        bool found = false, dimmedFound = false;
        double error = 0, dimmedShift = 0;  // largest of centre, outer and inner radius
        std::string text;
    };
    Outcome FoundAndDimmed(Kind kind, uint64_t seed) {
        Outcome o;
        const eyeframes::Truth t = Render(kind, seed);
        DetectCall first(work_.data());
        const int result = first.Run(lib_);
        o.found = result == kVmFound || result == kVmSlightOcclusion;
        o.text = std::to_string(result) + " " + first.text.data();
        o.error = std::max({std::fabs(first.CentreX() - t.irisX), std::fabs(first.CentreY() - t.irisY),
                            std::fabs(first.Outer() - t.irisR), std::fabs(first.Inner() - t.pupilR)});
        eyeframes::DimIrisDisc(work_.data(), dimmed_.data(), static_cast<int>(first.CentreX()),
                               static_cast<int>(first.CentreY()), static_cast<int>(first.Outer()));
        DetectCall second(dimmed_.data());
        const int again = second.Run(lib_);
        o.dimmedFound = again == kVmFound || again == kVmSlightOcclusion;
        o.dimmedShift = std::max({std::fabs(second.CentreX() - first.CentreX()),
                                  std::fabs(second.CentreY() - first.CentreY()),
                                  std::fabs(second.Outer() - first.Outer()), std::fabs(second.Inner() - first.Inner())});
        return o;
    }

    FakeModulePlatform platform_;
    CVmCaLib lib_{platform_};
    eyeframes::FrameMaker maker_;
    std::vector<uint8_t> work_ = std::vector<uint8_t>(eyeframes::kSide * eyeframes::kSide);
    std::vector<uint8_t> dimmed_ = std::vector<uint8_t>(eyeframes::kSide * eyeframes::kSide);
};

// Rounded record words: 2 px of tolerance leave 1.5 px for the segmentation.
// The dimmed second call may move the code across the slight-occlusion
// line; the circle may not move.
TEST_F(VmCaLibAccuracy, WellPlacedEyesWithinTwoPixelsAndTheDimmedCallAgrees) {
    for (uint64_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        const Outcome o = FoundAndDimmed(Kind::WellPlaced, seed);
        EXPECT_TRUE(o.found) << o.text;
        EXPECT_LE(o.error, 2);
        EXPECT_TRUE(o.dimmedFound);
        EXPECT_LE(o.dimmedShift, 1);
    }
}

// Light irises, gray pupils with a ring or a pair of LED dots, skin and
// sclera near clipping, a soft limbus with clumped lashes beside it: what
// photographs of real eyes show. The segmentation before the real-eye work
// found 2 of these 24 (it took gray pupils for no eye and the bright skin
// for a washed-out window); this one finds 17 within 2 px, and the dimmed
// call keeps 10 of those within 1 px. Floors, not goals: the soft limbus
// is where this segmentation still falls short.
TEST_F(VmCaLibAccuracy, RealLookingEyesMostlyWithinTwoPixels) {
    int right = 0, kept = 0;
    for (uint64_t seed = 1; seed <= 24; ++seed) {
        const Outcome o = FoundAndDimmed(Kind::RealLook, seed);
        const bool ok = o.found && o.error <= 2;
        right += ok;
        kept += ok && o.dimmedFound && o.dimmedShift <= 1;
    }
    RecordProperty("within_two_pixels", right);
    RecordProperty("kept_when_dimmed", kept);
    EXPECT_GE(right, 16);
    EXPECT_GE(kept, 9);
}

TEST_F(VmCaLibAccuracy, EachDegradationGetsItsCode) {
    for (int k = 1; k < static_cast<int>(Kind::RealLook); ++k) {
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
