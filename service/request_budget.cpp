#include "service/request_budget.h"

#include <algorithm>

namespace service {

bool RequestBudget::Take(Clock::time_point now) {
    std::lock_guard<std::mutex> guard(lock_);
    if (started_ && now > last_) {
        const double seconds = std::chrono::duration<double>(now - last_).count();
        tokens_ = std::min(burst_, tokens_ + seconds * perSecond_);
    }
    if (!started_ || now > last_) last_ = now;
    started_ = true;
    if (tokens_ < 1) return false;
    tokens_ -= 1;
    return true;
}

}  // namespace service
