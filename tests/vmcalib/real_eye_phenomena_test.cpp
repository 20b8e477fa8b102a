// What real eyes show and rendered ones rarely did, drawn by hand on a 720 x
// 720 window: a gray pupil with a ring of illuminator reflections, lash
// strokes stronger than a soft limbus, and bright skin around a well-lit
// eye. The segmentation must place both circles and f4 must find the eye.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "modules/iris/iris_segmentation.h"
#include "modules/vmcalib/vmcalib_detect.h"

namespace {

constexpr int kSide = 720;

struct Eye {
    double pupilX = 362.4, pupilY = 357.7, pupilR = 42;
    double irisX = 359.6, irisY = 360.3, irisR = 108;
    int pupilGray = 70, irisGray = 115, scleraGray = 190;
    double limbusSoftness = 4;  // px over which the iris turns into sclera
    int reflections = 8;        // bright dots on a ring inside the pupil
    bool lashes = false;        // dark strokes beside the upper iris
    int skinBeyond = -1;        // gray of everything past 3.1 iris radii (-1: sclera)
};

// Soft step from a to b as d crosses 0 over `width` px.
double Blend(double a, double b, double d, double width) {
    const double t = std::min(1.0, std::max(0.0, 0.5 + d / width));
    return a + (b - a) * t;
}

std::vector<uint8_t> Draw(const Eye& e) {
    std::vector<uint8_t> im(kSide * kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double di = std::hypot(x - e.irisX, y - e.irisY), dp = std::hypot(x - e.pupilX, y - e.pupilY);
            // A fibrous texture that varies along the circle, as iris fibres do.
            const double texture = 12 * std::sin(std::atan2(y - e.irisY, x - e.irisX) * 40 + di * 0.3);
            double v = Blend(e.irisGray + texture, e.scleraGray, di - e.irisR, e.limbusSoftness);
            v = Blend(e.pupilGray, v, dp - e.pupilR, 1.5);
            if (e.skinBeyond >= 0 && di > 3.1 * e.irisR) v = e.skinBeyond;
            im[y * kSide + x] = static_cast<uint8_t>(std::lround(v));
        }
    for (int k = 0; k < e.reflections; ++k) {  // the illuminators' ring, 0.6 of the pupil radius out
        const double a = 2 * M_PI * k / e.reflections;
        const double cx = e.pupilX + 0.6 * e.pupilR * std::cos(a), cy = e.pupilY + 0.6 * e.pupilR * std::sin(a);
        for (int y = static_cast<int>(cy) - 5; y <= static_cast<int>(cy) + 5; ++y)
            for (int x = static_cast<int>(cx) - 5; x <= static_cast<int>(cx) + 5; ++x)
                if (std::hypot(x - cx, y - cy) < 3.5) im[y * kSide + x] = 250;
    }
    if (e.lashes)
        for (int k = 0; k < 24; ++k) {  // strokes over the upper-lateral sclera, just outside the limbus
            const double side = k % 2 ? 1 : -1, x0 = e.irisX + side * (1.05 + 0.04 * (k / 2)) * e.irisR;
            for (int t = 0; t < 75; ++t) {
                const int x = static_cast<int>(x0 + side * 0.4 * t), y = static_cast<int>(e.irisY - 0.8 * e.irisR + t);
                for (int w = 0; w < 2; ++w) im[y * kSide + x + w] = 20;
            }
        }
    return im;
}

IrisSegmentation Segment(const std::vector<uint8_t>& im) {
    std::vector<uint8_t> ws(IrisWorkspaceBytes(kSide, kSide));
    const IrisImage image{im.data(), kSide, kSide, kSide};
    IrisSegmentation s;
    EXPECT_EQ(IrisSegment(&image, nullptr, ws.data(), ws.size(), &s), 1);
    return s;
}

void ExpectCircles(const Eye& e, const IrisSegmentation& s, int line) {
    SCOPED_TRACE(::testing::Message() << "from line " << line);
    EXPECT_NEAR(s.pupilX, e.pupilX, 1.5);
    EXPECT_NEAR(s.pupilY, e.pupilY, 1.5);
    EXPECT_NEAR(s.pupilRadius, e.pupilR, 1.5);
    EXPECT_NEAR(s.irisX, e.irisX, 2.5);
    EXPECT_NEAR(s.irisY, e.irisY, 2.5);
    EXPECT_NEAR(s.irisRadius, e.irisR, 2.5);
}

TEST(RealEyePhenomena, GrayPupilsWithAReflectionRingAreMeasuredToTheirEdge) {
    for (int gray : {15, 45, 75}) {
        SCOPED_TRACE(::testing::Message() << "pupil gray " << gray);
        Eye e;
        e.pupilGray = gray;
        ExpectCircles(e, Segment(Draw(e)), __LINE__);
    }
    Eye pair;  // two illuminators instead of a ring
    pair.reflections = 2;
    ExpectCircles(pair, Segment(Draw(pair)), __LINE__);
}

TEST(RealEyePhenomena, LashesStrongerThanASoftLimbusLeaveItInPlace) {
    Eye e;
    e.lashes = true;
    e.limbusSoftness = 10;
    e.scleraGray = 160;  // a 45-level limbus against 170-level lash edges
    ExpectCircles(e, Segment(Draw(e)), __LINE__);
}

TEST(RealEyePhenomena, BrightSkinAroundAWellLitEyeIsNoSaturation) {
    Eye e;
    e.skinBeyond = 255;  // about 30 % of the window clipped
    const std::vector<uint8_t> im = Draw(e);
    std::vector<uint8_t> ws(IrisWorkspaceBytes(kSide, kSide));
    const IrisImage image{im.data(), kSide, kSide, kSide};
    IrisSegmentation s;
    ASSERT_EQ(IrisSegment(&image, nullptr, ws.data(), ws.size(), &s), 1);
    EXPECT_GT(s.imageSaturatedPermille, 100);  // the old whole-window verdict would say -13
    EXPECT_EQ(vmcalib::Classify(s, vmcalib::Thresholds{}), kVmFound);
}

}  // namespace
