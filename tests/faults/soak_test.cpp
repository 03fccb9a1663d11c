// A day of ticks (86 400) through the monitor, the flow model, the stable layout and the
// metrics, with sources that wander at random from a fixed seed: states switch, rows appear and
// vanish, a figure is NaN or infinite now and then. The geometry stays finite and the heap stays
// flat. This binary counts every operator new/delete, so the check is on bytes, never on time.
#include "fake_laptop.h"
#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"
#include "monitor/power_monitor.h"
#include "support/counting_allocator.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <malloc.h>
#include <new>

namespace voltrane {
namespace {

/// SplitMix64: the same walk on every machine and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    /// In [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double probability) { return unit() < probability; }
    /// A step of at most `size` either way, kept within [low, high].
    double walk(double value, double size, double low, double high) {
        return std::clamp(value + (unit() * 2 - 1) * size, low, high);
    }

private:
    std::uint64_t state_;
};

/// Now and then a figure no sensor should give.
double spoiled(Random& random, double value) {
    if (random.chance(0.002)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (random.chance(0.001)) {
        return random.chance(0.5) ? std::numeric_limits<double>::infinity() : -1e300;
    }
    return value;
}

/// A battery whose registry table wanders: adapter in and out, charging, full, the battery
/// gone for a while, ports delivering or not. Decoded by the real decoder.
class WanderingBattery final : public PowerMetricsProviding {
public:
    explicit WanderingBattery(Random& random) : random_(random) {}

    PowerSnapshot readSnapshot() override {
        const Date now{std::chrono::seconds(1'800'000'000 + ++tick_)};
        if (random_.chance(0.003)) {
            present_ = !present_;
        }
        if (random_.chance(0.004)) {
            external_ = !external_;
        }
        if (!present_) {
            return PowerSnapshot::unavailable(now);
        }
        system_ = random_.walk(system_, 1.5, 0, 90);
        battery_ = random_.walk(battery_, 2.0, -60, 60);
        volts_ = random_.walk(volts_, 0.05, 10.5, 13.2);
        charge_ = random_.walk(charge_, 0.3, 0, 100);
        port_ = random_.walk(port_, 0.8, -1, 15);
        if (random_.chance(0.01)) {
            ports_ = static_cast<int>(random_.next() % 4);
        }

        PropertyTable telemetry{{"SystemLoad", spoiled(random_, system_ * 1000)},
                                {"BatteryPower", spoiled(random_, battery_ * 1000)}};
        if (external_ && random_.chance(0.5)) {
            telemetry.insert_or_assign("SystemPowerIn",
                                       spoiled(random_, (system_ + std::max(0.0, battery_)) * 1000));
        }
        PropertyList ports;
        for (int port = 0; port < ports_; ++port) {
            ports.emplace_back(PropertyTable{{"FilteredPower", spoiled(random_, port_ * 1000 / (port + 1))}});
        }
        PropertyTable table{{"Voltage", spoiled(random_, volts_ * 1000)},
                            {"InstantAmperage", spoiled(random_, battery_ / volts_ * 1000)},
                            {"ExternalConnected", external_},
                            {"IsCharging", external_ && battery_ > 0.5},
                            {"FullyCharged", external_ && charge_ > 99},
                            {"CurrentCapacity", spoiled(random_, charge_)},
                            {"MaxCapacity", 100},
                            {"TimeRemaining", spoiled(random_, charge_ * 6)},
                            {"Temperature", spoiled(random_, 3031.5)},
                            {"PowerTelemetryData", std::move(telemetry)},
                            {"AdapterDetails", PropertyTable{{"Watts", external_ ? 96 : 0}}}};
        if (ports_ > 0) {
            table.insert_or_assign("PowerOutDetails", std::move(ports));
        }
        return IOKitPowerMetricsProvider::snapshot(table, now);
    }

private:
    Random& random_;
    std::int64_t tick_ = 0;
    bool present_ = true;
    bool external_ = false;
    double system_ = 12, battery_ = -12, volts_ = 12.1, charge_ = 70, port_ = 0;
    int ports_ = 0;
};

/// Component counters that come and go one by one, and now and then cannot be read at all.
class WanderingComponents final : public ComponentPowerProviding {
public:
    explicit WanderingComponents(Random& random) : random_(random) {}

    ComponentPowerSnapshot readSnapshot() override {
        const Date now{std::chrono::seconds(1'800'000'000 + ++tick_)};
        if (random_.chance(0.003)) {
            return ComponentPowerSnapshot::unavailable(now);
        }
        ComponentPowerSnapshot snapshot = ComponentPowerSnapshot::waiting(now);
        snapshot.sampleInterval = 1.0;
        std::optional<double>* fields[] = {&snapshot.cpuWatts, &snapshot.gpuWatts, &snapshot.aneWatts,
                                           &snapshot.dramWatts, &snapshot.displayWatts};
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            if (random_.chance(0.005)) {
                present_[i] = !present_[i];
            }
            watts_[i] = random_.walk(watts_[i], 0.6, -0.5, 35);
            if (present_[i]) {
                *fields[i] = spoiled(random_, watts_[i]);
            }
        }
        return snapshot;
    }

private:
    Random& random_;
    std::int64_t tick_ = 0;
    bool present_[5] = {true, true, false, true, true};
    double watts_[5] = {6, 2, 0.1, 0.8, 2.5};
};

bool finite(const std::vector<double>& values) {
    return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
}

TEST(SoakTest, ADayOfWanderingSourcesKeepsTheGeometryFiniteAndTheHeapFlat) {
    constexpr int kTicks = 86'400;
    constexpr int kWarmUp = 1'000;
    Random random(20'261'206);
    std::function<void()> pending;
    PowerMonitor monitor(std::make_unique<WanderingBattery>(random),
                         std::make_unique<WanderingComponents>(random),
                         std::make_unique<testing::ManualScheduler>(pending),
                         [] { return Date{std::chrono::seconds(1'800'000'000)}; });
    SankeyStableLayout held;
    const SankeyMetrics::Size canvas{540, 291};

    int announced = 0;
    QObject::connect(&monitor, &PowerMonitor::snapshotChanged, &monitor,
                     [&](const PowerSnapshot&) { ++announced; });

    std::int64_t liveAfterWarmUp = 0;
    std::int64_t highestFirstHalf = 0;
    std::int64_t highestSecondHalf = 0;
    int adoptions = 0;
    int brokenTicks = 0;
    std::size_t mostRows = 0;
    std::size_t fewestRows = 8;
    std::array<int, 5> statesSeen{};
    for (int tick = 1; tick <= kTicks; ++tick) {
        ASSERT_TRUE(pending) << "the monitor stopped sampling at tick " << tick;
        std::exchange(pending, nullptr)();

        const SankeyFlowModel model(monitor.snapshot(), monitor.componentSnapshot());
        const SankeyStableLayout candidate(model);
        if (held.shouldAdopt(candidate)) {
            held = candidate;
            ++adoptions;
        }
        const std::vector<SankeyDestination> rows = held.ordered(model.destinations);
        const SankeyMetrics metrics(canvas, rows, held.layoutWatts(rows), model.sourceWatts);
        const std::string summary = model.accessibilitySummary();
        const std::string title = monitor.menuBarTitle();

        const bool sound = metrics.rowCount == static_cast<int>(rows.size()) &&
                           metrics.bandWidths.size() == rows.size() &&
                           metrics.rowCenters.size() == rows.size() && finite(metrics.bandWidths) &&
                           finite(metrics.rowHeights) && finite(metrics.rowCenters) &&
                           std::isfinite(metrics.sourceHeight) && !summary.empty() && !title.empty() &&
                           title.find("nan") == std::string::npos && title.find("inf") == std::string::npos;
        if (!sound) {
            ADD_FAILURE() << "tick " << tick << ": " << rows.size() << " rows, title " << title;
            if (++brokenTicks > 5) {
                return;
            }
        }
        mostRows = std::max(mostRows, rows.size());
        fewestRows = std::min(fewestRows, rows.size());
        ++statesSeen[static_cast<std::size_t>(monitor.snapshot().state)];

        const std::int64_t live = testing::liveHeapBytes();
        if (tick == kWarmUp) {
            liveAfterWarmUp = live;
        }
        if (tick > kWarmUp) {
            std::int64_t& highest = tick <= kTicks / 2 ? highestFirstHalf : highestSecondHalf;
            highest = std::max(highest, live);
        }
    }

    EXPECT_EQ(announced, kTicks); // every tick announces, whatever it read
    // The walk really went everywhere: every state, empty and full diagrams, many re-layouts.
    for (const int seen : statesSeen) {
        EXPECT_GT(seen, 100);
    }
    EXPECT_EQ(fewestRows, 0u);
    EXPECT_GE(mostRows, 7u);
    EXPECT_GT(adoptions, 1000);

    // A leak of one small block a tick would add well over a megabyte over the day. What may
    // vary is the capacity of a few small vectors held between ticks.
    const std::int64_t live = testing::liveHeapBytes();
    EXPECT_LE(live - liveAfterWarmUp, 1024) << "the heap grew over the day";
    EXPECT_LE(highestSecondHalf - highestFirstHalf, 1024) << "the heap's high-water mark crept up";
}

} // namespace
} // namespace voltrane
