#include "flow/sankey_flow_model.h"

#include "common/duration_text.h"
#include "common/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace voltrane {
namespace {

using ID = SankeyDestination::ID;
using State = SankeyDestination::State;

constexpr double kEqualWatts = 0.0001;

std::optional<double> usable(std::optional<double> watts) {
    if (watts && std::isfinite(*watts) && *watts >= 0) {
        return watts;
    }
    return std::nullopt;
}

std::optional<double> usableDisplay(std::optional<double> watts) {
    if (watts && std::isfinite(*watts) && *watts >= 0 && *watts > kRealReadingWatts) {
        return watts;
    }
    return std::nullopt;
}

std::optional<double> systemEstimate(const PowerSnapshot& snapshot, std::optional<double> charge) {
    if (snapshot.systemWatts) {
        return std::fabs(*snapshot.systemWatts);
    }
    if (snapshot.inputWatts && charge) {
        // The unthresholded charge: a trickle still belongs to the battery, not the system.
        return std::max(0.0, std::fabs(*snapshot.inputWatts) - *charge);
    }
    if (snapshot.state == PowerState::onBattery && snapshot.batteryWatts) {
        return std::fabs(*snapshot.batteryWatts);
    }
    return std::nullopt;
}

SankeyDestination counterRow(ID id, const char* title, const char* symbol, PaletteColor tint,
                             std::optional<double> watts, bool estimateAvailable) {
    return {
        id, title, symbol, watts, "估算", tint, estimateAvailable ? State::estimated : State::unavailable};
}

} // namespace

SankeyFlowModel::SankeyFlowModel(const PowerSnapshot& snapshot, const ComponentPowerSnapshot& components) {
    const bool onBattery = snapshot.state == PowerState::onBattery;

    std::optional<double> charge;
    if (!onBattery && snapshot.batteryWatts && std::isfinite(*snapshot.batteryWatts)) {
        charge = std::max(0.0, *snapshot.batteryWatts);
    }
    const double shownCharge = charge && *charge > kActiveWatts ? *charge : 0;

    systemWatts = systemEstimate(snapshot, charge);

    const std::optional<double> cpu = usable(components.cpuWatts);
    const std::optional<double> gpu = usable(components.gpuWatts);
    const std::optional<double> ane = usable(components.aneWatts);
    const std::optional<double> dram = usable(components.dramWatts);
    const std::optional<double> display = usableDisplay(components.displayWatts);
    const std::optional<double> ports = usable(snapshot.portOutputWatts);
    allocation = SystemEnergyAllocation::make(systemWatts, {cpu, gpu, ane, dram, display, ports});

    if (onBattery) {
        sourceKind = SourceKind::battery;
        sourceTitle = "电池";
        sourceSymbol = "battery.75percent";
        sourceTint = PaletteColor::warning;
        sourceWatts = systemWatts;
        sourceDetail = runtimeText(snapshot.batteryTimeRemainingMinutes);
    } else {
        sourceKind = SourceKind::adapter;
        sourceTitle = "电源适配器";
        sourceSymbol = "powerplug.fill";
        sourceTint = PaletteColor::flowSource;
        if (systemWatts) {
            sourceWatts = *systemWatts + shownCharge;
        } else if (snapshot.inputWatts) {
            sourceWatts = std::fabs(*snapshot.inputWatts);
        }
        sourceDetail = snapshot.adapterRatedWatts ? "额定 " + formatFixed(*snapshot.adapterRatedWatts, 0, "W")
                                                  : std::string("实时输入");
    }

    estimateAvailable = components.sourceAvailable;

    std::vector<SankeyDestination> rows;
    rows.reserve(8);
    if (!onBattery && charge && *charge > kActiveWatts) {
        std::string detail = "充电中";
        if (snapshot.chargePercent) {
            detail += " · " + std::to_string(*snapshot.chargePercent) + "%";
        }
        rows.push_back(
            {ID::battery, "电池",
             snapshot.state == PowerState::charged ? "battery.100percent" : "battery.100percent.bolt", charge,
             std::move(detail), PaletteColor::flowBattery, State::measured});
    }
    rows.push_back(counterRow(ID::cpu, "CPU", "cpu", PaletteColor::flowCPU, cpu, estimateAvailable));
    rows.push_back(counterRow(ID::gpu, "GPU", "sparkles.rectangle.stack", PaletteColor::flowGPU, gpu,
                              estimateAvailable));
    rows.push_back(
        counterRow(ID::ane, "ANE", "brain.head.profile", PaletteColor::flowANE, ane, estimateAvailable));
    rows.push_back(
        counterRow(ID::memory, "内存", "memorychip", PaletteColor::flowMemory, dram, estimateAvailable));
    rows.push_back(
        counterRow(ID::display, "内屏", "display", PaletteColor::flowDisplay, display, estimateAvailable));
    rows.push_back({ID::ports, "接口输出", "cable.connector", ports,
                    snapshot.powerOutputPortCount ? std::to_string(*snapshot.powerOutputPortCount) + " 个接口"
                                                  : std::string("未检测"),
                    PaletteColor::flowPorts, State::measured});
    rows.push_back({ID::other, "其它", "ellipsis.circle", allocation.unattributedWatts, "未归因",
                    PaletteColor::flowOther, State::remainder});

    for (SankeyDestination& row : rows) {
        if (row.watts && *row.watts > kActiveWatts) {
            destinations.push_back(std::move(row));
        }
    }
    sortRows(destinations);
}

std::string SankeyFlowModel::accessibilitySummary() const {
    std::string text = sourceTitle + "提供 ";
    text += sourceWatts && std::isfinite(*sourceWatts) ? formatFixed(std::fabs(*sourceWatts), 1, "W")
                                                       : std::string(kDash) + " W";
    text += "，流向";
    bool first = true;
    for (const SankeyDestination& row : destinations) {
        if (!row.watts || !(*row.watts > 0)) {
            continue;
        }
        if (!first) {
            text += "，";
        }
        first = false;
        text += row.title + " " + formatFixed(*row.watts, 1, "W");
    }
    return text;
}

std::string SankeyFlowModel::runtimeText(std::optional<int> minutes) {
    if (!minutes || *minutes < 1) {
        return "续航时间估算中";
    }
    return remainingTimeText(*minutes, "预计");
}

bool SankeyFlowModel::comesBefore(const SankeyDestination& a, const SankeyDestination& b) {
    if (a.id == ID::other) {
        return false;
    }
    if (b.id == ID::other) {
        return true;
    }
    const double wa = a.watts.value_or(0);
    const double wb = b.watts.value_or(0);
    if (std::fabs(wa - wb) > kEqualWatts) {
        return wa > wb;
    }
    return std::strcmp(rawValue(a.id), rawValue(b.id)) < 0;
}

void SankeyFlowModel::sortRows(std::vector<SankeyDestination>& rows) {
    for (std::size_t next = 1; next < rows.size(); ++next) {
        for (std::size_t at = next; at > 0 && comesBefore(rows[at], rows[at - 1]); --at) {
            std::swap(rows[at], rows[at - 1]);
        }
    }
}

} // namespace voltrane
