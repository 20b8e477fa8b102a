// Whole captures natively: the device object with the real eye locator, iris
// module and image judge on scene cameras showing scripted subjects.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <vector>

#include "device/device_k7q.h"
#include "device/native/native_services.h"
#include "hid/hid_operate.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "sim/camera/camera_faults.h"
#include "sim/mcu/virtual_mcu.h"
#include "tests/device/scene_camera.h"

namespace {

struct Outcome {
    int32_t kind = 0, eyeType = 0, leftScore = 0, rightScore = 0;
    std::vector<uint8_t> left, right;
    uint32_t tick = 0;
};
std::mutex outcomeLock;
std::vector<Outcome> outcomes;

void Record(const unsigned char* l, const unsigned char* r, int32_t length, int32_t eyeType, int32_t ls, int32_t rs,
            int32_t kind) {
    Outcome o{kind, eyeType, ls, rs, {}, {}, platform::TickCount()};
    if (l) o.left.assign(l, l + length);
    if (r) o.right.assign(r, r + length);
    std::lock_guard<std::mutex> g(outcomeLock);
    outcomes.push_back(std::move(o));
}

class SceneCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        vmcu::Reset();
        {
            std::lock_guard<std::mutex> g(outcomeLock);
            outcomes.clear();
        }
        CaptureMode = 1;
        ForceAccept = 0;
    }
    void TearDown() override { vmcu::Reset(); }

    // truthLocator: the scene's own eye box stands in for the eye locator.
    // clockSpeed: the 20-second budget runs that many times faster.
    std::unique_ptr<CDeviceK7Q> MakeDevice(k7qsim::Scenario scenario, bool truthLocator = false,
                                           uint32_t clockSpeed = 1) {
        // The product's native scene cameras show the subject K7Q_SCENARIO
        // names; the scene-box variant needs this test's tagging camera.
        setenv(k7qsim::kScenarioVariable, k7qsim::ScenarioName(scenario), 1);
        scenecam::UseScenario(scenario);
        scenecam::SetTagging(truthLocator);
        DeviceServices s =
            truthLocator ? NativeDeviceServices(scenecam::Create, nullptr, &prompts_, &warnings_)
                         : NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts_, &warnings_);
        s.resultRoutine = Record;
        if (truthLocator) s.locator = &truthLocator_;
        if (clockSpeed > 1) s.tickCount = [clockSpeed] { return platform::TickCount() * clockSpeed; };
        return std::unique_ptr<CDeviceK7Q>(new CDeviceK7Q(std::move(s)));
    }

    // Runs one capture and returns the first outcome (kind 0: none in time).
    Outcome Capture(CDeviceK7Q& device, EyeType eye, uint32_t timeoutMs, uint32_t* elapsedMs) {
        const uint32_t start = platform::TickCount();
        EXPECT_EQ(device.DevStartCapture(eye), 0);
        while (platform::TicksSince(start) < timeoutMs) {
            {
                std::lock_guard<std::mutex> g(outcomeLock);
                if (!outcomes.empty()) {
                    *elapsedMs = outcomes[0].tick - start;
                    return outcomes[0];
                }
            }
            platform::SleepMs(10);
        }
        CaptureArmed = 0;
        device.CaptureDoneEvent()->Wait(5000);
        return Outcome{};
    }

    scenecam::TruthLocator truthLocator_;
    CPromptRecorder prompts_;
    CWarningRecorder warnings_;
};

// Where the iris of a 640x480 view (bottom-up BMP) is darkest: its pupil.
void ExpectPupilNearViewCentre(const std::vector<uint8_t>& bmp, int line) {
    SCOPED_TRACE(::testing::Message() << "view checked at line " << line);
    ASSERT_EQ(bmp.size(), static_cast<size_t>(BitmapFileSize));
    long sx = 0, sy = 0, n = 0;
    for (int row = 0; row < 480; ++row)
        for (int x = 0; x < 640; ++x)
            if (bmp[1078 + row * 640 + x] < 30) {
                sx += x;
                sy += 479 - row;
                ++n;
            }
    ASSERT_GT(n, 500);
    // The view is centred on the detected iris unless it sits near an edge.
    EXPECT_NEAR(sx / n, 320, 60);
    EXPECT_NEAR(sy / n, 240, 60);
}

