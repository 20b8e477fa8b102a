// How many requests the service takes: a bucket of `burst` requests that
// refills at `perSecond`. A page's own use (a capture, its long polls of
// progress, a preview stream) stays far below it; a page or program that
// floods the service is answered 429 at once instead of taking workers.
#pragma once

#include <chrono>
#include <mutex>

namespace service {

class RequestBudget {
public:
    using Clock = std::chrono::steady_clock;
    RequestBudget(double perSecond, double burst) : perSecond_(perSecond), burst_(burst), tokens_(burst) {}

    // Takes one request from the budget; false when it is spent.
    bool Take(Clock::time_point now = Clock::now());

private:
    std::mutex lock_;
    const double perSecond_, burst_;
    double tokens_;
    Clock::time_point last_{};
    bool started_ = false;
};

}  // namespace service
