#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace voltrane {

/// Runs one callback after a delay measured on a monotonic clock. Scheduling again replaces
/// the pending callback; destroying the scheduler drops it.
class SamplingScheduler {
public:
    virtual ~SamplingScheduler() = default;
    virtual void scheduleAfter(std::chrono::milliseconds delay, std::function<void()> tick) = 0;
};

/// The event-loop scheduler (a single-shot QTimer, which runs on the monotonic clock).
std::unique_ptr<SamplingScheduler> makeEventLoopScheduler();

} // namespace voltrane
