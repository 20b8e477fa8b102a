// Opening and closing the device object, its prompts and its reaction to a
// lost camera graph, on scripted cameras and the virtual microcontroller.
#include <json/json.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "device/prompts.h"
#include "platform/clock.h"
#include "hid/info_block.h"
#include "platform/files.h"
#include "tests/device/device_test_fixture.h"

namespace {

std::vector<std::pair<int, int>> Parameters(size_t since = 0) {
    std::vector<std::pair<int, int>> out;
    const std::vector<vmcu::ReceivedFrame> frames = vmcu::Received();
    for (size_t i = since; i < frames.size(); ++i)
        if (frames[i].kind == vmcu::FrameKind::Parameter) out.emplace_back(frames[i].code, frames[i].value);
    return out;
}

TEST_F(DeviceEngineTest, OpeningSendsTheLightLevelsOpensBothEyesAndStartsTheModule) {
    Open(__LINE__);
    const std::vector<std::pair<int, int>> params = Parameters();
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0], std::make_pair(81, 120));
    EXPECT_EQ(params[1], std::make_pair(82, 240));
    EXPECT_EQ(Commands(), std::vector<int>{51});
    EXPECT_EQ(fakes::Current().opens, 2);
    EXPECT_EQ(fakes::Current().liveCameras, 2);
    // Each camera starts at its eye's default exposure from the information block.
    EXPECT_EQ(fakes::Current().backlight[fakes::kLeft], LeftDefaultExposure.load());
    EXPECT_EQ(fakes::Current().backlight[fakes::kRight], RightDefaultExposure.load());
    EXPECT_EQ(fakes::Current().f1Calls, 1);
    EXPECT_EQ(fakes::Current().f0Calls, 1);
    EXPECT_EQ(fakes::Current().f3Calls, 2);
    EXPECT_TRUE(platform::PathExists(device_->TempDir()));
    EXPECT_EQ(device_->DevInit(nullptr), -1);  // already open: nothing more
    EXPECT_EQ(fakes::Current().opens, 2);
}

TEST_F(DeviceEngineTest, CameraSettingsAreTheCompactTextWithoutNewline) {
    const std::string& text = device_->CameraSettings();
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_EQ(text.find("{\"camera_backlight\":\"170\",\"camera_brightness\":\"\""), 0u);
    Json::Value parsed;
    ASSERT_TRUE(Json::Reader().parse(text, parsed));
    EXPECT_EQ(parsed["camera_format"].asString(), "yuv_0130");
    EXPECT_EQ(parsed["camera_id"].asString(), "vmK7Q");
    EXPECT_EQ(parsed.size(), 12u);
}

TEST_F(DeviceEngineTest, ModelTypeThreeGetsTheLowLightLevelAndTheStoredExposures) {
    hidproto::InfoValues values;
    values.serial = "K7Q-TEST-0003";
    values.modelType = 3;
    values.leftCurrent = 190;
    values.rightCurrent = 210;
    values.leftDefault = 200;
    values.rightDefault = 220;
    hidproto::Block block{};
    ASSERT_EQ(hidproto::BuildInfoBlock(values, &block), 1);
    vmcu::SetEeprom(block);
    Open(__LINE__);
    EXPECT_EQ(device_->LightLevel(), 50);
    EXPECT_EQ(Parameters()[0], std::make_pair(81, 50));
    EXPECT_EQ(device_->LeftExposure(), 190);
    EXPECT_EQ(device_->RightExposure(), 210);
    EXPECT_EQ(fakes::Current().backlight[fakes::kLeft], 200);  // the eye's default
}

TEST_F(DeviceEngineTest, AModuleThatRefusesLeavesTheCamerasOpen) {
    fakes::Current().f1Result = 0;
    EXPECT_EQ(device_->DevInit(nullptr), -2);
    EXPECT_EQ(fakes::Current().liveCameras, 2);
    EXPECT_EQ(device_->Initialised(), 0);
    EXPECT_EQ(device_->DevStartCapture(kEyeBoth), -6);
}

