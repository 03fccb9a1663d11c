#pragma once

#include "history/history_row.h"

#include <chrono>
#include <string>
#include <vector>

namespace voltrane {

/// The figures of one row, as hovering or the arrow keys show them.
struct RowDetail {
    std::string time;               ///< "12月8日 14:05", or "12月8日 14:00–15:00" for an hour
    std::vector<std::string> lines; ///< system, source, charge and state, components
    friend bool operator==(const RowDetail&, const RowDetail&) = default;
};

/// The detail of `row` on the local clock `utcOffset` ahead of UTC. Absent figures are left
/// out; a row with no figure at all still names its state.
RowDetail rowDetail(const HistoryRow& row, std::chrono::seconds utcOffset);

/// Said in place of a chart for a range without a single row.
std::string emptyHistoryText(const char* rangeLabel);

} // namespace voltrane
