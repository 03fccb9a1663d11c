#include "ui/dashboard/status_summary.h"

#include "common/number_format.h"
#include "ui/dashboard/state_style.h"

#include <cmath>
#include <vector>

namespace voltrane {

namespace {

std::string magnitudeFigure(const std::optional<double>& value) {
    return StatusSummary::watts(value, false);
}

} // namespace

std::string StatusSummary::watts(std::optional<double> value, bool estimated) {
    if (!value) {
        return std::string(kDash) + " W";
    }
    return (estimated ? "\u2248 " : "") + formatFixed(std::fabs(*value), 1, "W");
}

std::string StatusSummary::primaryText() const {
    const PowerSnapshot& s = snapshot_;
    switch (s.state) {
    case PowerState::charging:
        return "正以 " + magnitudeFigure(s.batteryWatts) + " 为电池充电";
    case PowerState::charged:
        return "电池已充满，系统使用 " + magnitudeFigure(s.systemWatts);
    case PowerState::pluggedIn:
        if (s.batteryWatts && *s.batteryWatts > kActiveWatts) {
            return "外接电源供给系统，另有 " + formatFixed(*s.batteryWatts, 1, "W") + " 流入电池";
        }
        return "外接电源正在提供 " + magnitudeFigure(s.inputWatts);
    case PowerState::onBattery:
        return "电池正在输出 " + watts(s.batteryWatts, s.batteryWattsIsEstimated);
    case PowerState::unavailable:
        break;
    }
    return isMainsWithoutBattery(s) ? "由外接电源供电，未检测到电池" : "暂时无法读取电源遥测";
}

std::string StatusSummary::secondaryText() const {
    const PowerSnapshot& s = snapshot_;
    std::vector<std::string> parts;
    if (s.temperatureCelsius) {
        parts.push_back("电池 " + formatFixed(*s.temperatureCelsius, 1) + "\u2103");
    }
    if (s.cycleCount) {
        parts.push_back("循环 " + std::to_string(*s.cycleCount) + " 次");
    }
    if (s.adapterRatedWatts && s.isExternalConnected) {
        parts.push_back("适配器 " + formatFixed(*s.adapterRatedWatts, 0, "W"));
    }
    if (parts.empty()) {
        return "数据直接来自本机电源管理系统";
    }
    std::string text = parts.front();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        text += "  \u00B7  " + parts[i];
    }
    return text;
}

std::string_view StatusSummary::symbol() const {
    return stateStyle(snapshot_).symbol;
}

PaletteColor StatusSummary::color() const {
    return stateColor(snapshot_.state);
}

} // namespace voltrane
