#include "analytics/telemetry_client.h"
#include "support/param_name.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;
using Server = LoopbackHttpServer;

const Date kNow{std::chrono::milliseconds(1'800'000'000'000)};
const QRegularExpression
    kLowerUuid(QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));

// Every wait is bounded well below a test's time budget; none of them is expected to run out.
constexpr auto kPatience = 1500ms;
constexpr TelemetryTiming kHourly{.transferTimeout = 1s, .heartbeatInterval = 1h};
constexpr TelemetryTiming kRapid{.transferTimeout = 1s, .heartbeatInterval = 5ms};

QString member(const Server::Request& request, const char* name) {
    return QJsonDocument::fromJson(request.body).object().value(QLatin1String(name)).toString();
}

/// The events of the requests, blank-separated.
std::string eventsOf(const std::vector<Server::Request>& requests) {
    QStringList events;
    for (const auto& request : requests) {
        events.append(member(request, "event"));
    }
    return events.join(QLatin1Char(' ')).toStdString();
}

/// Polls `condition` until it holds; false when the patience ran out.
bool eventually(const std::function<bool()>& condition) {
    for (const auto end = std::chrono::steady_clock::now() + kPatience; !condition();) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

template <typename T> bool finished(const std::future<T>& future) {
    return future.wait_for(kPatience) == std::future_status::ready;
}

/// The value of a finished future; nullopt when it did not finish in time.
std::optional<bool> outcome(std::future<bool>&& future) {
    return finished(future) ? std::optional(future.get()) : std::nullopt;
}

/// Comes first among the fixture's bases so the application exists before the server starts.
struct WithApplication {
    WithApplication() {
        static int argc = 1;
        static char name[] = "analytics_client_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
};

class TelemetryClientTest : public ::testing::Test, private WithApplication {
protected:
    std::unique_ptr<TelemetryClient> makeClient(TelemetryTiming timing = kHourly) {
        return makeClient(server.url(), timing);
    }
    std::unique_ptr<TelemetryClient> makeClient(const QUrl& endpoint, TelemetryTiming timing) {
        return std::make_unique<TelemetryClient>(
            endpoint, store, [this] { return now.load(); }, timing);
    }

    /// Sends one event that the server accepts and returns the request the server saw.
    Server::Request sendOne(TelemetryClient& client, TelemetryEvent event) {
        const std::size_t before = server.requests().size();
        EXPECT_EQ(outcome(client.send(event)), true);
        const auto requests = server.requests();
        EXPECT_EQ(requests.size(), before + 1);
        return requests.empty() ? Server::Request{} : requests.back();
    }
    /// Counts the loop's heartbeat checks, running `onCheck` on the client's thread before counting each.
    void watchChecks(
        TelemetryClient& client, std::function<void(int)> onCheck = [](int) {}) {
        QObject::connect(
            &client, &TelemetryClient::heartbeatChecked, &client,
            [this, onCheck] {
                onCheck(checks + 1);
                ++checks;
            },
            Qt::DirectConnection);
    }
    bool checked(int count) {
        return eventually([&] { return checks >= count; });
    }
    std::optional<Date> lastHeartbeat() const { return store->dateValue(SettingsStore::lastHeartbeatKey); }

    testing::TempDir dir;
    std::shared_ptr<SettingsStore> store =
        std::make_shared<SettingsStore>(QString::fromStdString((dir.path() / "settings.json").string()));
    std::atomic<Date> now{kNow}; // the wall clock the client reads, set by the test
    Server server;
    std::atomic<int> checks{0};
};

TEST_F(TelemetryClientTest, FirstLaunchPostsLaunchThenHeartbeatAndStoresIdAndTime) {
    auto client = makeClient();
    watchChecks(*client);
    client->start();
    ASSERT_TRUE(checked(1));

    const auto requests = server.requests();
    ASSERT_EQ(eventsOf(requests), "app_launch heartbeat");
    const QString id = member(requests[0], "install_id");
    EXPECT_TRUE(kLowerUuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(member(requests[1], "install_id"), id);
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), id);
    EXPECT_EQ(lastHeartbeat(), kNow);
}

TEST_F(TelemetryClientTest, LaunchTenHoursAfterHeartbeatWaitsForTheFirstCheckPastADay) {
    const Date last = kNow - 10h;
    ASSERT_TRUE(store->setDate(SettingsStore::lastHeartbeatKey, last));
    // Checks at +10, +16, +22, +28 h of the fake wall clock, which then stands still.
    auto client = makeClient(kRapid);
    watchChecks(*client, [this](int count) {
        if (count < 4) {
            now = now.load() + 6h;
        }
    });
    client->start();

    ASSERT_TRUE(server.waitForRequests(2, kPatience));
    ASSERT_TRUE(checked(4));
    EXPECT_EQ(lastHeartbeat(), last + 28h);
    client.reset();
    // The checks after that one, with the day not yet over again, sent nothing.
    EXPECT_EQ(eventsOf(server.requests()), "app_launch heartbeat");
}

TEST_F(TelemetryClientTest, RefusedHeartbeatStoresNoTimeAndTheNextCheckTriesAgain) {
    server.script({Server::respond(200), Server::respond(500), Server::respond(200)});
    std::vector<bool> storedAfterCheck;
    auto client = makeClient(kRapid);
    watchChecks(*client, [&](int count) {
        if (count <= 2) {
            storedAfterCheck.push_back(lastHeartbeat().has_value());
        }
    });
    client->start();
    ASSERT_TRUE(checked(3));
    client.reset();

    EXPECT_EQ(storedAfterCheck, (std::vector<bool>{false, true}));
    EXPECT_EQ(eventsOf(server.requests()), "app_launch heartbeat heartbeat");
}

TEST_F(TelemetryClientTest, SwitchedOffSendsNothingAndCreatesNoIdentifier) {
    ASSERT_TRUE(store->setAnalyticsEnabled(false));
    auto client = makeClient();
    watchChecks(*client);
    client->start();
    client->track(TelemetryEvent::dashboardOpen);
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), false);
    ASSERT_TRUE(checked(1));

    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(lastHeartbeat(), std::nullopt);
}

