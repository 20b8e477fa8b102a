#include "hid/hid_exchange.h"

#include <hidapi.h>

#include "platform/process_objects.h"

namespace hidproto {
namespace {

// hid_init once per process, hid_exit when the process owner tears down.
// A failed hid_init is not kept: hid_open then finds no device.
class HidLibrary {
public:
    HidLibrary() { hid_init(); }
    ~HidLibrary() { hid_exit(); }
    HidLibrary(const HidLibrary&) = delete;
    HidLibrary& operator=(const HidLibrary&) = delete;
};

class OpenDevice {
public:
    explicit OpenDevice(hid_device* device) : device_(device) {}
    ~OpenDevice() {
        if (device_ != nullptr) hid_close(device_);
    }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;
    hid_device* get() const { return device_; }

private:
    hid_device* device_;
};

}  // namespace

void UseHidLibrary() {
    // A function-local static is built exactly once, even when the first exchanges race.
    static HidLibrary* const library = platform::Process().Adopt(new HidLibrary);
    (void)library;
}

int32_t RunExchange(const Frame& request, int timeoutMs, Reply* reply) {
    UseHidLibrary();
    OpenDevice device(hid_open(kVendorId, kProductId, nullptr));
    if (device.get() == nullptr) return kResultNoDevice;
    if (hid_write(device.get(), request.data(), request.size()) <= 0) return kResultWriteFailed;
    reply->fill(0);
    const int read = hid_read_timeout(device.get(), reply->data(), reply->size(), timeoutMs);
    if (read == 0) return kResultNoAnswer;
    if (read < 0) return kResultReadFailed;
    return kResultOk;
}

}  // namespace hidproto
