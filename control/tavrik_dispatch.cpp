// CTavrikCtrl: the dispinterface _DTavrik, argument conversion and results.
#include <windows.h>
#include <oleauto.h>

#include <exception>

#include "control/tavrik_ctrl.h"
#include "log/log_writer.h"

namespace {

constexpr DISPID kDispAboutBox = -552;  // DISPID_ABOUTBOX
constexpr DISPID kDispGetDeivceSn = 6;

void SetLong(VARIANT* result, int32_t value) {
    if (!result) return;
    V_VT(result) = VT_I4;
    V_I4(result) = value;
}

BSTR ToBstr(const std::string& text, UINT codePage) {
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, n > 0 ? n : 0);
    if (out && n > 0) MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out, n);
    return out;
}

}  // namespace

// The dispatch boundary: no C++ exception reaches the script host. A method
// that throws answers kCtrlInternalFault (GetDeivceSn an empty text).
HRESULT CTavrikCtrl::InvokeMethod(DISPID dispid, DISPPARAMS* params, VARIANT* result, UINT* argError) {
    try {
        return DispatchMethod(dispid, params, result, argError);
    } catch (const std::exception& e) {
        WriteLog(&LogWriter(), 2, "TavrikCtrl", "CTavrikCtrl::Invoke", __LINE__, "调用异常(%ld):%s",
                 static_cast<long>(dispid), e.what());
    } catch (...) {
        WriteLog(&LogWriter(), 2, "TavrikCtrl", "CTavrikCtrl::Invoke", __LINE__, "调用异常(%ld)",
                 static_cast<long>(dispid));
    }
    if (result) {
        VariantClear(result);
        if (dispid == kDispGetDeivceSn) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(L"");
        } else if (dispid != kDispAboutBox) {
            SetLong(result, kCtrlInternalFault);
        }
    }
    return S_OK;
}

HRESULT CTavrikCtrl::DispatchMethod(DISPID dispid, DISPPARAMS* params, VARIANT* result, UINT* argError) {
    using TextMethod = int32_t (CTavrikCtrl::*)(const std::string&);
    using PlainMethod = int32_t (CTavrikCtrl::*)();
    TextMethod text = nullptr;
    PlainMethod plain = nullptr;
    switch (dispid) {
    case kDispAboutBox:
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        AboutBox();
        return S_OK;
    case kDispGetDeivceSn: {
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        // Always read: the call also refreshes the device information and
        // the default exposures, whether or not the caller keeps the text.
        const std::string serial = GetDeivceSn();
        if (!result) return S_OK;
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = ToBstr(serial, CP_THREAD_ACP);
        return V_BSTR(result) ? S_OK : E_OUTOFMEMORY;
    }
    case 1: text = &CTavrikCtrl::IrisInit; break;
    case 3: text = &CTavrikCtrl::StartCapture; break;
    case 7: text = &CTavrikCtrl::StartCaptureStepTwo; break;
    case 8: text = &CTavrikCtrl::StartCaptureForce; break;
    case 9: text = &CTavrikCtrl::ExtraceImage; break;
    case 2: plain = &CTavrikCtrl::IrisClose; break;
    case 4: plain = &CTavrikCtrl::StopCapture; break;
    case 5: plain = &CTavrikCtrl::ReSet; break;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
    if (plain) {
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        SetLong(result, (this->*plain)());
        return S_OK;
    }
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    std::string argument;
    const HRESULT hr = TextArgument(params, 0, &argument, argError);
    if (FAILED(hr)) return hr;
    SetLong(result, (this->*text)(argument));
    return S_OK;
}
