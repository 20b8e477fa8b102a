// The hidapi functions the HID channel calls, answered by the virtual
// microcontroller. Linked in place of the real hidapi library.
#include <hidapi.h>

#include "sim/mcu/mcu_device.h"

using vmcu::McuDevice;

int HID_API_EXPORT HID_API_CALL hid_init(void) { return McuDevice::Instance().Init(); }

int HID_API_EXPORT HID_API_CALL hid_exit(void) { return McuDevice::Instance().Exit(); }

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id, unsigned short product_id,
                                                 const wchar_t* /*serial_number*/) {
    return McuDevice::Instance().Open(vendor_id, product_id);
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) { McuDevice::Instance().Close(dev); }

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data, size_t length) {
    return McuDevice::Instance().Write(dev, data, length);
}

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data, size_t length,
                                                 int milliseconds) {
    return McuDevice::Instance().Read(dev, data, length, milliseconds);
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* /*dev*/) {
    return L"virtual K7Q microcontroller";
}
