#pragma once

#include "monitor/power_monitor.h"
#include "support/temp_dir.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace voltrane::testing {

/// Holds the pending tick so the test fires it.
class ManualScheduler final : public SamplingScheduler {
public:
    explicit ManualScheduler(std::function<void()>& pending) : pending_(pending) {}
    void scheduleAfter(std::chrono::milliseconds, std::function<void()> tick) override {
        pending_ = std::move(tick);
    }

private:
    std::function<void()>& pending_;
};

/// A laptop on battery as the kernel shows it, in a temporary folder: power_supply/BAT0 and AC,
/// and powercap zones package-0 with its core and dram. A monitor made by `makeMonitor()` reads it through
/// the real readers and ticks only when `tick()` is called; its uptime moves one second per
/// component sample.
class FakeLaptop {
public:
    static constexpr std::int64_t kRange = 262'143'328'850; ///< max_energy_range_uj of every zone
    static constexpr double kBatteryWatts = -12.79376;      ///< what BAT0's power_now decodes to

    FakeLaptop();

    const TempDir& dir() const { return dir_; }
    std::filesystem::path supplies() const { return dir_.path() / "power_supply"; }
    std::filesystem::path battery() const { return supplies() / "BAT0"; }
    std::filesystem::path powercap() const { return dir_.path() / "powercap"; }
    std::filesystem::path coreCounter() const { return powercap() / "intel-rapl:0:0" / "energy_uj"; }

    /// (Re)writes BAT0's attributes, discharging at 12.79 W.
    void writeBattery() const;
    /// Sets the core zone's counter (µJ).
    void setCoreEnergy(std::int64_t microjoules) const;
    /// Rewrites the core zone with a known or unknown range (no max_energy_range_uj file).
    void writeCore(std::int64_t microjoules, bool rangeKnown) const;

    /// The monitor on this tree, with the manual scheduler.
    std::unique_ptr<PowerMonitor> makeMonitor();
    /// The monitor on this tree, ticking by itself on the event loop.
    std::unique_ptr<PowerMonitor> makeEventLoopMonitor();

    /// Fires the pending tick; false when the monitor scheduled none.
    bool tick();
    /// A tick is scheduled: the monitor is still sampling.
    bool isSampling() const { return static_cast<bool>(pending_); }

private:
    std::unique_ptr<PowerMetricsProviding> makeBatteryReader() const;
    std::unique_ptr<ComponentPowerProviding> makeComponentReader();

    TempDir dir_;
    double uptime_ = 1000.0;
    std::function<void()> pending_;
};

/// The process's QCoreApplication, made on first use (network and settings tests need one).
void ensureApplication();

/// Every figure of the snapshot that is present is finite.
bool allFinite(const PowerSnapshot& snapshot);
bool allFinite(const ComponentPowerSnapshot& snapshot);

} // namespace voltrane::testing
