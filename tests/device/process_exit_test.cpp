// At the real end of a process: the device object made before the first HID
// exchange (as at module load) still sends its closing commands through an
// open HID library. A death test runs the scenario in a child process whose
// last exit handler (registered before anything else) checks what the
// virtual microcontroller received.
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

#include "device/device_contract.h"
#include "hid/hid_operate.h"
#include "sim/mcu/virtual_mcu.h"


namespace {

// Runs after every static object of the child has been destroyed.
void CheckClosingFrames() {
    const auto frames = vmcu::Received();
    const size_t n = frames.size();
    const bool closed = n >= 2 && frames[n - 2].code == 61 && frames[n - 1].code == 52;
    const bool throughOpenLibrary = closed && frames[n - 2].libraryOpen && frames[n - 1].libraryOpen;
    _exit(!closed ? 3 : throughOpenLibrary ? 0 : 4);
}

void DeviceFirstThenAnExchangeThenExit() {
    std::atexit(CheckClosingFrames);
    vmcu::UseFakeClock(true);
    GetDevice(nullptr);  // made at load, before any exchange
    CHidOperate::send_command(0x33);   // a later exchange
    std::exit(0);                      // static destruction, then CheckClosingFrames
}

}  // namespace

TEST(ProcessExitTest, DeviceClosesThroughAnOpenHidLibraryAtExit) {
    // A forked child, not a re-executed one: the 32-bit build runs under
    // qemu-i386, and a re-executed 32-bit image finds no interpreter there.
    // The device object is made in the child, as the first thing it does.
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(DeviceFirstThenAnExchangeThenExit(), testing::ExitedWithCode(0), "");
}
