// tavrik_host: embeds the registered Tavrik control in a window.
//   --check  creates it by ProgID and by CLSID, checks the in-place window and
//            the answers that need no device; exits non-zero on a mismatch.
//   --unload releases a control whose log writer runs (IrisInit with the log
//            on, no IrisClose) and checks that COM keeps the module loaded
//            until a later IrisClose has ended the writer.
//   --demo   shows it, calls IrisInit, GetDeivceSn, StartCapture, StopCapture
//            and IrisClose, prints each answer and keeps the window up for a
//            few seconds (for a screenshot); exits non-zero on a surprise.
//   --unplug CONTROLFILE [left|right|both]
//            unplugs a virtual camera during a capture (camera control file).
//   --hosts reload|two-controls|handler|silent|leak
//            the ways real pages treat the control (real_hosts.cpp).
//   --soak SECONDS [KINDS]
//            the mixed-use soak with resident memory (soak.cpp).
//   --capture OUTDIR [method [eyeType [holdMs]]]
//            opens the device, runs one capture (StartCapture, eye type 3 by
//            default), saves record.json, left.bmp and right.bmp in OUTDIR.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/container/control_host.h"
#include "host/demo/capture_run.h"

namespace {

// {51C7A9E3-6F20-4B8D-8E14-C93A0F2D67B5}
const CLSID kTavrikClsid = {0x51c7a9e3, 0x6f20, 0x4b8d, {0x8e, 0x14, 0xc9, 0x3a, 0x0f, 0x2d, 0x67, 0xb5}};
// {8B4E2F61-0C3D-47A9-A15E-2D6F93B7C804}
const IID kTavrikEvents = {0x8b4e2f61, 0x0c3d, 0x47a9, {0xa1, 0x5e, 0x2d, 0x6f, 0x93, 0xb7, 0xc8, 0x04}};
const wchar_t kProgId[] = L"TAVRIK.TavrikCtrl.1";
const SIZE kSize = {370, 120};

int failures = 0;

void Expect(const char* what, long actual, long expected) {
    std::printf("%-32s %ld%s\n", what, actual, actual == expected ? "" : "   <-- unexpected");
    if (actual != expected) ++failures;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

std::string SerialOf(host::CControlHost& h) {
    VARIANT result;
    VariantInit(&result);
    h.CallByName(L"GetDeivceSn", {}, &result);
    const std::string serial = Narrow(host::VariantText(result));
    VariantClear(&result);
    return serial;
}

void CheckEmbedded(host::CControlHost& h, const char* how) {
    HWND child = h.ControlWindow();
    std::printf("%s: control window %p, child of the frame: %s\n", how, static_cast<void*>(child),
                child && IsChild(h.Frame(), child) ? "yes" : "no");
    if (!child || !IsChild(h.Frame(), child)) ++failures;
    const std::string serial = SerialOf(h);
    std::printf("%s: GetDeivceSn \"%s\"\n", how, serial.c_str());
    if (serial != "unkown serial") ++failures;
    Expect("IrisClose", h.Long(L"IrisClose"), -106);
}

int Check() {
    {
        host::CControlHost byProgId;
        const HRESULT hr = byProgId.CreateByProgId(kProgId, kTavrikEvents, kSize, true);
        std::printf("created by ProgID: 0x%08lx\n", static_cast<unsigned long>(hr));
        if (FAILED(hr)) return 1;
        CheckEmbedded(byProgId, "ProgID");
    }
    {
        host::CControlHost byClsid;
        const HRESULT hr = byClsid.Create(kTavrikClsid, kTavrikEvents, kSize, true);
        std::printf("created by CLSID: 0x%08lx\n", static_cast<unsigned long>(hr));
        if (FAILED(hr)) return 1;
        CheckEmbedded(byClsid, "CLSID");
    }
    return failures == 0 ? 0 : 1;
}

bool ModuleLoaded() { return GetModuleHandleW(L"Tavrik.ocx") != nullptr; }

// Lets COM unload every library whose DllCanUnloadNow answers S_OK, at once.
void FreeUnusedLibraries() {
    CoFreeUnusedLibrariesEx(0, 0);
    CoFreeUnusedLibraries();
}

// The host directory gets the log file: the test removes it again.
int Unload() {
    {
        host::CControlHost h;
        if (FAILED(h.Create(kTavrikClsid, kTavrikEvents, kSize, true))) return 1;
        h.Long(L"IrisInit", L"{\"log\":\"1\"}");  // starts the writer; the device itself fails to open
    }  // released without IrisClose
    FreeUnusedLibraries();
    const bool keptWhileWriting = ModuleLoaded();
    std::printf("%-32s %s\n", "kept while its writer runs", keptWhileWriting ? "yes" : "no   <-- unexpected");
    if (!keptWhileWriting) return 1;
    {
        host::CControlHost h;
        if (FAILED(h.Create(kTavrikClsid, kTavrikEvents, kSize, true))) return 1;
        h.Long(L"IrisInit", L"{\"log\":\"1\"}");
        Expect("IrisClose (stops the writer)", h.Long(L"IrisClose"), -106);
    }
    FreeUnusedLibraries();
    const bool unloaded = !ModuleLoaded();
    std::printf("%-32s %s\n", "unloaded once the writer ended", unloaded ? "yes" : "no   <-- unexpected");
    return unloaded && failures == 0 ? 0 : 1;
}

int Demo(DWORD showMs) {
    host::CControlHost h;
    const HRESULT hr = h.CreateByProgId(kProgId, kTavrikEvents, kSize, true);
    std::printf("Tavrik control embedded: 0x%08lx\n", static_cast<unsigned long>(hr));
    if (FAILED(hr)) return 1;
    SetWindowTextA(h.Frame(), "Tavrik demo");
    host::CControlHost::PumpUntil([] { return false; }, 300);
    Expect("IrisInit(\"{}\")  (no camera)", h.Long(L"IrisInit", L"{}"), -1);
    const std::string serial = SerialOf(h);
    std::printf("%-32s \"%s\"\n", "GetDeivceSn", serial.c_str());
    if (serial != "unkown serial") ++failures;
    Expect("StartCapture({\"eyeType\":\"3\"})", h.Long(L"StartCapture", L"{\"eyeType\":\"3\"}"), -107);
    Expect("StopCapture", h.Long(L"StopCapture"), -107);
    Expect("IrisClose", h.Long(L"IrisClose"), -106);
    Expect("ReSet", h.Long(L"ReSet"), 0);
    std::printf("window shown\n");
    std::fflush(stdout);
    host::CControlHost::PumpUntil([] { return false; }, showMs);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (FAILED(OleInitialize(nullptr))) return 2;
    int rc = 2;
    if (argc > 1 && std::strcmp(argv[1], "--check") == 0) {
        rc = Check();
    } else if (argc > 2 && std::strcmp(argv[1], "--capture") == 0) {
        // --capture OUTDIR [method [eyeType [holdMs]]]
        CaptureRunOptions options;
        options.outDir = argv[2];
        if (argc > 3) options.method = argv[3];
        if (argc > 4) options.eyeType = argv[4];
        if (argc > 5) options.holdMs = static_cast<unsigned>(std::atoi(argv[5]));
        host::CControlHost h;
        if (FAILED(h.CreateByProgId(kProgId, kTavrikEvents, {740, 300}, true))) {
            rc = 1;
        } else {
            SetWindowTextA(h.Frame(), "Tavrik capture");
            rc = RunCapture(h, options);
        }
    } else if (argc > 2 && std::strcmp(argv[1], "--extract") == 0) {
        // --extract BMP: ExtraceImage on a stored 720x720 eye bitmap
        host::CControlHost h;
        if (FAILED(h.CreateByProgId(kProgId, kTavrikEvents, {740, 300}, true))) {
            rc = 1;
        } else {
            std::printf("IrisInit %ld\n", h.Long(L"IrisInit", L"{}"));
            std::wstring path;
            for (const char* c = argv[2]; *c; ++c) path += static_cast<wchar_t>(*c);
            std::printf("ExtraceImage %ld\n", h.Long(L"ExtraceImage", path.c_str()));
            std::printf("IrisClose %ld\n", h.Long(L"IrisClose"));
            rc = 0;
        }
    } else if (argc > 2 && std::strcmp(argv[1], "--unplug") == 0) {
        host::CControlHost h;
        const char* side = argc > 3 ? argv[3] : "both";
        rc = FAILED(h.CreateByProgId(kProgId, kTavrikEvents, {740, 300}, true)) ? 1 : RunUnplug(h, argv[2], side);
    } else if (argc > 2 && std::strcmp(argv[1], "--soak") == 0) {
        rc = RunSoak(static_cast<unsigned>(std::atoi(argv[2])), argc > 3 ? argv[3] : "ifstwc");
    } else if (argc > 2 && std::strcmp(argv[1], "--hosts") == 0) {
        rc = RunRealHosts(argv[2]);
    } else if (argc > 1 && std::strcmp(argv[1], "--unload") == 0) {
        rc = Unload();
    } else if (argc > 1 && std::strcmp(argv[1], "--demo") == 0) {
        rc = Demo(argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) : 4000);
    } else {
        std::fprintf(stderr, "usage: tavrik_host --check | --unload | --demo [milliseconds] | --capture OUTDIR [method [eyeType [holdMs]]] | --unplug FILE [side] | --hosts SCENARIO | --soak SECONDS [KINDS]\n");
    }
    OleUninitialize();
    std::fflush(stdout);
    return rc;
}
