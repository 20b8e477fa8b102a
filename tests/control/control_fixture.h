// The fixture of the control's tests under Wine: one OLE container frame for
// every case, the scripted device and the virtual microcontroller reset
// before each case, and helpers to read the events the host received.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "control/record/control_state.h"
#include "control/tavrik_ids.h"
#include "control/tavrik_module.h"
#include "host/container/control_host.h"
#include "sim/mcu/virtual_mcu.h"
#include "tests/control/scripted_device.h"

class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};

// Ends the program if a call that must return does not (a deadlock).
class Watchdog {
public:
    explicit Watchdog(DWORD ms) : thread_([this, ms] {
        const DWORD start = GetTickCount();
        while (!done_) {
            if (GetTickCount() - start > ms) {
                std::fprintf(stderr, "watchdog: a call did not return\n");
                std::_Exit(3);
            }
            Sleep(10);
        }
    }) {}
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

inline std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += static_cast<char>(c);
    return out;
}

// The texts of a dialog's child windows (labels and buttons).
inline std::vector<std::wstring> ChildTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM out) -> BOOL {
            wchar_t text[256] = {};
            GetWindowTextW(child, text, 256);
            reinterpret_cast<std::vector<std::wstring>*>(out)->push_back(text);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

class ControlTest : public ::testing::Test {
protected:
    // AboutBox through the host while a helper thread waits for the dialog,
    // reads its texts and closes it; false when no dialog appeared.
    bool ShowAndCloseAboutBox(std::vector<std::wstring>* texts) {
        std::atomic<bool> seen{false};
        std::thread closer([&] {
            for (int i = 0; i < 500 && !seen; ++i) {
                HWND dialog = FindWindowW(nullptr, L"About Tavrik Control");
                if (dialog && IsWindowVisible(dialog)) {
                    *texts = ChildTexts(dialog);
                    seen = true;
                    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
                }
                Sleep(10);
            }
        });
        {
            Watchdog watchdog(20000);
            VARIANT result;
            VariantInit(&result);
            EXPECT_EQ(host_.Call(-552, {}, &result), S_OK);
        }
        closer.join();
        return seen;
    }

    // One frame window for every case: a new top-level window costs seconds under Wine.
    static void SetUpTestSuite() { sharedHost = new host::CControlHost; }
    static void TearDownTestSuite() {
        delete sharedHost;
        sharedHost = nullptr;
    }

    void SetUp() override {
        host_.ClearEvents();
        host_.onEvent = nullptr;
        ScriptedDevice().Reset();
        vmcu::Reset();
        vmcu::UseFakeClock(true);
        CaptureRunning = 0;
        CaptureMode = 1;
        IClassFactory* factory = nullptr;
        ASSERT_EQ(DllGetClassObject(CLSID_Tavrik, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
        IUnknown* control = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&control)), S_OK);
        factory->Release();
        ASSERT_EQ(host_.Embed(control, DIID__DTavrikEvents, {370, 120}, true), S_OK);
        control->Release();
        host::CControlHost::PumpUntil([] { return false; }, 50);
    }
    void TearDown() override {
        host_.Release();
        ScriptedDevice().Reset();
    }

    long Init() { return host_.Long(L"IrisInit", L"{\"white_brightness\":\"200\"}"); }
    bool WaitEvents(size_t count, DWORD ms = 5000) {
        return host::CControlHost::PumpUntil([&] { return host_.Events().size() >= count; }, ms);
    }
    long EventResult(size_t i) { return V_I4(&host_.Events()[i].args[0]); }
    std::string EventText(size_t i) { return Narrow(host::VariantText(host_.Events()[i].args[1])); }
    Json::Value EventJson(size_t i) {
        Json::Value value;
        Json::Reader reader;
        EXPECT_TRUE(reader.parse(EventText(i), value));
        return value;
    }

    static host::CControlHost* sharedHost;
    host::CControlHost& host_ = *sharedHost;
};
