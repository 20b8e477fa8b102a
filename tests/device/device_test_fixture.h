// A K7Q device object on scripted cameras, locator, iris entry and judge,
// with the virtual microcontroller behind the HID channel.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hid/hid_operate.h"
#include "sim/mcu/virtual_mcu.h"
#include "tests/device/device_fakes.h"

constexpr int kWaitMs = 30000;  // sanitizer builds are slow; waits end early

class DeviceEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        vmcu::Reset();
        vmcu::UseFakeClock(true);
        LeftDefaultExposure = 230;
        RightDefaultExposure = 230;
        fakes::Current().Reset();
        fakes::ClearResults();
        fakes::Prompts().Clear();
        LeftHighCount = LeftLowCount = RightHighCount = RightLowCount = 0;
        CaptureMode = 1;
        ForceAccept = 0;
        device_.reset(new CDeviceK7Q(fakes::Services()));
    }
    void TearDown() override {
        release_ = true;
        device_.reset();
        fakes::Current().onGrab = nullptr;
        fakes::Current().onDetect = nullptr;
        vmcu::Reset();
    }

    void Open(int line) {
        SCOPED_TRACE(::testing::Message() << "opened at line " << line);
        ASSERT_EQ(device_->DevInit(nullptr), 0);
    }

    // Starts a capture and returns the results once `count` have come and the
    // capture has ended (the caller checks how many there are).
    std::vector<fakes::Result> CaptureUntilDone(EyeType eye, size_t count, int line) {
        SCOPED_TRACE(::testing::Message() << "capture started at line " << line);
        EXPECT_EQ(device_->DevStartCapture(eye), 0);
        EXPECT_TRUE(fakes::WaitForResults(count, kWaitMs));
        EXPECT_TRUE(device_->CaptureDoneEvent()->Wait(kWaitMs));
        return fakes::Results();
    }

    // The command codes the microcontroller received since `since` (an index).
    static std::vector<int> Commands(size_t since = 0) {
        std::vector<int> codes;
        const std::vector<vmcu::ReceivedFrame> frames = vmcu::Received();
        for (size_t i = since; i < frames.size(); ++i)
            if (frames[i].kind == vmcu::FrameKind::Command) codes.push_back(frames[i].code);
        return codes;
    }
    static size_t FrameCount() { return vmcu::Received().size(); }
    static int Count(const std::vector<int>& codes, int code) {
        int n = 0;
        for (int c : codes) n += c == code;
        return n;
    }

    // What the control's StopCapture does: clear the flag, wait for the end.
    void Stop() {
        CaptureArmed = 0;
        ASSERT_TRUE(device_->CaptureDoneEvent()->Wait(5000));
    }

    std::unique_ptr<CDeviceK7Q> device_;
    // Counters the scripted hooks use; members, so that a hook still running
    // on the capture thread after a failed assertion never outlives them.
    std::atomic<int> calls_{0};
    std::atomic<bool> release_{false}, inside_{false};
};
