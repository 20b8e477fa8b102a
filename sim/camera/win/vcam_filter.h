// The virtual eye camera as a DirectShow source filter. One class serves both
// eyes: the system device enumerator loads the filter's property bag, whose
// "DevicePath" tells it which camera it is.
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "sim/camera/camera_faults.h"
#include "sim/camera/camera_properties.h"
#include "sim/camera/win/vcam_pin.h"

namespace k7qsim {

// {7A3C5E21-4B8D-4F6A-9C1E-2D5B7F8A0C31}
extern const CLSID CLSID_K7QVirtualCamera;

// IAMVideoProcAmp and IAMCameraControl have the same methods, so each is a
// small member object over its property table, counted with its filter.
template <class Interface, const IID* kIid>
class PropertyInterface : public Interface {
public:
    PropertyInterface(IUnknown* outer, PropertyTable* table) : outer_(outer), table_(table) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** out) override { return outer_->QueryInterface(riid, out); }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }
    STDMETHODIMP GetRange(long property, long* minimum, long* maximum, long* step, long* defaultValue,
                          long* caps) override;
    STDMETHODIMP Set(long property, long value, long flags) override;
    STDMETHODIMP Get(long property, long* value, long* flags) override;

private:
    IUnknown* outer_;
    PropertyTable* table_;
};

class VirtualCameraFilter final : public IBaseFilter, public IPersistPropertyBag, public IAMFilterMiscFlags {
public:
    VirtualCameraFilter();
    ~VirtualCameraFilter();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist (through IBaseFilter and IPersistPropertyBag)
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    // For the pin and the streaming thread.
    Eye CameraEye() const { return eye_; }
    CameraProperties& Properties() { return properties_; }
    IReferenceClock* TakeClock();  // counted reference, or null
    const std::string& ControlPath() const { return controlPath_; }
    void NotifyDeviceLost();

private:
    HRESULT PauseLocked();

    LONG refs_ = 1;
    // State changes hold stateLock_ while they start or join the streaming
    // thread, so that thread only ever takes lock_ (clock, graph, name).
    std::mutex stateLock_;
    std::mutex lock_;
    FILTER_STATE state_ = State_Stopped;
    IReferenceClock* clock_ = nullptr;
    IFilterGraph* graph_ = nullptr;         // not counted: the graph owns the filter
    IMediaEventSink* eventSink_ = nullptr;  // not counted, likewise
    WCHAR name_[MAX_FILTER_NAME] = {};
    Eye eye_ = Eye::Left;
    std::string controlPath_;
    CameraProperties properties_;
    PropertyInterface<IAMVideoProcAmp, &IID_IAMVideoProcAmp> procAmp_;
    PropertyInterface<IAMCameraControl, &IID_IAMCameraControl> cameraControl_;
    VirtualCameraPin pin_;
};

// Objects alive in the module, for DllCanUnloadNow.
extern std::atomic<long> g_moduleObjects;

}  // namespace k7qsim
