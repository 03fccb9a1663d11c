#pragma once

#include "common/voltrane_palette.h"
#include "telemetry/battery/power_snapshot.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace voltrane {

/// The texts of the status card: one sentence on where the power goes, and a muted line of
/// battery temperature, cycle count and adapter rating.
class StatusSummary {
public:
    explicit StatusSummary(const PowerSnapshot& snapshot) : snapshot_(snapshot) {}

    std::string primaryText() const;
    /// Present parts joined by "  ·  ", or "数据直接来自本机电源管理系统" with none.
    std::string secondaryText() const;
    std::string_view symbol() const;
    PaletteColor color() const;

    /// "— W" when absent, else "%.1f W" of the magnitude, with "≈ " before it when estimated.
    static std::string watts(std::optional<double> value, bool estimated);

private:
    PowerSnapshot snapshot_;
};

} // namespace voltrane
