// The mixed-use soak under Wine: one control, rounds of the calls a day at a
// desk makes, resident memory printed at the start, every minute and at the
// end. KINDS picks the calls of a round (default "ifstwc"):
//   i IrisInit, f a full capture (waits for its OnCapture), s a capture
//   stopped after 150 ms, t a forced capture, w a two-step capture, c IrisClose,
//   g GetDeivceSn, I IrisInit whatever it answers, z 100 ms idle.
#include "host/demo/capture_run.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "host/container/control_host.h"

namespace {

// {8B4E2F61-0C3D-47A9-A15E-2D6F93B7C804}
const IID kTavrikEvents = {0x8b4e2f61, 0x0c3d, 0x47a9, {0xa1, 0x5e, 0x2d, 0x6f, 0x93, 0xb7, 0xc8, 0x04}};
const wchar_t kBoth[] = L"{\"eyeType\":\"3\"}";
constexpr DWORD kCaptureWaitMs = 30000;

double ResidentMb() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize / (1024.0 * 1024.0);
}

double PrivateMb() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage / (1024.0 * 1024.0);
}

// One start; waits for its OnCapture, or stops it after stopAfterMs.
bool Capture(host::CControlHost& h, const wchar_t* method, DWORD stopAfterMs) {
    // A start right after an OnCapture may find the capture loop still armed
    // (-5, with an OnCapture -1): the host tries again a moment later.
    long started = -5;
    for (int attempt = 0; attempt < 20 && started == -5; ++attempt) {
        if (attempt) host::CControlHost::PumpUntil([] { return false; }, 50);
        h.ClearEvents();
        started = h.Long(method, kBoth);
    }
    if (started != 0) {
        std::printf("start answered %ld\n", started);
        return false;
    }
    const bool arrived = host::CControlHost::PumpUntil([&h] { return !h.Events().empty(); }, stopAfterMs);
    if (arrived) return true;
    const long stopped = h.Long(L"StopCapture");
    return stopped == 0 || stopped == -108;  // -108: its OnCapture came first
}

bool RunStep(host::CControlHost& h, char kind);

bool Step(host::CControlHost& h, char kind) {
    const bool ok = RunStep(h, kind);
    if (!ok) std::printf("step %c failed\n", kind);
    return ok;
}

bool RunStep(host::CControlHost& h, char kind) {
    switch (kind) {
        case 'i': return h.Long(L"IrisInit", L"{}") == 0;
        case 'I': return h.Long(L"IrisInit", L"{}"), true;  // whatever it answers
        case 'z': return host::CControlHost::PumpUntil([] { return false; }, 100), true;  // idle
        case 'f': return Capture(h, L"StartCapture", kCaptureWaitMs);
        case 's': return Capture(h, L"StartCapture", 150);
        case 't': return Capture(h, L"StartCaptureForce", kCaptureWaitMs);
        case 'w': return Capture(h, L"StartCaptureStepTwo", kCaptureWaitMs);
        case 'c': return h.Long(L"IrisClose") == 0;
        case 'g': {
            VARIANT serial;
            VariantInit(&serial);
            h.CallByName(L"GetDeivceSn", {}, &serial);
            VariantClear(&serial);
            return true;
        }
        default: return false;
    }
}

void Report(const char* when, DWORD elapsedMs, unsigned rounds) {
    std::printf("%s: %lu s, %u rounds, resident %.1f MB, private %.1f MB\n", when, elapsedMs / 1000, rounds,
                ResidentMb(), PrivateMb());
    std::fflush(stdout);
}

}  // namespace

int RunSoak(unsigned seconds, const char* kinds) {
    host::CControlHost h;
    if (FAILED(h.CreateByProgId(L"TAVRIK.TavrikCtrl.1", kTavrikEvents, {740, 300}, true))) return 1;
    const DWORD start = GetTickCount();
    unsigned rounds = 0;
    DWORD nextReport = 60000;
    // Without IrisInit among the kinds the device stays open throughout.
    bool ok = std::strchr(kinds, 'i') || h.Long(L"IrisInit", L"{}") == 0;
    // The first round warms up (modules mapped, first graphs built).
    for (const char* k = kinds; *k && ok; ++k) ok = Step(h, *k);
    Report("start", GetTickCount() - start, ++rounds);
    while (ok && GetTickCount() - start < seconds * 1000u) {
        for (const char* k = kinds; *k && ok; ++k) ok = Step(h, *k);
        ++rounds;
        if (GetTickCount() - start >= nextReport) {
            Report("minute", GetTickCount() - start, rounds);
            nextReport += 60000;
        }
    }
    Report("before the last close", GetTickCount() - start, rounds);
    if (std::strchr(kinds, 'c') == nullptr) h.Long(L"IrisClose");
    Report(ok ? "end" : "failed", GetTickCount() - start, rounds);
    return ok ? 0 : 1;
}
