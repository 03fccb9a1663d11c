#include "history/history_texts.h"

#include "common/number_format.h"
#include "history/history_range.h"
#include "history/history_series.h"
#include "ui/dashboard/state_style.h"

#include <cmath>

namespace voltrane {
namespace {

using std::chrono::days;
using std::chrono::minutes;

std::string clock(Date local) {
    const long total =
        static_cast<long>(std::chrono::floor<minutes>(local - std::chrono::floor<days>(local)).count());
    const auto two = [](long value) { return (value < 10 ? "0" : "") + std::to_string(value); };
    return two(total / 60) + ":" + two(total % 60);
}

std::string watts(double value) {
    return formatFixed(std::fabs(value), 1, "W");
}

} // namespace

RowDetail rowDetail(const HistoryRow& row, std::chrono::seconds utcOffset) {
    RowDetail detail;
    const Date local = row.start + utcOffset;
    const std::chrono::year_month_day date{std::chrono::floor<days>(local)};
    detail.time = std::to_string(static_cast<unsigned>(date.month())) + "月" +
                  std::to_string(static_cast<unsigned>(date.day())) + "日 " + clock(local);
    if (row.resolution == HistoryResolution::hour) {
        detail.time += "–" + clock(local + rowLength(row.resolution));
    }

    if (row.systemWatts && std::isfinite(row.systemWatts->mean)) {
        detail.lines.push_back("系统 " + watts(row.systemWatts->mean) + " · 最低 " +
                               watts(row.systemWatts->min) + " · 最高 " + watts(row.systemWatts->max));
    }
    if (row.state == PowerState::onBattery) {
        if (row.batteryWatts && std::isfinite(row.batteryWatts->mean)) {
            detail.lines.push_back("电池输出 " + watts(std::min(0.0, row.batteryWatts->mean)));
        }
    } else {
        if (row.inputWatts && std::isfinite(row.inputWatts->mean)) {
            detail.lines.push_back("电源适配器输入 " + watts(row.inputWatts->mean));
        }
        if (row.batteryWatts && std::isfinite(row.batteryWatts->mean) && row.batteryWatts->mean > 0) {
            detail.lines.push_back("充入电池 " + watts(row.batteryWatts->mean));
        }
    }
    std::string state(stateStyle(row.state).label);
    if (row.chargePercent) {
        state = "电量 " + std::to_string(*row.chargePercent) + "% · " + state;
    }
    detail.lines.push_back(std::move(state));

    const auto stack = powerStack(row);
    std::string parts;
    for (std::size_t i = 0; i < stack.size(); ++i) {
        if (stack[i] > 0.05) {
            parts +=
                (parts.empty() ? "" : " · ") + std::string(chartLayers()[i].title) + " " + watts(stack[i]);
        }
    }
    if (!parts.empty()) {
        detail.lines.push_back(std::move(parts));
    }
    return detail;
}

std::string emptyHistoryText(const char* rangeLabel) {
    return std::string("最近 ") + rangeLabel +
           "还没有记录。Voltrane 运行时每分钟记下一次功率，稍后再来看看。";
}

} // namespace voltrane
