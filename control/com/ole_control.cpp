// COleControl: identity, dispatch, the OLE object, persistence and class information.
#include "control/com/ole_control.h"

#include <oleauto.h>

#include <cstring>
#include <cwchar>

#include "com/com_enumerator.h"
#include "com/module.h"
#include "com/registration.h"

namespace com {
namespace {

LONG PixelsToHimetric(LONG pixels) { return MulDiv(pixels, 2540, 96); }

// Verbs handed out with a name of the caller's own (freed with CoTaskMemFree).
struct VerbItems {
    static void Hold(OLEVERB&) {}
    static void Drop(OLEVERB&) {}
    static HRESULT HandOut(const OLEVERB& verb, OLEVERB* out) {
        *out = verb;
        const size_t bytes = (std::wcslen(verb.lpszVerbName) + 1) * sizeof(wchar_t);
        out->lpszVerbName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
        if (!out->lpszVerbName) return E_OUTOFMEMORY;
        std::memcpy(out->lpszVerbName, verb.lpszVerbName, bytes);
        return S_OK;
    }
};

// The verbs a container may list on its menu: the properties verb. The
// activation verbs work through DoVerb without being listed.
OLEVERB PropertiesVerb() {
    static wchar_t name[] = L"&Properties...";
    return {OLEIVERB_PROPERTIES, name, MF_STRING | MF_ENABLED, OLEVERBATTRIB_ONCONTAINERMENU};
}

}  // namespace

COleControl::COleControl(const ControlClassInfo& info)
    : info_(info), events_(static_cast<IConnectionPointContainer*>(this), *info.eventIid) {
    extent_.cx = PixelsToHimetric(info.initialPixels.cx);
    extent_.cy = PixelsToHimetric(info.initialPixels.cy);
    LockModule();
}

COleControl::~COleControl() { UnlockModule(); }

STDMETHODIMP COleControl::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == *info_.dispatchIid)
        *object = static_cast<IDispatch*>(this);
    else if (iid == IID_IOleObject)
        *object = static_cast<IOleObject*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject)
        *object = static_cast<IOleInPlaceObject*>(this);
    else if (iid == IID_IOleInPlaceActiveObject)
        *object = static_cast<IOleInPlaceActiveObject*>(this);
    else if (iid == IID_IOleControl)
        *object = static_cast<IOleControl*>(this);
    else if (iid == IID_IViewObject || iid == IID_IViewObject2)
        *object = static_cast<IViewObject2*>(this);
    else if (iid == IID_IPersist || iid == IID_IPersistStreamInit)
        *object = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IPersistPropertyBag)
        *object = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *object = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
        *object = static_cast<IProvideClassInfo2*>(this);
    else if (iid == IID_ISpecifyPropertyPages)
        *object = static_cast<ISpecifyPropertyPages*>(this);
    else if (iid == IID_IObjectSafety)
        *object = static_cast<IObjectSafety*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) COleControl::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) COleControl::Release() {
    const LONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
        refs_ = 1;  // calls made while tearing down must not bring it back to zero
        Teardown();
        delete this;
    }
    return n;
}

void COleControl::Teardown() {
    OnFinalRelease();
    DestroyControlWindow();
    events_.DisconnectAll();
    if (inPlaceSite_) inPlaceSite_->Release();
    inPlaceSite_ = nullptr;
    if (site_) site_->Release();
    site_ = nullptr;
    if (viewSink_) viewSink_->Release();
    viewSink_ = nullptr;
    if (adviseHolder_) adviseHolder_->Release();
    adviseHolder_ = nullptr;
}

// --- IDispatch ---

STDMETHODIMP COleControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP COleControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *info = ModuleTypeInfo(*info_.dispatchIid);
    return *info ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

STDMETHODIMP COleControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    ITypeInfo* info = ModuleTypeInfo(*info_.dispatchIid);
    if (!info) return E_UNEXPECTED;
    const HRESULT hr = info->GetIDsOfNames(names, count, ids);
    info->Release();
    return hr;
}

STDMETHODIMP COleControl::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                 EXCEPINFO*, UINT* argError) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;  // the control has no properties
    if (params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    if (result) VariantInit(result);
    AddRef();  // a method may lead the host to release the control
    const HRESULT hr = InvokeMethod(dispid, params, result, argError);
    Release();
    return hr;
}

HRESULT COleControl::TextArgument(DISPPARAMS* params, UINT index, std::string* text, UINT* argError) {
    const UINT position = params->cArgs - 1 - index;  // arguments arrive last first
    text->clear();
    VARIANT* given = &params->rgvarg[position];
    const VARTYPE type = V_VT(given) & ~VT_BYREF;
    if (type == VT_NULL || type == VT_EMPTY) return S_OK;  // a script's null or undefined: empty text
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = VariantChangeType(&value, given, VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr)) {
        if (argError) *argError = position;
        return DISP_E_TYPEMISMATCH;
    }
    const int wide = static_cast<int>(SysStringLen(value.bstrVal));
    if (wide > 0) {
        const int n = WideCharToMultiByte(CP_ACP, 0, value.bstrVal, wide, nullptr, 0, nullptr, nullptr);
        text->resize(n > 0 ? n : 0);
        if (n > 0) WideCharToMultiByte(CP_ACP, 0, value.bstrVal, wide, &(*text)[0], n, nullptr, nullptr);
        // The text ends at its first NUL, as a C string parameter does.
        text->resize(strnlen(text->c_str(), text->size()));
    }
    VariantClear(&value);
    return S_OK;
}

