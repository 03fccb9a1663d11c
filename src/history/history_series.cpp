#include "history/history_series.h"

#include "common/power_thresholds.h"
#include "flow/system_energy_allocation.h"
#include "history/history_fold.h"
#include "history/history_range.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;

std::optional<double> usable(std::optional<double> watts, double above = -1) {
    if (watts && std::isfinite(*watts) && *watts >= 0 && *watts > above) {
        return watts;
    }
    return std::nullopt;
}

} // namespace

std::vector<HistoryRow> orderedRows(std::vector<HistoryRow> rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const HistoryRow& a, const HistoryRow& b) { return a.start < b.start; });
    std::vector<HistoryRow> kept;
    kept.reserve(rows.size());
    for (const HistoryRow& row : rows) {
        if (!kept.empty() && row.start < kept.back().start + rowLength(kept.back().resolution)) {
            continue;
        }
        kept.push_back(row);
    }
    return kept;
}

std::vector<HistoryRow> foldRows(const std::vector<HistoryRow>& rows, HistoryResolution resolution) {
    std::vector<HistoryRow> ordered = orderedRows(rows);
    if (resolution == HistoryResolution::minute) {
        return ordered;
    }
    std::vector<HistoryRow> minutes;
    std::vector<HistoryRow> out;
    for (const HistoryRow& row : ordered) {
        (row.resolution == HistoryResolution::minute ? minutes : out).push_back(row);
    }
    const std::vector<HistoryRow> hours = foldIntoHours(std::move(minutes));
    out.insert(out.end(), hours.begin(), hours.end());
    // A folded hour may begin before a coarse row that ends inside it; keep the first.
    return orderedRows(std::move(out));
}

const std::array<ChartLayer, kChartLayerCount>& chartLayers() {
    static const std::array<ChartLayer, kChartLayerCount> layers{{
        {ID::cpu, "CPU", PaletteColor::flowCPU},
        {ID::gpu, "GPU", PaletteColor::flowGPU},
        {ID::ane, "ANE", PaletteColor::flowANE},
        {ID::memory, "内存", PaletteColor::flowMemory},
        {ID::display, "内屏", PaletteColor::flowDisplay},
        {ID::ports, "接口输出", PaletteColor::flowPorts},
        {ID::other, "其它", PaletteColor::flowOther},
    }};
    return layers;
}

std::array<double, kChartLayerCount> powerStack(const HistoryRow& row) {
    const std::vector<std::optional<double>> parts{usable(row.cpuWatts),
                                                   usable(row.gpuWatts),
                                                   usable(row.aneWatts),
                                                   usable(row.dramWatts),
                                                   usable(row.displayWatts, kRealReadingWatts),
                                                   usable(row.portOutputWatts)};
    std::optional<double> system;
    if (row.systemWatts && std::isfinite(row.systemWatts->mean)) {
        system = row.systemWatts->mean;
    }
    const SystemEnergyAllocation allocation = SystemEnergyAllocation::make(system, parts);
    std::array<double, kChartLayerCount> stack{};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        stack[i] = parts[i].value_or(0);
    }
    stack[kChartLayerCount - 1] = allocation.unattributedWatts.value_or(0);
    return stack;
}

ChartSeries ChartSeries::make(std::vector<HistoryRow> rows, HistoryResolution resolution) {
    ChartSeries series;
    series.rows = foldRows(rows, resolution);
    series.points.reserve(series.rows.size());
    for (const HistoryRow& row : series.rows) {
        ChartPoint point;
        point.start = row.start;
        point.end = row.start + rowLength(row.resolution);
        point.breakBefore = series.points.empty() || row.start > series.points.back().end;
        point.stack = powerStack(row);
        point.sourceIsBattery = row.state == PowerState::onBattery;
        if (point.sourceIsBattery) {
            if (row.batteryWatts && std::isfinite(row.batteryWatts->mean)) {
                point.sourceWatts = std::max(0.0, -row.batteryWatts->mean);
            } else if (row.systemWatts && std::isfinite(row.systemWatts->mean)) {
                point.sourceWatts = std::fabs(row.systemWatts->mean);
            }
        } else if (row.inputWatts && std::isfinite(row.inputWatts->mean)) {
            point.sourceWatts = std::fabs(row.inputWatts->mean);
        }
        if (row.chargePercent) {
            point.chargePercent = std::clamp(*row.chargePercent, 0, 100);
        }
        double total = 0;
        for (const double watts : point.stack) {
            total += watts;
        }
        series.maxWatts = std::max({series.maxWatts, total, point.sourceWatts.value_or(0)});

        std::optional<ChartSpan::Kind> kind;
        if (row.state == PowerState::charging) {
            kind = ChartSpan::Kind::charging;
        } else if (row.state == PowerState::onBattery) {
            kind = ChartSpan::Kind::onBattery;
        }
        if (kind) {
            if (!point.breakBefore && !series.spans.empty() && series.spans.back().kind == *kind &&
                series.spans.back().to == point.start) {
                series.spans.back().to = point.end;
            } else {
                series.spans.push_back({*kind, point.start, point.end});
            }
        }
        series.points.push_back(point);
    }
    return series;
}

} // namespace voltrane
