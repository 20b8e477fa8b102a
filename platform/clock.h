// Time primitives: a 32-bit wrapping millisecond tick (GetTickCount's
// semantics), sleeping, and a thread-safe local time breakdown.
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

uint32_t TickCount();
void SleepMs(uint32_t ms);

// Milliseconds from `since` to now on the wrapping tick.
inline uint32_t TicksSince(uint32_t since) { return TickCount() - since; }

// Local calendar time of `when`; false when the OS cannot convert it.
bool LocalTime(std::time_t when, std::tm* out);

}  // namespace platform
