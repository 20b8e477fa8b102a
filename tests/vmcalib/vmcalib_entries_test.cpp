// The module's entries through the same table the DLL fills: the version
// text's bounds, initialisation and settings, the unsupported entries, and
// f4's handling of its records.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "modules/testing/fake_module_platform.h"
#include "modules/vmcalib/vmcalib_static.h"
#include "tests/vmcalib/eye_frames.h"
#include "tests/vmcalib/vmcalib_test_util.h"

namespace {

class VmCaLibEntries : public ::testing::Test {
protected:
    void SetUp() override {
        BindStaticVmCaLib(&lib_);
        ASSERT_EQ(lib_.f1("", 0, 0), 1);
    }
    void TearDown() override { lib_.f2(); }

    // One well-placed eye, rendered once for the whole suite.
    static const std::vector<uint8_t>& Eye(eyeframes::Truth* truth = nullptr) {
        static eyeframes::Truth t;
        static const std::vector<uint8_t> image = [] {
            std::vector<uint8_t> work(eyeframes::kSide * eyeframes::kSide);
            eyeframes::FrameMaker maker;
            k7qsim::CameraControls controls;
            const auto params = eyeframes::ParamsFor(eyeframes::Kind::WellPlaced, 7, &controls);
            t = maker.Make(params, controls, work.data());
            return work;
        }();
        if (truth) *truth = t;
        return image;
    }

