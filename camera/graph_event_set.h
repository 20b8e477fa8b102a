// The graph event queues of the open eye cameras, read as one: each camera
// publishes its queue when it opens and withdraws it when it closes, and the
// device object's graph event thread reads whichever has an event, so that
// losing either camera is seen.
#pragma once

#include <memory>

#include "camera/camera_seam.h"

namespace camera {

// Adds a camera's queue to the current set (once).
void PublishGraphEvents(const std::shared_ptr<IGraphEvents>& queue);
// Removes it again; the set becomes empty (null) with the last one.
void WithdrawGraphEvents(const IGraphEvents* queue);

}  // namespace camera
