// Shared set-up of the tests that run CHidOperate against the virtual
// microcontroller: a fresh device on the fake clock, defaults back at 230.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hid/hid_operate.h"
#include "sim/mcu/virtual_mcu.h"

class HidChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        vmcu::Reset();
        vmcu::UseFakeClock(true);
        LeftDefaultExposure = 230;
        RightDefaultExposure = 230;
        CHidOperate::end_session();
    }
    void TearDown() override {
        CHidOperate::end_session();
        vmcu::Reset();
    }

    // Every handle opened was closed again.
    static void ExpectAllClosed() {
        const vmcu::Counters counters = vmcu::GetCounters();
        EXPECT_EQ(counters.opens, counters.closes);
        EXPECT_EQ(counters.openHandles, 0);
    }

    static hidproto::Block TextBlock(const std::string& text, std::vector<uint8_t> tail = {}) {
        hidproto::Block block{};
        for (size_t i = 0; i < text.size() && i < block.size(); ++i) block[i] = static_cast<uint8_t>(text[i]);
        for (size_t i = 0; i < tail.size(); ++i) block[block.size() - tail.size() + i] = tail[i];
        return block;
    }
};

// Outputs of get_device_sn, primed with values a test can tell apart.
struct DeviceSnOutputs {
    std::string serial = "previous";
    int32_t modelType = 9;
    int32_t leftCurrent = 111;
    int32_t rightCurrent = 122;

    int32_t Read() { return CHidOperate::get_device_sn(serial, modelType, leftCurrent, rightCurrent); }
};
