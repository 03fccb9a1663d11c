#pragma once

#include "telemetry/battery/battery_registry.h"

#include <QString>

namespace voltrane {

/// A registry that replays a recorded table (typed JSON or XML property list), read afresh on
/// every copy so that a file rewritten by a test or a script is picked up.
class RecordedBatteryRegistry final : public BatteryRegistry {
public:
    explicit RecordedBatteryRegistry(QString path) : path_(std::move(path)) {}

    /// Nothing when the file is missing, unreadable, malformed or records no entry.
    std::optional<PropertyTable> copyProperties() override;

private:
    QString path_;
};

} // namespace voltrane
