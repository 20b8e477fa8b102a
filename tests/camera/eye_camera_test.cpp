// CEyeCamera against the virtual eye cameras under Wine: discovery by key,
// the open codes, the frame hand-over with faults, MediaEvent, the settings
// written into the filter and the backlight round trip. The cameras and the
// test converter are registered by run_camera_graph_tests.sh.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <chrono>
#include <memory>
#include <thread>

#include "camera/camera_codes.h"
#include "camera/win/eye_camera.h"
#include "tests/camera/eye_camera_test_util.h"
#include "tests/camera/grab_messages.h"

namespace camera {
namespace {

using camera_test::SetFaults;
using camera_test::SettingsText;
using Clock = std::chrono::steady_clock;

long Millis(Clock::duration d) { return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }

class EyeCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        SetFaults("", __LINE__);
    }
    void TearDown() override {
        left.CloseCamera();
        right.CloseCamera();
        SetFaults("", __LINE__);
        camera_test::RemoveDecoys();
        CoUninitialize();
    }
    int32_t Open(CEyeCamera& camera, const char* key, const char* name, const std::string& settings = SettingsText()) {
        camera.SetCameraName(name);
        return camera.OpenCamera(key, settings.c_str(), nullptr);
    }
    CEyeCamera left, right;
};

TEST_F(EyeCameraTest, EachKeyFindsOnlyItsOwnCameraWhateverTheOrder) {
    // Decoys before, between and after the two cameras: other products, and a
    // path that holds the right key only in upper case.
    camera_test::AddDecoyDevice(L"0 Decoy", L"\\\\?\\USB#VID_0C45&PID_8888&MI_00#1&0&0000#{65e8773d}\\global");
    camera_test::AddDecoyDevice(L"K7Q M Decoy", L"\\\\?\\usb#vid_0c45&pid_7777&mi_00#2&0&0000#{65e8773d}\\global");
    camera_test::AddDecoyDevice(L"Z Decoy", L"\\\\?\\usb#vid_046d&pid_0825&mi_00#3&0&0000#{65e8773d}\\global");
    const std::vector<std::string> paths = camera_test::DevicePaths();
    ASSERT_EQ(paths.size(), 5u);
    const int32_t leftIndex = CEyeCamera::FindDeviceIndex(kLeftCameraKey);
    const int32_t rightIndex = CEyeCamera::FindDeviceIndex(kRightCameraKey);
    ASSERT_GE(leftIndex, 0);
    ASSERT_GE(rightIndex, 0);
    EXPECT_NE(paths[leftIndex].find(kLeftCameraKey), std::string::npos) << paths[leftIndex];
    EXPECT_NE(paths[rightIndex].find(kRightCameraKey), std::string::npos) << paths[rightIndex];
    EXPECT_EQ(CEyeCamera::FindDeviceIndex("USB#VID_0C45&PID_6666"), kNotFound);
    EXPECT_EQ(CEyeCamera::FindDeviceIndex("usb#vid_0c45&pid_9999"), kNotFound);
    EXPECT_EQ(CEyeCamera::FindDeviceIndex(""), kEmptyKey);

    // Both open past the decoys and deliver their own eye's frames.
    ASSERT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kOpened);
    ASSERT_EQ(Open(right, kRightCameraKey, kRightCameraName), kOpened);
    char message[kGrabMessageBytes] = {};
    const uint8_t* leftFrame = left.GrabFrame(message);
    ASSERT_NE(leftFrame, nullptr) << message;
    const std::vector<uint8_t> leftCopy(leftFrame, leftFrame + kCameraFrameBytes);
    const uint8_t* rightFrame = right.GrabFrame(message);
    ASSERT_NE(rightFrame, nullptr) << message;
    EXPECT_FALSE(std::equal(leftCopy.begin(), leftCopy.end(), rightFrame));
}

TEST_F(EyeCameraTest, OpenCodesWithoutKeyTwiceAndWithoutDevices) {
    EXPECT_EQ(left.OpenCamera(nullptr, SettingsText().c_str(), nullptr), kNoDeviceKey);
    EXPECT_EQ(left.OpenCamera("", SettingsText().c_str(), nullptr), kNotFound);
    ASSERT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kOpened);
    EXPECT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kAlreadyOpen);
    left.CloseCamera();

    ASSERT_TRUE(camera_test::SetVirtualCamerasRegistered(false));
    EXPECT_EQ(CEyeCamera::FindDeviceIndex(kLeftCameraKey), kNoDeviceCategory);
    CEyeCamera lonely;
    EXPECT_EQ(Open(lonely, kLeftCameraKey, kLeftCameraName), kNotFound);
    EXPECT_EQ(lonely.CloseCamera(), kOpened);
    ASSERT_TRUE(camera_test::SetVirtualCamerasRegistered(true));
}

