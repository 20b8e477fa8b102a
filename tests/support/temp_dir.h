// A fresh directory under the system's temporary directory, removed with its
// contents when the test ends.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/clock.h"

namespace testsupport {

class TempDir {
public:
    explicit TempDir(const std::string& tag = "tavrik") {
        // CTest runs test cases as parallel processes: the tick count and a
        // per-process serial alone can name the same folder twice.
        static const unsigned processTag = std::random_device{}();
        static std::atomic<int> serial{0};
        path_ = std::filesystem::temp_directory_path() /
                (tag + "-" + std::to_string(processTag) + "-" + std::to_string(platform::TickCount()) + "-" +
                 std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

inline std::string ReadBinaryFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBinaryFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Polls `condition` every few milliseconds for at most timeoutMs.
template <typename Condition>
bool WaitFor(Condition condition, uint32_t timeoutMs = 5000) {
    const uint32_t start = platform::TickCount();
    while (!condition()) {
        if (platform::TicksSince(start) > timeoutMs) return false;
        platform::SleepMs(2);
    }
    return true;
}

}  // namespace testsupport
