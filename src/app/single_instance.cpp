#include "app/single_instance.h"

#include <QLocalSocket>
#include <unistd.h>

namespace voltrane {

namespace {
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
}

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {
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

QString SingleInstance::defaultName() {
    return QStringLiteral("voltrane-%1").arg(getuid());
}

bool SingleInstance::handOverToRunningInstance(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name_);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShowRequest);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen() {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(name_)) {
        return true;
    }
    // A socket file left behind by a crashed instance: nobody answered the hand-over above,
    // so it is stale and safe to remove.
    QLocalServer::removeServer(name_);
    return server_.listen(name_);
}

} // namespace voltrane