TEST_F(DeviceEngineTest, ACameraThatFailsIsRetriedOnceAfterAFullClose) {
    fakes::Current().openResult[fakes::kRight] = -2003;
    EXPECT_EQ(device_->DevInit(nullptr), -1);
    EXPECT_EQ(fakes::Current().opens, 4);  // left, right, then both again
    const std::vector<int> commands = Commands();
    // The retry's close sends 61 and 52 between the two attempts, then 51.
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], 61);
    EXPECT_EQ(commands[1], 52);
    EXPECT_EQ(commands[2], 51);
    EXPECT_EQ(Parameters().size(), 4u);
}

TEST_F(DeviceEngineTest, ClosingAClosedDeviceStillSendsTheClosingCommands) {
    EXPECT_EQ(device_->DevClose(), 0);
    EXPECT_EQ(Commands(), (std::vector<int>{61, 52}));
}

TEST_F(DeviceEngineTest, CloseEndsTheThreadsReleasesTheModuleAndTheCameras) {
    Open(__LINE__);
    EXPECT_EQ(device_->DevClose(), 0);
    EXPECT_EQ(fakes::Current().liveCameras, 0);
    EXPECT_EQ(fakes::Current().f2Calls, 1);
    EXPECT_FALSE(device_->HasStragglers());
    EXPECT_EQ(device_->DevStartCapture(kEyeBoth), -6);
    Open(__LINE__);  // and it opens again
}

TEST_F(DeviceEngineTest, DetectionPromptsOnCallsZeroTwentyFortyAndCommandsOnEveryCall) {
    fakes::Current().clockSpeed = 1;
    fakes::Current().eye[fakes::kLeft].detectResult = -11;
    fakes::Current().onDetect = [this] {
        if (++calls_ == 45) CaptureArmed = 0;
    };
    Open(__LINE__);
    const size_t before = FrameCount();
    ASSERT_EQ(device_->DevStartCapture(kEyeLeft), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    std::vector<int32_t> played = fakes::Prompts().Played();
    EXPECT_EQ(played, (std::vector<int32_t>{kPromptOpenEye, kPromptOpenEye, kPromptOpenEye}));
    EXPECT_EQ(Count(Commands(before), 53), 45);
}

TEST_F(DeviceEngineTest, NoIrisResultsSendNoDetectionCommandAndSilenceKeepsTheCounters) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;
    fakes::Current().onDetect = [this] {
        if (++calls_ == 21) CaptureArmed = 0;
    };
    device_->SetVoiceEnabled(0);
    Open(__LINE__);
    const size_t before = FrameCount();
    ASSERT_EQ(device_->DevStartCapture(kEyeLeft), 0);
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    EXPECT_EQ(Count(Commands(before), 53), 0);
    EXPECT_TRUE(fakes::Prompts().Played().empty());
}

TEST_F(DeviceEngineTest, TwentyEyesAboveTheBandPlayThePositionPromptOnce) {
    fakes::Current().eye[fakes::kLeft].centreY = 239;  // -5: above the band
    fakes::Current().eye[fakes::kRight].centreY = 481;  // -4: below the band
    fakes::Current().onGrab = [this](int eye, int) {
        if (eye == fakes::kLeft && ++calls_ == 25) CaptureArmed = 0;
    };
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    ASSERT_TRUE(device_->CaptureDoneEvent()->Wait(kWaitMs));
    ASSERT_TRUE(fakes::WaitForResults(1, kWaitMs));
    const std::vector<int32_t> played = fakes::Prompts().Played();
    EXPECT_EQ(std::count(played.begin(), played.end(), kPromptEyeTooHigh), 1);
    EXPECT_EQ(std::count(played.begin(), played.end(), kPromptEyeTooLow), 1);
    EXPECT_EQ(LeftHighCount, 5);  // 25 located passes (the last one runs on after the stop): reset at 20
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].detections, 0);
}

