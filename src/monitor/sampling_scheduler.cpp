#include "monitor/sampling_scheduler.h"

#include <QTimer>

namespace voltrane {

namespace {

class EventLoopScheduler final : public SamplingScheduler {
public:
    EventLoopScheduler() {
        timer_.setSingleShot(true);
        // Coarse timers let the kernel batch our wake-up with others'.
        timer_.setTimerType(Qt::CoarseTimer);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            auto tick = std::move(tick_);
            tick_ = nullptr;
            if (tick) {
                tick();
            }
        });
    }

    void scheduleAfter(std::chrono::milliseconds delay, std::function<void()> tick) override {
        tick_ = std::move(tick);
        timer_.start(delay);
    }

private:
    QTimer timer_;
    std::function<void()> tick_;
};

} // namespace

std::unique_ptr<SamplingScheduler> makeEventLoopScheduler() {
    return std::make_unique<EventLoopScheduler>();
}

} // namespace voltrane
