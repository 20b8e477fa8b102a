// Delivery of a capture result from the capture thread to the control's
// window thread: a synchronous send of WM_CAPTURE_RESULT, whose handler fires
// OnCapture with ResultText.
#include <windows.h>
#include <oleauto.h>

#include <atomic>

#include "control/tavrik_ctrl.h"

namespace {
// Counts handled result messages, so that the sender knows whether its
// message reached a live control.
std::atomic<unsigned> HandledResults{0};
}  // namespace

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
    ++DeliveringResult;
    FireEvent(1, &params);  // OnCapture; the handler may release this control
    --DeliveringResult;
    SysFreeString(text);
    CaptureRunning = 0;
}