TEST_F(DeviceEngineTest, TheCentreBandEdgesAreInsideOneStepOutsideIsNot) {
    struct Case {
        int cx, cy, expected;
    } cases[] = {{320, 360, 0}, {640, 360, 0}, {319, 360, -3}, {641, 360, -2},
                 {480, 240, 0}, {480, 480, 0}, {480, 239, -5}, {480, 481, -4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "centre " << c.cx << "," << c.cy);
        fakes::Current().eye[fakes::kLeft].centreX = c.cx;
        fakes::Current().eye[fakes::kLeft].centreY = c.cy;
        std::vector<uint8_t> frame(kFrameBytes, 100), work(kWorkBytes);
        frame[0] = fakes::kLeftMark;
        EyeRect rect{};
        EXPECT_EQ(device_->LocateEye(frame.data(), &rect, work.data()), c.expected);
        EXPECT_EQ(rect.left, c.cx - 96);
    }
    fakes::Current().eye[fakes::kLeft].locatorResult = 2;  // two eyes in one camera: none
    std::vector<uint8_t> frame(kFrameBytes, 100), work(kWorkBytes);
    frame[0] = fakes::kLeftMark;
    EyeRect rect{};
    EXPECT_EQ(device_->LocateEye(frame.data(), &rect, work.data()), -1);
}

TEST_F(DeviceEngineTest, TemplateReadsNoFurtherThanTheFileAndReportsTheModuleResult) {
    EXPECT_EQ(device_->GetTemplate("eye.bmp"), -6);
    Open(__LINE__);
    EXPECT_EQ(device_->GetTemplate(nullptr), -1);
    const std::string dir = device_->TempDir();
    const std::string full = dir + "/full.bmp", shortFile = dir + "/short.bmp";
    {
        std::ofstream out(full, std::ios::binary);
        std::vector<char> bytes(1078 + kWorkBytes, 100);
        bytes[1078 + kWorkBytes - kWorkSide] = static_cast<char>(fakes::kLeftMark);  // top row, stored last
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        std::ofstream(shortFile, std::ios::binary).write(bytes.data(), 2000);
    }
    fakes::Current().eye[fakes::kLeft].detectResult = 1;
    EXPECT_EQ(device_->GetTemplate(full.c_str()), 0);
    EXPECT_EQ(fakes::Current().eye[fakes::kLeft].detections, 1);  // the flipped image's first byte
    fakes::Current().eye[fakes::kLeft].detectResult = -19;
    fakes::Current().eye[fakes::kRight].detectResult = -19;
    EXPECT_EQ(device_->GetTemplate(full.c_str()), -19);
    EXPECT_EQ(device_->GetTemplate(shortFile.c_str()), -19);      // zero image: "right" in the fake
    EXPECT_EQ(device_->GetTemplate((dir + "/missing.bmp").c_str()), -19);
    std::remove(full.c_str());
    std::remove(shortFile.c_str());
}

TEST_F(DeviceEngineTest, TemplateWaitsForNoCaptureSoTheCaptureBuffersStayItsOwn) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;  // the capture never finds an eye
    Open(__LINE__);
    const std::string missing = device_->TempDir() + "/missing.bmp";
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(device_->GetTemplate(missing.c_str()), -5);
    EXPECT_EQ(CaptureArmed, 1);
    CaptureArmed = 0;  // as StopCapture does
    ASSERT_TRUE(device_->CaptureDoneEvent()->Wait(kWaitMs));
    const std::vector<fakes::Result> r = fakes::Results();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, kOutcomeStopped);
    fakes::Current().eye[fakes::kRight].detectResult = -19;
    EXPECT_EQ(device_->GetTemplate(missing.c_str()), -19);
}