void COleControl::FireEvent(DISPID dispid, DISPPARAMS* params) {
    if (frozenEvents_ > 0) return;
    AddRef();
    events_.Fire(dispid, params);
    Release();
}

// --- IOleObject ---

STDMETHODIMP COleControl::SetClientSite(IOleClientSite* site) {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
}

STDMETHODIMP COleControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = site_;
    if (site_) site_->AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP COleControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP COleControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP COleControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP COleControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP COleControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT position) {
    if (site && !site_) SetClientSite(site);
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_INPLACEACTIVATE:
    case OLEIVERB_UIACTIVATE:
        return InPlaceActivate(verb, parent, position);
    case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
    case OLEIVERB_PROPERTIES:
        return ShowPropertyPages(parent);
    default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP COleControl::EnumVerbs(IEnumOLEVERB** verbs) {
    return ComEnumerator<IEnumOLEVERB, OLEVERB, VerbItems>::Create(IID_IEnumOLEVERB, {PropertiesVerb()}, verbs);
}

STDMETHODIMP COleControl::Update() { return S_OK; }
STDMETHODIMP COleControl::IsUpToDate() { return S_OK; }

STDMETHODIMP COleControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP COleControl::GetUserType(DWORD form, LPOLESTR* name) { return OleRegGetUserType(*info_.clsid, form, name); }

STDMETHODIMP COleControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP COleControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP COleControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!adviseHolder_ && FAILED(CreateOleAdviseHolder(&adviseHolder_))) return E_OUTOFMEMORY;
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP COleControl::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP COleControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : E_FAIL;
}

STDMETHODIMP COleControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = info_.miscStatus;
    return S_OK;
}

STDMETHODIMP COleControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// --- IOleControl ---

STDMETHODIMP COleControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP COleControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP COleControl::OnAmbientPropertyChange(DISPID) { return S_OK; }

STDMETHODIMP COleControl::FreezeEvents(BOOL freeze) {
    if (freeze) {
        ++frozenEvents_;
    } else if (frozenEvents_ > 0) {
        --frozenEvents_;
    }
    return S_OK;
}

// --- persistence: the version only ---

STDMETHODIMP COleControl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = *info_.clsid;
    return S_OK;
}

STDMETHODIMP COleControl::IsDirty() { return S_FALSE; }

STDMETHODIMP COleControl::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    DWORD version = 0;
    ULONG read = 0;
    const HRESULT hr = stream->Read(&version, sizeof version, &read);
    return SUCCEEDED(hr) && read == sizeof version ? S_OK : E_FAIL;
}

STDMETHODIMP COleControl::Save(LPSTREAM stream, BOOL) {
    if (!stream) return E_POINTER;
    const DWORD version = kPersistedVersion;
    return stream->Write(&version, sizeof version, nullptr);
}

STDMETHODIMP COleControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = sizeof(DWORD);
    return S_OK;
}

STDMETHODIMP COleControl::InitNew() { return S_OK; }

STDMETHODIMP COleControl::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    VARIANT version;
    VariantInit(&version);
    V_VT(&version) = VT_I4;
    bag->Read(L"_Version", &version, log);  // absent: a document of the same version
    VariantClear(&version);
    return S_OK;
}

STDMETHODIMP COleControl::Save(IPropertyBag* bag, BOOL, BOOL) {
    if (!bag) return E_POINTER;
    VARIANT version;
    VariantInit(&version);
    V_VT(&version) = VT_I4;
    V_I4(&version) = static_cast<LONG>(kPersistedVersion);
    return bag->Write(L"_Version", &version);
}

// --- connection points, class information, property pages ---

STDMETHODIMP COleControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    return CreateConnectionPointEnum(&events_, points);
}

STDMETHODIMP COleControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (iid != *info_.eventIid) return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

STDMETHODIMP COleControl::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = ModuleTypeInfo(*info_.clsid);
    return *info ? S_OK : E_FAIL;
}

STDMETHODIMP COleControl::GetGUID(DWORD kind, GUID* guid) {
    if (!guid) return E_POINTER;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
    *guid = *info_.eventIid;
    return S_OK;
}

STDMETHODIMP COleControl::GetPages(CAUUID* pages) {
    if (!pages) return E_POINTER;
    pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
    if (!pages->pElems) {
        pages->cElems = 0;
        return E_OUTOFMEMORY;
    }
    pages->cElems = 1;
    pages->pElems[0] = *info_.propertyPage;
    return S_OK;
}

HRESULT COleControl::ShowPropertyPages(HWND owner) {
    IUnknown* self = static_cast<IDispatch*>(this);
    CAUUID pages;
    HRESULT hr = GetPages(&pages);
    if (FAILED(hr)) return hr;
    hr = OleCreatePropertyFrame(owner, 0, 0, nullptr, 1, &self, pages.cElems, pages.pElems, LOCALE_USER_DEFAULT, 0,
                                nullptr);
    CoTaskMemFree(pages.pElems);
    return hr;
}

}  // namespace com
