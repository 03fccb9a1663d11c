#pragma once

#include "history/history_row.h"

#include <vector>

namespace voltrane {

/// Folds minute rows into one row per UTC hour, oldest first. Means are weighted by the readings
/// each row holds, minimums and maximums are those of the hour, energies and seconds are summed,
/// the charge is the last one read and the state the one that held longest.
std::vector<HistoryRow> foldIntoHours(std::vector<HistoryRow> minutes);

} // namespace voltrane
