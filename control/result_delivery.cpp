// Delivery of a capture result from the capture thread to the control's
// window thread: a synchronous send of WM_CAPTURE_RESULT, whose handler fires
// OnCapture with ResultText. The message goes to a message-only window that
// the control keeps for its whole life, so that a capture started while the
// control was in place still ends with its OnCapture after the container has
// deactivated it (and its visible window is gone).
#include <windows.h>
#include <oleauto.h>

#include <atomic>

#include "com/module.h"
#include "control/tavrik_ctrl.h"

namespace {
// Counts handled result messages, so that the sender knows whether its
// message reached a live control.
std::atomic<unsigned> HandledResults{0};

const char kResultWindowClass[] = "TavrikResultWindow";

}  // namespace

LRESULT CALLBACK CTavrikCtrl::ResultWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<CTavrikCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_CAPTURE_RESULT && control) {
        try {
            control->OnCaptureResult(static_cast<int32_t>(wParam));
        } catch (...) {
            // Nothing unwinds through the window procedure into the sender; the capture has ended.
            CaptureRunning = 0;
        }
        return 0;
    }
    if (message == WM_NCDESTROY) SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

void CTavrikCtrl::CreateResultWindow() {
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof existing;
    if (!GetClassInfoExA(com::ModuleInstance(), kResultWindowClass, &existing)) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = ResultWindowProc;
        wc.hInstance = com::ModuleInstance();
        wc.lpszClassName = kResultWindowClass;
        RegisterClassExA(&wc);
    }
    m_resultWindow = CreateWindowExA(0, kResultWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     com::ModuleInstance(), this);
}

void CTavrikCtrl::DestroyResultWindow() {
    if (m_resultWindow) DestroyWindow(m_resultWindow);
    m_resultWindow = nullptr;
}

bool SendCaptureResult(NativeWindow window, int32_t status) {
    const unsigned before = HandledResults.load();
    SendMessageA(static_cast<HWND>(window), WM_CAPTURE_RESULT, static_cast<WPARAM>(status), 0);
    return HandledResults.load() != before;
}

void CTavrikCtrl::OnCaptureResult(int32_t status) {
    ++HandledResults;
    const int n = MultiByteToWideChar(CP_ACP, 0, ResultText.data(), static_cast<int>(ResultText.size()), nullptr, 0);
    BSTR text = SysAllocStringLen(nullptr, n > 0 ? n : 0);
    if (text && n > 0)
        MultiByteToWideChar(CP_ACP, 0, ResultText.data(), static_cast<int>(ResultText.size()), text, n);
    VARIANTARG args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    V_VT(&args[1]) = VT_I4;  // result (arguments are passed last first)
    V_I4(&args[1]) = status;
    V_VT(&args[0]) = VT_BSTR;  // sIrisInfo
    V_BSTR(&args[0]) = text;
    DISPPARAMS params = {args, nullptr, 2, 0};
    ++ResultBeingHandled;
    FireEvent(1, &params);  // OnCapture; the handler may release this control
    --ResultBeingHandled;
    SysFreeString(text);
    CaptureRunning = 0;
}