    FakeModulePlatform platform_;
    CVmCaLib lib_{platform_};
};

TEST_F(VmCaLibEntries, VersionTextFitsItsBufferAndNeverRunsOver) {
    char buffer[64];
    std::memset(buffer, 0x5a, sizeof buffer);
    lib_.f0(buffer, kVmVersionBytes);
    const size_t length = strnlen(buffer, kVmVersionBytes);
    EXPECT_LT(length, static_cast<size_t>(kVmVersionBytes));
    EXPECT_GT(length, 0u);
    for (int i = kVmVersionBytes; i < 64; ++i) EXPECT_EQ(buffer[i], 0x5a) << i;

    std::memset(buffer, 0x5a, sizeof buffer);
    lib_.f0(buffer, 5);  // a short buffer gets a cut, terminated text
    EXPECT_EQ(std::strlen(buffer), 4u);
    EXPECT_EQ(buffer[5], 0x5a);
    EXPECT_EQ(lib_.f0(nullptr, 20), kVmBadArguments);
}

TEST_F(VmCaLibEntries, DeviceInitialisationSettingsAreAcceptedAndNonsenseRefused) {
    EXPECT_EQ(lib_.f3(0, 2, 50, 50, 60, 60, 50), 1);
    EXPECT_EQ(lib_.f3(1, 2, 60, 65, 70, 60, 50), 1);
    EXPECT_EQ(lib_.f3(2, 2, 60, 65, 70, 60, 50), kVmBadArguments);
    EXPECT_EQ(lib_.f3(0, 2, 50, 50, 60, 60, 101), kVmBadArguments);
}

TEST_F(VmCaLibEntries, UnusedEntriesAnswerNotSupported) {
    for (auto entry : {lib_.f5, lib_.f6, lib_.f7, lib_.f8, lib_.f10, lib_.f11, lib_.f12, lib_.f13, lib_.f14, lib_.f15})
        EXPECT_EQ(entry(), kVmNotSupported);
}

// Every damaged call answers -20 and leaves records and areas untouched.
TEST_F(VmCaLibEntries, BadArgumentsAreRefusedWithoutAWrite) {
    const std::vector<uint8_t>& image = Eye();
    struct Case {
        const char* name;
        void (*damage)(DetectCall&);
    };
    const Case cases[] = {
        {"null image", [](DetectCall& c) { c.in[kVmInImage] = 0; }},
        {"null text area", [](DetectCall& c) { c.out[kVmOutText] = 0; }},
        {"null iris area", [](DetectCall& c) { c.out[kVmOutIris] = 0; }},
        {"wrong image kind", [](DetectCall& c) { c.in[kVmInKind] = 3; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DetectCall call(image.data());
        c.damage(call);
        std::memset(call.text.data(), 0x33, call.text.size());
        std::memset(call.iris.data(), 0x44, call.iris.size());
        VmCaWord before[kVmOutWords];
        std::memcpy(before, call.out, sizeof before);
        EXPECT_EQ(call.Run(lib_), kVmBadArguments);
        EXPECT_EQ(std::memcmp(before, call.out, sizeof before), 0);
        for (char ch : call.text) ASSERT_EQ(ch, 0x33);
        for (uint8_t px : call.iris) ASSERT_EQ(px, 0x44);
    }
    DetectCall call(image.data());
    EXPECT_EQ(lib_.f4(0, nullptr, call.out), kVmBadArguments);
    EXPECT_EQ(lib_.f4(0, call.in, nullptr), kVmBadArguments);
    EXPECT_EQ(lib_.f4(1, call.in, call.out), kVmBadArguments);
    for (int i = 0; i < kVmOutWords; ++i)
        if (i != kVmOutText && i != kVmOutIris) EXPECT_EQ(call.out[i], 0) << i;
}

TEST_F(VmCaLibEntries, DetectionBeforeInitialisationIsRefused) {
    lib_.f2();
    DetectCall call(Eye().data());
    EXPECT_EQ(call.Run(lib_), kVmBadArguments);
    EXPECT_EQ(call.out[kVmOutCentreX], 0);
}

TEST_F(VmCaLibEntries, FoundEyeFillsTheRecordTheCallerReads) {
    eyeframes::Truth truth;
    DetectCall call(Eye(&truth).data());
    const int result = call.Run(lib_);
    ASSERT_TRUE(result == kVmFound || result == kVmSlightOcclusion) << result;
    EXPECT_NEAR(call.CentreX(), truth.irisX, 2);
    EXPECT_NEAR(call.CentreY(), truth.irisY, 2);
    EXPECT_NEAR(call.Outer(), truth.irisR, 2);
    EXPECT_NEAR(call.Inner(), truth.pupilR, 2);
    EXPECT_NEAR(static_cast<double>(call.out[kVmOutPupilX]), truth.pupilX, 2);
    EXPECT_GT(call.out[kVmOutKey], 0);
    EXPECT_GE(call.out[kVmOutOpening], 50);
    EXPECT_LE(call.out[kVmOutOpening], 100);
    EXPECT_EQ(call.out[kVmOutResult], result);
    const size_t length = strnlen(call.text.data(), kVmTextBytes);
    EXPECT_LT(length, static_cast<size_t>(kVmTextBytes));
    EXPECT_EQ(std::strncmp(call.text.data(), "found", 5) == 0 || std::strncmp(call.text.data(), "slight", 6) == 0,
              true) << call.text.data();
}

// The unwrapped ring runs from the pupil's edge (dark, row 0) to the limbus.
TEST_F(VmCaLibEntries, IrisAreaHoldsTheRingUnwrapped) {
    DetectCall call(Eye().data());
    call.Run(lib_);
    auto rowMean = [&](int row) {
        long sum = 0;
        for (int a = 0; a < kVmIrisOutSide; ++a) sum += call.iris[row * kVmIrisOutSide + a];
        return static_cast<double>(sum) / kVmIrisOutSide;
    };
    const double pupilEdge = rowMean(0), middle = rowMean(kVmIrisOutSide / 2);
    EXPECT_LT(pupilEdge, middle);
    EXPECT_GT(middle, 30);
}

TEST_F(VmCaLibEntries, RegionOfInterestIsNoCoordinate) {
    const std::vector<uint8_t>& image = Eye();
    DetectCall stored(image.data()), capture(image.data()), none(image.data());
    const int32_t box[4] = {300, 200, 700, 520};
    std::memcpy(capture.roi, box, sizeof box);
    none.in[kVmInRoi] = 0;
    const int a = stored.Run(lib_), b = capture.Run(lib_), c = none.Run(lib_);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
    for (int w = kVmOutKey; w < kVmOutWords; ++w) {
        EXPECT_EQ(stored.out[w], capture.out[w]) << w;
        EXPECT_EQ(stored.out[w], none.out[w]) << w;
    }
}

}  // namespace
