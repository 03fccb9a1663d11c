#pragma once

#include "common/voltrane_palette.h"
#include "flow/sankey_destination.h"
#include "history/history_row.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace voltrane {

/// Rows sorted by start, each row that overlaps the one before it dropped: after the wall
/// clock went back, a span is counted once, never twice.
std::vector<HistoryRow> orderedRows(std::vector<HistoryRow> rows);

/// Ordered rows with every finer row folded into the coarser row of its span: means weighted
/// by the seconds they cover, extremes kept, energies summed, the last charge, the state that
/// held longest. Rows already as coarse pass unchanged.
std::vector<HistoryRow> foldRows(const std::vector<HistoryRow>& rows, HistoryResolution resolution);

/// One band of the stacked areas, in the flow diagram's names and colours, bottom first.
struct ChartLayer {
    SankeyDestination::ID id = SankeyDestination::ID::other;
    const char* title = "";
    PaletteColor tint = PaletteColor::flowOther;
};
inline constexpr std::size_t kChartLayerCount = 7;
/// CPU, GPU, ANE, 内存, 内屏, 接口输出 and the unattributed remainder 其它 on top.
const std::array<ChartLayer, kChartLayerCount>& chartLayers();

/// What one row draws.
struct ChartPoint {
    Date start{};
    Date end{};
    bool breakBefore = false; ///< a gap separates it from the point before
    /// Watts of each layer, ≥ 0, the system's draw split as the flow diagram splits it.
    std::array<double, kChartLayerCount> stack{};
    std::optional<double> sourceWatts; ///< adapter input, or battery output on battery
    bool sourceIsBattery = false;
    std::optional<int> chargePercent;
    friend bool operator==(const ChartPoint&, const ChartPoint&) = default;
};

/// A stretch of rows in one shaded state, with no gap inside.
struct ChartSpan {
    enum class Kind { charging, onBattery };
    Kind kind = Kind::charging;
    Date from{};
    Date to{};
    friend bool operator==(const ChartSpan&, const ChartSpan&) = default;
};

/// Everything the power chart draws, computed once per read.
struct ChartSeries {
    std::vector<HistoryRow> rows;   ///< the rows drawn, ordered and folded
    std::vector<ChartPoint> points; ///< one per row
    std::vector<ChartSpan> spans;
    double maxWatts = 0; ///< highest stack or source line

    /// Rows of `resolution` at most; rows further apart than their own length break the lines.
    static ChartSeries make(std::vector<HistoryRow> rows, HistoryResolution resolution);
};

/// The watts of each layer for one row; all 0 without a system figure or components.
std::array<double, kChartLayerCount> powerStack(const HistoryRow& row);

} // namespace voltrane
