#include "telemetry/battery/power_snapshot.h"

#include <cmath>

namespace voltrane {

PowerSnapshot PowerSnapshot::unavailable(Date sampledAt) {
    PowerSnapshot snapshot;
    snapshot.sampledAt = sampledAt;
    return snapshot;
}

namespace {

std::optional<double> magnitude(std::optional<double> value) {
    if (!value) {
        return std::nullopt;
    }
    return std::fabs(*value);
}

std::optional<double> systemOrInputMagnitude(const PowerSnapshot& snapshot) {
    if (snapshot.systemWatts) {
        return magnitude(snapshot.systemWatts);
    }
    return magnitude(snapshot.inputWatts);
}

} // namespace

std::optional<double> PowerSnapshot::headlineWatts() const {
    switch (state) {
    case PowerState::charging:
        return magnitude(batteryWatts);
    case PowerState::charged:
        return systemOrInputMagnitude(*this);
    case PowerState::pluggedIn:
        if (batteryWatts && *batteryWatts > kActiveWatts) {
            return batteryWatts;
        }
        return systemOrInputMagnitude(*this);
    case PowerState::onBattery:
        if (batteryWatts) {
            return magnitude(batteryWatts);
        }
        return magnitude(systemWatts);
    case PowerState::unavailable:
        return std::nullopt;
    }
    return std::nullopt;
}

const char* caseName(PowerState state) {
    switch (state) {
    case PowerState::charging:
        return "charging";
    case PowerState::charged:
        return "charged";
    case PowerState::pluggedIn:
        return "pluggedIn";
    case PowerState::onBattery:
        return "onBattery";
    case PowerState::unavailable:
        return "unavailable";
    }
    return "unavailable";
}

} // namespace voltrane
