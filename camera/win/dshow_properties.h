// The property interface of the camera settings over a capture filter's
// IAMVideoProcAmp and IAMCameraControl.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "camera/camera_settings.h"
#include "com/com_ptr.h"

namespace camera {

class DShowCaptureProperties : public ICaptureProperties {
public:
    // Takes the filter's interfaces once; a filter without one answers null for it.
    explicit DShowCaptureProperties(IBaseFilter* filter);

    IPropertySet* ProcAmp() override { return amp_.Get() ? &ampSet_ : nullptr; }
    IPropertySet* CameraControl() override { return control_.Get() ? &controlSet_ : nullptr; }

private:
    class AmpSet : public IPropertySet {
    public:
        explicit AmpSet(DShowCaptureProperties* owner) : owner_(owner) {}
        bool GetRange(long id, PropertyRange* range) override;
        bool Get(long id, long* value, long* flags) override;
        bool Set(long id, long value, long flags) override;

    private:
        DShowCaptureProperties* owner_;
    };
    class ControlSet : public IPropertySet {
    public:
        explicit ControlSet(DShowCaptureProperties* owner) : owner_(owner) {}
        bool GetRange(long id, PropertyRange* range) override;
        bool Get(long id, long* value, long* flags) override;
        bool Set(long id, long value, long flags) override;

    private:
        DShowCaptureProperties* owner_;
    };

    com::ComPtr<IAMVideoProcAmp> amp_;
    com::ComPtr<IAMCameraControl> control_;
    AmpSet ampSet_{this};
    ControlSet controlSet_{this};
};

}  // namespace camera
