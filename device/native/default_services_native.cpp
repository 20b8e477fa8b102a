// The device object's services in a native program that asks for the
// process's device (GetDevice) without choosing any: no eye camera can be
// opened, prompts and warnings are recorded.
#include "device/device_services.h"
#include "device/testing/recorders.h"

DeviceServices DefaultDeviceServices(ResultRoutine hostRoutine) {
    // Never destroyed: the process's device object outlives the statics.
    static CPromptRecorder& prompts = *new CPromptRecorder;
    static CWarningRecorder& warning = *new CWarningRecorder;
    DeviceServices s;
    s.locator = &BuiltInEyeLocator();
    s.prompts = &prompts;
    s.warning = &warning;
    s.resultRoutine = hostRoutine;
    return s;
}
