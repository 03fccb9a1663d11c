#include "analytics/telemetry_client.h"
#include "monitor/power_monitor.h"
#include "support/monitor_fakes.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using Server = testing::LoopbackHttpServer;

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
    std::string events;
    for (const auto& request : requests) {
        events += (events.empty() ? "" : " ") + member(request, "event").toStdString();
    }
    return events;
}

template <typename T> bool ready(const std::future<T>& future, std::chrono::milliseconds wait = kPatience) {
    return future.wait_for(wait) == std::future_status::ready;
}

/// The value of a finished future; nullopt when it did not finish in time.
std::optional<bool> outcome(std::future<bool>&& future) {
    return ready(future) ? std::optional(future.get()) : std::nullopt;
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
    std::unique_ptr<TelemetryClient> makeClient(TelemetryTiming timing = kHourly, QUrl endpoint = {}) {
        return std::make_unique<TelemetryClient>(
            endpoint.isEmpty() ? server.url() : endpoint, store, [this] { return now.load(); }, timing);
    }
    /// Counts the loop's heartbeat checks, running `onCheck` on the client's thread before each count.
    void watchChecks(
        TelemetryClient& client, std::function<void(int)> onCheck = [](int) {}) {
        const auto counted = [this, onCheck] {
            onCheck(checks + 1);
            ++checks;
        };
        QObject::connect(&client, &TelemetryClient::heartbeatChecked, &client, counted, Qt::DirectConnection);
    }
    /// Waits until `count` checks are done; false when the patience ran out.
    bool checked(int count) {
        for (const auto end = std::chrono::steady_clock::now() + kPatience; checks < count;) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    std::optional<Date> lastHeartbeat() const { return store->dateValue(SettingsStore::lastHeartbeatKey); }

    testing::TempDir dir;
    std::shared_ptr<SettingsStore> store =
        std::make_shared<SettingsStore>(QString::fromStdString((dir.path() / "settings.json").string()));
    std::atomic<Date> now{kNow}; // the wall clock the client reads, set by the test
    Server server;
    std::atomic<int> checks{0};
};

TEST_F(TelemetryClientTest, FirstLaunchPostsLaunchThenHeartbeatUnderANewLowerCaseIdentity) {
    auto client = makeClient();
    watchChecks(*client);
    client->start();
    client->start(); // only the first start does anything
    ASSERT_TRUE(checked(1));
    client.reset();

    const auto requests = server.requests();
    ASSERT_EQ(eventsOf(requests), "app_launch heartbeat");
    const QString id = member(requests[0], "install_id");
    EXPECT_TRUE(kLowerUuid.match(id).hasMatch()) << id.toStdString();
    EXPECT_EQ(member(requests[1], "install_id"), id);
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), id);
    EXPECT_EQ(lastHeartbeat(), kNow);
    EXPECT_EQ(checks.load(), 1);
    const Server::Request& request = requests[0];
    EXPECT_EQ(request.method + ' ' + request.path, QByteArrayLiteral("POST /v1/events"));
    EXPECT_EQ(request.header("Content-Type"), QList{QByteArrayLiteral("application/json")});
    EXPECT_EQ(request.header("User-Agent"), QList{QByteArrayLiteral("Voltrane")});
    EXPECT_EQ(member(request, "app_version"), QStringLiteral(EXPECTED_APP_VERSION));
}

TEST_F(TelemetryClientTest, LoopSendsAHeartbeatAtTheFirstCheckPastADayAndStoresItOnlyWhenAccepted) {
    const Date last = kNow - 10h;
    ASSERT_TRUE(store->setDate(SettingsStore::lastHeartbeatKey, last));
    // Checks at +10, +16, +22, +28 (refused), +34 h of the fake wall clock, which then stands still.
    server.script({Server::respond(200), Server::respond(500)});
    std::vector<bool> storedAtCheck;
    auto client = makeClient(kRapid);
    watchChecks(*client, [&](int count) {
        storedAtCheck.push_back(lastHeartbeat() != last);
        if (count < 5) {
            now = now.load() + 6h;
        }
    });
    client->start();
    ASSERT_TRUE(checked(6));
    client.reset();
    EXPECT_EQ(storedAtCheck, (std::vector<bool>{false, false, false, false, true, true}));
    EXPECT_EQ(lastHeartbeat(), last + 34h);
    EXPECT_EQ(eventsOf(server.requests()), "app_launch heartbeat heartbeat");
}

