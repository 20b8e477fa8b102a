// The device object made before the first HID exchange (as at module load)
// still closes through an open HID library when the process owner tears down.
#include <gtest/gtest.h>

#include "device/device_contract.h"
#include "platform/process_objects.h"
#include "sim/mcu/virtual_mcu.h"

TEST(ProcessTeardownTest, DeviceGoesBeforeTheHidLibraryItClosesThrough) {
    vmcu::Reset();
    vmcu::UseFakeClock(true);
    ASSERT_EQ(vmcu::GetCounters().inits, 0);  // nothing has exchanged yet
    ASSERT_NE(GetDevice(nullptr), nullptr);
    EXPECT_EQ(vmcu::GetCounters().inits, 1);  // the library is taken into use with the device
    EXPECT_TRUE(vmcu::Received().empty());

    platform::Process().TearDown();
    const auto frames = vmcu::Received();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, vmcu::FrameKind::Command);
    EXPECT_EQ(frames[0].code, 61);
    EXPECT_EQ(frames[1].code, 52);
    for (const auto& frame : frames) EXPECT_TRUE(frame.libraryOpen) << int(frame.code);
    const vmcu::Counters counters = vmcu::GetCounters();
    EXPECT_EQ(counters.exits, 1);  // released after the device, once
    EXPECT_EQ(counters.opens, counters.closes);
}
