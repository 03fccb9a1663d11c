#pragma once

#include "common/voltrane_palette.h"

#include <optional>
#include <string>

namespace voltrane {

/// One row of the flow diagram: where some of the source's power goes.
struct SankeyDestination {
    /// Which destination. Declaration order matters only for iteration; rows tie-break by raw value.
    enum class ID { battery, cpu, gpu, ane, memory, display, ports, other };

    /// How the figure was obtained.
    enum class State { measured, estimated, remainder, idle, unavailable };

    ID id = ID::other;
    std::string title;
    std::string symbol;          ///< system symbol name, e.g. "cpu"
    std::optional<double> watts; ///< W flowing to this destination
    std::string detail;          ///< short second line, e.g. "估算"
    PaletteColor tint = PaletteColor::flowOther;
    State state = State::measured;

    friend bool operator==(const SankeyDestination&, const SankeyDestination&) = default;
};

/// The ID's string raw value ("battery", "cpu", …, "other"); also its case name.
const char* rawValue(SankeyDestination::ID id);

/// Case name of a state, as printed by the probe ("estimated").
const char* caseName(SankeyDestination::State state);

} // namespace voltrane
