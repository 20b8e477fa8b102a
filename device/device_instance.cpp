// The process's device object, with the services of the program's build.
#include "device/device_k7q.h"
#include "hid/hid_operate.h"
#include "log/log_writer.h"
#include "platform/process_objects.h"

IDevice* GetDevice(ResultRoutine hostRoutine) {
    // Its destructor logs and sends HID commands: those are taken into use
    // first, so that the process owner destroys the device before them.
    static CDeviceK7Q* const device = [hostRoutine] {
        LogWriter();
        CHidOperate::use_library();
        return platform::Process().Adopt(new CDeviceK7Q(DefaultDeviceServices(hostRoutine)));
    }();
    return device;
}
