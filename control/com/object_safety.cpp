// IObjectSafety: a browser asks whether the control is safe for scripting
// (IDispatch) and for initialisation (the persistence interfaces) before a
// page may use it. The answer is yes only for pages of the allowed sites, so
// that no other site can drive the cameras.
#include "control/com/ole_control.h"

namespace com {
namespace {

constexpr DWORD kSupportedSafety = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
// IDispatchEx, which script engines also ask about (not in mingw's uuid library).
constexpr IID kIidDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

bool ScriptingInterface(REFIID iid) { return iid == IID_IDispatch || iid == kIidDispatchEx; }

bool InitialisationInterface(REFIID iid) {
    return iid == IID_IPersistStreamInit || iid == IID_IPersistPropertyBag || iid == IID_IPersist;
}

std::string Utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

}  // namespace

std::string COleControl::PageUrl() const {
    if (!site_) return std::string();
    IMoniker* moniker = nullptr;
    if (FAILED(site_->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, &moniker)) || !moniker)
        return std::string();
    std::string url;
    IBindCtx* context = nullptr;
    if (SUCCEEDED(CreateBindCtx(0, &context))) {
        LPOLESTR name = nullptr;
        if (SUCCEEDED(moniker->GetDisplayName(context, nullptr, &name)) && name) {
            url = Utf8(name);
            CoTaskMemFree(name);
        }
        context->Release();
    }
    moniker->Release();
    return url;
}

// The options granted for `iid`'s group (scripting or initialisation); null for other interfaces.
DWORD* COleControl::SafetyOptionsOf(REFIID iid) {
    if (ScriptingInterface(iid)) return &scriptingSafety_;
    if (InitialisationInterface(iid)) return &initialisationSafety_;
    return nullptr;
}

STDMETHODIMP COleControl::GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = 0;
    DWORD* options = SafetyOptionsOf(iid);
    if (!options) return E_NOINTERFACE;
    *supported = kSupportedSafety;
    *enabled = *options;
    return S_OK;
}

STDMETHODIMP COleControl::SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD enabled) {
    DWORD* options = SafetyOptionsOf(iid);
    if (!options) return E_NOINTERFACE;
    if (mask & ~kSupportedSafety) return E_FAIL;
    const DWORD wanted = enabled & mask;
    if (wanted != 0 && !PageAllowed(PageUrl())) return E_FAIL;  // taking options back is always allowed
    *options = (*options & ~mask) | wanted;
    return S_OK;
}

}  // namespace com
