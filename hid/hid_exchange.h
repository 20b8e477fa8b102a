// One exchange with the microcontroller: open by vendor and product id,
// write one report, read one report within the time-out, close on every path.
#pragma once

#include <cstdint>

#include "hid/hid_frame.h"

namespace hidproto {

constexpr int32_t kResultOk = 1;
constexpr int32_t kResultNoDevice = -3001;
constexpr int32_t kResultNoAnswer = -3002;
constexpr int32_t kResultReadFailed = -3003;
constexpr int32_t kResultWriteFailed = -3006;
constexpr int32_t kResultException = -9000;

// The reply as the HID library returns it: offset k is frame byte k+1.
using Reply = Frame;

// Initialises the HID library for as long as the process owner keeps it
// (idempotent). An object that exchanges from its destructor calls this
// before it is made, so that the library is released after it.
void UseHidLibrary();

// Runs one exchange; `reply` is cleared before the read. May throw only what
// the HID library throws; the device is closed either way.
int32_t RunExchange(const Frame& request, int timeoutMs, Reply* reply);

}  // namespace hidproto