TEST_F(TelemetryClientTest, HeartbeatIsDueOnlyAfterADayWithoutAnAcceptedOne) {
    const std::optional<std::chrono::milliseconds> ago[] = {std::nullopt, 24h - 1ms, 24h, -1h};
    const bool sends[] = {true, false, true, false};
    for (int row = 0; row < 4; ++row) {
        SCOPED_TRACE(row);
        ASSERT_TRUE(ago[row] ? store->setDate(SettingsStore::lastHeartbeatKey, kNow - *ago[row])
                             : store->setText(SettingsStore::lastHeartbeatKey, QStringLiteral("2026-12-06")));
        const auto before = server.requests().size();
        ASSERT_TRUE(ready(makeClient()->sendHeartbeatIfNeeded()));
        EXPECT_EQ(server.requests().size(), before + (sends[row] ? 1 : 0));
        EXPECT_EQ(lastHeartbeat(), sends[row] ? kNow : kNow - *ago[row]);
    }
}

TEST_F(TelemetryClientTest, TheSwitchIsReadAtEverySendAndOffSendsNothing) {
    ASSERT_TRUE(
        store->setText(SettingsStore::analyticsEnabledKey, QStringLiteral("false"))); // not a bool: on
    auto client = makeClient();
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), true);
    SettingsStore dashboard(store->filePath()); // the dashboard's own store on the same file
    ASSERT_TRUE(dashboard.setAnalyticsEnabled(false));
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), false);
    EXPECT_EQ(server.requests().size(), 1u);
    ASSERT_TRUE(dashboard.setAnalyticsEnabled(true));
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), true);

    ASSERT_TRUE(store->setAnalyticsEnabled(false));
    ASSERT_TRUE(store->remove(SettingsStore::installationIDKey));
    auto off = makeClient();
    watchChecks(*off);
    off->start();
    off->track(TelemetryEvent::dashboardOpen);
    EXPECT_EQ(outcome(off->send(TelemetryEvent::dashboardOpen)), false); // after start and track
    ASSERT_TRUE(checked(1));
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(lastHeartbeat(), std::nullopt);
}

TEST_F(TelemetryClientTest, StoredIdentifierIsSentAsStoredWhenAUuidOtherwiseReplaced) {
    const QStringList kept{QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"),
                           QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301")};
    for (const QString& stored :
         kept + QStringList{QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C330G"),
                            QStringLiteral("3f2504e0x4f89-11d3-9a0c-0305e82c3301"),
                            QStringLiteral("{3f2504e0-4f89-11d3-9a0c-0305e82c3301}"),
                            QStringLiteral("3f2504e0-4f89-11d3-9a0c-0305e82c3301 "), QString()}) {
        ASSERT_TRUE(store->setText(SettingsStore::installationIDKey, stored));
        auto client = makeClient();
        const QString sent = client->installationID();
        EXPECT_TRUE(kept.contains(stored) ? sent == stored : kLowerUuid.match(sent).hasMatch())
            << stored.toStdString();
        EXPECT_EQ(store->textValue(SettingsStore::installationIDKey), sent);
        EXPECT_EQ(client->installationID(), sent);
    }
    ASSERT_TRUE(store->setBool(SettingsStore::installationIDKey, true));
    EXPECT_TRUE(kLowerUuid.match(makeClient()->installationID()).hasMatch());
}

TEST_F(TelemetryClientTest, OnlyATwoHundredFromTheEndpointCountsAsAccepted) {
    for (const auto& [status, accepted] :
         {std::pair{200, true}, {204, true}, {299, true}, {302, false}, {500, false}}) {
        server.setDefault(Server::respond(status));
        EXPECT_EQ(outcome(makeClient()->send(TelemetryEvent::heartbeat)), accepted) << status;
    }
    EXPECT_EQ(server.requests().size(), 5u); // a redirect is never followed
    server.setDefault(Server::closeConnection());
    EXPECT_EQ(outcome(makeClient()->send(TelemetryEvent::appLaunch)), false);
    QUrl elsewhere = server.url();
    elsewhere.setPath(QStringLiteral("/v1/other"));
    const auto contacted = server.requests().size();
    EXPECT_EQ(outcome(makeClient(kHourly, elsewhere)->send(TelemetryEvent::appLaunch)), false);
    EXPECT_EQ(server.requests().size(), contacted); // an unacceptable endpoint is never contacted
}

TEST(TelemetryEndpoint, IsHttpsOrLoopbackHttpWithTheEventsPath) {
    const auto acceptable = [](const char* url) {
        return TelemetryClient::isAcceptableEndpoint(QUrl(QString::fromLatin1(url)));
    };
    for (const char* url : {"https://events.example.org:8443/v1/events", "http://127.3.2.1/v1/events",
                            "http://[::1]:9000/v1/events", "http://LocalHost:9000/v1/events"}) {
        EXPECT_TRUE(acceptable(url)) << url;
    }
    for (const char* url :
         {"http://events.example.org/v1/events", "http://localhost.example.org/v1/events",
          "https://events.example.org/v1/events/", "https:///v1/events",
          "https://user:pw@events.example.org/v1/events", "ftp://events.example.org/v1/events"}) {
        EXPECT_FALSE(acceptable(url)) << url;
    }
}

TEST_F(TelemetryClientTest, ADashboardEventGoesOutWhileAHeartbeatWaitsAndShutdownEndsAllAtOnce) {
    server.script({Server::neverAnswer()});
    auto client = makeClient({.transferTimeout = 5s, .heartbeatInterval = 1h});
    auto heartbeat = client->send(TelemetryEvent::heartbeat);
    ASSERT_TRUE(server.waitForRequests(1, kPatience));
    EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), true);
    EXPECT_FALSE(ready(heartbeat, 0ms));
    const auto stopping = std::chrono::steady_clock::now();
    client->shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s);
    ASSERT_TRUE(ready(heartbeat, 0ms));
    EXPECT_FALSE(heartbeat.get());

    // Afterwards nothing is sent, and every call still returns at once.
    client->shutdown();
    client->start();
    client->track(TelemetryEvent::dashboardOpen);
    auto sent = client->send(TelemetryEvent::dashboardOpen);
    ASSERT_TRUE(ready(sent, 0ms));
    EXPECT_FALSE(sent.get());
    EXPECT_TRUE(ready(client->sendHeartbeatIfNeeded(), 0ms));
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

