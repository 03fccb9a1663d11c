#pragma once

#include "monitor/sampling_scheduler.h"
#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

namespace voltrane {

/// Owns the two readers, samples at creation and then once a second (one second after each
/// refresh ends, no catch-up), smooths each battery sample against the last one and publishes
/// both samples. Every refresh announces both fields, snapshot first, even when unchanged.
class PowerMonitor : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<Date()>;

    PowerMonitor(
        std::unique_ptr<PowerMetricsProviding> provider,
        std::unique_ptr<ComponentPowerProviding> componentProvider,
        std::unique_ptr<SamplingScheduler> scheduler = makeEventLoopScheduler(),
        Clock clock = [] { return std::chrono::system_clock::now(); }, QObject* parent = nullptr);
    ~PowerMonitor() override;

    PowerMonitor(const PowerMonitor&) = delete;
    PowerMonitor& operator=(const PowerMonitor&) = delete;

    const PowerSnapshot& snapshot() const { return snapshot_; }
    const ComponentPowerSnapshot& componentSnapshot() const { return componentSnapshot_; }
    std::string menuBarTitle() const;

    static constexpr std::chrono::milliseconds samplingPeriod{1000};

public slots:
    /// Takes one sample now and publishes it.
    void refresh();

signals:
    void snapshotChanged(const voltrane::PowerSnapshot& snapshot);
    void componentSnapshotChanged(const voltrane::ComponentPowerSnapshot& snapshot);

private:
    void scheduleNextTick();

    PowerSnapshot snapshot_;
    ComponentPowerSnapshot componentSnapshot_;
    std::unique_ptr<PowerMetricsProviding> provider_;
    std::unique_ptr<ComponentPowerProviding> componentProvider_;
    std::unique_ptr<SamplingScheduler> scheduler_;
    // The loop holds only a weak reference: a tick that outlives the monitor does nothing.
    std::shared_ptr<PowerMonitor*> self_;
};

} // namespace voltrane
