#include "analytics/telemetry_client.h"

#include "analytics/build_info.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QUuid>
#include <atomic>

#ifndef VOLTRANE_TELEMETRY_ENDPOINT
#define VOLTRANE_TELEMETRY_ENDPOINT ""
#endif

namespace voltrane {

namespace {

/// Fulfils a promise exactly once; a call that is dropped unrun (the client stopped before it
/// came up) still completes its future, with `fallback`.
template <typename T> class Completion {
public:
    explicit Completion(T fallback) : fallback_(fallback) {}
    ~Completion() { finish(fallback_); }
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;

    std::future<T> future() { return promise_.get_future(); }
    void finish(T value) {
        if (!finished_.exchange(true)) {
            promise_.set_value(value);
        }
    }

private:
    T fallback_;
    std::promise<T> promise_;
    std::atomic<bool> finished_{false};
};

template <> class Completion<void> {
public:
    Completion() = default;
    ~Completion() { finish(); }
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;

    std::future<void> future() { return promise_.get_future(); }
    void finish() {
        if (!finished_.exchange(true)) {
            promise_.set_value();
        }
    }

private:
    std::promise<void> promise_;
    std::atomic<bool> finished_{false};
};

bool isUuidText(const QString& text) {
    if (text.size() != 36) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-') {
                return false;
            }
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

} // namespace

/// The part of the client that lives on its thread. Its methods run there, one at a time;
/// a request in flight does not hold it up.
class TelemetryClient::Actor : public QObject {
public:
    Actor(TelemetryClient& client, QUrl endpoint, Timing timing)
        : client_(client), endpoint_(std::move(endpoint)), timing_(timing) {}

    void setUp() {
        network_ = new QNetworkAccessManager(this);
        heartbeatTimer_ = new QTimer(this);
        heartbeatTimer_->setSingleShot(true);
        heartbeatTimer_->setTimerType(Qt::PreciseTimer);
        connect(heartbeatTimer_, &QTimer::timeout, this, [this] { checkInLoop(); });
    }

    void start() {
        if (started_ || stopped_) {
            return;
        }
        started_ = true;
        // The loop holds the actor only weakly: once it is gone, a pending step does nothing.
        send(TelemetryEvent::appLaunch, [self = QPointer<Actor>(this)](bool) {
            if (self) {
                self->checkInLoop();
            }
        });
    }

    void send(TelemetryEvent event, std::function<void(bool)> done) {
        if (stopped_ || !client_.analyticsEnabled()) {
            done(false);
            return;
        }
        const QByteArray body = client_.payload(event).encoded();
        if (body.isEmpty()) {
            done(false);
            return;
        }
        QNetworkRequest request(endpoint_);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        request.setRawHeader(QByteArrayLiteral("User-Agent"), QByteArrayLiteral("Voltrane"));
        request.setTransferTimeout(static_cast<int>(timing_.transferTimeout.count()));
        // The body goes to the configured endpoint only, never where a redirect points.
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply* reply = network_->post(request, body);
        connect(reply, &QNetworkReply::finished, this, [reply, done = std::move(done)] {
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            const bool accepted = reply->error() == QNetworkReply::NoError && status >= 200 && status <= 299;
            reply->deleteLater();
            done(accepted);
        });
    }

    void sendHeartbeatIfNeeded(std::function<void()> done) {
        const auto last = client_.settings_->dateValue(SettingsStore::lastHeartbeatKey);
        // A stored time in the future gives a negative age and so also waits.
        if (last && client_.clock_() - *last < heartbeatSpacing) {
            done();
            return;
        }
        send(
            TelemetryEvent::heartbeat, [self = QPointer<Actor>(this), done = std::move(done)](bool accepted) {
                if (self && accepted) {
                    self->client_.settings_->setDate(SettingsStore::lastHeartbeatKey, self->client_.clock_());
                }
                done();
            });
    }

    void shutdown() {
        stopped_ = true;
        if (heartbeatTimer_ != nullptr) {
            heartbeatTimer_->stop();
        }
        if (network_ != nullptr) {
            for (QNetworkReply* reply : network_->findChildren<QNetworkReply*>()) {
                reply->abort();
            }
        }
    }

private:
    void checkInLoop() {
        if (stopped_) {
            return;
        }
        sendHeartbeatIfNeeded([self = QPointer<Actor>(this)] {
            if (!self || self->stopped_) {
                return;
            }
            emit self->client_.heartbeatChecked();
            self->heartbeatTimer_->start(self->timing_.heartbeatInterval);
        });
    }

