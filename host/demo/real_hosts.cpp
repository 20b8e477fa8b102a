// The ways pages and forms really treat the control, on the real device
// object with the virtual device: a page that reloads without IrisClose, two
// controls on one page, a handler that closes or releases the control inside
// OnCapture, a microcontroller that never answers. Each prints one line per
// observation for the test to check.
#include "host/demo/capture_run.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "host/container/control_host.h"

namespace {

// {8B4E2F61-0C3D-47A9-A15E-2D6F93B7C804}
const IID kTavrikEvents = {0x8b4e2f61, 0x0c3d, 0x47a9, {0xa1, 0x5e, 0x2d, 0x6f, 0x93, 0xb7, 0xc8, 0x04}};
const wchar_t kProgId[] = L"TAVRIK.TavrikCtrl.1";
const SIZE kSize = {740, 300};
const wchar_t kBoth[] = L"{\"eyeType\":\"3\"}";
constexpr DWORD kCaptureWaitMs = 30000;

std::unique_ptr<host::CControlHost> Embed() {
    std::unique_ptr<host::CControlHost> h(new host::CControlHost);
    if (FAILED(h->CreateByProgId(kProgId, kTavrikEvents, kSize, true))) return nullptr;
    return h;
}

long StatusOf(const host::ReceivedEvent& event) {
    return !event.args.empty() && event.args[0].vt == VT_I4 ? event.args[0].lVal : -9999;
}

// Waits for the first OnCapture and prints its status under `name`.
void PrintCaptureStatus(host::CControlHost& h, const char* name) {
    const bool arrived = host::CControlHost::PumpUntil([&h] { return !h.Events().empty(); }, kCaptureWaitMs);
    if (arrived)
        std::printf("%s status %ld\n", name, StatusOf(h.Events().front()));
    else
        std::printf("%s no OnCapture\n", name);
}

// A page that reloads: its control goes with the device open and a capture
// running; the next page's control opens the device and captures.
int Reload() {
    for (int page = 1; page <= 2; ++page) {
        std::unique_ptr<host::CControlHost> h = Embed();
        if (!h) return 1;
        std::printf("page %d IrisInit %ld\n", page, h->Long(L"IrisInit", L"{}"));
        h->ClearEvents();
        std::printf("page %d StartCapture %ld\n", page, h->Long(L"StartCapture", kBoth));
        if (page == 2) PrintCaptureStatus(*h, "page 2");
        host::CControlHost::PumpUntil([] { return false; }, 200);
        const DWORD t0 = GetTickCount();
        h->Release();  // the control goes without IrisClose; the frame window after it
        std::printf("page %d released in %lu ms\n", page, GetTickCount() - t0);
        h.reset();
    }
    return 0;
}

// Two controls on one page: only the one that opened the device drives it
// and receives its results, also when the other goes during the capture.
int TwoControls() {
    std::unique_ptr<host::CControlHost> first = Embed(), second = Embed();
    if (!first || !second) return 1;
    std::printf("first IrisInit %ld\n", first->Long(L"IrisInit", L"{}"));
    std::printf("second IrisInit %ld\n", second->Long(L"IrisInit", L"{}"));
    std::printf("second ExtraceImage %ld\n", second->Long(L"ExtraceImage", L"C:\\eye.bmp"));
    std::printf("second StartCapture %ld\n", second->Long(L"StartCapture", kBoth));
    first->ClearEvents();
    std::printf("first StartCapture %ld\n", first->Long(L"StartCapture", kBoth));
    host::CControlHost::PumpUntil([] { return false; }, 100);
    const size_t secondEvents = second->Events().size();
    second.reset();
    PrintCaptureStatus(*first, "first");
    std::printf("second events %u\n", static_cast<unsigned>(secondEvents));
    std::printf("first IrisClose %ld\n", first->Long(L"IrisClose"));
    return 0;
}

// A handler that closes the device inside OnCapture, then one that releases
// the control there; the device is usable afterwards either way.
int Handler() {
    std::unique_ptr<host::CControlHost> h = Embed();
    if (!h) return 1;
    std::printf("IrisInit %ld\n", h->Long(L"IrisInit", L"{}"));
    long closeStatus = 1;
    DWORD closeMs = 0;
    h->onEvent = [&](const host::ReceivedEvent&) {
        const DWORD t0 = GetTickCount();
        closeStatus = h->Long(L"IrisClose");
        closeMs = GetTickCount() - t0;
    };
    h->ClearEvents();
    std::printf("StartCapture %ld\n", h->Long(L"StartCapture", kBoth));
    PrintCaptureStatus(*h, "close in handler");
    std::printf("IrisClose in OnCapture %ld in %lu ms\n", closeStatus, closeMs);

    std::printf("IrisInit after close in handler %ld\n", h->Long(L"IrisInit", L"{}"));
    bool released = false;
    DWORD releaseMs = 0;
    host::CControlHost* raw = h.get();
    h->onEvent = [&](const host::ReceivedEvent&) {
        const DWORD t0 = GetTickCount();
        raw->Release();
        releaseMs = GetTickCount() - t0;
        released = true;
    };
    h->ClearEvents();
    std::printf("StartCapture %ld\n", h->Long(L"StartCapture", kBoth));
    host::CControlHost::PumpUntil([&released] { return released; }, kCaptureWaitMs);
    std::printf("released in OnCapture %s in %lu ms\n", released ? "yes" : "no", releaseMs);
    h.reset();

    std::unique_ptr<host::CControlHost> next = Embed();
    if (!next) return 1;
    std::printf("IrisInit after release in handler %ld\n", next->Long(L"IrisInit", L"{}"));
    next->ClearEvents();
    std::printf("StartCapture %ld\n", next->Long(L"StartCapture", kBoth));
    PrintCaptureStatus(*next, "after release in handler");
    std::printf("IrisClose %ld\n", next->Long(L"IrisClose"));
    return 0;
}

// Prints how long one call kept the window thread, as "NAME ANSWER in N ms".
long Timed(host::CControlHost& h, const char* name, const wchar_t* method, const wchar_t* text) {
    const DWORD t0 = GetTickCount();
    const long answer = text ? h.Long(method, text) : h.Long(method);
    std::printf("%s %ld in %lu ms\n", name, answer, GetTickCount() - t0);
    return answer;
}

// A microcontroller that never answers (K7Q_SIM_MODE=silent): every call
// returns within about a second and the capture goes on with the cameras.
int Silent() {
    std::unique_ptr<host::CControlHost> h = Embed();
    if (!h) return 1;
    DWORD t0 = GetTickCount();
    VARIANT serial;
    VariantInit(&serial);
    h->CallByName(L"GetDeivceSn", {}, &serial);
    VariantClear(&serial);
    std::printf("GetDeivceSn in %lu ms\n", GetTickCount() - t0);
    Timed(*h, "IrisInit", L"IrisInit", L"{}");
    h->ClearEvents();
    t0 = GetTickCount();
    Timed(*h, "StartCapture", L"StartCapture", kBoth);
    PrintCaptureStatus(*h, "capture");
    std::printf("capture ended in %lu ms\n", GetTickCount() - t0);
    h->ClearEvents();
    Timed(*h, "StartCapture again", L"StartCapture", kBoth);
    Timed(*h, "StopCapture", L"StopCapture", nullptr);
    Timed(*h, "IrisClose", L"IrisClose", nullptr);
    return 0;
}

// A host that ends without releasing its control, the device open and a
// capture running: the process must still exit.
int Leak() {
    host::CControlHost* h = new host::CControlHost;  // never deleted
    if (FAILED(h->CreateByProgId(kProgId, kTavrikEvents, kSize, true))) return 1;
    std::printf("IrisInit %ld\n", h->Long(L"IrisInit", L"{}"));
    std::printf("StartCapture %ld\n", h->Long(L"StartCapture", kBoth));
    host::CControlHost::PumpUntil([] { return false; }, 200);
    return 0;
}

}  // namespace

int RunRealHosts(const char* scenario) {
    int rc = 2;
    if (std::strcmp(scenario, "reload") == 0) rc = Reload();
    if (std::strcmp(scenario, "two-controls") == 0) rc = TwoControls();
    if (std::strcmp(scenario, "handler") == 0) rc = Handler();
    if (std::strcmp(scenario, "silent") == 0) rc = Silent();
    if (std::strcmp(scenario, "leak") == 0) rc = Leak();
    std::printf("scenario %s done\n", scenario);
    std::fflush(stdout);
    return rc;
}
