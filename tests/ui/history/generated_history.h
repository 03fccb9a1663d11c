#pragma once

#include "history/history_row.h"

#include <chrono>
#include <vector>

namespace voltrane::testing {

/// A history held in memory, counting its reads.
class MemoryHistory final : public HistoryReading {
public:
    std::vector<HistoryRow> rowsKept;
    std::vector<BatteryHealthRecord> healthKept;
    int rowReads = 0;
    int healthReads = 0;
    Date lastFrom{};

    std::vector<HistoryRow> rows(Date from, Date to) override;
    std::vector<BatteryHealthRecord> health(Date from, Date to) override;
};

/// 2026-03-31 10:00 UTC, 18:00 on the renders' UTC+8 clock.
Date generatedNow();

/// A month of a laptop's days up to `generatedNow()`: asleep from 01:00 to 07:00, on battery
/// in the morning, charging after lunch, on the adapter otherwise, and an afternoon without
/// readings two days ago. Minute rows for the last 14 days, hour rows before; a year of daily
/// health records slowly losing capacity.
MemoryHistory generatedHistory();

} // namespace voltrane::testing
