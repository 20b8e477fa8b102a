#include "host/demo/capture_run.h"

#include <windows.h>
#include <json/json.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/container/control_host.h"

namespace {

std::vector<unsigned char> Base64Decode(const std::string& text) {
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    std::vector<unsigned char> out;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const int v = value(c);
        if (v < 0) continue;
        bits = (bits << 6) | static_cast<unsigned>(v);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<unsigned char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring Wide(const char* text) {
    std::wstring out;
    for (; *text; ++text) out += static_cast<wchar_t>(*text);
    return out;
}

void SaveImage(const Json::Value& record, const char* key, const std::string& path) {
    const std::vector<unsigned char> bmp = Base64Decode(record[key].asString());
    if (bmp.empty()) return;
    WriteFile(path, bmp.data(), bmp.size());
    std::printf("%-10s %s (%u bytes)\n", key, path.c_str(), static_cast<unsigned>(bmp.size()));
}

}  // namespace

int RunCapture(host::CControlHost& h, const CaptureRunOptions& o) {
    const DWORD t0 = GetTickCount();
    const long init = h.Long(L"IrisInit", L"{}");
    std::printf("IrisInit %ld (%lu ms)\n", init, GetTickCount() - t0);
    if (init != 0) return 1;
    VARIANT sn;
    VariantInit(&sn);
    h.CallByName(L"GetDeivceSn", {}, &sn);
    std::printf("serial %s\n", Utf8(host::VariantText(sn)).c_str());
    VariantClear(&sn);
    h.ClearEvents();
    const std::wstring param = L"{\"eyeType\":\"" + Wide(o.eyeType) + L"\"}";
    const DWORD start = GetTickCount();
    const long rc = h.Long(Wide(o.method).c_str(), param.c_str());
    std::printf("%s %ld\n", o.method, rc);
    if (rc != 0) return 1;
    const bool arrived = host::CControlHost::PumpUntil([&h] { return !h.Events().empty(); }, o.timeoutMs);
    const DWORD elapsed = GetTickCount() - start;
    if (!arrived) {
        std::printf("no OnCapture within %u ms\n", o.timeoutMs);
        return 1;
    }
    const host::ReceivedEvent& event = h.Events().front();
    const long status = event.args.size() > 0 && event.args[0].vt == VT_I4 ? event.args[0].lVal : -9999;
    const std::string text = event.args.size() > 1 ? Utf8(host::VariantText(event.args[1])) : "";
    std::printf("status %ld\nelapsed_ms %lu\n", status, elapsed);
    const std::string dir = o.outDir;
    WriteFile(dir + "\\record.json", text.data(), text.size());
    std::printf("record     %s\\record.json\n", o.outDir);
    Json::Value parsed;
    if (Json::Reader().parse(text, parsed)) {
        const Json::Value record = parsed.isArray() && parsed.size() ? parsed[0] : parsed;
        std::printf("ir_id %s\nsbbh %s\nzy_xxzlpf %s\nyy_xxzlpf %s\n", record["ir_id"].asString().c_str(),
                    record["sbbh"].asString().c_str(), record["zy_xxzlpf"].asString().c_str(),
                    record["yy_xxzlpf"].asString().c_str());
        SaveImage(record, "hmzp_zy", dir + "\\left.bmp");
        SaveImage(record, "hmzp_yy", dir + "\\right.bmp");
    }
    std::printf("window shown\n");
    std::fflush(stdout);
    if (o.holdMs) host::CControlHost::PumpUntil([] { return false; }, o.holdMs);
    if (o.closeAfter) {
        const DWORD t0 = GetTickCount();
        const long closed = h.Long(L"IrisClose");
        std::printf("IrisClose %ld (%lu ms)\n", closed, GetTickCount() - t0);
    }
    std::fflush(stdout);
    return 0;
}

namespace {

bool WriteText(const char* path, const char* text) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    std::fputs(text, f);
    return std::fclose(f) == 0;
}

// The device-loss warning ("警告"), shown by the control's event thread.
HWND FindWarningBox() { return FindWindowW(L"#32770", L"\x8b66\x544a"); }

}  // namespace

int RunUnplug(host::CControlHost& h, const char* controlFile, const char* side) {
    WriteText(controlFile, "both none\n");
    std::printf("IrisInit %ld\n", h.Long(L"IrisInit", L"{}"));
    h.ClearEvents();
    std::printf("StartCapture %ld\n", h.Long(L"StartCapture", L"{\"eyeType\":\"3\"}"));
    host::CControlHost::PumpUntil([] { return false; }, 1500);
    WriteText(controlFile, (std::string(side) + " unplug\n").c_str());
    const bool ended = host::CControlHost::PumpUntil([&h] { return !h.Events().empty(); }, 10000);
    std::printf("capture ended %s\n", ended ? "yes" : "no");
    if (ended && !h.Events().front().args.empty()) std::printf("status %ld\n", h.Events().front().args[0].lVal);
    HWND box = nullptr;
    host::CControlHost::PumpUntil([&box] { return (box = FindWarningBox()) != nullptr; }, 10000);
    std::printf("warning box %s\n", box ? "found" : "missing");
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
    host::CControlHost::PumpUntil([] { return FindWarningBox() == nullptr; }, 5000);
    std::printf("warning box closed %s\n", FindWarningBox() ? "no" : "yes");
    std::printf("StartCapture after loss %ld\n", h.Long(L"StartCapture", L"{\"eyeType\":\"3\"}"));
    WriteText(controlFile, "both none\n");
    std::printf("IrisClose %ld\n", h.Long(L"IrisClose"));
    std::printf("IrisInit again %ld\n", h.Long(L"IrisInit", L"{}"));
    std::printf("IrisClose %ld\n", h.Long(L"IrisClose"));
    std::fflush(stdout);
    return 0;
}