TEST_F(TelemetryClientTest, EventsGoOutUnderOneIdentityOverABrokenStore) {
    std::filesystem::create_directories(dir.path() / "e" / "settings.json");
    for (const auto& [file, writable] : {std::pair{dir.write("a/voltrane", "x") / "settings.json", false},
                                         {dir.write("b/settings.json", "[1, 2"), true},
                                         {dir.path() / "c" / "d" / "settings.json", true},
                                         {dir.path() / "e" / "settings.json", false}}) {
        SCOPED_TRACE(file.string()); // a folder that is a file, corrupt, no folder, a file that is a folder
        store = std::make_shared<SettingsStore>(QString::fromStdString(file.string()));
        const auto before = server.requests().size();
        auto client = makeClient();
        EXPECT_EQ(outcome(client->send(TelemetryEvent::appLaunch)), true);
        EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), true);
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), before + 2);
        EXPECT_TRUE(kLowerUuid.match(member(requests[before], "install_id")).hasMatch());
        EXPECT_EQ(member(requests[before], "install_id"), member(requests[before + 1], "install_id"));
        EXPECT_EQ(store->textValue(SettingsStore::installationIDKey).has_value(), writable);
    }
}

// The usage endpoint refusing, failing or hanging while the monitor samples on the real event
// loop: no tick waits for the network, a refused heartbeat stays due, and the client sends
// again once the endpoint answers.
TEST_F(TelemetryClientTest, MonitorKeepsItsRhythmWhileRequestsFailAndHang) {
    server.setDefault(Server::respond(500));
    Server hanging;
    hanging.setDefault(Server::neverAnswer());
    QUrl refusing = server.url();
    refusing.setPort(testing::unusedLoopbackPort());
    const TelemetryTiming timing{.transferTimeout = 2s, .heartbeatInterval = 1h};
    auto failing = makeClient(timing);
    auto refused = makeClient(timing, refusing);
    auto hangingClient = makeClient(timing, hanging.url());

    testing::FakeSources sources;
    PowerMonitor monitor(std::make_unique<testing::FakePower>(sources),
                         std::make_unique<testing::FakeComponents>(sources));
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> tickTimes;
    std::future<bool> hung = hangingClient->send(TelemetryEvent::dashboardOpen);
    int ticksWhileHanging = 0;
    QObject::connect(&monitor, &PowerMonitor::componentSnapshotChanged, &monitor, [&] {
        tickTimes.push_back(clock.elapsed());
        ticksWhileHanging += !ready(hung, 0ms);
    });
    std::future<bool> refusedSend = refused->send(TelemetryEvent::appLaunch);
    std::future<void> heartbeat = failing->sendHeartbeatIfNeeded();
    ASSERT_TRUE(hanging.waitForRequests(1, kPatience));

    QTest::qWait(3500); // the real one-second period; the hanging request times out at 2 s
    ASSERT_GE(tickTimes.size(), 3u);
    for (std::size_t i = 0; i < tickTimes.size(); ++i) {
        EXPECT_LT(tickTimes[i] - (i == 0 ? 0 : tickTimes[i - 1]), 1500) << "tick " << i << " was late";
    }
    EXPECT_GE(ticksWhileHanging, 1);
    ASSERT_TRUE(ready(hung, 0ms) && ready(refusedSend, 0ms) && ready(heartbeat, 0ms));
    EXPECT_FALSE(hung.get() || refusedSend.get());
    EXPECT_EQ(lastHeartbeat(), std::nullopt); // a refused heartbeat stays due

    server.setDefault(Server::respond(204));
    ASSERT_TRUE(ready(failing->sendHeartbeatIfNeeded()));
    EXPECT_EQ(lastHeartbeat(), kNow);
}

} // namespace
} // namespace voltrane
