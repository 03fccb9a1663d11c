#include "analytics/telemetry_client.h"
#include "support/param_name.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <ostream>

namespace voltrane {
namespace {

/// Prints a table row as its name in failure messages.
template <typename Row>
requires requires(const Row& row) {
    std::string_view(row.name);
}
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;

const Date kNow{std::chrono::milliseconds(1'800'000'000'000)};
const QRegularExpression
    kLowerUuid(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));

// Every wait is bounded well below a test's time budget; none of them is expected to run out.
constexpr auto kPatience = 1500ms;

void ensureApplication() {
    static int argc = 1;
    static char name[] = "analytics_client_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

/// A wall clock the test sets; read from the client's thread.
class FakeClock {
public:
    explicit FakeClock(Date start) : ms_(toMs(start)) {}
    Date now() const { return Date{std::chrono::milliseconds(ms_.load())}; }
    void set(Date when) { ms_ = toMs(when); }
    void advance(std::chrono::milliseconds by) { ms_ += by.count(); }

private:
    static long long toMs(Date when) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    }
    std::atomic<long long> ms_;
};

/// Counts the loop's heartbeat checks and runs `onCheck` on the client's thread after each.
class CheckCounter {
public:
    void attach(TelemetryClient& client, std::function<void(int)> onCheck = {}) {
        onCheck_ = std::move(onCheck);
        QObject::connect(
            &client, &TelemetryClient::heartbeatChecked, &client,
            [this] {
                int count = 0;
                {
                    const std::lock_guard lock(mutex_);
                    count = ++count_;
                }
                if (onCheck_) {
                    onCheck_(count);
                }
                changed_.notify_all();
            },
            Qt::DirectConnection);
    }
    bool waitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return count_ >= count; });
    }
    int count() const {
        const std::lock_guard lock(mutex_);
        return count_;
    }

private:
    std::function<void(int)> onCheck_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

QJsonObject bodyOf(const LoopbackHttpServer::Request& request) {
    return QJsonDocument::fromJson(request.body).object();
}

QString eventOf(const LoopbackHttpServer::Request& request) {
    return bodyOf(request).value(QStringLiteral("event")).toString();
}

QStringList eventsOf(const std::vector<LoopbackHttpServer::Request>& requests) {
    QStringList events;
    for (const auto& request : requests) {
        events.append(eventOf(request));
    }
    return events;
}

template <typename T> bool readyInTime(std::future<T>& future) {
    return future.wait_for(kPatience) == std::future_status::ready;
}

/// Comes first among the fixture's bases so the application exists before the server starts.
struct WithApplication {
    WithApplication() { ensureApplication(); }
};

class TelemetryClientTest : public ::testing::Test, private WithApplication {
protected:
    /// Heartbeat checks after the first one are an hour apart unless a test says otherwise.
    std::unique_ptr<TelemetryClient> makeClient(TelemetryTiming timing = {.transferTimeout = 1s,
                                                                          .heartbeatInterval = 1h}) {
        return makeClient(server.url(), timing);
    }
    std::unique_ptr<TelemetryClient> makeClient(const QUrl& endpoint, TelemetryTiming timing) {
        return std::make_unique<TelemetryClient>(
            endpoint, store, [this] { return clock.now(); }, timing);
    }

    /// Sends one event and returns the request the server saw.
    LoopbackHttpServer::Request sendOne(TelemetryClient& client, TelemetryEvent event) {
        const std::size_t before = server.requests().size();
        auto accepted = client.send(event);
        EXPECT_TRUE(readyInTime(accepted));
        EXPECT_TRUE(accepted.get());
        const auto requests = server.requests();
        EXPECT_EQ(requests.size(), before + 1);
        return requests.empty() ? LoopbackHttpServer::Request{} : requests.back();
    }

    testing::TempDir dir;
    std::shared_ptr<SettingsStore> store =
        std::make_shared<SettingsStore>(QString::fromStdString((dir.path() / "settings.json").string()));
    FakeClock clock{kNow};
    LoopbackHttpServer server;
    CheckCounter checks; // outlives the clients, which call into it
};

