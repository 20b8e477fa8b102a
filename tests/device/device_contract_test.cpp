#include "device/device_contract.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

TEST(DeviceContractTest, DeviceInfoFieldsSitAtTheirOffsets) {
    EXPECT_EQ(offsetof(DeviceInfo, name), 0u);
    EXPECT_EQ(offsetof(DeviceInfo, serial), 128u);
    EXPECT_EQ(offsetof(DeviceInfo, modelCode), 160u);
    EXPECT_EQ(offsetof(DeviceInfo, organisationCode), 192u);
    EXPECT_TRUE(std::is_trivially_copyable<DeviceInfo>::value);
}

TEST(DeviceContractTest, CaptureFlagsStartAsAtLoad) {
    EXPECT_EQ(CaptureArmed.load(), 0);
    EXPECT_EQ(ForceAccept.load(), 0);
    EXPECT_EQ(CaptureMode.load(), 1);
    EXPECT_TRUE(CaptureArmed.is_lock_free());
}
