// Clock, debug output and directories on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace platform {

uint32_t TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void SleepMs(uint32_t ms) {
    timespec wait{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

bool LocalTime(std::time_t when, std::tm* out) { return localtime_r(&when, out) != nullptr; }

void DebugOutput(const char* text) {
    if (text && std::getenv("TAVRIK_DEBUG_TRACE")) std::fputs(text, stderr);
}

std::string HostDirectory() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "./";
    std::string full(path, static_cast<size_t>(n));
    return full.substr(0, full.find_last_of('/') + 1);
}

std::string TempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string result = (dir && *dir) ? dir : "/tmp";
    if (result.back() != '/') result += '/';
    return result;
}

char PathSeparator() { return '/'; }

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

std::vector<std::string> ListDirectory(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = opendir(directory.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

long long FileSize(const std::string& path) {
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) return -1;
    return static_cast<long long>(info.st_size);
}

}  // namespace platform
