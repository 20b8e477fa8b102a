// The capture workflow on scripted eyes: what the result routine receives,
// and which HID commands the microcontroller sees in which order.
#include <cstring>

#include "device/imaging/gray_bitmap.h"
#include "tests/device/device_test_fixture.h"

namespace {

void ExpectGrayBitmap(const std::vector<uint8_t>& bmp, int line) {
    SCOPED_TRACE(::testing::Message() << "bitmap checked at line " << line);
    ASSERT_EQ(bmp.size(), static_cast<size_t>(BitmapFileSize));
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    int32_t width = 0, height = 0, offset = 0;
    std::memcpy(&offset, &bmp[10], 4);
    std::memcpy(&width, &bmp[18], 4);
    std::memcpy(&height, &bmp[22], 4);
    EXPECT_EQ(offset, 1078);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(bmp[54 + 4 * 200], 200);  // gray palette
    // The iris centre (working image 360, 360) sits at view (320, 240), stored bottom-up.
    EXPECT_LT(bmp[1078 + (479 - 240) * 640 + 320], 20);  // pupil
}

bool AllZero(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        if (b) return false;
    return true;
}

TEST_F(DeviceEngineTest, BothEyesPassAndOneSuccessIsReportedAfterTheSuccessCommand) {
    Open(__LINE__);
    const size_t before = FrameCount();
    const std::vector<fakes::Result> r = CaptureUntilDone(kEyeBoth, 1, __LINE__);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, kOutcomeSuccess);
    EXPECT_EQ(r[0].eyeType, kEyeBoth);
    EXPECT_EQ(r[0].leftScore, 85);
    EXPECT_EQ(r[0].rightScore, 85);
    ExpectGrayBitmap(r[0].left, __LINE__);
    ExpectGrayBitmap(r[0].right, __LINE__);
    EXPECT_EQ(CaptureArmed, 0);
    EXPECT_EQ(device_->CaptureState(), kOutcomeSuccess);
    const std::vector<int> commands = Commands(before);
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[0], 51);
    EXPECT_EQ(commands[1], 60);
    EXPECT_EQ(commands.back(), 58);
    EXPECT_EQ(Count(commands, 53), 4);  // two detections per eye
    // The exposures were stored on the device before the success command.
    bool wrote = false;
    for (const vmcu::ReceivedFrame& f : vmcu::Received()) wrote |= f.kind == vmcu::FrameKind::BlockWrite;
    EXPECT_TRUE(wrote);
    EXPECT_EQ(fakes::Prompts().Played().back(), 206);
}

TEST_F(DeviceEngineTest, OneEyeCapturesLeaveTheOtherResultZero) {
    Open(__LINE__);
    for (EyeType eye : {kEyeLeft, kEyeRight}) {
        fakes::ClearResults();
        ASSERT_EQ(device_->DevStartCapture(eye), 0);
        ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
        ASSERT_TRUE(device_->CaptureDoneEvent()->Wait(kWaitMs));
        const fakes::Result r = fakes::Results()[0];
        EXPECT_EQ(r.outcome, kOutcomeSuccess);
        EXPECT_EQ(r.eyeType, eye);
        const std::vector<uint8_t>& taken = eye == kEyeLeft ? r.left : r.right;
        const std::vector<uint8_t>& other = eye == kEyeLeft ? r.right : r.left;
        ExpectGrayBitmap(taken, __LINE__);
        EXPECT_TRUE(AllZero(other));
        EXPECT_EQ(eye == kEyeLeft ? r.rightScore : r.leftScore, 0);
    }
    // Both cameras are read in every pass, whatever the eye.
    EXPECT_GT(fakes::Current().eye[fakes::kLeft].grabs, 1);
    EXPECT_GT(fakes::Current().eye[fakes::kRight].grabs, 1);
    EXPECT_EQ(fakes::Current().eye[fakes::kRight].detections, 2);
}

TEST_F(DeviceEngineTest, OnlyTheLeftEyePassingWaitsForTheRightUntilTheTimeOut) {
    fakes::Current().clockSpeed = 20;  // 20 s pass in 1 s
    fakes::Current().eye[fakes::kRight].judgeScore = 40;
    fakes::Current().eye[fakes::kRight].judgeResult = -3;
    Open(__LINE__);
    const size_t before = FrameCount();
    const std::vector<fakes::Result> r = CaptureUntilDone(kEyeBoth, 1, __LINE__);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, kOutcomeTimeout);
    EXPECT_EQ(r[0].eyeType, -1);
    EXPECT_TRUE(r[0].left.empty());
    // The left eye was taken once and then only located: its list held the candidate.
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].judgements, 1);
    EXPECT_GT(fakes::Current().eye[fakes::kRight].judgements, 1);
    const std::vector<int> commands = Commands(before);
    EXPECT_EQ(commands.back(), 62);
    EXPECT_EQ(Count(commands, 58), 0);
    EXPECT_EQ(CaptureArmed, 0);
    EXPECT_EQ(fakes::Prompts().Played().back(), 205);
}

