// GUIDs for capture ids from CoCreateGuid.
#include <objbase.h>

#include <cstring>

#include "device/record/capture_record.h"

bool NewCaptureGuid(CaptureGuid* guid) {
    GUID g;
    if (FAILED(CoCreateGuid(&g))) return false;
    guid->data1 = g.Data1;
    guid->data2 = g.Data2;
    guid->data3 = g.Data3;
    std::memcpy(guid->data4, g.Data4, sizeof guid->data4);
    return true;
}
