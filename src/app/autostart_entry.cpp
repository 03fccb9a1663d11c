#include "app/autostart_entry.h"

#include "app/desktop_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace voltrane {

AutostartEntry::AutostartEntry(QString directory)
    : directory_(std::move(directory)), path_(directory_ + QStringLiteral("/voltrane.desktop")) {}

QString AutostartEntry::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QByteArray AutostartEntry::contents() {
    return QByteArray(kDesktopEntry);
}

bool AutostartEntry::isEnabled() const {
    return QFileInfo(path_).isFile();
}

bool AutostartEntry::setEnabled(bool enabled) {
    if (!enabled) {
        return !QFileInfo::exists(path_) || QFile::remove(path_);
    }
    if (!QDir().mkpath(directory_)) {
        return false;
    }
    // Written beside the target and renamed over it: a session starting meanwhile sees the
    // old entry or the new one, never a part.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray data = contents();
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace voltrane
