// The debugger trace sink: OutputDebugStringA on Windows. Elsewhere the text
// goes to stderr, only when the environment variable TAVRIK_DEBUG_TRACE is set.
#pragma once

namespace platform {

void DebugOutput(const char* text);

}  // namespace platform
