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
#include "com/dshow/filter_base.h"
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

class VirtualCameraFilter final : public com::dshow::FilterBase<IPersistPropertyBag, IAMFilterMiscFlags> {
public:
    VirtualCameraFilter();
    ~VirtualCameraFilter() override;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override;

    // IMediaFilter
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeoutMs, FILTER_STATE* state) override;

    // IBaseFilter
    STDMETHODIMP EnumPins(IEnumPins** pins) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;

    // IPersistPropertyBag
    STDMETHODIMP InitNew() override;
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

    // IAMFilterMiscFlags
    STDMETHODIMP_(ULONG) GetMiscFlags() override;

    // For the pin and the streaming thread.
    Eye CameraEye() const { return eye_; }
    CameraProperties& Properties() { return properties_; }
    const std::string& ControlPath() const { return controlPath_; }
    void NotifyDeviceLost();

private:
    HRESULT PauseLocked();
    void OnJoinGraph(IFilterGraph* graph) override;

    // State changes hold stateLock_ while they start or join the streaming
    // thread, so that thread only ever takes the base's info lock.
    std::mutex stateLock_;
    FILTER_STATE state_ = State_Stopped;
    IMediaEventSink* eventSink_ = nullptr;  // not counted, like the graph; under InfoLock()
    Eye eye_ = Eye::Left;
    std::string controlPath_;
    CameraProperties properties_;
    PropertyInterface<IAMVideoProcAmp, &IID_IAMVideoProcAmp> procAmp_;
    PropertyInterface<IAMCameraControl, &IID_IAMCameraControl> cameraControl_;
    VirtualCameraPin pin_;
};

}  // namespace k7qsim