TEST_F(EyeCameraTest, WrongFrameSizeAndUnknownFormatFailTheBuild) {
    SetFaults("left wide\n", __LINE__);
    EXPECT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kWrongFrameSize);
    left.CloseCamera();
    SetFaults("", __LINE__);
    CEyeCamera again, missing, bad;
    EXPECT_EQ(Open(again, kLeftCameraKey, kLeftCameraName, SettingsText({{"camera_format", ""}})), kUnknownFormat);
    EXPECT_EQ(Open(missing, kLeftCameraKey, kLeftCameraName, SettingsText({{"camera_format", "<absent>"}})),
              kUnknownFormat);
    EXPECT_EQ(Open(bad, kLeftCameraKey, kLeftCameraName, "{not json"), kSettingsNotJson);
}

TEST_F(EyeCameraTest, BusyCameraFailsToRunWithTheBusyLine) {
    camera_test::DebugTraceRecorder trace;
    SetFaults("left busy\n", __LINE__);
    EXPECT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kRunFailed);
    EXPECT_NE(trace.Text().find(camera_test::kBusyLine), std::string::npos) << trace.Text();
    EXPECT_EQ(left.CloseCamera(), kOpened);
    SetFaults("", __LINE__);
    CEyeCamera free;
    EXPECT_EQ(Open(free, kLeftCameraKey, kLeftCameraName), kOpened);
}

TEST_F(EyeCameraTest, StalledStreamTimesOutAndTheNextFrameIsStillConverted) {
    ASSERT_EQ(Open(right, kRightCameraKey, kRightCameraName), kOpened);
    SetFaults("right stall\n", __LINE__);
    Sleep(300);  // the camera polls its control file a few times a second
    char message[kGrabMessageBytes] = {};
    const auto start = Clock::now();
    EXPECT_EQ(right.GrabFrame(message), nullptr);
    const long waited = Millis(Clock::now() - start);
    EXPECT_GE(waited, 2900);
    EXPECT_LT(waited, 4500);
    EXPECT_STREQ(message, camera_test::kTimedOut);
    SetFaults("", __LINE__);
    const auto resumed = Clock::now();
    EXPECT_NE(right.GrabFrame(message), nullptr) << message;
    EXPECT_LT(Millis(Clock::now() - resumed), 1500);
}

TEST_F(EyeCameraTest, CloseWhileGrabbingAnswersClosedAtOnce) {
    ASSERT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kOpened);
    SetFaults("left stall\n", __LINE__);
    Sleep(300);
    char message[kGrabMessageBytes] = {};
    const uint8_t* result = reinterpret_cast<const uint8_t*>(1);
    long waited = 0;
    std::thread grabber([&] {
        const auto start = Clock::now();
        result = left.GrabFrame(message);
        waited = Millis(Clock::now() - start);
    });
    Sleep(300);
    EXPECT_EQ(left.CloseCamera(), kOpened);
    grabber.join();
    EXPECT_EQ(result, nullptr);
    EXPECT_STREQ(message, camera_test::kClosed);
    EXPECT_LT(waited, 2000);
}

TEST_F(EyeCameraTest, GraphEventsReportEitherCamerasUnplug) {
    EXPECT_EQ(CurrentGraphEvents(), nullptr);
    ASSERT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kOpened);
    ASSERT_EQ(Open(right, kRightCameraKey, kRightCameraName), kOpened);
    const std::shared_ptr<IGraphEvents> events = CurrentGraphEvents();
    ASSERT_NE(events, nullptr);

    // The right camera's loss reaches the queue as well as the left one's would.
    SetFaults("right unplug\n", __LINE__);
    int32_t code = 0;
    intptr_t p1 = 0, p2 = 0;
    bool lost = false;
    for (int i = 0; i < 20 && !lost; ++i) {
        if (events->GetEvent(&code, &p1, &p2, 200)) lost = code == EC_DEVICE_LOST;
    }
    EXPECT_TRUE(lost);
    EXPECT_EQ(code, 31);

    EXPECT_EQ(right.CloseCamera(), kOpened);
    EXPECT_NE(CurrentGraphEvents(), nullptr);  // the left graph's queue stays
    EXPECT_EQ(left.CloseCamera(), kOpened);
    EXPECT_EQ(CurrentGraphEvents(), nullptr);
}

