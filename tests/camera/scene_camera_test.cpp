// The native scene camera behind the device object's camera seam: the same
// open codes and messages as CEyeCamera, frames that follow the backlight,
// 30 frames per second, and the faults of the control file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <numeric>
#include <thread>
#include <vector>

#include "camera/camera_seam.h"
#include "sim/camera/frame_source.h"
#include "sim/camera/scene_camera.h"
#include "tests/camera/grab_messages.h"
#include "tests/support/temp_dir.h"

namespace k7qsim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr char kSettings[] =
    "{\"camera_backlight\":\"170\",\"camera_exposure_auto\":\"\",\"camera_format\":\"yuv_0130\","
    "\"camera_id\":\"vmK7Q\"}";

long Millis(Clock::duration d) { return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count()); }

double Mean(const uint8_t* gray) {
    return std::accumulate(gray, gray + kCameraFrameBytes, 0.0) / kCameraFrameBytes;
}

class SceneCameraTest : public ::testing::Test {
protected:
    void SetUp() override {
        control = (dir / "control.txt").string();
        setenv("K7Q_CAMERA_CONTROL", control.c_str(), 1);
        SetFaults("");
        // The cheap pattern keeps the tests fast; it brightens with the backlight as the scene does.
        SetSceneSourceFactory([] { return std::unique_ptr<FrameSource>(new TestPatternSource()); });
    }
    void TearDown() override {
        SetSceneSourceFactory(nullptr);
        unsetenv("K7Q_CAMERA_CONTROL");
    }
    void SetFaults(const char* text) { std::ofstream(control, std::ios::binary) << text; }
    std::unique_ptr<IEyeCamera> Open(const char* key, const char* name, int32_t expected, int line) {
        SCOPED_TRACE(::testing::Message() << "called from line " << line);
        std::unique_ptr<IEyeCamera> camera = CreateEyeCamera();
        camera->SetCameraName(name);
        EXPECT_EQ(camera->OpenCamera(key, kSettings, nullptr), expected);
        return camera;
    }
    testsupport::TempDir dir{"scene-camera"};
    std::string control;
};

TEST_F(SceneCameraTest, OpenCodesMatchTheDirectShowCamera) {
    std::unique_ptr<IEyeCamera> camera = CreateEyeCamera();
    EXPECT_EQ(camera->OpenCamera(nullptr, kSettings, nullptr), 2002);
    EXPECT_EQ(camera->OpenCamera("", kSettings, nullptr), -2003);
    EXPECT_EQ(camera->OpenCamera("USB#VID_0C45&PID_6666", kSettings, nullptr), -2003);
    EXPECT_EQ(camera->OpenCamera(kLeftCameraKey, "", nullptr), -2011);
    EXPECT_EQ(camera->OpenCamera(kLeftCameraKey, "{\"camera_format\":\"nv12\"}", nullptr), -2030);
    EXPECT_EQ(camera->OpenCamera(kLeftCameraKey, kSettings, nullptr), 1);
    EXPECT_EQ(camera->OpenCamera(kLeftCameraKey, kSettings, nullptr), -2042);
    EXPECT_EQ(camera->CloseCamera(), 1);

    SetFaults("left wide\n");
    Open(kLeftCameraKey, kLeftCameraName, -2036, __LINE__);
    SetFaults("right busy\n");
    Open(kRightCameraKey, kRightCameraName, -2040, __LINE__);
    Open(kLeftCameraKey, kLeftCameraName, 1, __LINE__);
}

