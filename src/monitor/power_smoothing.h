#pragma once

#include "telemetry/battery/power_snapshot.h"

#include <optional>
#include <string>

namespace voltrane {

/// Blends a new snapshot into the one published before it, so figures do not flicker.
/// Returns `raw` unchanged across a switch of state or of external power, or after an
/// unavailable sample. A previous figure that is not finite counts as absent.
PowerSnapshot smoothed(const PowerSnapshot& raw, const PowerSnapshot& previous);

/// Holds a watts figure still through noise (< 1.0 W), follows jumps (> 2.0 W), idle
/// crossings (0.2 W) and sign changes at once, and blends by 0.56 in between.
std::optional<double> stabilizePower(std::optional<double> value, std::optional<double> previous);

/// The tray label: headline watts as "%.0f W", or "Voltrane" without a figure.
std::string menuBarTitle(const PowerSnapshot& snapshot);

} // namespace voltrane
