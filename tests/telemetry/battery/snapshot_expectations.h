#pragma once

#include "telemetry/battery/power_snapshot.h"
#include "telemetry/battery/registry_text_reader.h"

#include <gtest/gtest.h>
#include <iomanip>
#include <optional>
#include <sstream>
#include <string>

namespace voltrane::testing {

/// A figure as the tests compare it: ten significant digits ("nan", "-0" as such), "-" when absent.
template <typename T> std::string figure(std::optional<T> value) {
    std::ostringstream out;
    value ? out << std::setprecision(10) << *value : out << '-';
    return out.str();
}

/// The readings of a snapshot on one line, e.g. "onBattery V=12 mA=-1250~ W=-15~ sys=15": the
/// state, "external" when connected, then each present figure; "~" marks an estimate.
inline std::string describe(const PowerSnapshot& s) {
    std::string out = caseName(s.state);
    out += s.isExternalConnected ? " external" : "";
    const auto add = [&out](const char* name, auto value, bool estimated = false) {
        out += value ? std::string(" ") + name + "=" + figure(value) + (estimated ? "~" : "") : "";
    };
    add("V", s.voltageVolts), add("mA", s.currentMilliamps, s.currentMilliampsIsEstimated);
    add("W", s.batteryWatts, s.batteryWattsIsEstimated), add("sys", s.systemWatts), add("in", s.inputWatts);
    add("adapter", s.adapterRatedWatts), add("%", s.chargePercent), add("min", s.batteryTimeRemainingMinutes);
    add("C", s.temperatureCelsius), add("cycles", s.cycleCount), add("portW", s.portOutputWatts);
    add("ports", s.powerOutputPortCount);
    return out;
}

/// A table written as the members of a text-form table, `"Key"=value,…`: integers above INT64_MAX
/// are unsigned, figures with a point or exponent doubles, `<00>` a value no reader accepts.
inline PropertyTable textTable(const std::string& members) {
    const RecordedTable read = RegistryTextReader::read("\"T\" = {" + members + "}\n");
    const PropertyTable* table =
        read.entry && read.entry->contains("T") ? read.entry->at("T").table() : nullptr;
    EXPECT_TRUE(table && read.notes.empty()) << members;
    return table ? *table : PropertyTable{};
}

} // namespace voltrane::testing