TEST_F(TelemetryClientTest, TheSwitchIsSeenAtTheNextSendAndTextCountsAsOn) {
    ASSERT_TRUE(store->setText(SettingsStore::analyticsEnabledKey, QStringLiteral("false")));
    auto client = makeClient();
    EXPECT_TRUE(client->analyticsEnabled());
    sendOne(*client, TelemetryEvent::dashboardOpen);

    SettingsStore dashboard(store->filePath()); // the dashboard's own store on the same file
    ASSERT_TRUE(dashboard.setAnalyticsEnabled(false));
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), false);
    EXPECT_EQ(server.requests().size(), 1u);
    ASSERT_TRUE(dashboard.setAnalyticsEnabled(true));
    sendOne(*client, TelemetryEvent::dashboardOpen);
}

struct StoredIdRow {
    const char* name;
    const char* stored;
    bool kept;
};

class TelemetryClientStoredId : public TelemetryClientTest,
                                public ::testing::WithParamInterface<StoredIdRow> {};

TEST_P(TelemetryClientStoredId, IsSentAsStoredOrReplacedByALowerCaseOne) {
    const QString stored = QString::fromLatin1(GetParam().stored);
    ASSERT_TRUE(store->setText(SettingsStore::installationIDKey, stored));
    auto client = makeClient();
    const QString sent = member(sendOne(*client, TelemetryEvent::appLaunch), "install_id");
    if (GetParam().kept) {
        EXPECT_EQ(sent, stored);
    } else {
        EXPECT_TRUE(kLowerUuid.match(sent).hasMatch()) << sent.toStdString();
    }
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), sent);
    EXPECT_EQ(member(sendOne(*client, TelemetryEvent::heartbeat), "install_id"), sent);
}

INSTANTIATE_TEST_SUITE_P(
    Identifiers, TelemetryClientStoredId,
    ::testing::Values(StoredIdRow{"lowerCase", "0f8fad5b-d9cb-469f-a165-70867728950e", true},
                      StoredIdRow{"upperCase", "3F2504E0-4F89-11D3-9A0C-0305E82C3301", true},
                      StoredIdRow{"notAUuid", "not-a-uuid", false}, StoredIdRow{"empty", "", false},
                      StoredIdRow{"braces", "{3f2504e0-4f89-11d3-9a0c-0305e82c3301}", false},
                      StoredIdRow{"trailingBlank", "3f2504e0-4f89-11d3-9a0c-0305e82c3301 ", false}),
    testing::ParamName{});

