// Exposure steering against a fake camera that records every level written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/exposure.h"
#include "hid/hid_operate.h"

namespace {

class FakeCamera : public IEyeCamera {
public:
    explicit FakeCamera(const char* name, int32_t level) : name_(name), level(level) {}
    void SetCameraName(const char* name) override { name_ = name; }
    const char* CameraName() const override { return name_.c_str(); }
    int32_t OpenCamera(const char*, const char*, NativeWindow) override { return kCameraOk; }
    int32_t CloseCamera() override { return kCameraOk; }
    const uint8_t* GrabFrame(char*) override { return nullptr; }
    int32_t SetBacklight(int32_t value) override {
        written.push_back(value);
        level = value;
        return 0;
    }
    int32_t GetBacklight(int32_t* value) override {
        if (readFails) return -2;
        *value = level;
        return 0;
    }

    std::string name_;
    int32_t level;
    bool readFails = false;
    std::vector<int32_t> written;
};

constexpr IrisCircle kCircle{360, 360, 100, 40};

// A uniform image has entropy 0 (GetGrayRate 0). A textured one keeps the
// iris ring at `gray` and spreads every other pixel over all 256 levels.
std::vector<uint8_t> IrisImage(int gray, bool textured) {
    std::vector<uint8_t> im(kWorkBytes, static_cast<uint8_t>(gray));
    if (textured) {
        for (int y = 0; y < kWorkSide; ++y)
            for (int x = 0; x < kWorkSide; ++x) {
                const int dx = x - kCircle.cx, dy = y - kCircle.cy;
                if (dx * dx + dy * dy > 110 * 110) im[y * kWorkSide + x] = static_cast<uint8_t>(x * 31 + y * 17);
            }
    }
    return im;
}

class ExposureTest : public testing::Test {
protected:
    ExposureTest() : savedLeft(LeftDefaultExposure.load()), savedRight(RightDefaultExposure.load()) {
        LeftDefaultExposure = 230;
        RightDefaultExposure = 210;
    }
    ~ExposureTest() override {
        LeftDefaultExposure = savedLeft;
        RightDefaultExposure = savedRight;
    }

    // One AdaptExposure call on a fresh image of `gray`; checks the result.
    void Adapt(FakeCamera& camera, int gray, bool textured, int32_t expected, int line) {
        SCOPED_TRACE(testing::Message() << "called from line " << line << " with gray " << gray);
        const std::vector<uint8_t> im = IrisImage(gray, textured);
        EXPECT_EQ(AdaptExposure(im.data(), hold, level, &camera, kCircle), expected);
    }

