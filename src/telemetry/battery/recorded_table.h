#pragma once

#include "telemetry/battery/property_value.h"

#include <optional>
#include <string>
#include <vector>

namespace voltrane {

/// How deeply a recorded table may nest: hostile input must not exhaust the stack, and real
/// tables nest three levels deep.
inline constexpr int kMaximumTableDepth = 128;

/// A smart-battery table read back from a recording.
///
/// A key repeated within one table keeps its first value, in every form. The registry never
/// prints a key twice, so a repeat comes from a paste made twice, where the copies hold the same
/// reading and only a later one can be cut off: the first copy is the complete one.
struct RecordedTable {
    std::optional<PropertyTable> entry; ///< nothing for a recording that holds no entry
    std::string error;                  ///< one line; empty when the recording was read
    /// One line per item of a cut-off recording that was dropped or kept only in part, e.g.
    /// `line 12: "BatteryData" cut off; its complete members kept`.
    std::vector<std::string> notes;

    bool ok() const { return error.empty(); }
};

/// One value read from a recording that may stop early.
struct RecordedValue {
    /// Whole; cut off by the end of the input; or malformed, which makes the recording unreadable.
    enum class End { complete, cut, malformed };

    std::optional<PropertyValue>
        value; ///< a cut-off container keeps its complete members; a cut-off scalar has none
    End end = End::complete;
};

/// The note on an item of a cut-off recording, e.g. `line 12: "BatteryData" cut off; its complete
/// members kept`, or `…; dropped` for a scalar or a key without its value.
inline std::string cutOffNote(int line, const std::string& path, bool membersKept) {
    return "line " + std::to_string(line) + ": \"" + path + "\" cut off; " +
           (membersKept ? "its complete members kept" : "dropped");
}

} // namespace voltrane
