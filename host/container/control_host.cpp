#include "host/container/control_host.h"

#include <windows.h>
#include <oleauto.h>

#include "host/container/site.h"

namespace host {
namespace {

const char kFrameClass[] = "TavrikHostFrame";

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateFrame(SIZE size, bool visible) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    if (!GetClassInfoExA(GetModuleHandleA(nullptr), kFrameClass, &wc)) {
        wc.lpfnWndProc = FrameProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kFrameClass;
        RegisterClassExA(&wc);
    }
    RECT outer = {0, 0, size.cx + 40, size.cy + 40};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    HWND frame = CreateWindowExA(0, kFrameClass, "Tavrik host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 20, 20,
                                 outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (frame && visible) {
        ShowWindow(frame, SW_SHOW);
        UpdateWindow(frame);
    }
    return frame;
}

}  // namespace

CControlHost::CControlHost() = default;

CControlHost::~CControlHost() {
    Release();
    if (site_) site_->Release();
    if (sink_) sink_->Release();
    if (frame_) DestroyWindow(frame_);
}

std::vector<ReceivedEvent>& CControlHost::Events() { return sink_->events; }

void CControlHost::ClearEvents() {
    if (!sink_) return;
    for (auto& e : sink_->events)
        for (auto& v : e.args) VariantClear(&v);
    sink_->events.clear();
}

HRESULT CControlHost::Create(const CLSID& clsid, const IID& eventIid, SIZE size, bool visible) {
    IUnknown* control = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&control));
    if (FAILED(hr)) return hr;
    hr = Embed(control, eventIid, size, visible);
    control->Release();
    return hr;
}

HRESULT CControlHost::CreateByProgId(const wchar_t* progId, const IID& eventIid, SIZE size, bool visible) {
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(progId, &clsid);
    return FAILED(hr) ? hr : Create(clsid, eventIid, size, visible);
}

HRESULT CControlHost::Embed(IUnknown* control, const IID& eventIid, SIZE size, bool visible) {
    if (control_) return E_UNEXPECTED;
    if (!frame_) frame_ = CreateFrame(size, visible);
    if (!frame_) return E_FAIL;
    if (!site_) site_ = new CSite(frame_);
    site_->position = {20, 20, 20 + size.cx, 20 + size.cy};
    site_->pageUrl = pageUrl_;
    if (!sink_) {
        sink_ = new CEventSink(eventIid);
        sink_->onEvent = &onEvent;
    }
    control_ = control;
    control_->AddRef();
    HRESULT hr = control_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
    if (FAILED(hr)) return hr;
    IOleObject* ole = nullptr;
    hr = control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
    if (FAILED(hr)) return hr;
    ole->SetClientSite(static_cast<IOleClientSite*>(site_));
    hr = ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_), 0, frame_,
                     &site_->position);
    ole->Release();
    if (FAILED(hr)) return hr;
    IConnectionPointContainer* points = nullptr;
    hr = control_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    if (FAILED(hr)) return hr;
    hr = points->FindConnectionPoint(eventIid, &point_);
    points->Release();
    if (FAILED(hr)) return hr;
    return point_->Advise(static_cast<IDispatch*>(sink_), &cookie_);
}

void CControlHost::Release() {
    if (point_) {
        point_->Unadvise(cookie_);
        point_->Release();
        point_ = nullptr;
    }
    if (dispatch_) dispatch_->Release();
    dispatch_ = nullptr;
    if (control_) {
        IOleObject* ole = nullptr;
        if (SUCCEEDED(control_->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)))) {
            ole->Close(OLECLOSE_NOSAVE);
            ole->SetClientSite(nullptr);
            ole->Release();
        }
        control_->Release();
        control_ = nullptr;
    }
}

HWND CControlHost::ControlWindow() const {
    IOleInPlaceObject* inPlace = nullptr;
    HWND window = nullptr;
    if (control_ && SUCCEEDED(control_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
        inPlace->GetWindow(&window);
        inPlace->Release();
    }
    return window;
}

HRESULT CControlHost::Call(DISPID dispid, std::vector<VARIANT> args, VARIANT* result) {
    if (!dispatch_) return E_UNEXPECTED;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());  // the callee reads them last first
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    const HRESULT hr =
        dispatch_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    for (auto& v : reversed) VariantClear(&v);
    return hr;
}

HRESULT CControlHost::CallByName(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result) {
    if (!dispatch_) return E_UNEXPECTED;
    DISPID dispid = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) {
        for (auto& v : args) VariantClear(&v);
        return hr;
    }
    return Call(dispid, std::move(args), result);
}

long CControlHost::Long(const wchar_t* name) {
    VARIANT result;
    VariantInit(&result);
    if (FAILED(CallByName(name, {}, &result)) || V_VT(&result) != VT_I4) return 0x7fffffff;
    return V_I4(&result);
}

long CControlHost::Long(const wchar_t* name, const wchar_t* text) {
    VARIANT result;
    VariantInit(&result);
    if (FAILED(CallByName(name, {TextArg(text)}, &result)) || V_VT(&result) != VT_I4) return 0x7fffffff;
    return V_I4(&result);
}

bool CControlHost::PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring VariantText(const VARIANT& value) {
    if (V_VT(&value) != VT_BSTR || !V_BSTR(&value)) return std::wstring();
    return std::wstring(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
}

VARIANT TextArg(const wchar_t* text) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

VARIANT LongArg(long value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

}  // namespace host
