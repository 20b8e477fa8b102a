// CTavrikCtrl: the dispinterface _DTavrik, argument conversion and results.
#include <windows.h>
#include <oleauto.h>

#include "control/tavrik_ctrl.h"

namespace {

constexpr DISPID kDispAboutBox = -552;  // DISPID_ABOUTBOX

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

HRESULT CTavrikCtrl::InvokeMethod(DISPID dispid, DISPPARAMS* params, VARIANT* result, UINT* argError) {
    using TextMethod = int32_t (CTavrikCtrl::*)(const std::string&);
    using PlainMethod = int32_t (CTavrikCtrl::*)();
    TextMethod text = nullptr;
    PlainMethod plain = nullptr;
    switch (dispid) {
    case kDispAboutBox:
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        AboutBox();
        return S_OK;
    case 6:
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (result) {
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = ToBstr(GetDeivceSn(), CP_THREAD_ACP);
            if (!V_BSTR(result)) return E_OUTOFMEMORY;
        }
        return S_OK;
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
