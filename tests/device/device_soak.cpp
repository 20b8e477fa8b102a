// Soak run outside the test command: many open/start/stop/close cycles of the
// device object on scripted eyes, checking that every stop ends in time and
// every close leaves no thread or camera behind.
//   device_soak [cycles]   (default 10000)
#include <cstdio>
#include <cstdlib>

#include "hid/hid_operate.h"
#include "platform/clock.h"
#include "sim/mcu/virtual_mcu.h"
#include "tests/device/device_fakes.h"

int main(int argc, char** argv) {
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
    vmcu::Reset();
    vmcu::UseFakeClock(true);
    fakes::Current().Reset();
    fakes::Current().eye[fakes::kLeft].detectResult = -1;
    CDeviceK7Q device(fakes::Services());
    const uint32_t start = platform::TickCount();
    for (int i = 0; i < cycles; ++i) {
        if (i % 10 == 0 && device.DevInit(nullptr) != 0) return std::printf("DevInit failed at %d\n", i), 1;
        if (device.DevStartCapture(i % 3 == 0 ? kEyeLeft : kEyeBoth) != 0)
            return std::printf("start failed at %d\n", i), 1;
        CaptureArmed = 0;
        if (!device.CaptureDoneEvent()->Wait(5000)) return std::printf("stop hung at %d\n", i), 1;
        if (i % 10 == 9) {
            device.DevClose();
            if (device.HasStragglers() || fakes::Current().liveCameras != 0)
                return std::printf("close left threads or cameras at %d\n", i), 1;
        }
    }
    device.DevClose();
    std::printf("%d cycles in %u ms, %zu results\n", cycles, platform::TicksSince(start), fakes::Results().size());
    return 0;
}
