#pragma once

#include <QString>

namespace voltrane {

/// The switch "start at login": the program's desktop entry, with its autostart key, in the
/// XDG autostart folder. The file's presence is the state, so a change made by hand or by a
/// desktop's own settings shows the next time the switch is read.
class AutostartEntry {
public:
    /// `directory` is the autostart folder; the default is $XDG_CONFIG_HOME/autostart.
    explicit AutostartEntry(QString directory = defaultDirectory());

    static QString defaultDirectory();
    /// The entry written: the installed desktop entry, which carries the autostart key.
    static QByteArray contents();

    QString path() const { return path_; }
    bool isEnabled() const;
    /// Writes the entry whole or not at all, or removes it. False when the folder or the
    /// file cannot be changed; the state on disk is then what it was.
    bool setEnabled(bool enabled);

private:
    QString directory_;
    QString path_;
};

} // namespace voltrane
