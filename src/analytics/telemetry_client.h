#pragma once

#include "analytics/settings_store.h"
#include "analytics/telemetry_event.h"
#include "analytics/telemetry_payload.h"
#include "common/date.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

class QThread;

namespace voltrane {

/// How long the usage client waits for the network and between heartbeat checks.
struct TelemetryTiming {
    /// Longest time a request may stay without progress before it is given up.
    std::chrono::milliseconds transferTimeout{std::chrono::seconds(8)};
    /// Pause between two heartbeat checks, measured on the monotonic clock.
    std::chrono::milliseconds heartbeatInterval{std::chrono::hours(6)};
};

/// Posts anonymous usage events to the usage endpoint unless the user switched them off.
///
/// A client without an acceptable endpoint (a build configured without one) is inert: it starts
/// no thread, opens no socket and never writes to the store. Otherwise it works on a thread of its own, one
/// call at a time; while a request waits for the network other calls go ahead, so a dashboard-open event and
/// a heartbeat can be in flight together. Every public call returns at once and never waits for the network,
/// so the UI thread may call any of them. A failed event is only lost; a failed heartbeat is tried again at
/// the next check because its time is stored only when the endpoint accepted it.
class TelemetryClient : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<Date()>;

    using Timing = TelemetryTiming;

    /// `endpoint` must be https (plain http only for a loopback host) with the path "/v1/events";
    /// with any other endpoint, an empty one included, the client is inert and every send fails.
    /// `clock` gives the wall-clock time used for the daily heartbeat.
    TelemetryClient(QUrl endpoint, std::shared_ptr<SettingsStore> settings, Clock clock,
                    Timing timing = Timing{});
    /// Cancels the heartbeat loop and aborts what is in flight (see `shutdown()`).
    ~TelemetryClient() override;

    TelemetryClient(const TelemetryClient&) = delete;
    TelemetryClient& operator=(const TelemetryClient&) = delete;

    /// The usage endpoint this program was built with; empty when it was built without one.
    static QUrl builtInEndpoint();
    /// Whether this program was built to send usage events at all.
    static bool hasBuiltInEndpoint() { return isAcceptableEndpoint(builtInEndpoint()); }
    /// https with a host and the path "/v1/events", or the same over http to a loopback host.
    static bool isAcceptableEndpoint(const QUrl& endpoint);

    static constexpr std::chrono::seconds heartbeatSpacing{86400};

    /// The store holding the switch, the installation identifier and the last heartbeat time.
    const std::shared_ptr<SettingsStore>& settings() const { return settings_; }

    /// False for an inert client, which never sends.
    bool canSend() const { return actor_ != nullptr; }

    /// Posts "app_launch", then checks the heartbeat at once and after every interval. Only the
    /// first call does anything.
    void start();

    /// Posts `event`; the outcome is not reported.
    void track(TelemetryEvent event);

    /// Posts `event`; the future holds true only when the endpoint answered with a 2xx status.
    /// Nothing is sent (false) while the switch is off.
    std::future<bool> send(TelemetryEvent event);

    /// Posts a heartbeat unless one was accepted less than 24 hours ago by `clock`; stores the
    /// time after the send only when it was accepted. The future is ready when the check is done.
    std::future<void> sendHeartbeatIfNeeded();

    /// The user's switch: the stored boolean, on when absent or not a boolean.
    bool analyticsEnabled() const;

    /// The stored identifier when it is a UUID text (kept as stored); otherwise a new lower-case
    /// one, stored before it is returned. When it cannot be stored, the same new one is returned
    /// for the rest of the run (and stored as soon as the store takes it).
    QString installationID();

    /// The body for `event` (may create the installation identifier).
    TelemetryPayload payload(TelemetryEvent event);

    /// Stops the heartbeat loop, aborts every request in flight and stops the client's thread,
    /// waiting at most about a second. Later calls send nothing. Safe to call twice.
    void shutdown();

signals:
    /// A heartbeat check of the loop finished (whether or not it sent anything).
    void heartbeatChecked();

private:
    class Actor;

    std::shared_ptr<SettingsStore> settings_;
    Clock clock_;
    std::mutex installationMutex_;
    QString unsavedInstallationID_; // made but not yet stored; guarded by installationMutex_
    std::atomic<bool> stopped_{false};
    std::unique_ptr<QThread> thread_; // none for an inert client
    Actor* actor_ = nullptr;          // lives on thread_, deleted there when it finishes
};

} // namespace voltrane
