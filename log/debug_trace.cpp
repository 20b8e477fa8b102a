#include <cstdarg>
#include <cstdio>

#include "log/log_writer.h"
#include "platform/debug_output.h"

void DebugTrace(const char* format, ...) {
    char text[16380] = {};  // at most 16,379 characters reach the debugger
    va_list args;
    va_start(args, format);
    if (format) std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    platform::DebugOutput(text);
}
