#include "monitor/power_smoothing.h"

#include "common/number_format.h"

#include <cmath>

namespace voltrane {

namespace {

constexpr double kFactor = 0.56;

// A NaN or infinite previous figure would otherwise stick for as long as the state holds.
std::optional<double> finiteOrAbsent(std::optional<double> value) {
    if (value && !std::isfinite(*value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> blend(std::optional<double> value, std::optional<double> previous) {
    previous = finiteOrAbsent(previous);
    if (value && previous) {
        return *previous + (*value - *previous) * kFactor;
    }
    return value;
}

} // namespace

std::optional<double> stabilizePower(std::optional<double> value, std::optional<double> previous) {
    previous = finiteOrAbsent(previous);
    if (!value) {
        return std::nullopt;
    }
    if (!previous) {
        return value;
    }
    const double v = *value;
    const double p = *previous;
    if ((std::fabs(v) > kActiveWatts) != (std::fabs(p) > kActiveWatts)) {
        return value;
    }
    if ((v > 0) != (p > 0)) {
        return value;
    }
    const double difference = std::fabs(v - p);
    if (difference > 2.0) {
        return value;
    }
    if (difference < 1.0) {
        return previous;
    }
    return p + (v - p) * kFactor;
}

PowerSnapshot smoothed(const PowerSnapshot& raw, const PowerSnapshot& previous) {
    if (previous.state == PowerState::unavailable || previous.state != raw.state ||
        previous.isExternalConnected != raw.isExternalConnected) {
        return raw;
    }
    PowerSnapshot result = raw;
    result.voltageVolts = blend(raw.voltageVolts, previous.voltageVolts);
    if (raw.currentMilliampsIsEstimated == previous.currentMilliampsIsEstimated) {
        result.currentMilliamps = blend(raw.currentMilliamps, previous.currentMilliamps);
    }
    if (raw.batteryWattsIsEstimated == previous.batteryWattsIsEstimated) {
        result.batteryWatts = stabilizePower(raw.batteryWatts, previous.batteryWatts);
    }
    result.systemWatts = stabilizePower(raw.systemWatts, previous.systemWatts);
    result.inputWatts = stabilizePower(raw.inputWatts, previous.inputWatts);
    result.temperatureCelsius = blend(raw.temperatureCelsius, previous.temperatureCelsius);
    return result;
}

std::string menuBarTitle(const PowerSnapshot& snapshot) {
    if (const auto watts = snapshot.headlineWatts()) {
        return formatFixed(*watts, 0, "W");
    }
    return "Voltrane";
}

} // namespace voltrane