TEST_F(TelemetryClientTest, FirstLaunchPostsLaunchThenHeartbeatAndStoresIdAndTime) {
    auto client = makeClient();
    checks.attach(*client);
    client->start();
    ASSERT_TRUE(checks.waitFor(1));

    const auto requests = server.requests();
    ASSERT_EQ(eventsOf(requests), (QStringList{QStringLiteral("app_launch"), QStringLiteral("heartbeat")}));
    const QString id = bodyOf(requests[0]).value(QStringLiteral("install_id")).toString();
    EXPECT_TRUE(kLowerUuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(bodyOf(requests[1]).value(QStringLiteral("install_id")).toString(), id);
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), id);
    EXPECT_EQ(store->dateValue(SettingsStore::lastHeartbeatKey), kNow);
}

TEST_F(TelemetryClientTest, LaunchTenHoursAfterHeartbeatWaitsForTheFirstCheckPastADay) {
    const Date last = kNow - 10h;
    ASSERT_TRUE(store->setDate(SettingsStore::lastHeartbeatKey, last));
    // The first checks are each followed by six hours of the fake wall clock: +10, +16, +22, +28 h;
    // the clock then stands still.
    auto client = makeClient({.transferTimeout = 1s, .heartbeatInterval = 5ms});
    checks.attach(*client, [this](int count) {
        if (count < 4) {
            clock.advance(6h);
        }
    });
    client->start();

    ASSERT_TRUE(server.waitForRequests(2, kPatience));
    ASSERT_TRUE(checks.waitFor(4));
    const auto requests = server.requests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(eventOf(requests[0]), QStringLiteral("app_launch"));
    EXPECT_EQ(eventOf(requests[1]), QStringLiteral("heartbeat"));
    EXPECT_EQ(store->dateValue(SettingsStore::lastHeartbeatKey), last + 28h);
    client.reset();
    // The checks after that one, with the day not yet over again, sent nothing.
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(TelemetryClientTest, RefusedHeartbeatStoresNoTimeAndTheNextCheckTriesAgain) {
    server.script({LoopbackHttpServer::respond(200), LoopbackHttpServer::respond(500),
                   LoopbackHttpServer::respond(200)});
    std::vector<bool> storedAfterCheck;
    auto client = makeClient({.transferTimeout = 1s, .heartbeatInterval = 5ms});
    checks.attach(*client, [&](int count) {
        if (count <= 2) {
            storedAfterCheck.push_back(store->dateValue(SettingsStore::lastHeartbeatKey).has_value());
        }
    });
    client->start();
    ASSERT_TRUE(checks.waitFor(3));
    client.reset();

    EXPECT_EQ(storedAfterCheck, (std::vector<bool>{false, true}));
    EXPECT_EQ(eventsOf(server.requests()),
              (QStringList{QStringLiteral("app_launch"), QStringLiteral("heartbeat"),
                           QStringLiteral("heartbeat")}));
}

TEST_F(TelemetryClientTest, SwitchedOffSendsNothingAndCreatesNoIdentifier) {
    ASSERT_TRUE(store->setAnalyticsEnabled(false));
    auto client = makeClient();
    checks.attach(*client);
    client->start();
    client->track(TelemetryEvent::dashboardOpen);
    auto sent = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_TRUE(readyInTime(sent));
    EXPECT_FALSE(sent.get());
    ASSERT_TRUE(checks.waitFor(1));

    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(store->dateValue(SettingsStore::lastHeartbeatKey), std::nullopt);
}

TEST_F(TelemetryClientTest, TheSwitchIsSeenAtTheNextSend) {
    auto client = makeClient();
    sendOne(*client, TelemetryEvent::dashboardOpen);

    // The dashboard flips the switch through its own store object on the same file.
    SettingsStore dashboardView(store->filePath());
    ASSERT_TRUE(dashboardView.setAnalyticsEnabled(false));
    auto refused = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_TRUE(readyInTime(refused));
    EXPECT_FALSE(refused.get());
    EXPECT_EQ(server.requests().size(), 1u);

    ASSERT_TRUE(dashboardView.setAnalyticsEnabled(true));
    sendOne(*client, TelemetryEvent::dashboardOpen);
}

TEST_F(TelemetryClientTest, TextStoredWhereTheSwitchBelongsCountsAsOn) {
    ASSERT_TRUE(store->setText(SettingsStore::analyticsEnabledKey, QStringLiteral("false")));
    auto client = makeClient();
    EXPECT_TRUE(client->analyticsEnabled());
    EXPECT_EQ(eventOf(sendOne(*client, TelemetryEvent::dashboardOpen)), QStringLiteral("dashboard_open"));
}

struct StoredIdRow {
    const char* name;
    const char* stored;
    bool kept;
};

class TelemetryClientStoredId : public TelemetryClientTest,
                                public ::testing::WithParamInterface<StoredIdRow> {};

TEST_P(TelemetryClientStoredId, IsSentAsStoredOrReplacedByALowerCaseOne) {
    const StoredIdRow& row = GetParam();
    const QString stored = QString::fromLatin1(row.stored);
    ASSERT_TRUE(store->setText(SettingsStore::installationIDKey, stored));
    auto client = makeClient();
    const QString sent =
        bodyOf(sendOne(*client, TelemetryEvent::appLaunch)).value(QStringLiteral("install_id")).toString();
    if (row.kept) {
        EXPECT_EQ(sent, stored);
    } else {
        EXPECT_NE(sent, stored);
        EXPECT_TRUE(kLowerUuid.match(sent).hasMatch()) << sent.toStdString();
    }
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), sent);
    // The next event carries the same identifier.
    EXPECT_EQ(bodyOf(sendOne(*client, TelemetryEvent::heartbeat)).value(QStringLiteral("install_id")), sent);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, TelemetryClientStoredId,
    ::testing::Values(StoredIdRow{"lowerCase", "0f8fad5b-d9cb-469f-a165-70867728950e", true},
                      StoredIdRow{"upperCase", "3F2504E0-4F89-11D3-9A0C-0305E82C3301", true},
                      StoredIdRow{"mixedCase", "3f2504E0-4f89-11d3-9A0C-0305e82c3301", true},
                      StoredIdRow{"allZero", "00000000-0000-0000-0000-000000000000", true},
                      StoredIdRow{"notAUuid", "not-a-uuid", false}, StoredIdRow{"empty", "", false},
                      StoredIdRow{"braces", "{3f2504e0-4f89-11d3-9a0c-0305e82c3301}", false},
                      StoredIdRow{"noHyphens", "3f2504e04f8911d39a0c0305e82c3301", false},
                      StoredIdRow{"hyphenMisplaced", "3f2504e-04f89-11d3-9a0c-0305e82c3301", false},
                      StoredIdRow{"notHex", "3f2504e0-4f89-11d3-9a0c-0305e82c330g", false},
                      StoredIdRow{"trailingBlank", "3f2504e0-4f89-11d3-9a0c-0305e82c3301 ", false}),
    testing::ParamName{});

