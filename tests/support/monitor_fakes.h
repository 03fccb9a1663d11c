#pragma once

#include "monitor/sampling_scheduler.h"
#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
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
        if (!next) {
            return false;
        }
        next();
        return true;
    }
};

class FakePower final : public PowerMetricsProviding {
public:
    explicit FakePower(FakeSources& sources) : sources_(sources) {}
    PowerSnapshot readSnapshot() override {
        ++sources_.powerReads;
        sources_.order.emplace_back("power");
        PowerSnapshot next = sources_.power.front();
        if (sources_.power.size() > 1) {
            sources_.power.pop_front();
        }
        return next;
    }

private:
    FakeSources& sources_;
};

class FakeComponents final : public ComponentPowerProviding {
public:
    explicit FakeComponents(FakeSources& sources) : sources_(sources) {}
    ComponentPowerSnapshot readSnapshot() override {
        ++sources_.componentReads;
        sources_.order.emplace_back("components");
        return sources_.components;
    }

private:
    FakeSources& sources_;
};

class ManualScheduler final : public SamplingScheduler {
public:
    explicit ManualScheduler(FakeSources& sources) : sources_(sources) {}
    void scheduleAfter(std::chrono::milliseconds delay, std::function<void()> tick) override {
        sources_.delays.push_back(delay);
        sources_.pendingTick = std::move(tick);
    }

private:
    FakeSources& sources_;
};

} // namespace voltrane::testing
