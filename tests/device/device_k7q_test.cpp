// The K7Q device object as far as this build can reach the device: no camera
// opens, and without a HID device the serial is "unkown serial".
#include <gtest/gtest.h>

#include <cstring>

#include "device/device_k7q.h"

namespace {
int refusals = 0;
}

// The result routine the device object calls back.
void CallBackEnroll(const unsigned char*, const unsigned char*, int32_t, int32_t, int32_t, int32_t, int32_t outcome) {
    if (outcome == kOutcomeRefused) ++refusals;
}

TEST(DeviceK7QTest, InfoIsFilledWithoutADevice) {
    CDeviceK7Q device;
    DeviceInfo info;
    std::memset(&info, 0x7F, sizeof info);
    EXPECT_EQ(device.DevGetInfo(nullptr), -1);
    ASSERT_EQ(device.DevGetInfo(&info), 0);
    EXPECT_STREQ(info.serial, "unkown serial");
    EXPECT_STREQ(info.modelCode, "05");
    EXPECT_STREQ(info.organisationCode, "120000000000000034");
    EXPECT_STREQ(info.name, "\xCD\xFB\xD4\xB6\xBE\xB5\xBA\xE7\xC4\xA4\xD7\xA2\xB2\xE1\xC9\xE8\xB1\xB8");  // code page 936
    EXPECT_EQ(info.name[127], '\0');
}

TEST(DeviceK7QTest, UnopenedDeviceRefusesCapturesAndTemplates) {
    CDeviceK7Q device;
    EXPECT_EQ(device.DevInit(nullptr), -1);  // no camera can be opened
    EXPECT_EQ(device.DevStartCapture(kEyeBoth), -6);
    EXPECT_EQ(refusals, 0);
    EXPECT_EQ(device.GetTemplate(nullptr), -1);
    EXPECT_EQ(device.GetTemplate("eye.bmp"), -6);
    EXPECT_EQ(device.DevClose(), 0);
    EXPECT_EQ(device.DevClose(), 0);  // closing a closed device is fine
    ASSERT_NE(device.CaptureDoneEvent(), nullptr);
    EXPECT_TRUE(device.CaptureDoneEvent()->IsSet());
}