TEST_F(TelemetryClientTest, IdentifierOfAnotherTypeIsReplaced) {
    ASSERT_TRUE(store->setBool(SettingsStore::installationIDKey, true));
    const QString id = makeClient()->installationID();
    EXPECT_TRUE(kLowerUuid.match(id).hasMatch());
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), id);
}

TEST_F(TelemetryClientTest, StartingTwiceRunsOneLaunchAndOneLoop) {
    auto client = makeClient();
    watchChecks(*client);
    client->start();
    client->start();
    ASSERT_TRUE(checked(1));
    client->start();
    // Calls run in order on the client's thread, so once this send is done every start() was handled.
    sendOne(*client, TelemetryEvent::dashboardOpen);
    EXPECT_FALSE(server.waitForRequests(4, 200ms)); // a second launch or loop still on its way
    client.reset();

    EXPECT_EQ(eventsOf(server.requests()), "app_launch heartbeat dashboard_open");
    EXPECT_EQ(checks.load(), 1);
}

TEST_F(TelemetryClientTest, HeartbeatToAServerThatNeverAnswersIsGivenUpAfterTheTimeout) {
    server.setDefault(Server::neverAnswer());
    auto client = makeClient({.transferTimeout = 150ms, .heartbeatInterval = 1h});
    const auto began = std::chrono::steady_clock::now();
    ASSERT_TRUE(finished(client->sendHeartbeatIfNeeded()));
    EXPECT_GE(std::chrono::steady_clock::now() - began, 140ms);
    EXPECT_EQ(eventsOf(server.requests()), "heartbeat");
    EXPECT_EQ(lastHeartbeat(), std::nullopt);
}

TEST_F(TelemetryClientTest, RefusedOrClosedConnectionFailsTheSend) {
    QUrl refusing = server.url();
    refusing.setPort(testing::unusedLoopbackPort());
    EXPECT_EQ(outcome(makeClient(refusing, kHourly)->send(TelemetryEvent::appLaunch)), false);
    server.setDefault(Server::closeConnection());
    EXPECT_EQ(outcome(makeClient()->send(TelemetryEvent::appLaunch)), false);
    EXPECT_FALSE(server.requests().empty());
}

TEST_F(TelemetryClientTest, OnlyTwoHundredsCountAsAccepted) {
    for (const auto& [status, accepted] :
         {std::pair{200, true}, {204, true}, {299, true}, {302, false}, {404, false}, {500, false}}) {
        server.setDefault(Server::respond(status));
        EXPECT_EQ(outcome(makeClient()->send(TelemetryEvent::heartbeat)), accepted) << status;
    }
    EXPECT_EQ(server.requests().size(), 6u);
}

struct DueRow {
    const char* name;
    std::optional<std::chrono::milliseconds> storedAgo; ///< how long before now the stored time lies
    bool sends;
};

class TelemetryClientHeartbeatDue : public TelemetryClientTest,
                                    public ::testing::WithParamInterface<DueRow> {};

TEST_P(TelemetryClientHeartbeatDue, SendsOnlyWhenNoneWasAcceptedInTheLastDay) {
    if (GetParam().storedAgo) {
        ASSERT_TRUE(store->setDate(SettingsStore::lastHeartbeatKey, kNow - *GetParam().storedAgo));
    }
    const auto before = lastHeartbeat();
    auto client = makeClient();
    ASSERT_TRUE(finished(client->sendHeartbeatIfNeeded()));
    EXPECT_EQ(server.requests().size(), GetParam().sends ? 1u : 0u);
    EXPECT_EQ(lastHeartbeat(), GetParam().sends ? kNow : before);
}

INSTANTIATE_TEST_SUITE_P(StoredTimes, TelemetryClientHeartbeatDue,
                         ::testing::Values(DueRow{"never", std::nullopt, true},
                                           DueRow{"justUnderADay", 24h - 1ms, false},
                                           DueRow{"exactlyADay", 24h, true},
                                           DueRow{"inTheFuture", -1h, false}),
                         testing::ParamName{});

