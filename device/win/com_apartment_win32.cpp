#include <objbase.h>

#include "device/com_apartment.h"

namespace device_com {
bool InitialiseForThread() { return SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
void UninitialiseForThread() { CoUninitialize(); }
}  // namespace device_com
