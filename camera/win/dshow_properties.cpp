#include "camera/win/dshow_properties.h"

namespace camera {

DShowCaptureProperties::DShowCaptureProperties(IBaseFilter* filter) {
    if (!filter) return;
    filter->QueryInterface(IID_IAMVideoProcAmp, amp_.OutVoid());
    filter->QueryInterface(IID_IAMCameraControl, control_.OutVoid());
}

bool DShowCaptureProperties::AmpSet::GetRange(long id, PropertyRange* r) {
    return SUCCEEDED(owner_->amp_->GetRange(id, &r->minimum, &r->maximum, &r->step, &r->defaultValue, &r->caps));
}
bool DShowCaptureProperties::AmpSet::Get(long id, long* value, long* flags) {
    return SUCCEEDED(owner_->amp_->Get(id, value, flags));
}
bool DShowCaptureProperties::AmpSet::Set(long id, long value, long flags) {
    return SUCCEEDED(owner_->amp_->Set(id, value, flags));
}

bool DShowCaptureProperties::ControlSet::GetRange(long id, PropertyRange* r) {
    return SUCCEEDED(
        owner_->control_->GetRange(id, &r->minimum, &r->maximum, &r->step, &r->defaultValue, &r->caps));
}
bool DShowCaptureProperties::ControlSet::Get(long id, long* value, long* flags) {
    return SUCCEEDED(owner_->control_->Get(id, value, flags));
}
bool DShowCaptureProperties::ControlSet::Set(long id, long value, long flags) {
    return SUCCEEDED(owner_->control_->Set(id, value, flags));
}

}  // namespace camera
