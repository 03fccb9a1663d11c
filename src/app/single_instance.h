#pragma once

#include <QObject>
#include <QString>
#include <map>
#include <sys/types.h>
#include <unistd.h>

class QSocketNotifier;

namespace voltrane {

/// Keeps one Voltrane per user session. The first instance listens on a local socket in the
/// user's private runtime folder; a later launch connects, asks the first to show its panel,
/// and then exits. A socket or folder that belongs to anyone else is never used: the launch then
/// runs without the guard rather than hand itself over to a stranger.
///
/// Plain Unix sockets, so that a build which sends nothing never loads the network library.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    /// `socketPath` is absolute; empty means no safe place was found (no hand-over, no guard).
    /// `user` is whom the socket and its listener must belong to.
    explicit SingleInstance(QString socketPath = defaultSocketPath(), uid_t user = getuid(),
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

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
    bool bindAndListen();
    void acceptWaiting();
    void readRequest(int client);

    QString path_;
    uid_t user_;
    int listener_ = -1;
    /// Launches that connected and have not yet said what they want; the notifiers are children.
    std::map<int, QSocketNotifier*> clients_;
};

} // namespace voltrane
