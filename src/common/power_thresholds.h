#pragma once

namespace voltrane {

/// Above this many watts power flows: a battery charges or discharges, a row is active.
inline constexpr double kActiveWatts = 0.2;
/// Above this many watts a reading is a real figure rather than sensor noise.
inline constexpr double kRealReadingWatts = 0.05;

} // namespace voltrane
