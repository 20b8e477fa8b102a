// Per-thread COM initialisation around the device object's camera work
// (the camera graphs are COM objects on Windows; nothing elsewhere).
#pragma once

namespace device_com {
// True when this call initialised COM for the calling thread (to be undone).
bool InitialiseForThread();
void UninitialiseForThread();
}  // namespace device_com
