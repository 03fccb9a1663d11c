#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace voltrane {

namespace {

constexpr char kShowRequest[] = "show\n";
const QString kSocketName = QStringLiteral("voltrane.socket");

/// A real folder (not a link), owned by `user`, that nobody else may enter.
bool isPrivateFolder(const QString& path, uid_t user) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == user && (info.st_mode & 077) == 0;
}

/// The socket address of `path`, or nothing when the path does not fit one.
std::optional<sockaddr_un> addressOf(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    if (encoded.isEmpty() || static_cast<std::size_t>(encoded.size()) >= sizeof address.sun_path) {
        return std::nullopt;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, encoded.constData(), static_cast<std::size_t>(encoded.size()));
    return address;
}

int localSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, uid_t user, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)), user_(user) {}

SingleInstance::~SingleInstance() {
    // Notifiers go before the descriptors they watch.
    qDeleteAll(findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly));
    for (const auto& [client, notifier] : clients_) {
        ::close(client);
    }
    if (listener_ >= 0) {
        ::close(listener_);
        // The next launch must not mistake our socket for a live instance.
        ::unlink(QFile::encodeName(path_).constData());
    }
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
    const auto address = addressOf(path_);
    if (!address || !socketIsOurs()) {
        return false;
    }
    const int fd = localSocket();
    if (fd < 0) {
        return false;
    }
    // A full backlog answers "try again" rather than making the caller wait; retry until the
    // deadline, as a busy instance is still a running one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int connected = -1;
    while ((connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address)) != 0 &&
           errno == EAGAIN && std::chrono::steady_clock::now() < deadline) {
        ::poll(nullptr, 0, 10);
    }
    // The file was ours a moment ago; the process behind it must be ours as well.
    struct ucred peer {};
    socklen_t size = sizeof peer;
    const bool ours =
        connected == 0 && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == user_;
    const bool sent = ours && ::send(fd, kShowRequest, sizeof kShowRequest - 1, MSG_NOSIGNAL) ==
                                  static_cast<ssize_t>(sizeof kShowRequest - 1);
    ::close(fd);
    return sent;
}

bool SingleInstance::bindAndListen() {
    const auto address = addressOf(path_);
    const int fd = address ? localSocket() : -1;
    if (fd < 0) {
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    listener_ = fd;
    connect(new QSocketNotifier(fd, QSocketNotifier::Read, this), &QSocketNotifier::activated, this,
            &SingleInstance::acceptWaiting);
    return true;
}

bool SingleInstance::listen() {
    if (listener_ >= 0) {
        return true;
    }
    // The private folder keeps everyone else out, and bind never replaces an existing file.
    if (bindAndListen()) {
        return true;
    }
    // A socket file left behind by a crashed instance of ours: nobody answered the hand-over
    // above, so it is stale and safe to remove. Anything else at that path is left alone.
    if (!socketIsOurs()) {
        return false;
    }
    ::unlink(QFile::encodeName(path_).constData());
    return bindAndListen();
}

void SingleInstance::acceptWaiting() {
    int client = -1;
    while ((client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0) {
        auto* notifier = new QSocketNotifier(client, QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, [this, client] { readRequest(client); });
        clients_.emplace(client, notifier);
    }
}

void SingleInstance::readRequest(int client) {
    char request[sizeof kShowRequest] = {};
    const ssize_t got = ::recv(client, request, sizeof request - 1, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    // One request per connection: whatever it said, the connection has had its turn.
    const auto found = clients_.find(client);
    found->second->setEnabled(false);
    found->second->deleteLater();
    clients_.erase(found);
    ::close(client);
    if (got > 0 && std::strncmp(request, kShowRequest, 4) == 0) {
        emit activationRequested();
    }
}

} // namespace voltrane