// A two-eye success whose scores pass and whose views are centred on their pupils.
void ExpectBothEyesScoredAndCentred(const Outcome& o, int line) {
    SCOPED_TRACE(::testing::Message() << "capture checked at line " << line);
    ASSERT_EQ(o.kind, kOutcomeSuccess);
    EXPECT_GE(o.leftScore, 60);
    EXPECT_GE(o.rightScore, 60);
    ExpectPupilNearViewCentre(o.left, line);
    ExpectPupilNearViewCentre(o.right, line);
}

TEST_F(SceneCaptureTest, AfterTheLocatorTheChainAcceptsTheWellPlacedSubject) {
    auto device = MakeDevice(k7qsim::Scenario::WellPlaced, /*truthLocator=*/true);
    ASSERT_EQ(device->DevInit(nullptr), 0);
    uint32_t elapsed = 0;
    const Outcome o = Capture(*device, kEyeBoth, 15000, &elapsed);
    ExpectBothEyesScoredAndCentred(o, __LINE__);
    std::printf("well-placed capture (scene eye box): %u ms, scores %d/%d\n", elapsed, o.leftScore, o.rightScore);
    device->DevClose();
}

TEST_F(SceneCaptureTest, TheWellPlacedSubjectIsCapturedWithBothEyesScored) {
    auto device = MakeDevice(k7qsim::Scenario::WellPlaced);
    ASSERT_EQ(device->DevInit(nullptr), 0);
    uint32_t elapsed = 0;
    const Outcome o = Capture(*device, kEyeBoth, 15000, &elapsed);
    ExpectBothEyesScoredAndCentred(o, __LINE__);
    // The exposures the capture ended with were written to the device.
    const hidproto::Block block = vmcu::Eeprom();
    std::string serial;
    int32_t model = 0, left = 0, right = 0;
    ASSERT_EQ(CHidOperate::get_device_sn(serial, model, left, right), 1);
    EXPECT_EQ(left, device->LeftExposure());
    EXPECT_EQ(right, device->RightExposure());
    RecordProperty("elapsed_ms", static_cast<int>(elapsed));
    std::printf("well-placed capture: %u ms, scores %d/%d\n", elapsed, o.leftScore, o.rightScore);
    device->DevClose();
}

// A microcontroller that never answers is waited for once per session; the
// capture goes on with the cameras and the close does not wait again.
TEST_F(SceneCaptureTest, ASilentMicrocontrollerIsWaitedForOnceAndTheCaptureSucceeds) {
    vmcu::UseFakeClock(true);
    vmcu::SetMode(vmcu::Mode::Silent);
    auto device = MakeDevice(k7qsim::Scenario::WellPlaced);
    ASSERT_EQ(device->DevInit(nullptr), 0);
    uint32_t elapsed = 0;
    const Outcome o = Capture(*device, kEyeBoth, 15000, &elapsed);
    ExpectBothEyesScoredAndCentred(o, __LINE__);
    device->DevClose();
    EXPECT_EQ(vmcu::Reads().size(), 1u);
    EXPECT_GE(vmcu::Received().size(), 1u);
}

TEST_F(SceneCaptureTest, TheSubjectWhoNeverLooksInTimesOut) {
    auto device = MakeDevice(k7qsim::Scenario::NeverLooksIn, false, /*clockSpeed=*/10);
    ASSERT_EQ(device->DevInit(nullptr), 0);
    uint32_t elapsed = 0;
    const Outcome o = Capture(*device, kEyeBoth, 15000, &elapsed);
    EXPECT_EQ(o.kind, kOutcomeTimeout);
    EXPECT_GE(elapsed, 2000u);  // more than 20 whole seconds on the budget's clock
    EXPECT_EQ(o.eyeType, -1);
    device->DevClose();
}

