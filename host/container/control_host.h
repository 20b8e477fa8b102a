// A minimal OLE container: a top-level window that embeds one ActiveX
// control in place, calls its dispatch methods and records its events.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace host {

// One event call received from the control.
struct ReceivedEvent {
    DISPID dispid;
    std::vector<VARIANT> args;  // first argument first, owned copies
    DWORD threadId;             // the thread the call arrived on
};

class CSite;
class CEventSink;

class CControlHost {
public:
    CControlHost();
    ~CControlHost();
    CControlHost(const CControlHost&) = delete;
    CControlHost& operator=(const CControlHost&) = delete;

    // Creates the control from a class id or a ProgID and embeds it.
    HRESULT Create(const CLSID& clsid, const IID& eventIid, SIZE size, bool visible);
    HRESULT CreateByProgId(const wchar_t* progId, const IID& eventIid, SIZE size, bool visible);
    // Embeds a control made elsewhere (for example by a class factory).
    HRESULT Embed(IUnknown* control, const IID& eventIid, SIZE size, bool visible);
    // Disconnects, closes and releases the control; the frame window stays.
    void Release();
    // The page URL the site names from the next Embed on, posing as a browser
    // (empty: a desktop container, as by default).
    void PoseAsPage(const std::wstring& url) { pageUrl_ = url; }

    // Calls a method by name or by DISPID with its arguments (first first).
    HRESULT CallByName(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result);
    HRESULT Call(DISPID dispid, std::vector<VARIANT> args, VARIANT* result);
    // Shorthands: a method taking no or one text argument and answering a long.
    long Long(const wchar_t* name);
    long Long(const wchar_t* name, const wchar_t* text);

    HWND Frame() const { return frame_; }
    HWND ControlWindow() const;
    IDispatch* Dispatch() const { return dispatch_; }
    IUnknown* Control() const { return control_; }

    // Called on every event right after it has been recorded (inside the control's call).
    std::function<void(const ReceivedEvent&)> onEvent;
    std::vector<ReceivedEvent>& Events();
    void ClearEvents();

    // Dispatches this thread's messages until done() or the time is up; false on time-out.
    static bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

private:
    HWND frame_ = nullptr;
    CSite* site_ = nullptr;
    CEventSink* sink_ = nullptr;
    IUnknown* control_ = nullptr;
    IDispatch* dispatch_ = nullptr;
    IConnectionPoint* point_ = nullptr;
    DWORD cookie_ = 0;
    std::wstring pageUrl_;
};

// Text of a BSTR variant ("" for other types).
std::wstring VariantText(const VARIANT& value);
// A BSTR variant that the call consumes.
VARIANT TextArg(const wchar_t* text);
VARIANT LongArg(long value);

}  // namespace host
