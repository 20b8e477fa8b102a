// The host's capture mode: opens the device through the control, runs one
// capture and saves what OnCapture delivered.
#pragma once

namespace host {
class CControlHost;
}

struct CaptureRunOptions {
    const char* outDir = ".";
    const char* method = "StartCapture";  // or StartCaptureForce, StartCaptureStepTwo
    const char* eyeType = "3";
    unsigned timeoutMs = 30000;
    unsigned holdMs = 0;      // keep the window up afterwards (screenshots)
    bool closeAfter = true;   // IrisClose at the end
};

// Prints "status N", the scores, the capture id and the elapsed time; writes
// record.json and left.bmp / right.bmp into outDir. 0 when an OnCapture
// arrived (whatever its status), 1 otherwise.
int RunCapture(host::CControlHost& h, const CaptureRunOptions& options);

// Unplugs a virtual camera ("left", "right") or both (through their control
// file) during a capture, closes the warning box, and checks that the device
// needs a new IrisInit.
int RunUnplug(host::CControlHost& h, const char* controlFile, const char* side);

// The ways real pages treat the control (real_hosts.cpp): "reload",
// "two-controls", "handler", "silent", "leak". Prints one line per observation.
int RunRealHosts(const char* scenario);

// The mixed-use soak (soak.cpp): rounds of KINDS for `seconds`, resident
// memory at the start, every minute and at the end.
int RunSoak(unsigned seconds, const char* kinds);
