#include "history/history_series.h"

#include "common/power_thresholds.h"
#include "flow/system_energy_allocation.h"
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

double finiteOr0(double value) {
    return std::isfinite(value) ? value : 0;
}

/// Accumulates one figure over several rows, weighting each mean by the seconds it covers.
struct MeanFold {
    double weighted = 0;
    double weight = 0;
    double min = 0;
    double max = 0;
    bool any = false;

    void add(const std::optional<FigureSummary>& figure, double seconds) {
        if (figure) {
            add(figure->mean, seconds, figure->min, figure->max);
        }
    }
    void add(std::optional<double> value, double seconds) {
        if (value) {
            add(*value, seconds, *value, *value);
        }
    }
    void add(double mean, double seconds, double low, double high) {
        if (!std::isfinite(mean)) {
            return;
        }
        // A row that covers no time still counts, lightly, so a fold of such rows has a mean.
        const double w = std::max(seconds, 1e-6);
        weighted += mean * w;
        weight += w;
        min = any ? std::min(min, low) : low;
        max = any ? std::max(max, high) : high;
        any = true;
    }
    std::optional<FigureSummary> summary() const {
        return any ? std::optional(FigureSummary{weighted / weight, min, max}) : std::nullopt;
    }
    std::optional<double> mean() const { return any ? std::optional(weighted / weight) : std::nullopt; }
};

HistoryRow fold(const std::vector<const HistoryRow*>& rows, Date start, HistoryResolution resolution) {
    HistoryRow out;
    out.start = start;
    out.resolution = resolution;
    std::array<MeanFold, 4> figures;
    std::array<MeanFold, 6> components;
    std::map<PowerState, double> stateSeconds;
    for (const HistoryRow* row : rows) {
        const double seconds = std::max(0.0, finiteOr0(row->coveredSeconds));
        out.sampleCount += row->sampleCount;
        out.coveredSeconds += seconds;
        out.onBatterySeconds += std::max(0.0, finiteOr0(row->onBatterySeconds));
        out.adapterEnergyWh += finiteOr0(row->adapterEnergyWh);
        out.batteryChargedWh += finiteOr0(row->batteryChargedWh);
        out.batteryDischargedWh += finiteOr0(row->batteryDischargedWh);
        out.systemEnergyWh += finiteOr0(row->systemEnergyWh);
        figures[0].add(row->headlineWatts, seconds);
        figures[1].add(row->systemWatts, seconds);
        figures[2].add(row->inputWatts, seconds);
        figures[3].add(row->batteryWatts, seconds);
        const std::array<std::optional<double>, 6> parts{row->cpuWatts,     row->gpuWatts,
                                                         row->aneWatts,     row->dramWatts,
                                                         row->displayWatts, row->portOutputWatts};
        for (std::size_t i = 0; i < parts.size(); ++i) {
            components[i].add(parts[i], seconds);
        }
        if (row->chargePercent) {
            out.chargePercent = row->chargePercent;
        }
        stateSeconds[row->state] += std::max(seconds, 1e-6);
    }
    const double span = static_cast<double>(rowLength(resolution).count());
    out.coveredSeconds = std::min(out.coveredSeconds, span);
    out.onBatterySeconds = std::min(out.onBatterySeconds, out.coveredSeconds);
    out.headlineWatts = figures[0].summary();
    out.systemWatts = figures[1].summary();
    out.inputWatts = figures[2].summary();
    out.batteryWatts = figures[3].summary();
    out.cpuWatts = components[0].mean();
    out.gpuWatts = components[1].mean();
    out.aneWatts = components[2].mean();
    out.dramWatts = components[3].mean();
    out.displayWatts = components[4].mean();
    out.portOutputWatts = components[5].mean();
    double longest = -1;
    for (const auto& [state, seconds] : stateSeconds) {
        if (seconds > longest) {
            out.state = state;
            longest = seconds;
        }
    }
    return out;
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
    std::vector<HistoryRow> out;
    std::vector<const HistoryRow*> bucket;
    Date bucketStart{};
    const auto flush = [&] {
        if (!bucket.empty()) {
            out.push_back(fold(bucket, bucketStart, resolution));
            bucket.clear();
        }
    };
    for (const HistoryRow& row : ordered) {
        if (row.resolution == resolution) {
            flush();
            out.push_back(row);
            continue;
        }
        const Date start = std::chrono::floor<std::chrono::hours>(row.start);
        if (!bucket.empty() && start != bucketStart) {
            flush();
        }
        bucketStart = start;
        bucket.push_back(&row);
    }
    flush();
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
