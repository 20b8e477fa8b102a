// The occasions of the device's voice prompts as events a page can show: a
// page cannot rely on the device's audio. The feed takes the prompt player's
// place in the device's services and passes each prompt on to the player it
// replaced; pages long-poll it by sequence number.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "device/device_services.h"

namespace service {

struct ProgressEvent {
    uint64_t seq = 0;    // 1, 2, ... for the service's life
    std::string prompt;  // "eye_too_high", "success", ... (PromptName)
};

// The name of a prompt id (203 ... 215); "other" for an unknown one.
const char* PromptName(int32_t id);

// It also takes the warning box's place: the device's one warning says it
// was lost (unplugged), which becomes the event "device_lost" and the state
// a page reads until the device is opened again.
class ProgressFeed : public IPromptPlayer, public IWarningBox {
public:
    // `voice`, `box`: the device's own player and warning box, which still
    // speak to the person at the desk (none natively).
    explicit ProgressFeed(IPromptPlayer* voice = nullptr, IWarningBox* box = nullptr) : voice_(voice), box_(box) {}
    void Play(int32_t id) override;
    void Show(const char* text, const char* caption) override;
    bool DeviceLost();
    void ClearDeviceLost();
    void StopAll() override {
        if (voice_) voice_->StopAll();
    }

    // The kept events after `afterSeq`, waiting up to `waitMs` for one to come.
    std::vector<ProgressEvent> After(uint64_t afterSeq, uint32_t waitMs);

private:
    static constexpr size_t kKept = 64;
    void Add(const char* name);

    IPromptPlayer* voice_;
    IWarningBox* box_;
    bool lost_ = false;
    std::mutex lock_;
    std::condition_variable added_;
    std::deque<ProgressEvent> events_;
    uint64_t last_ = 0;
};

}  // namespace service
