#pragma once

#include "telemetry/battery/property_value.h"

#include <optional>
#include <string>
#include <vector>

namespace voltrane {

/// A smart-battery table read back from a recording.
struct RecordedTable {
    std::optional<PropertyTable> entry; ///< nothing for a recording that holds no entry
    std::string error;                  ///< one line; empty when the recording was read
    /// One line per item of a cut-off recording that was dropped or kept only in part, e.g.
    /// `line 12: "BatteryData" cut off; its complete members kept`.
    std::vector<std::string> notes;

    bool ok() const { return error.empty(); }
};

} // namespace voltrane
