#pragma once

#include "common/date.h"
#include "telemetry/battery/power_snapshot.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace voltrane {

/// Mean, lowest and highest value of one figure over a row's span.
struct FigureSummary {
    double mean = 0;
    double min = 0;
    double max = 0;
    friend bool operator==(const FigureSummary&, const FigureSummary&) = default;
};

/// Minute rows are kept for two weeks, then folded into hour rows.
enum class HistoryResolution { minute, hour };

/// What the machine drew over one minute or one hour. A span without a single reading has no
/// row at all: gaps are missing rows, never zeros.
struct HistoryRow {
    Date start{}; ///< start of the span, aligned to the minute or hour (UTC)
    HistoryResolution resolution = HistoryResolution::minute;
    int sampleCount = 0;         ///< readings that went into the row
    double coveredSeconds = 0;   ///< seconds the readings stand for (at most the span)
    double onBatterySeconds = 0; ///< of those, seconds spent on battery
    std::optional<FigureSummary> headlineWatts;
    std::optional<FigureSummary> systemWatts;
    std::optional<FigureSummary> inputWatts;
    std::optional<FigureSummary> batteryWatts;  ///< + into the battery, − out of it
    double adapterEnergyWh = 0;                 ///< drawn from the adapter
    double batteryChargedWh = 0;                ///< put into the battery
    double batteryDischargedWh = 0;             ///< taken out of the battery
    double systemEnergyWh = 0;                  ///< drawn by the whole system
    std::optional<int> chargePercent;           ///< the last one read in the span
    PowerState state = PowerState::unavailable; ///< the state that held longest
    // Means over the readings that carried each component; absent where never read.
    std::optional<double> cpuWatts;
    std::optional<double> gpuWatts;
    std::optional<double> aneWatts;
    std::optional<double> dramWatts;
    std::optional<double> displayWatts;
    std::optional<double> portOutputWatts;
    friend bool operator==(const HistoryRow&, const HistoryRow&) = default;
};

/// The unit a battery reports its capacities in: Linux packs give energy or charge, Mac
/// tables give charge.
enum class CapacityUnit { milliwattHours, milliampHours };

/// The battery's capacities on one day, as far as it reports them.
struct BatteryHealthRecord {
    Date recordedAt{};
    std::optional<double> fullChargeCapacity; ///< in `unit`
    std::optional<double> designCapacity;     ///< in `unit`
    CapacityUnit unit = CapacityUnit::milliwattHours;
    std::optional<std::int64_t> cycleCount;
    friend bool operator==(const BatteryHealthRecord&, const BatteryHealthRecord&) = default;
};

/// Read access to the recorded history, as the window and the probe need it.
class HistoryReading {
public:
    virtual ~HistoryReading() = default;
    /// Rows starting in [from, to), oldest first: minute rows where they are still kept, hour
    /// rows before that.
    virtual std::vector<HistoryRow> rows(Date from, Date to) = 0;
    /// Health records taken in [from, to), oldest first.
    virtual std::vector<BatteryHealthRecord> health(Date from, Date to) = 0;
};

} // namespace voltrane