TEST_F(TelemetryClientTest, HeartbeatTimeStoredAsTextCountsAsAbsent) {
    ASSERT_TRUE(store->setText(SettingsStore::lastHeartbeatKey, QStringLiteral("2026-12-06T10:00:00Z")));
    ASSERT_TRUE(finished(makeClient()->sendHeartbeatIfNeeded()));
    EXPECT_EQ(lastHeartbeat(), kNow);
}

TEST_F(TelemetryClientTest, PostsJsonWithTheFixedHeadersAndSixMembers) {
    auto client = makeClient();
    const Server::Request request = sendOne(*client, TelemetryEvent::dashboardOpen);

    EXPECT_EQ(request.method, QByteArrayLiteral("POST"));
    EXPECT_EQ(request.path, QByteArrayLiteral("/v1/events"));
    EXPECT_EQ(request.header("Content-Type"), QList{QByteArrayLiteral("application/json")});
    EXPECT_EQ(request.header("User-Agent"), QList{QByteArrayLiteral("Voltrane")});
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object().keys().join(QLatin1Char(' ')).toStdString(),
              "app_version architecture build event install_id os_version");
    EXPECT_EQ(request.body, client->payload(TelemetryEvent::dashboardOpen).encoded());
    EXPECT_EQ(member(request, "app_version"), QStringLiteral(EXPECTED_APP_VERSION));
    EXPECT_EQ(member(request, "build"), QStringLiteral(EXPECTED_BUILD));
}

TEST_F(TelemetryClientTest, DashboardEventGoesOutWhileAHeartbeatWaitsAndShutdownEndsAll) {
    server.script({Server::neverAnswer()});
    auto client = makeClient({.transferTimeout = 5s, .heartbeatInterval = 1h});
    auto heartbeat = client->send(TelemetryEvent::heartbeat);
    ASSERT_TRUE(server.waitForRequests(1, kPatience));
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), true);
    EXPECT_EQ(heartbeat.wait_for(0ms), std::future_status::timeout);

    const auto began = std::chrono::steady_clock::now();
    client->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 1s);
    ASSERT_EQ(heartbeat.wait_for(0ms), std::future_status::ready);
    EXPECT_FALSE(heartbeat.get());

    // Afterwards nothing is sent, and every call still returns at once.
    client->shutdown();
    client->start();
    client->track(TelemetryEvent::dashboardOpen);
    auto sent = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_EQ(sent.wait_for(0ms), std::future_status::ready);
    EXPECT_FALSE(sent.get());
    EXPECT_EQ(client->sendHeartbeatIfNeeded().wait_for(0ms), std::future_status::ready);
    EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(TelemetryClientTest, DestroyingTheClientEndsTheLoop) {
    auto client = makeClient(kRapid);
    // Keep every check due, so a loop that survived would go on posting heartbeats.
    watchChecks(*client, [this](int) { store->remove(SettingsStore::lastHeartbeatKey); });
    client->start();
    ASSERT_TRUE(checked(3));
    client.reset();
    EXPECT_FALSE(server.waitForRequests(server.requests().size() + 1, 100ms));
}

TEST(TelemetryEndpoint, IsHttpsOrLoopbackHttpWithTheEventsPath) {
    for (const char* url : {"https://events.example.org:8443/v1/events", "http://127.3.2.1/v1/events",
                            "http://[::1]:9000/v1/events", "http://localhost:9000/v1/events"}) {
        EXPECT_TRUE(TelemetryClient::isAcceptableEndpoint(QUrl(QString::fromLatin1(url)))) << url;
    }
    for (const char* url :
         {"http://events.example.org/v1/events", "http://localhost.example.org/v1/events",
          "https://events.example.org/v1/events/", "https:///v1/events",
          "https://user:pw@events.example.org/v1/events", "ftp://events.example.org/v1/events"}) {
        EXPECT_FALSE(TelemetryClient::isAcceptableEndpoint(QUrl(QString::fromLatin1(url)))) << url;
    }
}

TEST_F(TelemetryClientTest, OnlyAnAcceptableEndpointIsEverContacted) {
    QUrl other = server.url();
    other.setPath(QStringLiteral("/v1/other"));
    EXPECT_EQ(outcome(makeClient(other, kHourly)->send(TelemetryEvent::appLaunch)), false);
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
} // namespace voltrane