TEST_F(DeviceEngineTest, OnlyTheRightEyePassingAlsoEndsByTimeOut) {
    fakes::Current().clockSpeed = 100;
    fakes::Current().eye[fakes::kLeft].detectResult = -11;
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    EXPECT_EQ(fakes::Results()[0].outcome, kOutcomeTimeout);
    EXPECT_EQ(fakes::Current().eye[fakes::kRight].judgements, 1);
}

TEST_F(DeviceEngineTest, AnUnknownEyeTypeAnalysesNothingAndTimesOut) {
    fakes::Current().clockSpeed = 100;
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(4), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    EXPECT_EQ(fakes::Results()[0].outcome, kOutcomeTimeout);
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].detections, 0);
    EXPECT_EQ(fakes::Current().eye[fakes::kRight].detections, 0);
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].grabs, 0);  // no pass routine runs
}

TEST_F(DeviceEngineTest, StepTwoReportsTwiceWithFreshCandidates) {
    CaptureMode = 2;
    Open(__LINE__);
    const size_t before = FrameCount();
    const std::vector<fakes::Result> r = CaptureUntilDone(kEyeLeft, 2, __LINE__);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_EQ(r[0].outcome, kOutcomeSuccess);
    EXPECT_EQ(r[1].outcome, kOutcomeSuccess);
    // The second result is a later frame: the first candidate was cleared.
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].judgements, 2);
    EXPECT_NE(r[0].left, r[1].left);
    EXPECT_GE(r[1].tick - r[0].tick, 1000u);  // the pause between the two
    const std::vector<int> commands = Commands(before);
    EXPECT_EQ(commands[1], 61);  // two-step arming
    EXPECT_EQ(Count(commands, 58), 2);
    EXPECT_EQ(Count(commands, 60), 1);  // between the two results
}

TEST_F(DeviceEngineTest, AStopBetweenTheTwoResultsEndsWithoutAnotherCall) {
    CaptureMode = 2;
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeLeft), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    Stop();  // during the 1000 ms pause: between passes
    EXPECT_FALSE(fakes::WaitForResults(2, 1500));
    const std::vector<fakes::Result> r = fakes::Results();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, kOutcomeSuccess);
}

TEST_F(DeviceEngineTest, AStopDuringAPassReportsStopped) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;
    fakes::Current().onGrab = [](int eye, int n) {
        if (eye == fakes::kLeft && n == 3) CaptureArmed = 0;  // the host stops while a pass runs
    };
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    ASSERT_TRUE(device_->CaptureDoneEvent()->Wait(kWaitMs));
    EXPECT_EQ(fakes::Results()[0].outcome, kOutcomeStopped);
    EXPECT_EQ(device_->CaptureState(), kOutcomeStopped);
}

TEST_F(DeviceEngineTest, AStartWhileArmedIsRefusedAndTheCaptureGoesOn) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    EXPECT_EQ(device_->DevStartCapture(kEyeRight), -5);
    std::vector<fakes::Result> r = fakes::Results();
    ASSERT_GE(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, kOutcomeRefused);
    // The refused call's eye type replaced the running one: the right eye alone now suffices.
    ASSERT_TRUE(fakes::WaitForResults(2, kWaitMs));
    r = fakes::Results();
    EXPECT_EQ(r[1].outcome, kOutcomeSuccess);
    EXPECT_EQ(r[1].eyeType, kEyeRight);
}

TEST_F(DeviceEngineTest, ForceAcceptTakesTheFirstLocatedEyeWithScoreZero) {
    ForceAccept = 1;
    fakes::Current().eye[fakes::kLeft].detectResult = -11;
    fakes::Current().eye[fakes::kRight].judgeResult = -3;
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    const fakes::Result r = fakes::Results()[0];
    EXPECT_EQ(r.outcome, kOutcomeSuccess);
    EXPECT_EQ(r.leftScore, 0);
    EXPECT_EQ(r.rightScore, 0);
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].detections, 0);  // no quality pipeline
    EXPECT_EQ(fakes::Current().eye[fakes::kRight].judgements, 0);
    ExpectGrayBitmap(r.left, __LINE__ + 0 * 0);
}

TEST_F(DeviceEngineTest, StartIsRefusedUntilOpened) {
    EXPECT_EQ(device_->DevStartCapture(kEyeBoth), -6);
    EXPECT_TRUE(fakes::Results().empty());
}

}  // namespace