TEST_F(EyeCameraTest, SettingsReachTheFilterInOrder) {
    // The device object's settings: backlight 170, nothing else.
    ASSERT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kOpened);
    EXPECT_EQ(left.FormatName(), "yuv_0130");
    int32_t backlight = 0;
    EXPECT_EQ(left.GetBacklight(&backlight), 0);
    EXPECT_EQ(backlight, 170);

    com::ComPtr<IAMCameraControl> control;
    com::ComPtr<IAMVideoProcAmp> amp;
    CEyeCamera manual;
    ASSERT_EQ(Open(manual, kRightCameraKey, kRightCameraName,
                   SettingsText({{"camera_exposure_auto", "0"}, {"camera_exposure_manual_val", "-6"},
                                 {"camera_brightness", "abc"}, {"camera_backlight", "250"}})),
              kOpened);
    ASSERT_TRUE(SUCCEEDED(manual.CaptureFilter()->QueryInterface(IID_IAMCameraControl, control.OutVoid())));
    ASSERT_TRUE(SUCCEEDED(manual.CaptureFilter()->QueryInterface(IID_IAMVideoProcAmp, amp.OutVoid())));
    long value = 0, flags = 0;
    ASSERT_EQ(control->Get(CameraControl_Exposure, &value, &flags), S_OK);
    EXPECT_EQ(value, -6);
    EXPECT_EQ(flags, CameraControl_Flags_Manual);
    ASSERT_EQ(amp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(amp->Get(VideoProcAmp_BacklightCompensation, &value, &flags), S_OK);
    EXPECT_EQ(value, 250);
    manual.CloseCamera();

    // Exposure auto "1" writes nothing, backlight included.
    CEyeCamera automatic;
    ASSERT_EQ(Open(automatic, kRightCameraKey, kRightCameraName,
                   SettingsText({{"camera_exposure_auto", "1"}, {"camera_backlight", "250"}})),
              kOpened);
    backlight = 0;
    EXPECT_EQ(automatic.GetBacklight(&backlight), 0);
    EXPECT_EQ(backlight, 170);  // the camera's default
    automatic.CloseCamera();

    // Text without digits reads 0, outside gamma's range: the open fails with gamma's code.
    CEyeCamera gamma;
    EXPECT_EQ(Open(gamma, kRightCameraKey, kRightCameraName, SettingsText({{"camera_gamma", "abc"}})), -2020);
}

TEST_F(EyeCameraTest, BacklightRoundTripAndRefusalAboveTheMaximum) {
    ASSERT_EQ(Open(right, kRightCameraKey, kRightCameraName), kOpened);
    EXPECT_EQ(right.SetBacklight(230), 0);
    int32_t value = 0;
    EXPECT_EQ(right.GetBacklight(&value), 0);
    EXPECT_EQ(value, 230);
    com::ComPtr<IAMVideoProcAmp> amp;
    ASSERT_TRUE(SUCCEEDED(right.CaptureFilter()->QueryInterface(IID_IAMVideoProcAmp, amp.OutVoid())));
    long minimum = 0, maximum = 0, step = 0, def = 0, caps = 0;
    ASSERT_EQ(amp->GetRange(VideoProcAmp_BacklightCompensation, &minimum, &maximum, &step, &def, &caps), S_OK);
    EXPECT_EQ(right.SetBacklight(maximum + 1), -2);
    EXPECT_EQ(right.GetBacklight(&value), 0);
    EXPECT_EQ(value, 230);
    value = NotSet;
    EXPECT_EQ(right.GetBacklight(&value), 0);
    EXPECT_EQ(value, NotSet);
}

TEST_F(EyeCameraTest, FramesArriveAtThirtyPerSecond) {
    ASSERT_EQ(Open(left, kLeftCameraKey, kLeftCameraName), kOpened);
    char message[kGrabMessageBytes] = {};
    ASSERT_NE(left.GrabFrame(message), nullptr) << message;
    const auto start = Clock::now();
    for (int i = 0; i < 30; ++i) ASSERT_NE(left.GrabFrame(message), nullptr) << message;
    const long spent = Millis(Clock::now() - start);
    EXPECT_GT(spent, 800);   // no faster than the camera's pace
    EXPECT_LT(spent, 2000);  // and not starved (a loaded machine is slower)
}

}  // namespace
}  // namespace camera