    TelemetryClient& client_;
    const QUrl endpoint_;
    const Timing timing_;
    QNetworkAccessManager* network_ = nullptr; // child of this actor
    QTimer* heartbeatTimer_ = nullptr;         // child of this actor
    bool started_ = false;
    bool stopped_ = false;
};

TelemetryClient::TelemetryClient(QUrl endpoint, std::shared_ptr<SettingsStore> settings, Clock clock,
                                 Timing timing)
    : settings_(std::move(settings)), clock_(std::move(clock)) {
    if (!isAcceptableEndpoint(endpoint)) {
        return; // inert: nothing below is ever made
    }
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("voltrane-telemetry"));
    auto actor = std::make_unique<Actor>(*this, std::move(endpoint), timing);
    actor->moveToThread(thread_.get());
    actor_ = actor.release(); // from here on owned by its thread: deleted when it finishes
    connect(thread_.get(), &QThread::finished, actor_, &QObject::deleteLater);
    thread_->start();
    QMetaObject::invokeMethod(
        actor_, [actor = actor_] { actor->setUp(); }, Qt::QueuedConnection);
}

TelemetryClient::~TelemetryClient() {
    shutdown();
    // The actor refers to this client; it must be gone before the client is.
    if (thread_) {
        thread_->wait();
    }
}

QUrl TelemetryClient::builtInEndpoint() {
    return QUrl(QString::fromUtf8(VOLTRANE_TELEMETRY_ENDPOINT), QUrl::StrictMode);
}

bool TelemetryClient::isAcceptableEndpoint(const QUrl& endpoint) {
    if (!endpoint.isValid() || endpoint.host().isEmpty() || endpoint.path() != QStringLiteral("/v1/events") ||
        !endpoint.userInfo().isEmpty()) {
        return false;
    }
    if (endpoint.scheme() == QStringLiteral("https")) {
        return true;
    }
    if (endpoint.scheme() != QStringLiteral("http")) {
        return false;
    }
    const QString host = endpoint.host();
    return host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

void TelemetryClient::start() {
    if (stopped_ || !canSend()) {
        return;
    }
    QMetaObject::invokeMethod(
        actor_, [actor = actor_] { actor->start(); }, Qt::QueuedConnection);
}

void TelemetryClient::track(TelemetryEvent event) {
    if (stopped_ || !canSend()) {
        return;
    }
    QMetaObject::invokeMethod(
        actor_, [actor = actor_, event] { actor->send(event, [](bool) {}); }, Qt::QueuedConnection);
}

std::future<bool> TelemetryClient::send(TelemetryEvent event) {
    auto completion = std::make_shared<Completion<bool>>(false);
    auto future = completion->future();
    if (!stopped_ && canSend()) {
        QMetaObject::invokeMethod(
            actor_,
            [actor = actor_, event, completion] {
                actor->send(event, [completion](bool accepted) { completion->finish(accepted); });
            },
            Qt::QueuedConnection);
    }
    return future;
}

std::future<void> TelemetryClient::sendHeartbeatIfNeeded() {
    auto completion = std::make_shared<Completion<void>>();
    auto future = completion->future();
    if (!stopped_ && canSend()) {
        QMetaObject::invokeMethod(
            actor_,
            [actor = actor_, completion] {
                actor->sendHeartbeatIfNeeded([completion] { completion->finish(); });
            },
            Qt::QueuedConnection);
    }
    return future;
}

bool TelemetryClient::analyticsEnabled() const {
    return settings_->analyticsEnabled();
}

QString TelemetryClient::installationID() {
    // Callers on different threads must agree on one identifier.
    const std::lock_guard lock(installationMutex_);
    if (const auto stored = settings_->textValue(SettingsStore::installationIDKey);
        stored && isUuidText(*stored)) {
        return *stored;
    }
    // A store that cannot be written (a full disk, a settings folder that is a file) must not
    // give every event of this run a new identity: the one made here is kept until it is stored.
    if (unsavedInstallationID_.isEmpty()) {
        unsavedInstallationID_ = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    }
    const QString fresh = unsavedInstallationID_;
    if (settings_->setText(SettingsStore::installationIDKey, fresh)) {
        unsavedInstallationID_.clear();
    }
    return fresh;
}

TelemetryPayload TelemetryClient::payload(TelemetryEvent event) {
    return TelemetryPayload::forThisMachine(event, installationID());
}

void TelemetryClient::shutdown() {
    if (stopped_.exchange(true) || !canSend()) {
        return;
    }
    QMetaObject::invokeMethod(
        actor_,
        [actor = actor_] {
            actor->shutdown();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    thread_->wait(QDeadlineTimer(std::chrono::seconds(1)));
}

} // namespace voltrane
