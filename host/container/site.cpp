#include "host/container/site.h"

#include <urlmon.h>

namespace host {

STDMETHODIMP CSite::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite)
        *object = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
        *object = static_cast<IOleInPlaceFrame*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP CSite::GetMoniker(DWORD, DWORD which, IMoniker** moniker) {
    if (!moniker) return E_POINTER;
    *moniker = nullptr;
    // A container posing as a browser names its page by a URL moniker.
    if (pageUrl.empty() || which != OLEWHICHMK_CONTAINER) return E_NOTIMPL;
    return CreateURLMonikerEx(nullptr, pageUrl.c_str(), moniker, URL_MK_UNIFORM);
}

STDMETHODIMP CSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = frame_;
    return S_OK;
}

STDMETHODIMP CSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT pos,
                                     LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
    if (frame) {
        *frame = this;
        AddRef();
    }
    if (document) *document = nullptr;
    if (pos) *pos = position;
    if (clip) *clip = position;
    if (info) {
        info->fMDIApp = FALSE;
        info->hwndFrame = frame_;
        info->haccel = nullptr;
        info->cAccelEntries = 0;
    }
    return S_OK;
}

STDMETHODIMP CEventSink::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == eventIid_) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

CEventSink::~CEventSink() {
    for (auto& e : events)
        for (auto& v : e.args) VariantClear(&v);
}

STDMETHODIMP CEventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP CEventSink::Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                UINT*) {
    ReceivedEvent event;
    event.dispid = dispid;
    event.threadId = GetCurrentThreadId();
    for (UINT i = params ? params->cArgs : 0; i > 0; --i) {  // the last argument comes first
        VARIANT copy;
        VariantInit(&copy);
        VariantCopyInd(&copy, &params->rgvarg[i - 1]);
        event.args.push_back(copy);
    }
    events.push_back(event);
    if (onEvent && *onEvent) {
        const ReceivedEvent snapshot = events.back();  // a nested event may grow the list
        (*onEvent)(snapshot);
    }
    return S_OK;
}

}  // namespace host
