#include "history/history_totals.h"

#include "common/number_format.h"
#include "history/history_range.h"
#include "history/history_series.h"

#include <algorithm>
#include <cmath>

namespace voltrane {
namespace {

double positive(double value) {
    return std::isfinite(value) && value > 0 ? value : 0;
}

} // namespace

HistoryTotals HistoryTotals::of(const std::vector<HistoryRow>& rows) {
    HistoryTotals totals;
    double systemWeighted = 0;
    double systemSeconds = 0;
    for (const HistoryRow& row : orderedRows(rows)) {
        const double span = static_cast<double>(rowLength(row.resolution).count());
        const double covered = std::min(positive(row.coveredSeconds), span);
        totals.adapterWh += positive(row.adapterEnergyWh);
        totals.chargedWh += positive(row.batteryChargedWh);
        totals.dischargedWh += positive(row.batteryDischargedWh);
        totals.onBatterySeconds += std::min(positive(row.onBatterySeconds), covered);
        totals.recordedSeconds += covered;
        if (row.systemWatts && std::isfinite(row.systemWatts->mean)) {
            systemWeighted += std::fabs(row.systemWatts->mean) * covered;
            systemSeconds += covered;
            const double peak = std::isfinite(row.systemWatts->max) ? std::fabs(row.systemWatts->max) : 0;
            totals.peakSystemWatts =
                std::max({totals.peakSystemWatts.value_or(0), peak, std::fabs(row.systemWatts->mean)});
        }
    }
    if (systemSeconds > 0) {
        totals.averageSystemWatts = systemWeighted / systemSeconds;
    }
    return totals;
}

std::array<MetricTile, 5> totalsTiles(const HistoryTotals& totals) {
    const double share =
        totals.recordedSeconds > 0 ? totals.onBatterySeconds / totals.recordedSeconds * 100 : 0;
    return {{
        {"适配器供电", formatFixed(totals.adapterWh, 1), "Wh", "从电源适配器取用", "powerplug.fill",
         PaletteColor::flowSource},
        {"充入电池", formatFixed(totals.chargedWh, 1), "Wh", "存进电池的电量", "battery.100percent.bolt",
         PaletteColor::flowBattery},
        {"电池放电", formatFixed(totals.dischargedWh, 1), "Wh", "由电池供出的电量", "battery.75percent",
         PaletteColor::warning},
        {"平均系统功率", totals.averageSystemWatts ? formatFixed(*totals.averageSystemWatts, 1) : kDash, "W",
         totals.peakSystemWatts ? "峰值 " + formatFixed(*totals.peakSystemWatts, 1, "W")
                                : std::string("暂无数据"),
         "waveform.path.ecg", PaletteColor::accent},
        {"电池供电时长", formatFixed(totals.onBatterySeconds / 3600, 1), "小时",
         "占记录时间 " + formatFixed(share, 0) + "%", "battery.75percent", PaletteColor::warning},
    }};
}

} // namespace voltrane
