#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class QThread;

namespace voltrane::testing {

/// A small HTTP/1.1 server on 127.0.0.1 (a free port) that runs on a thread of its own, so a
/// test may block while the code under test talks to it. It records every request and answers
/// each as scripted. Stopped and closed when the object goes away.
class LoopbackHttpServer {
public:
    /// How one request is answered: a status code (with an empty body, keeping the connection),
    /// or one of the two below.
    using Behaviour = int;
    static Behaviour respond(int statusCode) { return statusCode; }
    /// Reads the request and never answers.
    static Behaviour neverAnswer() { return 0; }
    /// Reads the request and closes the connection without an answer.
    static Behaviour closeConnection() { return -1; }

    struct Request {
        QByteArray method;
        QByteArray path;
        QList<std::pair<QByteArray, QByteArray>> headers; ///< names as sent
        QByteArray body;

        /// The values of the headers named `name` (case-insensitive), in order.
        QList<QByteArray> header(const QByteArray& name) const;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    /// http://127.0.0.1:<port>/v1/events
    QUrl url() const;

    /// How requests are answered when no scripted answer is left (200 at first).
    void setDefault(Behaviour behaviour);
    /// Answers for the next requests, in order, before the default applies again.
    void script(std::deque<Behaviour> behaviours);

    std::vector<Request> requests() const;
    /// Waits until at least `count` requests have arrived; false on timeout.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    class Worker;

    /// Keeps `request` and returns how to answer it.
    Behaviour record(Request request);

    std::unique_ptr<QThread> thread_;
    Worker* worker_ = nullptr; // lives on thread_
    quint16 port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Request> requests_;
    std::deque<Behaviour> script_;
    Behaviour default_ = 200;
};

} // namespace voltrane::testing
