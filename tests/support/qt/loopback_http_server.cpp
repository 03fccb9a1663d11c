#include "support/qt/loopback_http_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <map>
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

/// Accepts connections and parses requests on the server's thread.
class LoopbackHttpServer::Worker : public QObject {
public:
    explicit Worker(LoopbackHttpServer& owner) : owner_(owner) {}

    quint16 listen() {
        server_ = new QTcpServer(this);
        if (!server_->listen(QHostAddress::LocalHost, 0)) {
            return 0;
        }
        connect(server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { consume(socket); });
                connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                    buffers_.erase(socket);
                    socket->deleteLater();
                });
            }
        });
        return server_->serverPort();
    }

    void stop() {
        if (server_ != nullptr) {
            server_->close();
        }
        for (QTcpSocket* socket : findChildren<QTcpSocket*>()) {
            socket->abort();
        }
    }

private:
    void consume(QTcpSocket* socket) {
        QByteArray& buffer = buffers_[socket];
        buffer += socket->readAll();
        for (;;) {
            const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
            if (headerEnd < 0) {
                return;
            }
            const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
            Request request;
            const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
            request.method = requestLine.value(0);
            request.path = requestLine.value(1);
            qsizetype contentLength = 0;
            for (qsizetype i = 1; i < lines.size(); ++i) {
                const QByteArray line = lines.at(i).trimmed();
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0) {
                    continue;
                }
                const QByteArray name = line.left(colon).trimmed();
                const QByteArray value = line.mid(colon + 1).trimmed();
                request.headers.append({name, value});
                if (name.compare("Content-Length", Qt::CaseInsensitive) == 0) {
                    contentLength = value.toLongLong();
                }
            }
            const qsizetype total = headerEnd + 4 + contentLength;
            if (buffer.size() < total) {
                return;
            }
            request.body = buffer.mid(headerEnd + 4, contentLength);
            buffer.remove(0, total);

            const Behaviour behaviour = owner_.record(std::move(request));
            if (behaviour == neverAnswer()) {
                return; // leave the connection hanging; later bytes on it are not read
            }
            if (behaviour == closeConnection()) {
                buffers_.erase(socket);
                socket->abort();
                return;
            }
            socket->write("HTTP/1.1 " + QByteArray::number(behaviour) +
                          " Scripted\r\nContent-Length: 0\r\nConnection: keep-alive\r\n\r\n");
        }
    }

    LoopbackHttpServer& owner_;
    QTcpServer* server_ = nullptr;
    std::map<QTcpSocket*, QByteArray> buffers_;
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
    Behaviour answer = 0;
    {
        const std::lock_guard lock(mutex_);
        answer = default_;
        if (!script_.empty()) {
            answer = script_.front();
            script_.pop_front();
        }
        requests_.push_back(std::move(request));
    }
    arrived_.notify_all();
    return answer;
}

quint16 unusedLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) {
        return 0;
    }
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace voltrane::testing
