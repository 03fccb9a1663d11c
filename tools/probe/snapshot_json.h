#pragma once

#include "json_value.h"
#include "telemetry/battery/power_snapshot.h"
#include "telemetry/components/component_power_snapshot.h"

#include <QJsonObject>
#include <QJsonValue>
#include <optional>
#include <string>

namespace voltrane::probe {

/// "2026-12-06T20:58:36.123Z": ISO-8601, UTC, milliseconds.
std::string isoDate(Date date);

/// The seventeen fields by their code names, plus "headlineWatts".
JsonValue toJson(const PowerSnapshot& snapshot);
/// The eight fields by their code names.
JsonValue toJson(const ComponentPowerSnapshot& snapshot);

/// Reads the output form back: field names, null for absent, state case names, non-finite
/// doubles as "nan"/"inf"/"-inf", "sampledAt" omitted or ISO-8601. Missing members are absent
/// (false for flags). On a malformed member, returns nothing and sets `error`.
std::optional<PowerSnapshot> powerSnapshotFromJson(const QJsonObject& object, std::string& error);
std::optional<ComponentPowerSnapshot> componentSnapshotFromJson(const QJsonObject& object,
                                                                std::string& error);

/// The sample a command works on: {"snapshot": …, "components": …} (components optional; without
/// them the unavailable form stamped like the snapshot). With `bareSnapshot`, a file that is a
/// snapshot object itself is taken too.
struct SampleInput {
    PowerSnapshot snapshot;
    ComponentPowerSnapshot components;
};
std::optional<SampleInput> sampleFromJson(const QJsonObject& input, bool bareSnapshot, std::string& error);

/// Reads a whole file as one JSON object; sets `error` to a one-line message on failure.
std::optional<QJsonObject> readJsonObjectFile(const std::string& path, std::string& error);

} // namespace voltrane::probe
