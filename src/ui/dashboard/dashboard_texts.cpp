#include "ui/dashboard/dashboard_texts.h"

#include "common/duration_text.h"
#include "common/number_format.h"
#include "common/platform_texts.h"
#include "ui/dashboard/state_style.h"

#include <cmath>

namespace voltrane {

namespace {

bool batteryTakesCharge(const PowerSnapshot& snapshot) {
    return snapshot.batteryWatts && *snapshot.batteryWatts > kActiveWatts;
}

std::string figure(const std::optional<double>& value, int decimals) {
    return value ? formatFixed(*value, decimals) : std::string(kDash);
}

} // namespace

std::string headlineTitle(const PowerSnapshot& snapshot) {
    switch (snapshot.state) {
    case PowerState::charging:
        return "电池充电功率";
    case PowerState::charged:
        return "系统实时功率";
    case PowerState::pluggedIn:
        return batteryTakesCharge(snapshot) ? "电池入流功率" : "系统实时功率";
    case PowerState::onBattery:
        return "电池输出功率";
    case PowerState::unavailable:
        break;
    }
    return "当前功率";
}

std::string headlineDetail(const PowerSnapshot& snapshot) {
    switch (snapshot.state) {
    case PowerState::charging:
        return "流入电池";
    case PowerState::charged:
        return "当前系统负载";
    case PowerState::pluggedIn:
        return batteryTakesCharge(snapshot) ? "外接电源仍在向电池供能" : "当前系统负载";
    case PowerState::onBattery:
        return snapshot.batteryWattsIsEstimated ? "按系统负载即时估算" : "电池供给系统";
    case PowerState::unavailable:
        break;
    }
    return isMainsWithoutBattery(snapshot) ? "由外接电源供电" : readingSourceText();
}

std::string currentDetail(const PowerSnapshot& snapshot) {
    switch (snapshot.state) {
    case PowerState::charging:
        return "流入电池";
    case PowerState::charged:
        return "电池已停止充电";
    case PowerState::pluggedIn:
        return batteryTakesCharge(snapshot) ? "仍有电流流入电池" : "由外接电源供电";
    case PowerState::onBattery:
        return snapshot.currentMilliampsIsEstimated ? "按功率与电压即时估算" : "从电池流出";
    case PowerState::unavailable:
        break;
    }
    return "暂无数据";
}

std::string batteryMetricDetail(const PowerSnapshot& snapshot) {
    const auto& minutes = snapshot.batteryTimeRemainingMinutes;
    if (snapshot.state != PowerState::onBattery || !minutes || *minutes <= 0) {
        return std::string(stateStyle(snapshot).label);
    }
    return remainingTimeText(*minutes, "预计续航");
}

std::string sampleTimeText(const PowerSnapshot& snapshot, const TimeFormatter& formatTime) {
    if (snapshot.state == PowerState::unavailable && !isMainsWithoutBattery(snapshot)) {
        return "尚未采样";
    }
    return "更新于 " + (formatTime ? formatTime(snapshot.sampledAt) : std::string());
}

std::array<MetricTile, 4> metricTiles(const PowerSnapshot& snapshot) {
    const PaletteColor tint = stateColor(snapshot.state);
    std::optional<double> current;
    if (snapshot.currentMilliamps) {
        // The direction is told by the symbol and the detail, so the figure drops its sign.
        current = std::fabs(*snapshot.currentMilliamps);
    }
    return {{
        {headlineTitle(snapshot), figure(snapshot.headlineWatts(), 1), "W", headlineDetail(snapshot),
         "waveform.path.ecg", tint},
        {"电池电压", figure(snapshot.voltageVolts, 2), "V",
         snapshot.voltageVolts ? "实时电池组电压" : "暂无数据", "bolt.horizontal.fill", PaletteColor::accent},
        {"充放电电流", figure(current, 0), "mA", currentDetail(snapshot),
         snapshot.state == PowerState::onBattery ? "arrow.down.right" : "arrow.up.right", tint},
        {"电池电量", snapshot.chargePercent ? std::to_string(*snapshot.chargePercent) : std::string(kDash),
         "%", batteryMetricDetail(snapshot), std::string(stateStyle(snapshot).symbol), tint},
    }};
}

} // namespace voltrane