TEST_F(TelemetryClientTest, IdentifierOfAnotherTypeIsReplaced) {
    ASSERT_TRUE(store->setBool(SettingsStore::installationIDKey, true));
    auto client = makeClient();
    const QString id = client->installationID();
    EXPECT_TRUE(kLowerUuid.match(id).hasMatch());
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), id);
}

TEST_F(TelemetryClientTest, StartingTwiceRunsOneLaunchAndOneLoop) {
    auto client = makeClient();
    checks.attach(*client);
    client->start();
    client->start();
    ASSERT_TRUE(checks.waitFor(1));
    client->start();
    // Calls run in order on the client's thread, so once this send is done every start() was
    // handled, and a second launch would have been posted before it.
    sendOne(*client, TelemetryEvent::dashboardOpen);
    // A second launch or loop still on its way would arrive now.
    EXPECT_FALSE(server.waitForRequests(4, 200ms));
    client.reset();

    EXPECT_EQ(eventsOf(server.requests()),
              (QStringList{QStringLiteral("app_launch"), QStringLiteral("heartbeat"),
                           QStringLiteral("dashboard_open")}));
    EXPECT_EQ(checks.count(), 1);
}

TEST_F(TelemetryClientTest, ServerThatNeverAnswersIsGivenUpAfterTheTimeout) {
    server.setDefault(LoopbackHttpServer::neverAnswer());
    auto client = makeClient({.transferTimeout = 150ms, .heartbeatInterval = 1h});
    const auto began = std::chrono::steady_clock::now();
    auto sent = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_TRUE(readyInTime(sent));
    const auto waited = std::chrono::steady_clock::now() - began;
    EXPECT_FALSE(sent.get());
    EXPECT_GE(waited, 140ms);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(TelemetryClientTest, HeartbeatThatTimesOutStoresNoTime) {
    server.setDefault(LoopbackHttpServer::neverAnswer());
    auto client = makeClient({.transferTimeout = 100ms, .heartbeatInterval = 1h});
    auto checked = client->sendHeartbeatIfNeeded();
    ASSERT_TRUE(readyInTime(checked));
    EXPECT_EQ(eventsOf(server.requests()), QStringList{QStringLiteral("heartbeat")});
    EXPECT_EQ(store->dateValue(SettingsStore::lastHeartbeatKey), std::nullopt);
}

TEST_F(TelemetryClientTest, RefusedConnectionFailsTheSend) {
    QUrl endpoint = server.url();
    endpoint.setPort(testing::unusedLoopbackPort());
    auto client = makeClient(endpoint, {.transferTimeout = 1s, .heartbeatInterval = 1h});
    auto sent = client->send(TelemetryEvent::appLaunch);
    ASSERT_TRUE(readyInTime(sent));
    EXPECT_FALSE(sent.get());
}

TEST_F(TelemetryClientTest, ConnectionClosedWithoutAnswerFailsTheSend) {
    server.setDefault(LoopbackHttpServer::closeConnection());
    auto client = makeClient();
    auto sent = client->send(TelemetryEvent::appLaunch);
    ASSERT_TRUE(readyInTime(sent));
    EXPECT_FALSE(sent.get());
}

struct StatusRow {
    const char* name;
    int status;
    bool accepted;
};

class TelemetryClientStatus : public TelemetryClientTest, public ::testing::WithParamInterface<StatusRow> {};

TEST_P(TelemetryClientStatus, OnlyTwoHundredsCountAsAccepted) {
    server.setDefault(LoopbackHttpServer::respond(GetParam().status));
    auto client = makeClient();
    auto sent = client->send(TelemetryEvent::heartbeat);
    ASSERT_TRUE(readyInTime(sent));
    EXPECT_EQ(sent.get(), GetParam().accepted);
    EXPECT_EQ(server.requests().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, TelemetryClientStatus,
    ::testing::Values(StatusRow{"ok", 200, true}, StatusRow{"created", 201, true},
                      StatusRow{"accepted", 202, true}, StatusRow{"noContent", 204, true},
                      StatusRow{"lastSuccess", 299, true}, StatusRow{"redirect", 302, false},
                      StatusRow{"notModified", 304, false}, StatusRow{"badRequest", 400, false},
                      StatusRow{"notFound", 404, false}, StatusRow{"tooMany", 429, false},
                      StatusRow{"serverError", 500, false}, StatusRow{"unavailable", 503, false}),
    testing::ParamName{});

struct DueRow {
    const char* name;
    std::function<void(SettingsStore&)> prepare;
    bool sends;
};

class TelemetryClientHeartbeatDue : public TelemetryClientTest,
                                    public ::testing::WithParamInterface<DueRow> {};

TEST_P(TelemetryClientHeartbeatDue, SendsOnlyWhenNoneWasAcceptedInTheLastDay) {
    GetParam().prepare(*store);
    const auto before = store->dateValue(SettingsStore::lastHeartbeatKey);
    auto client = makeClient();
    auto checked = client->sendHeartbeatIfNeeded();
    ASSERT_TRUE(readyInTime(checked));
    EXPECT_EQ(server.requests().size(), GetParam().sends ? 1u : 0u);
    EXPECT_EQ(store->dateValue(SettingsStore::lastHeartbeatKey), GetParam().sends ? kNow : before);
}

INSTANTIATE_TEST_SUITE_P(
    StoredTimes, TelemetryClientHeartbeatDue,
    ::testing::Values(
        DueRow{"never", [](SettingsStore&) {}, true},
        DueRow{"justUnderADay",
               [](SettingsStore& s) { s.setDate(SettingsStore::lastHeartbeatKey, kNow - 24h + 1ms); }, false},
        DueRow{"exactlyADay",
               [](SettingsStore& s) { s.setDate(SettingsStore::lastHeartbeatKey, kNow - 24h); }, true},
        DueRow{"inTheFuture", [](SettingsStore& s) { s.setDate(SettingsStore::lastHeartbeatKey, kNow + 1h); },
               false},
        DueRow{"storedAsText",
               [](SettingsStore& s) {
                   s.setText(SettingsStore::lastHeartbeatKey, QStringLiteral("2026-12-06T10:00:00Z"));
               },
               true}),
    testing::ParamName{});

TEST_F(TelemetryClientTest, PostsJsonWithTheFixedHeadersAndSixMembers) {
    auto client = makeClient();
    const LoopbackHttpServer::Request request = sendOne(*client, TelemetryEvent::dashboardOpen);

    EXPECT_EQ(request.method, QByteArrayLiteral("POST"));
    EXPECT_EQ(request.path, QByteArrayLiteral("/v1/events"));
    EXPECT_EQ(request.header("Content-Type"), QByteArrayLiteral("application/json"));
    EXPECT_EQ(request.header("User-Agent"), QByteArrayLiteral("Voltrane"));
    EXPECT_EQ(request.headerCount("User-Agent"), 1);
    EXPECT_FALSE(request.body.contains(' '));
    EXPECT_FALSE(request.body.contains('\n'));

    const QJsonObject body = bodyOf(request);
    EXPECT_EQ(body.keys(), (QStringList{QStringLiteral("app_version"), QStringLiteral("architecture"),
                                        QStringLiteral("build"), QStringLiteral("event"),
                                        QStringLiteral("install_id"), QStringLiteral("os_version")}));
    for (const QString& key : body.keys()) {
        EXPECT_TRUE(body.value(key).isString()) << key.toStdString();
    }
    EXPECT_EQ(body.value(QStringLiteral("install_id")).toString(),
              store->textValue(SettingsStore::installationIDKey).value_or(QString()));
    EXPECT_EQ(body.value(QStringLiteral("event")).toString(), QStringLiteral("dashboard_open"));
    EXPECT_EQ(body.value(QStringLiteral("app_version")).toString(), QStringLiteral(EXPECTED_APP_VERSION));
    EXPECT_EQ(body.value(QStringLiteral("build")).toString(), QStringLiteral(EXPECTED_BUILD));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                    .match(body.value(QStringLiteral("os_version")).toString())
                    .hasMatch());
#if defined(__x86_64__)
    EXPECT_EQ(body.value(QStringLiteral("architecture")).toString(), QStringLiteral("x86_64"));
#endif
    EXPECT_EQ(TelemetryPayload::decoded(request.body), client->payload(TelemetryEvent::dashboardOpen));
}

TEST_F(TelemetryClientTest, DashboardEventGoesOutWhileAHeartbeatWaits) {
    server.script({LoopbackHttpServer::neverAnswer()});
    auto client = makeClient({.transferTimeout = 5s, .heartbeatInterval = 1h});
    auto heartbeat = client->send(TelemetryEvent::heartbeat);
    ASSERT_TRUE(server.waitForRequests(1, kPatience));
    auto opened = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_TRUE(readyInTime(opened));
    EXPECT_TRUE(opened.get());
    EXPECT_EQ(heartbeat.wait_for(0ms), std::future_status::timeout);

    // Shutting down gives the waiting request up at once.
    const auto began = std::chrono::steady_clock::now();
    client->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
    ASSERT_EQ(heartbeat.wait_for(0ms), std::future_status::ready);
    EXPECT_FALSE(heartbeat.get());
}

TEST_F(TelemetryClientTest, AfterShutdownNothingIsSent) {
    auto client = makeClient();
    client->shutdown();
    client->shutdown();
    client->start();
    client->track(TelemetryEvent::dashboardOpen);
    auto sent = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_EQ(sent.wait_for(0ms), std::future_status::ready);
    EXPECT_FALSE(sent.get());
    auto checked = client->sendHeartbeatIfNeeded();
    EXPECT_EQ(checked.wait_for(0ms), std::future_status::ready);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(TelemetryClientTest, DestroyingTheClientEndsTheLoop) {
    auto client = makeClient({.transferTimeout = 1s, .heartbeatInterval = 5ms});
    // Keep every check due, so a loop that survived would go on posting heartbeats.
    checks.attach(*client, [this](int) { store->remove(SettingsStore::lastHeartbeatKey); });
    client->start();
    ASSERT_TRUE(checks.waitFor(3));
    client.reset();
    const std::size_t atTeardown = server.requests().size();
    EXPECT_FALSE(server.waitForRequests(atTeardown + 1, 100ms));
}

struct EndpointRow {
    const char* name;
    const char* url;
    bool acceptable;
};

class TelemetryEndpoint : public ::testing::TestWithParam<EndpointRow> {};

TEST_P(TelemetryEndpoint, IsHttpsOrLoopbackHttpWithTheEventsPath) {
    EXPECT_EQ(TelemetryClient::isAcceptableEndpoint(QUrl(QString::fromLatin1(GetParam().url))),
              GetParam().acceptable);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, TelemetryEndpoint,
    ::testing::Values(EndpointRow{"https", "https://events.example.org/v1/events", true},
                      EndpointRow{"httpsWithPort", "https://events.example.org:8443/v1/events", true},
                      EndpointRow{"loopbackV4", "http://127.0.0.1:8080/v1/events", true},
                      EndpointRow{"loopbackRange", "http://127.3.2.1/v1/events", true},
                      EndpointRow{"loopbackV6", "http://[::1]:9000/v1/events", true},
                      EndpointRow{"localhost", "http://localhost:9000/v1/events", true},
                      EndpointRow{"plainHttpRemote", "http://events.example.org/v1/events", false},
                      EndpointRow{"plainHttpPrivate", "http://192.168.1.10/v1/events", false},
                      EndpointRow{"localhostLookalike", "http://localhost.example.org/v1/events", false},
                      EndpointRow{"otherPath", "https://events.example.org/v2/events", false},
                      EndpointRow{"trailingSlash", "https://events.example.org/v1/events/", false},
                      EndpointRow{"otherScheme", "ftp://events.example.org/v1/events", false},
                      EndpointRow{"noHost", "https:///v1/events", false},
                      EndpointRow{"credentials", "https://user:pw@events.example.org/v1/events", false},
                      EndpointRow{"empty", "", false}),
    testing::ParamName{});

TEST(TelemetryBuiltInEndpoint, IsHttpsToTheEventsPath) {
    const QUrl endpoint = TelemetryClient::builtInEndpoint();
    EXPECT_EQ(endpoint.scheme(), QStringLiteral("https"));
    EXPECT_EQ(endpoint.path(), QStringLiteral("/v1/events"));
    EXPECT_TRUE(TelemetryClient::isAcceptableEndpoint(endpoint));
}

TEST_F(TelemetryClientTest, UnacceptableEndpointSendsNothing) {
    QUrl endpoint = server.url();
    endpoint.setPath(QStringLiteral("/v1/other"));
    auto client = makeClient(endpoint, {.transferTimeout = 1s, .heartbeatInterval = 1h});
    auto sent = client->send(TelemetryEvent::appLaunch);
    ASSERT_TRUE(readyInTime(sent));
    EXPECT_FALSE(sent.get());
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
} // namespace voltrane
