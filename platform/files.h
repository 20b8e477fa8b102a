// The few file-system calls the log writer needs.
#pragma once

#include <string>
#include <vector>

namespace platform {

bool PathExists(const std::string& path);           // access mode 0
bool MakeDirectory(const std::string& path);         // one level only
bool RemoveFile(const std::string& path);
bool RenameFile(const std::string& from, const std::string& to);  // rename in place
// Bare names of the entries of a directory, without "." and "..".
std::vector<std::string> ListDirectory(const std::string& directory);
// Size in bytes, or -1 when the file cannot be examined.
long long FileSize(const std::string& path);

}  // namespace platform
