// Directories the control works in.
#pragma once

#include <string>

namespace platform {

// Directory of the host process's executable, with its trailing separator.
std::string HostDirectory();

// The user's temporary directory, with its trailing separator.
std::string TempDirectory();

// The separator the system writes after a directory ("\\" or "/").
char PathSeparator();

}  // namespace platform
