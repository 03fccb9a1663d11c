#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <sys/types.h>
#include <unistd.h>

namespace voltrane {

/// Keeps one Voltrane per user session. The first instance listens on a local socket in the
/// user's private runtime folder; a later launch connects, asks the first to show its panel,
/// and then exits. A socket or folder that belongs to anyone else is never used: the launch then
/// runs without the guard rather than hand itself over to a stranger.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    /// `socketPath` is absolute; empty means no safe place was found (no hand-over, no guard).
    /// `user` is whom the socket and its listener must belong to.
    explicit SingleInstance(QString socketPath = defaultSocketPath(), uid_t user = getuid(),
                            QObject* parent = nullptr);

    /// True when our own running instance took the hand-over; this one should exit.
    bool handOverToRunningInstance(int timeoutMs = 500);

    /// Starts listening so later launches reach this instance. Returns false if the socket
    /// cannot be created (the app then runs without the guard rather than not at all).
    bool listen();

    /// The socket in `runtimeDir` when that is a private folder of `user`; otherwise in
    /// "<fallbackBase>/voltrane-<user>", created private when missing; empty when neither is.
    static QString socketPathFor(const QString& runtimeDir, const QString& fallbackBase, uid_t user);
    /// `socketPathFor` with $XDG_RUNTIME_DIR, the temporary folder and this process's user.
    static QString defaultSocketPath();

signals:
    void activationRequested();

private:
    /// Whether the path holds a socket that belongs to `user_`.
    bool socketIsOurs() const;

    QString path_;
    uid_t user_;
    QLocalServer server_;
};

} // namespace voltrane
