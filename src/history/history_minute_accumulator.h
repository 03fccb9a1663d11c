#pragma once

#include "history/history_row.h"
#include "telemetry/components/component_power_snapshot.h"

#include <array>
#include <chrono>
#include <optional>

namespace voltrane {

/// Sums the published samples of one wall-clock minute into a minute row. Each power reading
/// stands for the time since the one before it, at most `longestReadingSpan`, so a suspend or a
/// stalled loop is not counted as drawn power; the part of that time before a minute boundary
/// belongs to the minute before. A minute with no power reading gives no row. The adapter's input
/// counts only off battery, where the flow diagram takes the adapter as the source.
class HistoryMinuteAccumulator {
public:
    static constexpr std::chrono::seconds longestReadingSpan{5};
    /// What the first reading after none stands for: one sampling period.
    static constexpr std::chrono::seconds firstReadingSpan{1};

    /// Adds one smoothed battery sample taken at `at`; a sample that read nothing is no reading. A sample in
    /// another minute than the open one (later, or earlier after the clock went back) closes the open minute
    /// and gives its row.
    std::optional<HistoryRow> add(const PowerSnapshot& snapshot, Date at);
    /// Adds one component sample; it closes the open minute as a power sample does.
    std::optional<HistoryRow> add(const ComponentPowerSnapshot& components, Date at);
    /// Closes the open minute now (at shutdown); nothing when it holds no power reading.
    std::optional<HistoryRow> flush();

private:
    struct Figure {
        double sum = 0;
        double min = 0;
        double max = 0;
        int count = 0;
        void add(std::optional<double> value);
        std::optional<FigureSummary> summary() const;
    };
    struct Mean {
        double sum = 0;
        int count = 0;
        void add(std::optional<double> value);
        std::optional<double> mean() const;
    };
    static constexpr std::size_t kStates = 5;

    /// Opens the minute of `at` when it is not the open one; gives the closed minute's row.
    std::optional<HistoryRow> enter(Date at);
    void integrate(const PowerSnapshot& snapshot, double seconds);
    void reset(Date minuteStart);

    std::optional<Date> minuteStart_;
    std::optional<Date> lastReadingAt_;
    int samples_ = 0;
    double covered_ = 0;
    double onBattery_ = 0;
    double adapterWh_ = 0;
    double chargedWh_ = 0;
    double dischargedWh_ = 0;
    double systemWh_ = 0;
    std::array<double, kStates> stateSeconds_{};
    std::array<int, kStates> stateCounts_{};
    std::optional<int> charge_;
    Figure headline_, system_, input_, battery_;
    Mean cpu_, gpu_, ane_, dram_, display_, portOutput_;
};

} // namespace voltrane
