// Soak run outside the test command: the device object on scene cameras in
// the mixed use of a long day (full captures, stops, forced and two-step
// captures, close and open again), printing the heap in use after each round
// so that growth shows where it starts.
//   device_mixed_soak [rounds]   (default 30)
#include <cstdio>
#include <cstdlib>

#include "device/device_k7q.h"
#include "device/native/native_services.h"
#include "platform/clock.h"
#include "sim/mcu/virtual_mcu.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();  // the AddressSanitizer runtime's count
#define TAVRIK_HEAP_COUNT 1
#else
#include <malloc.h>
#endif

namespace {

platform::ManualResetEvent resultSeen{false};

void Result(const unsigned char*, const unsigned char*, int32_t, int32_t, int32_t, int32_t, int32_t) {
    resultSeen.Set();
}

size_t HeapInUse() {
#ifdef TAVRIK_HEAP_COUNT
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// One start; waits for its result (or stops it after stopAfterMs).
bool Capture(CDeviceK7Q& device, EyeType eye, int32_t mode, int32_t force, uint32_t stopAfterMs) {
    CaptureMode = mode;
    ForceAccept = force;
    resultSeen.Reset();
    if (device.DevStartCapture(eye) != 0) return false;
    if (!resultSeen.Wait(stopAfterMs)) CaptureArmed = 0;
    return device.CaptureDoneEvent()->Wait(30000);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    vmcu::Reset();
    vmcu::UseFakeClock(true);
    CPromptRecorder prompts;
    CWarningRecorder warnings;
    DeviceServices services = NativeDeviceServices(CreateEyeCamera, CurrentGraphEvents, &prompts, &warnings);
    services.resultRoutine = Result;
    CDeviceK7Q device(std::move(services));
    const uint32_t start = platform::TickCount();
    for (int round = 0; round < rounds; ++round) {
        if (device.DevInit(nullptr) != 0) return std::printf("DevInit failed in round %d\n", round), 1;
        const bool ok = Capture(device, kEyeBoth, 1, 0, 30000) && Capture(device, kEyeBoth, 1, 0, 150) &&
                        Capture(device, kEyeLeft, 1, 1, 30000) && Capture(device, kEyeBoth, 2, 0, 30000);
        device.DevClose();
        if (!ok) return std::printf("a capture did not end in round %d\n", round), 1;
        std::printf("round %d: heap %zu bytes, %u ms\n", round, HeapInUse(), platform::TicksSince(start));
        std::fflush(stdout);
    }
    return 0;
}
