// The portable half of the virtual cameras: YUY2 packing, the hidden frame
// counter, pacing, the fault file and the property tables.
#include <gtest/gtest.h>

#include <vector>

#include "sim/camera/camera_faults.h"
#include "sim/camera/camera_format.h"
#include "sim/camera/camera_properties.h"
#include "sim/camera/frame_pacer.h"
#include "sim/camera/frame_producer.h"
#include "tests/support/temp_dir.h"

namespace k7qsim {
namespace {

TEST(Yuy2Test, PackingPutsGrayInLumaAndNeutralChroma) {
    const uint8_t gray[4] = {10, 20, 30, 40};
    uint8_t yuy2[8] = {};
    PackGrayToYuy2(gray, 2, 2, yuy2);
    const uint8_t expected[8] = {10, 128, 20, 128, 30, 128, 40, 128};
    EXPECT_EQ(std::vector<uint8_t>(yuy2, yuy2 + 8), std::vector<uint8_t>(expected, expected + 8));
}

TEST(Yuy2Test, CounterRoundTripsThroughChromaAndLeavesLumaAlone) {
    std::vector<uint8_t> frame(64);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> before = frame;
    for (uint32_t counter : {0u, 1u, 0x12345678u, 0xFFFFFFFFu}) {
        StampFrameCounter(counter, frame.data());
        uint32_t read = 0;
        ASSERT_TRUE(ReadFrameCounter(frame.data(), static_cast<int>(frame.size()), &read));
        EXPECT_EQ(read, counter);
        for (size_t i = 0; i < frame.size(); i += 2) EXPECT_EQ(frame[i], before[i]) << i;
    }
    std::vector<uint8_t> neutral(64, 128);
    neutral[1] = 0x10;  // not a stamp
    uint32_t read = 0;
    EXPECT_FALSE(ReadFrameCounter(neutral.data(), 64, &read));
    EXPECT_FALSE(ReadFrameCounter(frame.data(), 2 * kCounterChromaBytes - 1, &read));
}

TEST(FrameProducerTest, FramesCarryConsecutiveCountersAndTheSourcePicture) {
    FrameProducer producer(Eye::Left, std::unique_ptr<FrameSource>(new TestPatternSource()));
    std::vector<uint8_t> frame(kYuy2FrameBytes), gray(kFrameBytes);
    CameraControls controls;
    controls.backlight = 240;
    for (uint32_t expected = 0; expected < 3; ++expected) {
        ASSERT_EQ(producer.Produce(controls, frame.data()), expected);
        uint32_t counter = 99;
        ASSERT_TRUE(ReadFrameCounter(frame.data(), kYuy2FrameBytes, &counter));
        EXPECT_EQ(counter, expected);
        TestPatternSource().Render(Eye::Left, FrameProducer::FrameTimeMs(expected), controls, gray.data());
        for (int i = 0; i < kFrameBytes; i += 997) ASSERT_EQ(frame[2 * i], gray[i]) << i;
    }
}

TEST(FramePacerTest, KeepsThirtyFramesPerSecondWithoutDrift) {
    FramePacer pacer(1000, 30);
    EXPECT_EQ(pacer.DelayMs(1000), 0u);
    uint32_t now = 1000;
    for (int i = 0; i < 300; ++i) {
        now += pacer.DelayMs(now);
        pacer.FrameSent(now);
    }
    EXPECT_EQ(now - 1000, 9966u);  // frame 299 at 299 * 1000 / 30 ms
    EXPECT_EQ(pacer.DelayMs(now), 34u);
    EXPECT_EQ(pacer.FramesSent(), 300u);
}

TEST(FramePacerTest, RebasesAfterFallingFarBehindInsteadOfBursting) {
    FramePacer pacer(0, 30, 100);
    pacer.FrameSent(0);
    pacer.FrameSent(500);  // the machine stalled for half a second
    EXPECT_EQ(pacer.DelayMs(500), 33u);
    pacer.FrameSent(533);
    EXPECT_EQ(pacer.DelayMs(533), 33u);
}

TEST(FramePacerTest, WorksAcrossTheTickWrap) {
    FramePacer pacer(0xFFFFFFF0u, 30);
    pacer.FrameSent(0xFFFFFFF0u);
    EXPECT_EQ(pacer.DelayMs(0xFFFFFFF0u), 33u);
    EXPECT_EQ(pacer.DelayMs(0x00000011u), 0u);  // 33 ms later, past the wrap
}

TEST(CameraFaultTest, LinesNameAnEyeAndAFaultLaterLinesWin) {
    EXPECT_EQ(ParseCameraFault("", Eye::Left), CameraFault::None);
    EXPECT_EQ(ParseCameraFault("left unplug\n", Eye::Left), CameraFault::Unplug);
    EXPECT_EQ(ParseCameraFault("left unplug\n", Eye::Right), CameraFault::None);
    EXPECT_EQ(ParseCameraFault("both stall\r\nright busy\r\n", Eye::Right), CameraFault::Busy);
    EXPECT_EQ(ParseCameraFault("both stall\r\nright busy\r\n", Eye::Left), CameraFault::Stall);
    EXPECT_EQ(ParseCameraFault("left busy\nleft none", Eye::Left), CameraFault::None);
    EXPECT_EQ(ParseCameraFault("right wide\n", Eye::Right), CameraFault::Wide);
    EXPECT_EQ(ParseCameraFault("# left unplug\nleft explode\nleft unplug now\nleft\n", Eye::Left),
              CameraFault::None);
}

TEST(CameraFaultTest, FileIsReadEachTimeAndMissingMeansNone) {
    testsupport::TempDir dir("k7qcam");
    const std::string path = (dir / "control.txt").string();
    EXPECT_EQ(ReadCameraFault("", Eye::Left), CameraFault::None);
    EXPECT_EQ(ReadCameraFault(path, Eye::Left), CameraFault::None);
    testsupport::WriteBinaryFile(path, "right stall\n");
    EXPECT_EQ(ReadCameraFault(path, Eye::Right), CameraFault::Stall);
    EXPECT_EQ(ReadCameraFault(path, Eye::Left), CameraFault::None);
}

TEST(CameraPropertiesTest, BacklightRoundTripsAndFeedsTheRendering) {
    CameraProperties properties;
    PropertyRange range;
    ASSERT_EQ(properties.ProcAmp().GetRange(CameraProperties::kBacklightCompensation, &range), PropertyStatus::Ok);
    EXPECT_LE(range.minimum, 150);
    EXPECT_GE(range.maximum, 300);
    EXPECT_EQ(properties.RenderControls().backlight, range.defaultValue);
    EXPECT_EQ(properties.ProcAmp().Set(8, 230, kPropertyFlagManual), PropertyStatus::Ok);
    long value = 0, flags = 0;
    EXPECT_EQ(properties.ProcAmp().Get(8, &value, &flags), PropertyStatus::Ok);
    EXPECT_EQ(value, 230);
    EXPECT_EQ(flags, kPropertyFlagManual);
    EXPECT_EQ(properties.RenderControls().backlight, 230);
}

TEST(CameraPropertiesTest, RefusesOutOfRangeBadFlagsAndUnknownIds) {
    CameraProperties properties;
    PropertyTable& amp = properties.ProcAmp();
    EXPECT_EQ(amp.Set(8, 401, kPropertyFlagManual), PropertyStatus::OutOfRange);
    EXPECT_EQ(amp.Set(8, -1, kPropertyFlagManual), PropertyStatus::OutOfRange);
    EXPECT_EQ(amp.Set(8, 200, kPropertyFlagAuto), PropertyStatus::BadFlags);  // backlight has no auto mode
    EXPECT_EQ(amp.Set(8, 200, 0), PropertyStatus::BadFlags);
    EXPECT_EQ(amp.Set(6, 1, kPropertyFlagManual), PropertyStatus::Unsupported);
    EXPECT_EQ(amp.Set(99, 1, kPropertyFlagManual), PropertyStatus::Unsupported);
    long value = 0, flags = 0;
    EXPECT_EQ(amp.Get(8, &value, &flags), PropertyStatus::Ok);
    EXPECT_EQ(value, 170);  // unchanged by the refused writes
    PropertyTable& camera = properties.CameraControl();
    EXPECT_EQ(camera.Set(CameraProperties::kExposure, -6, kPropertyFlagManual), PropertyStatus::Ok);
    EXPECT_EQ(camera.Set(CameraProperties::kExposure, 0, kPropertyFlagManual), PropertyStatus::OutOfRange);
    EXPECT_EQ(camera.Set(CameraProperties::kExposure, -6, kPropertyFlagAuto), PropertyStatus::Ok);
}

}  // namespace
}  // namespace k7qsim
