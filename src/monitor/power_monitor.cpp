#include "monitor/power_monitor.h"

#include "monitor/power_smoothing.h"

namespace voltrane {

PowerMonitor::PowerMonitor(std::unique_ptr<PowerMetricsProviding> provider,
                           std::unique_ptr<ComponentPowerProviding> componentProvider,
                           std::unique_ptr<SamplingScheduler> scheduler, Clock clock, QObject* parent)
    : QObject(parent), provider_(std::move(provider)), componentProvider_(std::move(componentProvider)),
      scheduler_(std::move(scheduler)), self_(std::make_shared<PowerMonitor*>(this)) {
    const Date createdAt = clock();
    snapshot_ = PowerSnapshot::unavailable(createdAt);
    componentSnapshot_ = ComponentPowerSnapshot::unavailable(createdAt);
    refresh();
    scheduleNextTick();
}

PowerMonitor::~PowerMonitor() {
    self_.reset();
    scheduler_.reset();
}

std::string PowerMonitor::menuBarTitle() const {
    return voltrane::menuBarTitle(snapshot_);
}

void PowerMonitor::refresh() {
    const PowerSnapshot raw = provider_->readSnapshot();
    snapshot_ = smoothed(raw, snapshot_);
    emit snapshotChanged(snapshot_);
    componentSnapshot_ = componentProvider_->readSnapshot();
    emit componentSnapshotChanged(componentSnapshot_);
}

void PowerMonitor::scheduleNextTick() {
    std::weak_ptr<PowerMonitor*> weak = self_;
    scheduler_->scheduleAfter(samplingPeriod, [weak] {
        if (const auto self = weak.lock()) {
            (*self)->refresh();
            (*self)->scheduleNextTick();
        }
    });
}

} // namespace voltrane
