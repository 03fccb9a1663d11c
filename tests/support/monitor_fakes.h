#pragma once

#include "monitor/sampling_scheduler.h"
#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace voltrane::testing {

/// What a monitor built from the fakes below reads, and what it did. The readers hand out
/// `power` front first and keep returning the last one; the scheduler never fires on its own:
/// a test calls `tick()`.
struct FakeSources {
    std::deque<PowerSnapshot> power{PowerSnapshot::unavailable(Date{})};
    ComponentPowerSnapshot components = ComponentPowerSnapshot::unavailable(Date{});
    int powerReads = 0;
    int componentReads = 0;
    std::vector<std::string> order;
    std::vector<std::chrono::milliseconds> delays;
    std::function<void()> pendingTick;

    /// Runs the scheduled tick, if any; returns whether there was one.
    bool tick() {
        auto next = std::exchange(pendingTick, {});
        if (next) {
            next();
        }
        return bool(next);
    }
    PowerSnapshot nextPower() {
        ++powerReads;
        order.emplace_back("power");
        PowerSnapshot next = power.front();
        if (power.size() > 1) {
            power.pop_front();
        }
        return next;
    }
};

struct FakePower final : PowerMetricsProviding {
    explicit FakePower(FakeSources& s) : sources(s) {}
    PowerSnapshot readSnapshot() override { return sources.nextPower(); }
    FakeSources& sources;
};

struct FakeComponents final : ComponentPowerProviding {
    explicit FakeComponents(FakeSources& s) : sources(s) {}
    ComponentPowerSnapshot readSnapshot() override {
        ++sources.componentReads;
        sources.order.emplace_back("components");
        return sources.components;
    }
    FakeSources& sources;
};

struct ManualScheduler final : SamplingScheduler {
    explicit ManualScheduler(FakeSources& s) : sources(s) {}
    void scheduleAfter(std::chrono::milliseconds delay, std::function<void()> tick) override {
        sources.delays.push_back(delay);
        sources.pendingTick = std::move(tick);
    }
    FakeSources& sources;
};

} // namespace voltrane::testing
