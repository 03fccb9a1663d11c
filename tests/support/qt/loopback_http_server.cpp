#include "support/qt/loopback_http_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <stdexcept>

namespace voltrane::testing {

QList<QByteArray> LoopbackHttpServer::Request::header(const QByteArray& name) const {
    QList<QByteArray> values;
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            values.append(value);
        }
    }
    return values;
}

/// Accepts connections and parses requests on the server's thread. A request stays in its
/// socket's buffer until the whole of it has arrived.
class LoopbackHttpServer::Worker : public QObject {
public:
    explicit Worker(LoopbackHttpServer& owner) : owner_(owner) {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { consume(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    quint16 listen() { return server_.listen(QHostAddress::LocalHost, 0) ? server_.serverPort() : 0; }
    void stop() {
        server_.close();
        for (QTcpSocket* socket : server_.findChildren<QTcpSocket*>()) {
            socket->abort();
        }
    }

private:
    void consume(QTcpSocket* socket) {
        for (;;) {
            const QByteArray buffer = socket->peek(socket->bytesAvailable());
            const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
            Request request;
            const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.path = requestLine.value(1);
            for (const QByteArray& line : lines.mid(1)) {
                if (const qsizetype colon = line.indexOf(':'); colon > 0) {
                    request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
                }
            }
            const qsizetype length = request.header("Content-Length").value(0).toLongLong();
            if (headerEnd < 0 || buffer.size() < headerEnd + 4 + length) {
                return;
            }
            request.body = socket->read(headerEnd + 4 + length).mid(headerEnd + 4);
            const Behaviour behaviour = owner_.record(std::move(request));
            if (behaviour == neverAnswer()) {
                return; // leave the connection hanging
            }
            if (behaviour == closeConnection()) {
                return socket->abort();
            }
            socket->write("HTTP/1.1 " + QByteArray::number(behaviour) +
                          " Scripted\r\nContent-Length: 0\r\nConnection: keep-alive\r\n\r\n");
        }
    }

    LoopbackHttpServer& owner_;
    QTcpServer server_{this};
};

LoopbackHttpServer::LoopbackHttpServer() : thread_(std::make_unique<QThread>()) {
    auto worker = std::make_unique<Worker>(*this);
    worker->moveToThread(thread_.get());
    worker_ = worker.release(); // deleted on its thread when the thread finishes
    QObject::connect(thread_.get(), &QThread::finished, worker_, &QObject::deleteLater);
    thread_->start();
    QMetaObject::invokeMethod(
        worker_, [this] { port_ = worker_->listen(); }, Qt::BlockingQueuedConnection);
    if (port_ == 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
}

LoopbackHttpServer::~LoopbackHttpServer() {
    QMetaObject::invokeMethod(
        worker_, [this] { worker_->stop(); }, Qt::BlockingQueuedConnection);
    thread_->quit();
    thread_->wait();
}

QUrl LoopbackHttpServer::url() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1/v1/events").arg(port_));
}

void LoopbackHttpServer::setDefault(Behaviour behaviour) {
    const std::lock_guard lock(mutex_);
    default_ = behaviour;
}

void LoopbackHttpServer::script(std::deque<Behaviour> behaviours) {
    const std::lock_guard lock(mutex_);
    script_ = std::move(behaviours);
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

bool LoopbackHttpServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

LoopbackHttpServer::Behaviour LoopbackHttpServer::record(Request request) {
    const std::lock_guard lock(mutex_);
    const Behaviour answer = script_.empty() ? default_ : script_.front();
    if (!script_.empty()) {
        script_.pop_front();
    }
    requests_.push_back(std::move(request));
    arrived_.notify_all();
    return answer;
}

} // namespace voltrane::testing
