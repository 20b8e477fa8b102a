// COleControl: the control's window, in-place activation and drawing.
#include "com/module.h"
#include "control/com/ole_control.h"

namespace com {
namespace {

bool ClassRegistered(const char* name) {
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof existing;
    return GetClassInfoExA(ModuleInstance(), name, &existing) != 0;
}

}  // namespace

LRESULT CALLBACK COleControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<COleControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!control) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
    case WM_NCDESTROY:
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        if (control->window_ == window) control->window_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;  // the picture covers the whole client area
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT bounds;
        GetClientRect(window, &bounds);
        control->OnDraw(dc, bounds);
        EndPaint(window, &paint);
        return 0;
    }
    default: {
        LRESULT result = 0;
        if (control->OnWindowMessage(message, wParam, lParam, &result)) return result;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    }
}

HWND COleControl::CreateControlWindow(HWND parent, const RECT& position, DWORD style) {
    if (!ClassRegistered(info_.windowClass)) {
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ModuleInstance();
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = info_.windowClass;
        if (!RegisterClassExA(&wc)) return nullptr;
    }
    return CreateWindowExA(0, info_.windowClass, "", style, position.left, position.top,
                           position.right - position.left, position.bottom - position.top, parent, nullptr,
                           ModuleInstance(), this);
}

HWND COleControl::EnsureWindow() {
    if (window_) return window_;
    const RECT position = {0, 0, info_.initialPixels.cx, info_.initialPixels.cy};
    window_ = CreateControlWindow(nullptr, position, WS_POPUP);
    return window_;
}

HRESULT COleControl::InPlaceActivate(LONG verb, HWND parentHint, LPCRECT positionHint) {
    if (!site_) return E_UNEXPECTED;
    if (!inPlace_) {
        IOleInPlaceSite* site = nullptr;
        if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&site)))) return E_NOINTERFACE;
        if (site->CanInPlaceActivate() != S_OK) {
            site->Release();
            return E_FAIL;
        }
        site->OnInPlaceActivate();
        HWND parent = nullptr;
        site->GetWindow(&parent);
        if (!parent) parent = parentHint;
        IOleInPlaceFrame* frame = nullptr;
        IOleInPlaceUIWindow* document = nullptr;
        RECT position = {0, 0, 0, 0}, clip;
        OLEINPLACEFRAMEINFO frameInfo = {};
        frameInfo.cb = sizeof frameInfo;
        if (FAILED(site->GetWindowContext(&frame, &document, &position, &clip, &frameInfo)) && positionHint)
            position = *positionHint;
        if (frame) frame->Release();
        if (document) document->Release();
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        if (window_) {
            // The hidden window made before the container put the control in place becomes the child.
            SetWindowLongPtrA(window_, GWL_STYLE, style);
            SetParent(window_, parent);
            MoveWindow(window_, position.left, position.top, position.right - position.left,
                       position.bottom - position.top, TRUE);
            ShowWindow(window_, SW_SHOW);
        } else {
            window_ = CreateControlWindow(parent, position, style);
        }
        if (!window_) {
            site->OnInPlaceDeactivate();
            site->Release();
            return E_FAIL;
        }
        inPlaceSite_ = site;
        inPlace_ = true;
    }
    if (verb == OLEIVERB_UIACTIVATE && !uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
    }
    return S_OK;
}

void COleControl::DestroyControlWindow() {
    if (inPlace_) InPlaceDeactivate();
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
}

// --- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ---

STDMETHODIMP COleControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP COleControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP COleControl::InPlaceDeactivate() {
    if (!inPlace_) return S_OK;
    UIDeactivate();
    inPlace_ = false;
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    IOleInPlaceSite* site = inPlaceSite_;
    inPlaceSite_ = nullptr;
    site->OnInPlaceDeactivate();
    site->Release();
    return S_OK;
}

STDMETHODIMP COleControl::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP COleControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (window_)
        MoveWindow(window_, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    return S_OK;
}

STDMETHODIMP COleControl::ReactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP COleControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP COleControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP COleControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP COleControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP COleControl::EnableModeless(BOOL) { return S_OK; }

// --- IViewObject2 ---

STDMETHODIMP COleControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                               BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc) return E_INVALIDARG;
    RECT area;
    if (bounds) {
        area = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    } else if (window_) {
        GetClientRect(window_, &area);
    } else {
        return E_INVALIDARG;
    }
    OnDraw(dc, area);
    return S_OK;
}

STDMETHODIMP COleControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
    if (colors) *colors = nullptr;
    return S_FALSE;
}

STDMETHODIMP COleControl::Freeze(DWORD, LONG, void*, DWORD*) { return E_NOTIMPL; }
STDMETHODIMP COleControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    if (sink) sink->AddRef();
    if (viewSink_) viewSink_->Release();
    viewSink_ = sink;
    viewAspects_ = aspects;
    viewFlags_ = flags;
    return S_OK;
}

STDMETHODIMP COleControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = viewAspects_;
    if (flags) *flags = viewFlags_;
    if (sink) {
        *sink = viewSink_;
        if (viewSink_) viewSink_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

}  // namespace com
