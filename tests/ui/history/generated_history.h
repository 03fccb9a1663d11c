#pragma once

#include "history/history_row.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <tuple>
#include <vector>

namespace voltrane::testing {

/// A history held in memory, counting its reads.
struct MemoryHistory final : HistoryReading {
    std::vector<HistoryRow> rowsKept;
    std::vector<BatteryHealthRecord> healthKept;
    int rowReads = 0;
    int healthReads = 0;
    Date lastFrom{};

    std::vector<HistoryRow> rows(Date from, Date to) override {
        ++rowReads;
        lastFrom = from;
        std::vector<HistoryRow> out;
        std::copy_if(rowsKept.begin(), rowsKept.end(), std::back_inserter(out),
                     [&](const HistoryRow& row) { return row.start >= from && row.start < to; });
        return out;
    }
    std::vector<BatteryHealthRecord> health(Date, Date) override {
        ++healthReads;
        return healthKept; // a year, as the window asks
    }
};

/// 2026-03-31 10:00 UTC, 18:00 on the renders' UTC+8 clock.
inline Date generatedNow() {
    return std::chrono::sys_days(std::chrono::year(2026) / 3 / 31) + std::chrono::hours(10);
}

/// A month of a laptop's days up to `generatedNow()`: asleep from 01:00 to 07:00, on battery
/// from 09:00 to noon, then charging on the adapter until full, and an afternoon without
/// readings two days ago, all in minute rows; a year of daily health records slowly losing
/// capacity.
inline MemoryHistory generatedHistory() {
    using namespace std::chrono;
    MemoryHistory history;
    const Date now = generatedNow();
    double charge = 80;
    for (Date at = now - days(30); at < now; at += minutes(1)) {
        const double minute = static_cast<double>(duration_cast<minutes>(at.time_since_epoch()).count());
        const int hour = static_cast<int>((floor<hours>(at + hours(8)) - floor<days>(at + hours(8))).count());
        if ((hour >= 1 && hour < 7) || (now - at < days(2) + hours(2) && now - at > days(2) - hours(1))) {
            continue;
        }
        const double wave = std::sin(minute / 150.0) * 0.5 + 0.5;
        HistoryRow row;
        row.start = at;
        row.sampleCount = row.coveredSeconds = 60;
        std::tie(row.cpuWatts, row.gpuWatts, row.dramWatts, row.displayWatts) =
            std::tuple(3 + 9 * wave * wave, 1 + 4 * std::pow(std::sin(minute / 91.0) * 0.5 + 0.5, 3),
                       0.8 + 0.6 * wave, 4.5);
        row.aneWatts = hour == 15 ? std::optional(2.0) : std::nullopt;
        row.portOutputWatts = hour >= 19 && hour < 21 ? std::optional(4.5) : std::nullopt;
        const double system = *row.cpuWatts + *row.gpuWatts + *row.dramWatts + 8.5;
        row.systemWatts = FigureSummary{system, system * 0.8, system * 1.3};
        row.systemEnergyWh = system / 60;
        if (hour >= 9 && hour < 12) {
            row.state = PowerState::onBattery;
            row.onBatterySeconds = 60;
            row.batteryWatts = FigureSummary{-system, -system * 1.3, -system * 0.8};
            row.batteryDischargedWh = system / 60;
            charge = std::max(0.0, charge - system / 60 / 0.7); // a 70 Wh pack
        } else {
            const double into = charge < 99.5 ? std::min(35.0, (100 - charge) * 2) : 0;
            row.state = into > 0 ? PowerState::charging : PowerState::charged;
            row.batteryWatts = FigureSummary{into, into, into};
            row.inputWatts = FigureSummary{system + into, system + into, system * 1.3 + into};
            row.adapterEnergyWh = (system + into) / 60;
            row.batteryChargedWh = into / 60;
            charge = std::min(100.0, charge + into / 60 / 0.7);
        }
        row.chargePercent = static_cast<int>(std::lround(charge));
        history.rowsKept.push_back(row);
    }
    for (int day = 365; day > 0; --day) {
        const double full = 57000 - (365 - day) * 12.0 + 300 * std::sin(day / 9.0);
        history.healthKept.push_back({now - days(day), full, 60000.0, CapacityUnit::milliwattHours,
                                      std::int64_t{120 + (365 - day) * 4 / 5}});
    }
    return history;
}

} // namespace voltrane::testing
