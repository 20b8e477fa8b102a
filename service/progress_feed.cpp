#include "service/progress_feed.h"

#include <chrono>

#include "device/prompts.h"

namespace service {

const char* PromptName(int32_t id) {
    switch (id) {
    case kPromptDistanceOrLight: return "distance_or_light";
    case kPromptEyeTooHigh: return "eye_too_high";
    case kPromptTimeout: return "timeout";
    case kPromptSuccess: return "success";
    case kPromptOpenEye: return "open_eye";
    case kPromptPosition: return "position";
    case kPromptLids: return "lids";
    case kPromptNoIris: return "no_iris";
    case kPromptEyeTooLow: return "eye_too_low";
    default: return "other";
    }
}

void ProgressFeed::Add(const char* name) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(ProgressEvent{++last_, name});
        if (events_.size() > kKept) events_.pop_front();
    }
    added_.notify_all();
}

void ProgressFeed::Play(int32_t id) {
    Add(PromptName(id));
    if (voice_) voice_->Play(id);
}

void ProgressFeed::Show(const char* text, const char* caption) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        lost_ = true;
    }
    Add("device_lost");
    if (box_) box_->Show(text, caption);  // modal on Windows: after the page has been told
}

bool ProgressFeed::DeviceLost() {
    std::lock_guard<std::mutex> guard(lock_);
    return lost_;
}

void ProgressFeed::ClearDeviceLost() {
    std::lock_guard<std::mutex> guard(lock_);
    lost_ = false;
}

std::vector<ProgressEvent> ProgressFeed::After(uint64_t afterSeq, uint32_t waitMs) {
    std::unique_lock<std::mutex> guard(lock_);
    added_.wait_for(guard, std::chrono::milliseconds(waitMs), [&] { return last_ > afterSeq; });
    std::vector<ProgressEvent> out;
    for (const ProgressEvent& e : events_)
        if (e.seq > afterSeq) out.push_back(e);
    return out;
}

}  // namespace service
