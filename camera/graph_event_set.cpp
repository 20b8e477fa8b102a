#include "camera/graph_event_set.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace camera {
namespace {

// An unchanging set: publishing or withdrawing makes a new one, so a reader
// holding the old set reads on undisturbed until it asks again.
class GraphEventSet : public IGraphEvents {
public:
    explicit GraphEventSet(std::vector<std::shared_ptr<IGraphEvents>> queues) : queues_(std::move(queues)) {}

    // The wait is shared among the queues; a pending event on any of them
    // is returned at once.
    bool GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMs) override {
        for (const auto& queue : queues_)
            if (queue->GetEvent(code, param1, param2, 0)) return true;
        const int32_t share = std::max<int32_t>(1, timeoutMs / static_cast<int32_t>(queues_.size()));
        for (const auto& queue : queues_)
            if (queue->GetEvent(code, param1, param2, share)) return true;
        return false;
    }

    const std::vector<std::shared_ptr<IGraphEvents>>& Queues() const { return queues_; }

private:
    std::vector<std::shared_ptr<IGraphEvents>> queues_;
};

std::mutex setLock;
std::shared_ptr<GraphEventSet> currentSet;

std::vector<std::shared_ptr<IGraphEvents>> CurrentQueues() {
    return currentSet ? currentSet->Queues() : std::vector<std::shared_ptr<IGraphEvents>>();
}

void Replace(std::vector<std::shared_ptr<IGraphEvents>> queues) {
    std::shared_ptr<GraphEventSet> last = std::move(currentSet);
    currentSet = queues.empty() ? nullptr : std::make_shared<GraphEventSet>(std::move(queues));
}

}  // namespace

void PublishGraphEvents(const std::shared_ptr<IGraphEvents>& queue) {
    if (!queue) return;
    std::lock_guard<std::mutex> guard(setLock);
    std::vector<std::shared_ptr<IGraphEvents>> queues = CurrentQueues();
    if (std::find(queues.begin(), queues.end(), queue) != queues.end()) return;
    queues.push_back(queue);
    Replace(std::move(queues));
}

void WithdrawGraphEvents(const IGraphEvents* queue) {
    std::lock_guard<std::mutex> guard(setLock);
    std::vector<std::shared_ptr<IGraphEvents>> queues = CurrentQueues();
    queues.erase(std::remove_if(queues.begin(), queues.end(), [queue](const auto& q) { return q.get() == queue; }),
                 queues.end());
    Replace(std::move(queues));
}

}  // namespace camera

std::shared_ptr<IGraphEvents> CurrentGraphEvents() {
    std::lock_guard<std::mutex> guard(camera::setLock);
    return camera::currentSet;
}
