#include "device/testing/recorders.h"

#include <chrono>

void CPromptRecorder::Play(int32_t id) {
    std::lock_guard<std::mutex> lock(lock_);
    played_.push_back(id);
}

void CPromptRecorder::StopAll() {
    std::lock_guard<std::mutex> lock(lock_);
    ++stops_;
}

std::vector<int32_t> CPromptRecorder::Played() {
    std::lock_guard<std::mutex> lock(lock_);
    return played_;
}

int CPromptRecorder::StopCount() {
    std::lock_guard<std::mutex> lock(lock_);
    return stops_;
}

void CPromptRecorder::Clear() {
    std::lock_guard<std::mutex> lock(lock_);
    played_.clear();
}

void CWarningRecorder::Show(const char* text, const char* caption) {
    std::unique_lock<std::mutex> lock(lock_);
    shown_.emplace_back(text, caption);
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
}

void CWarningRecorder::Hold() {
    std::lock_guard<std::mutex> lock(lock_);
    held_ = true;
}

void CWarningRecorder::Release() {
    std::lock_guard<std::mutex> lock(lock_);
    held_ = false;
    changed_.notify_all();
}

bool CWarningRecorder::WaitForCount(size_t n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return shown_.size() >= n; });
}

std::vector<std::pair<std::string, std::string>> CWarningRecorder::Shown() {
    std::lock_guard<std::mutex> lock(lock_);
    return shown_;
}
