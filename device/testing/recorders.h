// The native prompt player and warning box: they record what the device
// object asked for, so tests and tools can see it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_services.h"

class CPromptRecorder : public IPromptPlayer {
public:
    void Play(int32_t id) override;
    void StopAll() override;
    std::vector<int32_t> Played();
    int StopCount();
    void Clear();

private:
    std::mutex lock_;
    std::vector<int32_t> played_;
    int stops_ = 0;
};

// Records each warning; while held, Show blocks until Release (as a modal
// box does until the user closes it).
class CWarningRecorder : public IWarningBox {
public:
    void Show(const char* text, const char* caption) override;
    void Hold();
    void Release();
    // Waits up to timeoutMs for the count of warnings to reach n.
    bool WaitForCount(size_t n, int timeoutMs);
    std::vector<std::pair<std::string, std::string>> Shown();

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::pair<std::string, std::string>> shown_;
    bool held_ = false;
};