TEST_F(DeviceEngineTest, ALostGraphEndsTheCaptureBeforeTheWarningAndNeedsANewInit) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;
    fakes::Warnings().Hold();
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeBoth), 0);
    fakes::Events()->Push(1);   // EC_COMPLETE: ignored
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(CaptureArmed, 1);
    fakes::Events()->Push(31);  // EC_DEVICE_LOST
    ASSERT_TRUE(fakes::Warnings().WaitForCount(1, kWaitMs));
    // By the time the warning shows, the capture has ended with its stop result.
    const std::vector<fakes::Result> r = fakes::Results();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].outcome, kOutcomeStopped);
    const auto shown = fakes::Warnings().Shown();
    EXPECT_EQ(shown[0].first, "\xC9\xE8\xB1\xB8\xD2\xD1\xB6\xCF\xBF\xAA\xC1\xAC\xBD\xD3!\xC7\xEB\xD6\xD8\xD0\xC2\xB3\xF5\xCA\xBC\xBB\xAF!");
    EXPECT_EQ(shown[0].second, "\xBE\xAF\xB8\xE6");
    EXPECT_EQ(device_->Initialised(), 0);
    EXPECT_EQ(device_->DevStartCapture(kEyeBoth), -6);
    fakes::Warnings().Release();
    // The next DevInit closes the lost cameras and opens fresh ones.
    Open(__LINE__);
    EXPECT_EQ(fakes::Current().opens, 4);
    EXPECT_EQ(fakes::Current().liveCameras, 2);
    EXPECT_EQ(DeviceLost, 0);
}

TEST_F(DeviceEngineTest, CloseWithTheWarningStillOpenReturnsAndTheNextInitWorks) {
    fakes::Warnings().Hold();
    struct CloseTheWarning {  // also when an assertion ends the case early
        ~CloseTheWarning() { fakes::Warnings().Release(); }
    } closeTheWarning;
    Open(__LINE__);
    const size_t shownBefore = fakes::Warnings().Shown().size();  // counted before the event can show one
    fakes::Events()->Push(3);  // EC_ERRORABORT, no capture armed
    ASSERT_TRUE(fakes::Warnings().WaitForCount(shownBefore + 1, kWaitMs));
    const uint32_t start = platform::TickCount();
    EXPECT_EQ(device_->DevClose(), 0);
    EXPECT_LT(platform::TicksSince(start), 4500u);  // the event thread is let go after 3000 ms
    Open(__LINE__);
}

TEST_F(DeviceEngineTest, AThreadLetGoByCloseKeepsItsBuffersUntilItEnds) {
    fakes::Current().onDetect = [this] {
        inside_ = true;
        while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    Open(__LINE__);
    ASSERT_EQ(device_->DevStartCapture(kEyeLeft), 0);
    while (!inside_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(device_->DevClose(), 0);  // returns after its 5000 ms wait
    EXPECT_TRUE(device_->HasStragglers());
    EXPECT_EQ(device_->DevInit(nullptr), -1) << "no second capture thread beside the stuck one";
    std::thread releaser([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        release_ = true;
    });
    device_.reset();  // waits for the thread before freeing what it works in
    releaser.join();
}

TEST_F(DeviceEngineTest, AThousandStartStopCyclesWithClosesEndCleanly) {
    fakes::Current().eye[fakes::kLeft].detectResult = -1;
    ASSERT_EQ(device_->DevInit(nullptr), 0);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(device_->DevStartCapture(i % 2 ? kEyeBoth : kEyeLeft), 0) << "cycle " << i;
        Stop();
        if (i % 10 == 9) {
            ASSERT_EQ(device_->DevClose(), 0);
            ASSERT_FALSE(device_->HasStragglers());
            ASSERT_EQ(device_->DevInit(nullptr), 0);
        }
    }
    ASSERT_EQ(device_->DevClose(), 0);
    EXPECT_EQ(fakes::Current().liveCameras, 0);
    EXPECT_EQ(fakes::Current().f1Calls, fakes::Current().f2Calls);
}

}  // namespace