TEST_F(SceneCaptureTest, OnlyTheLeftEyeInViewPassesForTheLeftEyeAlone) {
    auto device = MakeDevice(k7qsim::Scenario::OnlyLeftEye, false, /*clockSpeed=*/10);
    ASSERT_EQ(device->DevInit(nullptr), 0);
    uint32_t elapsed = 0;
    Outcome o = Capture(*device, kEyeLeft, 15000, &elapsed);
    EXPECT_EQ(o.kind, kOutcomeSuccess);
    EXPECT_GE(o.leftScore, 60);
    {
        std::lock_guard<std::mutex> g(outcomeLock);
        outcomes.clear();
    }
    o = Capture(*device, kEyeBoth, 15000, &elapsed);
    EXPECT_EQ(o.kind, kOutcomeTimeout);  // the right eye never comes
    device->DevClose();
}

// Either camera's loss is seen, not only the first one opened.
TEST_F(SceneCaptureTest, EitherUnpluggedCameraEndsTheCaptureAndWarns) {
    const std::string control = platform::TempDirectory() + "k7q_device_unplug_test.txt";
    size_t warned = 0;
    for (const char* fault : {"right unplug\n", "left unplug\n", "both unplug\n"}) {
        SCOPED_TRACE(fault);
        SetUp();
        std::FILE* f = std::fopen(control.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        setenv(k7qsim::kCameraControlVariable, control.c_str(), 1);
        auto device = MakeDevice(k7qsim::Scenario::NeverLooksIn);
        ASSERT_EQ(device->DevInit(nullptr), 0);
        ASSERT_EQ(device->DevStartCapture(kEyeBoth), 0);
        platform::SleepMs(500);
        f = std::fopen(control.c_str(), "w");
        std::fputs(fault, f);
        std::fclose(f);
        EXPECT_TRUE(warnings_.WaitForCount(++warned, 10000));
        {
            std::lock_guard<std::mutex> g(outcomeLock);
            ASSERT_EQ(outcomes.size(), 1u);  // the capture ended before the warning
            EXPECT_EQ(outcomes[0].kind, kOutcomeStopped);
        }
        EXPECT_EQ(device->Initialised(), 0);
        EXPECT_EQ(device->DevStartCapture(kEyeBoth), kDeviceNotInitialised);
        std::remove(control.c_str());
        unsetenv(k7qsim::kCameraControlVariable);
        EXPECT_EQ(device->DevInit(nullptr), 0);  // closes the lost cameras first
        device->DevClose();
    }
}

TEST_F(SceneCaptureTest, EyesAboveTheBandAreToldToComeDownAndNeverPass) {
    auto device = MakeDevice(k7qsim::Scenario::TooHigh);
    ASSERT_EQ(device->DevInit(nullptr), 0);
    LeftHighCount = RightHighCount = 0;
    ASSERT_EQ(device->DevStartCapture(kEyeBoth), 0);
    bool told = false;
    const uint32_t start = platform::TickCount();
    while (!told && platform::TicksSince(start) < 19000) {
        const std::vector<int32_t> played = prompts_.Played();
        told = std::find(played.begin(), played.end(), 204) != played.end();
        platform::SleepMs(20);
    }
    EXPECT_TRUE(told) << "prompt 204 after twenty frames above the band";
    CaptureArmed = 0;
    ASSERT_TRUE(device->CaptureDoneEvent()->Wait(10000));
    std::lock_guard<std::mutex> g(outcomeLock);
    for (const Outcome& o : outcomes) EXPECT_NE(o.kind, kOutcomeSuccess);
    device->DevClose();
}

}  // namespace
