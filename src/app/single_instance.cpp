#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>

namespace voltrane {

namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QString kSocketName = QStringLiteral("voltrane.socket");

/// A real folder (not a link), owned by `user`, that nobody else may enter.
bool isPrivateFolder(const QString& path, uid_t user) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & 077) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, uid_t user, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)), user_(user) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().startsWith(kShowRequest.trimmed())) {
                    emit activationRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
}

QString SingleInstance::socketPathFor(const QString& runtimeDir, const QString& fallbackBase, uid_t user) {
    if (isPrivateFolder(runtimeDir, user)) {
        return runtimeDir + QLatin1Char('/') + kSocketName;
    }
    const QString fallback = fallbackBase + QStringLiteral("/voltrane-%1").arg(user);
    // An existing folder of that name may have been made by someone else first: then it is
    // not ours, and neither is anything in it.
    if (::mkdir(QFile::encodeName(fallback).constData(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    return isPrivateFolder(fallback, user) ? fallback + QLatin1Char('/') + kSocketName : QString();
}

QString SingleInstance::defaultSocketPath() {
    return socketPathFor(qEnvironmentVariable("XDG_RUNTIME_DIR"), QDir::tempPath(), getuid());
}

bool SingleInstance::socketIsOurs() const {
    struct stat info {};
    return ::lstat(QFile::encodeName(path_).constData(), &info) == 0 && S_ISSOCK(info.st_mode) &&
           info.st_uid == user_;
}

bool SingleInstance::handOverToRunningInstance(int timeoutMs) {
    if (path_.isEmpty() || !socketIsOurs()) {
        return false;
    }
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    // The file was ours a moment ago; the process behind it must be ours as well.
    struct ucred peer {};
    socklen_t size = sizeof peer;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
            0 ||
        peer.uid != user_) {
        socket.abort();
        return false;
    }
    socket.write(kShowRequest);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen() {
    if (path_.isEmpty()) {
        return false;
    }
    // The private folder keeps everyone else out. (Qt's access options would also make listen
    // replace whatever file has the name, a live socket included.)
    if (server_.listen(path_)) {
        return true;
    }
    // A socket file left behind by a crashed instance of ours: nobody answered the hand-over
    // above, so it is stale and safe to remove. Anything else at that path is left alone.
    if (!socketIsOurs()) {
        return false;
    }
    QLocalServer::removeServer(path_);
    return server_.listen(path_);
}

} // namespace voltrane
