#pragma once

#include "common/date.h"

#include <QJsonObject>
#include <QString>
#include <memory>
#include <mutex>
#include <optional>

namespace voltrane {

/// The program's few persistent settings: a JSON file of typed entries, e.g.
/// {"analyticsEnabled": {"type": "bool", "value": true}}. Booleans, texts and dates stay distinct,
/// and a value of another type than the one asked for reads as absent.
///
/// Every call re-reads the file, so two stores on one file (or a hand edit) agree at the next
/// read. Writes replace the file atomically. A file that is not a JSON object of entries reads as
/// empty; the first write after that keeps a copy of it beside it ("<file>.corrupt-<time>") before
/// replacing it, and writes nothing when the copy cannot be made. Safe to use from any thread.
class SettingsStore {
public:
    explicit SettingsStore(QString filePath);

    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    /// $XDG_CONFIG_HOME/voltrane/settings.json (or the platform's config folder).
    static QString defaultFilePath();

    static inline const QString analyticsEnabledKey = QStringLiteral("analyticsEnabled");
    static inline const QString installationIDKey = QStringLiteral("analyticsInstallationID");
    static inline const QString lastHeartbeatKey = QStringLiteral("analyticsLastHeartbeatAt");

    const QString& filePath() const { return filePath_; }

    std::optional<bool> boolValue(const QString& key) const;
    std::optional<QString> textValue(const QString& key) const;
    /// Dates are kept to the millisecond.
    std::optional<Date> dateValue(const QString& key) const;

    /// Each returns false when the file could not be written; the stored value is then unchanged.
    bool setBool(const QString& key, bool value);
    bool setText(const QString& key, const QString& value);
    bool setDate(const QString& key, Date value);
    bool remove(const QString& key);

    /// The usage-statistics switch: the stored boolean, true when absent or not a boolean.
    bool analyticsEnabled() const;
    bool setAnalyticsEnabled(bool enabled);

private:
    enum class FileState { missing, valid, corrupt, unreadable };
    struct Contents {
        FileState state = FileState::missing;
        QJsonObject entries;
    };

    Contents load() const;
    std::optional<QJsonValue> typedValue(const QString& key, const QString& type) const;
    bool write(const QString& key, const std::optional<QJsonObject>& entry);
    bool keepCorruptCopy() const;

    QString filePath_;
    mutable std::mutex mutex_;
};

} // namespace voltrane