    int32_t savedLeft, savedRight;
    int32_t hold = 0, level = 0;
};

TEST_F(ExposureTest, TooDarkTwiceRaisesPastTheUpperBoundToTheDefault) {
    FakeCamera camera(kLeftCameraName, 270);
    Adapt(camera, 59, false, -1, __LINE__);
    EXPECT_EQ(hold, 1);
    EXPECT_EQ(level, 270);
    EXPECT_TRUE(camera.written.empty());
    Adapt(camera, 59, false, -1, __LINE__);  // 310 is 300 or more
    EXPECT_EQ(camera.written, std::vector<int32_t>{230});
    EXPECT_EQ(level, 230);
    EXPECT_EQ(hold, 0);
}

TEST_F(ExposureTest, TooBrightTwiceFallsToTheDefaultAtTheLowerBound) {
    FakeCamera camera(kRightCameraName, 190);
    Adapt(camera, 101, false, -1, __LINE__);
    Adapt(camera, 101, false, -1, __LINE__);  // 150 is 150 or less
    EXPECT_EQ(camera.written, std::vector<int32_t>{210});
    EXPECT_EQ(level, 210);

    FakeCamera inside(kRightCameraName, 250);
    hold = 0;
    Adapt(inside, 101, false, -1, __LINE__);
    Adapt(inside, 101, false, -1, __LINE__);
    EXPECT_EQ(inside.written, std::vector<int32_t>{210});  // 250 - 40
    Adapt(inside, 59, false, -1, __LINE__);
    Adapt(inside, 59, false, -1, __LINE__);
    EXPECT_EQ(inside.written, (std::vector<int32_t>{210, 250}));
}

TEST_F(ExposureTest, FineUpperLimitDependsOnTheGrayRate) {
    FakeCamera flat(kLeftCameraName, 200);
    Adapt(flat, 75, false, 0, __LINE__);
    Adapt(flat, 75, false, 0, __LINE__);  // above 70: one fine step
    EXPECT_EQ(flat.written, std::vector<int32_t>{185});
    EXPECT_EQ(level, 185);

    FakeCamera textured(kLeftCameraName, 200);
    hold = 0;
    Adapt(textured, 75, true, 0, __LINE__);
    Adapt(textured, 75, true, 0, __LINE__);  // not above 80
    EXPECT_TRUE(textured.written.empty());
    EXPECT_EQ(hold, 0);
    Adapt(textured, 81, true, 0, __LINE__);
    Adapt(textured, 81, true, 0, __LINE__);
    EXPECT_EQ(textured.written, std::vector<int32_t>{185});
}

TEST_F(ExposureTest, BandEdgesAreAcceptedAndTheHoldIsShared) {
    FakeCamera camera(kLeftCameraName, 200);
    Adapt(camera, 60, false, 0, __LINE__);
    EXPECT_EQ(hold, 0);
    Adapt(camera, 100, false, 0, __LINE__);  // in the coarse band, above the fine limit: arms the hold
    EXPECT_EQ(hold, 1);
    EXPECT_TRUE(camera.written.empty());
    Adapt(camera, 101, false, -1, __LINE__);  // the coarse pass uses the armed hold
    EXPECT_EQ(camera.written, std::vector<int32_t>{160});
    EXPECT_EQ(StepExposure(60, hold, level, &camera, 40, 15), 0);  // the result's bound stays 100
    EXPECT_EQ(StepExposure(100, hold, level, &camera, 70, 15), 0);
    EXPECT_EQ(StepExposure(101, hold, level, &camera, 200, 15), -1);
}

TEST_F(ExposureTest, NoCircleCountsAsDark) {
    FakeCamera camera(kLeftCameraName, 200);
    const std::vector<uint8_t> im = IrisImage(80, false);
    const IrisCircle none{0, 360, 100, 40};
    EXPECT_EQ(AdaptExposure(im.data(), hold, level, &camera, none), -1);
    EXPECT_EQ(AdaptExposure(im.data(), hold, level, &camera, none), -1);
    EXPECT_EQ(camera.written, std::vector<int32_t>{240});
}

TEST_F(ExposureTest, FailedReadLeavesTheLevel) {
    FakeCamera camera(kLeftCameraName, 200);
    camera.readFails = true;
    level = 222;
    Adapt(camera, 80, false, 0, __LINE__);
    EXPECT_EQ(level, 222);
    EXPECT_EQ(RecenterExposure(&camera, level), 0);
    EXPECT_EQ(level, 222);
    EXPECT_TRUE(camera.written.empty());
}

TEST_F(ExposureTest, RecenterKeepsLevelsStrictlyInsideTheRange) {
    struct Case {
        const char* name;
        int32_t level, expected;
        bool written;
    } cases[] = {{kLeftCameraName, 150, 230, true},  {kLeftCameraName, 300, 230, true},
                 {kRightCameraName, 150, 210, true}, {kRightCameraName, 151, 151, false},
                 {kLeftCameraName, 299, 299, false}, {"other", 40, 210, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " at " << c.level);
        FakeCamera camera(c.name, c.level);
        int32_t lvl = 0;
        EXPECT_EQ(RecenterExposure(&camera, lvl), 0);
        EXPECT_EQ(lvl, c.expected);
        EXPECT_EQ(camera.written, c.written ? std::vector<int32_t>{c.expected} : std::vector<int32_t>{});
    }
}

}  // namespace
