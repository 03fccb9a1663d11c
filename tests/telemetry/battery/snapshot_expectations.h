#pragma once

#include "telemetry/battery/power_snapshot.h"

#include <cmath>
#include <gtest/gtest.h>
#include <optional>

namespace voltrane::testing {

/// Presence must match; present figures agree to a few ulps (NaN matches NaN).
inline void expectFigure(const char* field, std::optional<double> actual, std::optional<double> expected) {
    SCOPED_TRACE(field);
    ASSERT_EQ(actual.has_value(), expected.has_value());
    if (actual && std::isnan(*expected)) {
        EXPECT_TRUE(std::isnan(*actual));
    } else if (actual) {
        EXPECT_DOUBLE_EQ(*actual, *expected);
    }
}

/// Every field but `sampledAt`, with readable failures.
inline void expectSameReadings(const PowerSnapshot& actual, const PowerSnapshot& expected) {
    expectFigure("voltageVolts", actual.voltageVolts, expected.voltageVolts);
    expectFigure("currentMilliamps", actual.currentMilliamps, expected.currentMilliamps);
    EXPECT_EQ(actual.currentMilliampsIsEstimated, expected.currentMilliampsIsEstimated);
    expectFigure("batteryWatts", actual.batteryWatts, expected.batteryWatts);
    EXPECT_EQ(actual.batteryWattsIsEstimated, expected.batteryWattsIsEstimated);
    expectFigure("systemWatts", actual.systemWatts, expected.systemWatts);
    expectFigure("inputWatts", actual.inputWatts, expected.inputWatts);
    expectFigure("adapterRatedWatts", actual.adapterRatedWatts, expected.adapterRatedWatts);
    EXPECT_EQ(actual.chargePercent, expected.chargePercent);
    EXPECT_EQ(actual.batteryTimeRemainingMinutes, expected.batteryTimeRemainingMinutes);
    expectFigure("temperatureCelsius", actual.temperatureCelsius, expected.temperatureCelsius);
    EXPECT_EQ(actual.cycleCount, expected.cycleCount);
    expectFigure("portOutputWatts", actual.portOutputWatts, expected.portOutputWatts);
    EXPECT_EQ(actual.powerOutputPortCount, expected.powerOutputPortCount);
    EXPECT_EQ(caseName(actual.state), std::string(caseName(expected.state)));
    EXPECT_EQ(actual.isExternalConnected, expected.isExternalConnected);
}

} // namespace voltrane::testing
