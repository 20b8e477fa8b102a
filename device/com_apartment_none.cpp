#include "device/com_apartment.h"

namespace device_com {
bool InitialiseForThread() { return false; }
void UninitialiseForThread() {}
}  // namespace device_com
