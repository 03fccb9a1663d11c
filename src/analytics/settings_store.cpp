#include "analytics/settings_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTimeZone>

namespace voltrane {

namespace {

const QString kType = QStringLiteral("type");
const QString kValue = QStringLiteral("value");
const QString kBool = QStringLiteral("bool");
const QString kText = QStringLiteral("text");
const QString kDate = QStringLiteral("date");

QJsonObject entry(const QString& type, const QJsonValue& value) {
    QJsonObject object;
    object.insert(kType, type);
    object.insert(kValue, value);
    return object;
}

} // namespace

SettingsStore::SettingsStore(QString filePath) : filePath_(std::move(filePath)) {}

QString SettingsStore::defaultFilePath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty()) {
        folder = QDir::homePath() + QStringLiteral("/.config");
    }
    return folder + QStringLiteral("/voltrane/settings.json");
}

SettingsStore::Contents SettingsStore::load() const {
    QFile file(filePath_);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {.state = FileState::unreadable, .entries = {}};
    }
    const QByteArray bytes = file.readAll();
    if (bytes.trimmed().isEmpty()) {
        // Nothing to lose: an empty file is simply a store with no entries.
        return {.state = FileState::valid, .entries = {}};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return {.state = FileState::corrupt, .entries = {}};
    }
    return {.state = FileState::valid, .entries = document.object()};
}

std::optional<QJsonValue> SettingsStore::typedValue(const QString& key, const QString& type) const {
    const QJsonValue stored = [&] {
        const std::lock_guard lock(mutex_);
        return load().entries.value(key);
    }();
    if (!stored.isObject()) {
        return std::nullopt;
    }
    const QJsonObject object = stored.toObject();
    if (object.value(kType) != QJsonValue(type) || !object.contains(kValue)) {
        return std::nullopt;
    }
    return object.value(kValue);
}

std::optional<bool> SettingsStore::boolValue(const QString& key) const {
    const auto value = typedValue(key, kBool);
    if (!value || !value->isBool()) {
        return std::nullopt;
    }
    return value->toBool();
}

std::optional<QString> SettingsStore::textValue(const QString& key) const {
    const auto value = typedValue(key, kText);
    if (!value || !value->isString()) {
        return std::nullopt;
    }
    return value->toString();
}

std::optional<Date> SettingsStore::dateValue(const QString& key) const {
    const auto value = typedValue(key, kDate);
    if (!value || !value->isString()) {
        return std::nullopt;
    }
    const QDateTime time = QDateTime::fromString(value->toString(), Qt::ISODateWithMs);
    if (!time.isValid()) {
        return std::nullopt;
    }
    return Date{std::chrono::milliseconds(time.toMSecsSinceEpoch())};
}

bool SettingsStore::setBool(const QString& key, bool value) {
    return write(key, entry(kBool, value));
}

bool SettingsStore::setText(const QString& key, const QString& value) {
    return write(key, entry(kText, value));
}

bool SettingsStore::setDate(const QString& key, Date value) {
    const auto milliseconds = std::chrono::floor<std::chrono::milliseconds>(value.time_since_epoch()).count();
    const QString text =
        QDateTime::fromMSecsSinceEpoch(milliseconds, QTimeZone::utc()).toString(Qt::ISODateWithMs);
    return write(key, entry(kDate, text));
}

bool SettingsStore::remove(const QString& key) {
    return write(key, std::nullopt);
}

bool SettingsStore::analyticsEnabled() const {
    return boolValue(analyticsEnabledKey).value_or(true);
}

bool SettingsStore::setAnalyticsEnabled(bool enabled) {
    return setBool(analyticsEnabledKey, enabled);
}

bool SettingsStore::keepCorruptCopy() const {
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz'Z'"));
    const QString base = filePath_ + QStringLiteral(".corrupt-") + stamp;
    QString target = base;
    for (int n = 1; QFileInfo::exists(target); ++n) {
        target = base + QLatin1Char('-') + QString::number(n);
    }
    return QFile::copy(filePath_, target);
}

bool SettingsStore::write(const QString& key, const std::optional<QJsonObject>& newEntry) {
    const std::lock_guard lock(mutex_);
    Contents contents = load();
    switch (contents.state) {
    case FileState::unreadable:
        // What cannot be read cannot be copied aside either: leave it alone.
        return false;
    case FileState::corrupt:
        if (!keepCorruptCopy()) {
            return false;
        }
        break;
    case FileState::missing:
    case FileState::valid:
        break;
    }
    if (newEntry) {
        contents.entries.insert(key, *newEntry);
    } else {
        contents.entries.remove(key);
    }
    if (!QDir().mkpath(QFileInfo(filePath_).absolutePath())) {
        return false;
    }
    QSaveFile file(filePath_);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(contents.entries).toJson(QJsonDocument::Indented));
    return file.commit();
}

} // namespace voltrane
