#pragma once

#include "analytics/telemetry_event.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace voltrane {

/// One usage event as sent: the JSON body is one object with exactly six string members,
/// "install_id", "event", "app_version", "build", "os_version" and "architecture".
struct TelemetryPayload {
    QString installID;
    TelemetryEvent event = TelemetryEvent::appLaunch;
    QString appVersion;
    QString build;
    QString osVersion;
    QString architecture;

    /// Compact UTF-8 JSON with the members in the order above.
    QByteArray encoded() const;

    /// Reads a body of the encoded form. Every one of the six members must be present and a
    /// string, and "event" one of the three event texts; otherwise none. Other members are
    /// ignored.
    static std::optional<TelemetryPayload> decoded(const QByteArray& json);

    /// The payload for `event` on this machine: compiled-in version and build, the running
    /// OS version and the compiled-for architecture.
    static TelemetryPayload forThisMachine(TelemetryEvent event, QString installID);

    friend bool operator==(const TelemetryPayload&, const TelemetryPayload&) = default;
};

} // namespace voltrane
