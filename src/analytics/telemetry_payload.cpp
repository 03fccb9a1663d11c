#include "analytics/telemetry_payload.h"

#include "analytics/build_info.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace voltrane {

namespace {

const QString kInstallID = QStringLiteral("install_id");
const QString kEvent = QStringLiteral("event");
const QString kAppVersion = QStringLiteral("app_version");
const QString kBuild = QStringLiteral("build");
const QString kOsVersion = QStringLiteral("os_version");
const QString kArchitecture = QStringLiteral("architecture");

QString eventText(TelemetryEvent event) {
    const std::string_view raw = rawValue(event);
    return QString::fromLatin1(raw.data(), static_cast<qsizetype>(raw.size()));
}

} // namespace

QByteArray TelemetryPayload::encoded() const {
    // QJsonObject keeps its members sorted by key; the receiver does not rely on their order.
    QJsonObject object;
    object.insert(kInstallID, installID);
    object.insert(kEvent, eventText(event));
    object.insert(kAppVersion, appVersion);
    object.insert(kBuild, build);
    object.insert(kOsVersion, osVersion);
    object.insert(kArchitecture, architecture);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<TelemetryPayload> TelemetryPayload::decoded(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    for (const QString& key : {kInstallID, kEvent, kAppVersion, kBuild, kOsVersion, kArchitecture}) {
        if (!object.value(key).isString()) {
            return std::nullopt;
        }
    }
    const auto event = telemetryEvent(object.value(kEvent).toString().toStdString());
    if (!event) {
        return std::nullopt;
    }
    return TelemetryPayload{
        .installID = object.value(kInstallID).toString(),
        .event = *event,
        .appVersion = object.value(kAppVersion).toString(),
        .build = object.value(kBuild).toString(),
        .osVersion = object.value(kOsVersion).toString(),
        .architecture = object.value(kArchitecture).toString(),
    };
}

TelemetryPayload TelemetryPayload::forThisMachine(TelemetryEvent event, QString installID) {
    return TelemetryPayload{
        .installID = std::move(installID),
        .event = event,
        .appVersion = buildinfo::appVersion(),
        .build = buildinfo::build(),
        .osVersion = buildinfo::osVersion(),
        .architecture = buildinfo::architecture(),
    };
}

} // namespace voltrane