TEST_F(SceneCameraTest, FramesFollowTheBacklightAtThirtyPerSecond) {
    std::unique_ptr<IEyeCamera> camera = Open(kRightCameraKey, kRightCameraName, 1, __LINE__);
    int32_t backlight = 0;
    EXPECT_EQ(camera->GetBacklight(&backlight), 0);
    EXPECT_EQ(backlight, 170);  // written by the settings text
    char message[kGrabMessageBytes] = {};
    ASSERT_EQ(camera->SetBacklight(150), 0);
    camera->GrabFrame(message);  // a frame rendered before the change may still come
    const uint8_t* dim = camera->GrabFrame(message);
    ASSERT_NE(dim, nullptr) << message;
    const double dimMean = Mean(dim);
    ASSERT_EQ(camera->SetBacklight(300), 0);
    camera->GrabFrame(message);
    const uint8_t* bright = camera->GrabFrame(message);
    ASSERT_NE(bright, nullptr) << message;
    EXPECT_GT(Mean(bright), dimMean + 5);
    EXPECT_EQ(camera->SetBacklight(401), -2);  // above the camera's maximum
    EXPECT_EQ(camera->GetBacklight(&backlight), 0);
    EXPECT_EQ(backlight, 300);

    const auto start = Clock::now();
    for (int i = 0; i < 15; ++i) ASSERT_NE(camera->GrabFrame(message), nullptr) << message;
    const long spent = Millis(Clock::now() - start);
    EXPECT_GT(spent, 400);  // 15 frames at 30 per second: never faster than 0.5 s
}

TEST_F(SceneCameraTest, StallTimesOutAndCloseWakesAWaitingGrab) {
    std::unique_ptr<IEyeCamera> camera = Open(kLeftCameraKey, kLeftCameraName, 1, __LINE__);
    SetFaults("left stall\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    char message[kGrabMessageBytes] = {};
    const auto start = Clock::now();
    EXPECT_EQ(camera->GrabFrame(message), nullptr);
    EXPECT_GE(Millis(Clock::now() - start), 2900);
    EXPECT_STREQ(message, camera_test::kTimedOut);
    SetFaults("");
    EXPECT_NE(camera->GrabFrame(message), nullptr) << message;

    SetFaults("left stall\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    long waited = 0;
    std::thread grabber([&] {
        const auto begin = Clock::now();
        char own[kGrabMessageBytes] = {};
        EXPECT_EQ(camera->GrabFrame(own), nullptr);
        EXPECT_STREQ(own, camera_test::kClosed);
        waited = Millis(Clock::now() - begin);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(camera->CloseCamera(), 1);
    grabber.join();
    EXPECT_LT(waited, 1500);
}

TEST_F(SceneCameraTest, GraphEventsCarryEitherCamerasUnplugUntilBothClose) {
    EXPECT_EQ(CurrentGraphEvents(), nullptr);
    std::unique_ptr<IEyeCamera> left = Open(kLeftCameraKey, kLeftCameraName, 1, __LINE__);
    std::unique_ptr<IEyeCamera> right = Open(kRightCameraKey, kRightCameraName, 1, __LINE__);
    const std::shared_ptr<IGraphEvents> events = CurrentGraphEvents();
    ASSERT_NE(events, nullptr);
    int32_t code = 0;
    intptr_t p1 = 0, p2 = 0;
    EXPECT_FALSE(events->GetEvent(&code, &p1, &p2, 300));
    SetFaults("right unplug\n");
    ASSERT_TRUE(events->GetEvent(&code, &p1, &p2, 2000));
    EXPECT_EQ(code, 31);
    char message[kGrabMessageBytes] = {};
    EXPECT_EQ(right->GrabFrame(message), nullptr);
    EXPECT_STREQ(message, camera_test::kTimedOut);
    right->CloseCamera();
    // The left camera's queue stays published after the right one closed.
    const std::shared_ptr<IGraphEvents> leftOnly = CurrentGraphEvents();
    ASSERT_NE(leftOnly, nullptr);
    SetFaults("right unplug\nleft unplug\n");
    ASSERT_TRUE(leftOnly->GetEvent(&code, &p1, &p2, 2000));
    EXPECT_EQ(code, 31);
    left->CloseCamera();
    EXPECT_EQ(CurrentGraphEvents(), nullptr);
}

}  // namespace
}  // namespace k7qsim
