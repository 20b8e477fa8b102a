// The channel over the real hidapi library, with no K7Q attached.
#include <gtest/gtest.h>

#include <string>

#include "hid/hid_operate.h"
#include "platform/clock.h"

TEST(HidOverHidapiTest, NoDeviceGives3001AtOnce) {
    const uint32_t start = platform::TickCount();
    std::string serial = "previous";
    int32_t modelType = 9, leftCurrent = 0, rightCurrent = 0;
    EXPECT_EQ(CHidOperate::send_command(0x33), -3001);
    EXPECT_EQ(CHidOperate::send_param(240, 0x52), -3001);
    EXPECT_EQ(CHidOperate::get_device_sn(serial, modelType, leftCurrent, rightCurrent), -3001);
    EXPECT_EQ(CHidOperate::set_device_sn("A1B2C3", 1, 175, 185), -3001);
    EXPECT_LT(platform::TicksSince(start), 1000u);
    EXPECT_EQ(serial, "");
    EXPECT_EQ(modelType, 1);
    EXPECT_EQ(leftCurrent, 170);
}
