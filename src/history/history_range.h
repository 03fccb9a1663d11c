#pragma once

#include "common/date.h"
#include "history/history_row.h"

#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace voltrane {

/// The spans the history window offers, shortest first.
enum class HistoryRange { hour, day, week, month, year };

/// How one range reads and labels its time axis.
struct HistoryRangeSpec {
    HistoryRange range = HistoryRange::day;
    const char* label = "";             ///< "1 小时", "24 小时", …
    std::chrono::seconds duration{0};   ///< how far back from now
    HistoryResolution resolution{};     ///< the rows the chart draws (finer rows are folded)
    std::chrono::minutes tickSpacing{}; ///< between axis ticks; 0 for one tick a month
};

/// The five ranges in display order.
const std::array<HistoryRangeSpec, 5>& historyRanges();
const HistoryRangeSpec& rangeSpec(HistoryRange range);

/// The length of one row of `resolution`.
std::chrono::seconds rowLength(HistoryResolution resolution);

/// One labelled tick of the time axis.
struct AxisTick {
    Date at{};
    std::string label;
    friend bool operator==(const AxisTick&, const AxisTick&) = default;
};

/// The ticks of `range` within [from, to], on the local clock `utcOffset` ahead of UTC:
/// "14:30" for the hour and day, "12月8日" for the week and month, "3月" for the year (with
/// the year, "2026年1月", on January).
std::vector<AxisTick> timeTicks(HistoryRange range, Date from, Date to, std::chrono::seconds utcOffset);

/// A watt axis from 0 to `top` in steps of `step`, both round numbers, `top` ≥ `maxWatts`.
struct WattAxis {
    double top = 0;
    double step = 0;
    friend bool operator==(const WattAxis&, const WattAxis&) = default;
};
/// At most five steps; a non-finite or tiny maximum gives 0…5 W.
WattAxis wattAxis(double maxWatts);

} // namespace voltrane
