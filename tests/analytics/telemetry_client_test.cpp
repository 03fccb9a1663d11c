#include "analytics/telemetry_client.h"
#include "monitor/power_monitor.h"
#include "support/monitor_fakes.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using Server = testing::LoopbackHttpServer;

const Date kNow{std::chrono::milliseconds(1'800'000'000'000)};
constexpr auto kPatience = 1500ms; // bounded well below a test's budget; never expected to run out
constexpr TelemetryTiming kHourly{.transferTimeout = 1s, .heartbeatInterval = 1h};
constexpr TelemetryTiming kRapid{.transferTimeout = 1s, .heartbeatInterval = 5ms};

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::string readFile(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

QString member(const Server::Request& request, const char* name) {
    return QJsonDocument::fromJson(request.body).object().value(QLatin1String(name)).toString();
}
bool isUuid(const QString& text) { // in lower case
    static const QRegularExpression uuid(QStringLiteral("^[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}$"));
    return uuid.match(text).hasMatch();
}
template <typename T> bool ready(const std::future<T>& future, std::chrono::milliseconds wait = kPatience) {
    return future.wait_for(wait) == std::future_status::ready;
}
std::optional<bool> outcome(std::future<bool>&& future) { // nullopt when it did not finish in time
    return ready(future) ? std::optional(future.get()) : std::nullopt;
}

struct WithApplication { // first among the fixture's bases: the application exists before the server
    WithApplication() {
        static int argc = 1;
        static char name[] = "analytics_client_tests", *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
};

class TelemetryClientTest : public ::testing::Test, private WithApplication {
protected:
    std::unique_ptr<TelemetryClient> makeClient(TelemetryTiming timing = kHourly, QUrl endpoint = {}) {
        return std::make_unique<TelemetryClient>(
            endpoint.isEmpty() ? server.url() : endpoint, store, [this] { return now.load(); }, timing);
    }
    /// Counts the loop's heartbeat checks, running `onCheck` on the client's thread at each.
    void watchChecks(
        TelemetryClient& client, std::function<void(int)> onCheck = [](int) {}) {
        QObject::connect(
            &client, &TelemetryClient::heartbeatChecked, &client, [this, onCheck] { onCheck(++checks); },
            Qt::DirectConnection);
    }
    bool checked(int count) {
        return QTest::qWaitFor([&] { return checks >= count; }, int(kPatience.count()));
    }
    std::optional<Date> lastHeartbeat() const { return store->dateValue(SettingsStore::lastHeartbeatKey); }
    std::string events() const {
        std::string text;
        for (const auto& request : server.requests()) {
            text += (text.empty() ? "" : " ") + member(request, "event").toStdString();
        }
        return text;
    }

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
    ASSERT_EQ(events(), "app_launch heartbeat");
    const QString id = member(requests[0], "install_id");
    EXPECT_TRUE(isUuid(id) && member(requests[1], "install_id") == id) << id.toStdString();
    EXPECT_TRUE(store->textValue(SettingsStore::installationIDKey) == id && lastHeartbeat() == kNow &&
                checks == 1);
    const auto& first = requests[0];
    EXPECT_EQ(first.method + ' ' + first.path + ' ' + first.header("Content-Type").join(',') + ' ' +
                  first.header("User-Agent").join(','),
              "POST /v1/events application/json Voltrane");
    EXPECT_EQ(member(requests[0], "app_version") + QLatin1Char(' ') + member(requests[0], "build"),
              QStringLiteral(EXPECTED_APP_VERSION " " EXPECTED_BUILD)); // as the build was configured
}

TEST_F(TelemetryClientTest, LoopSendsAHeartbeatOnceADayHasPassedAndStoresItOnlyWhenAccepted) {
    const Date last = kNow + 1h; // the clock was set back: not due
    ASSERT_TRUE(store->setDate(SettingsStore::lastHeartbeatKey, last));
    server.script({Server::respond(200), Server::respond(500)});    // the launch; the first heartbeat refused
    const std::chrono::milliseconds ages[] = {24h - 1ms, 24h, 25h}; // at the next checks, then it stands
    std::vector<bool> storedAtCheck;
    auto client = makeClient(kRapid);
    watchChecks(*client, [&](int count) {
        storedAtCheck.resize(std::min(count, 6), lastHeartbeat() != last);
        now = last + ages[std::min(count, 3) - 1];
    });
    client->start();
    ASSERT_TRUE(checked(6));
    client.reset();
    EXPECT_EQ(storedAtCheck, (std::vector<bool>{false, false, false, true, true, true}));
    EXPECT_EQ(lastHeartbeat(), last + 25h);
    EXPECT_EQ(events(), "app_launch heartbeat heartbeat");
}

TEST_F(TelemetryClientTest, TheSwitchIsReadAtEverySendAndOffSendsNothing) {
    ASSERT_TRUE(store->setText(SettingsStore::analyticsEnabledKey, QStringLiteral("no"))); // no bool: on
    auto client = makeClient();
    SettingsStore dashboard(store->filePath()); // the dashboard's own store on the same file
    for (const bool on : {true, false, true}) {
        ASSERT_TRUE(on == store->analyticsEnabled() || dashboard.setAnalyticsEnabled(on));
        EXPECT_EQ(outcome(client->send(TelemetryEvent::dashboardOpen)), on);
    }
    ASSERT_TRUE(store->setAnalyticsEnabled(false) && store->remove(SettingsStore::installationIDKey));
    auto off = makeClient();
    watchChecks(*off);
    off->start();
    off->track(TelemetryEvent::dashboardOpen);
    EXPECT_EQ(outcome(off->send(TelemetryEvent::dashboardOpen)), false); // after start and track
    ASSERT_TRUE(checked(1));
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_FALSE(store->textValue(SettingsStore::installationIDKey) || lastHeartbeat());
}

TEST_F(TelemetryClientTest, StoredIdentifierIsSentAsStoredWhenAUuidOtherwiseReplaced) {
    // clang-format off
    for (const auto& [stored, kept] : {std::pair{"0f8fad5b-d9cb-469f-a165-70867728950e", true},
             {"3F2504E0-4F89-11D3-9A0C-0305E82C3301", true}, {"3F2504E0-4F89-11D3-9A0C-0305E82C330G", false},
             {"3f2504e0x4f89-11d3-9a0c-0305e82c3301", false}, {"{3f2504e0-4f89-11d3-9a0c-0305e82c3301}", false},
             {"3f2504e0-4f89-11d3-9a0c-0305e82c3301 ", false}, {"", false}}) { // clang-format on
        ASSERT_TRUE(store->setText(SettingsStore::installationIDKey, QString::fromLatin1(stored)));
        auto client = makeClient();
        const QString sent = client->installationID();
        EXPECT_TRUE(kept ? sent == QLatin1String(stored) : isUuid(sent)) << stored;
        EXPECT_TRUE(store->textValue(SettingsStore::installationIDKey) == sent &&
                    client->installationID() == sent);
    }
    ASSERT_TRUE(store->setBool(SettingsStore::installationIDKey, true));
    EXPECT_TRUE(isUuid(makeClient()->installationID()));
}

TEST_F(TelemetryClientTest, OnlyATwoHundredFromAnAcceptableEndpointCountsAsAccepted) {
    for (const auto& [status, accepted] :
         {std::pair{200, true}, {204, true}, {299, true}, {302, false}, {500, false}}) {
        server.setDefault(Server::respond(status));
        EXPECT_EQ(outcome(makeClient()->send(TelemetryEvent::heartbeat)), accepted) << status;
    }
    QUrl elsewhere = server.url();
    elsewhere.setPath(QStringLiteral("/v1/other"));
    EXPECT_EQ(outcome(makeClient(kHourly, elsewhere)->send(TelemetryEvent::appLaunch)), false);
    EXPECT_EQ(server.requests().size(), 5u); // no redirect followed, no unacceptable endpoint contacted
    server.setDefault(Server::closeConnection());
    EXPECT_EQ(outcome(makeClient()->send(TelemetryEvent::appLaunch)), false);
    // clang-format off
    for (const auto& [url, acceptable] : {std::pair{"https://events.example.org:8443/v1/events", true},
             {"http://127.3.2.1/v1/events", true}, {"http://[::1]:9000/v1/events", true},
             {"http://LocalHost:9000/v1/events", true}, {"http://events.example.org/v1/events", false},
             {"http://localhost.example.org/v1/events", false}, {"https://events.example.org/v1/events/", false},
             {"https:///v1/events", false}, {"https://user:pw@events.example.org/v1/events", false},
             {"ftp://events.example.org/v1/events", false}}) { // clang-format on
        EXPECT_EQ(TelemetryClient::isAcceptableEndpoint(QUrl(QString::fromLatin1(url))), acceptable) << url;
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
    client->shutdown(); // afterwards nothing is sent, and every call still returns at once
    client->start();
    auto sent = client->send(TelemetryEvent::dashboardOpen);
    EXPECT_TRUE(ready(sent, 0ms) && !sent.get() && ready(client->sendHeartbeatIfNeeded(), 0ms));
    EXPECT_EQ(server.requests().size(), 2u);

    client = makeClient(kRapid); // destroying it ends the loop, though every check is kept due
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
        EXPECT_TRUE(outcome(client->send(TelemetryEvent::appLaunch)).value_or(false) &&
                    outcome(client->send(TelemetryEvent::dashboardOpen)).value_or(false));
        const auto requests = server.requests();
        ASSERT_EQ(requests.size(), before + 2);
        const QString id = member(requests[before], "install_id");
        EXPECT_TRUE(isUuid(id) && member(requests[before + 1], "install_id") == id);
        EXPECT_EQ(store->textValue(SettingsStore::installationIDKey).has_value(), writable);
    }
    EXPECT_EQ(readFile(dir.path() / "a" / "voltrane"), "x"); // what stood in the way is left alone
}

// The endpoint failing or hanging while the monitor samples on the real event loop: no
// tick waits for the network, a refused heartbeat stays due, and it goes out once the endpoint answers.
TEST_F(TelemetryClientTest, MonitorKeepsItsRhythmWhileRequestsFailAndHang) {
    server.setDefault(Server::respond(500));
    Server hanging;
    hanging.setDefault(Server::neverAnswer());
    const TelemetryTiming timing{.transferTimeout = 2s, .heartbeatInterval = 1h};
    auto failing = makeClient(timing), hangs = makeClient(timing, hanging.url());
    testing::FakeSources sources;
    PowerMonitor monitor(std::make_unique<testing::FakePower>(sources),
                         std::make_unique<testing::FakeComponents>(sources));
    QElapsedTimer clock;
    clock.start();
    std::future<bool> hung = hangs->send(TelemetryEvent::dashboardOpen);
    int ticksWhileHanging = 0, ticks = 0;
    QObject::connect(&monitor, &PowerMonitor::componentSnapshotChanged, [&] {
        EXPECT_LT(clock.restart(), 1500) << "tick " << ticks << " was late";
        ticks += 1, ticksWhileHanging += !ready(hung, 0ms);
    });
    std::future<void> heartbeat = failing->sendHeartbeatIfNeeded();
    ASSERT_TRUE(hanging.waitForRequests(1, kPatience));
    QTest::qWait(3500); // the real one-second period; the hanging request times out at 2 s
    EXPECT_TRUE(ticks >= 3 && ticksWhileHanging >= 1) << ticks;
    ASSERT_TRUE(ready(hung, 0ms) && ready(heartbeat, 0ms));
    EXPECT_FALSE(hung.get() || lastHeartbeat()); // a refused heartbeat stays due
    server.setDefault(Server::respond(204));
    ASSERT_TRUE(ready(failing->sendHeartbeatIfNeeded()));
    EXPECT_EQ(lastHeartbeat(), kNow);
}

// A build without a usage endpoint sends nothing and makes no identity. Every request goes to a
// loopback proxy that records it, so nothing reaches past the machine whatever the build carries.
TEST_F(TelemetryClientTest, OnlyABuildWithAnEndpointOpensAConnectionOrMakesAnIdentity) {
    Server proxy;
    proxy.setDefault(Server::closeConnection());
    QNetworkProxy::setApplicationProxy(
        {QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), static_cast<quint16>(proxy.url().port())});
    {
        TelemetryClient client(TelemetryClient::builtInEndpoint(), store, [] { return Date{}; },
                               {.transferTimeout = 1s}); // as the shell makes it
        client.start();
        client.track(TelemetryEvent::dashboardOpen);
        EXPECT_FALSE(client.send(TelemetryEvent::heartbeat).get()); // the proxy never answers
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    const bool built = TelemetryClient::hasBuiltInEndpoint();
    EXPECT_EQ(proxy.waitForRequests(1, built ? 2s : 100ms), built);
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey).has_value(), built);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    fs::path file() const { return dir.path() / "voltrane" / "settings.json"; }
    Texts others() const { // the files beside settings.json, sorted: corrupt copies and any leftovers
        Texts contents;
        for (const auto& item : fs::directory_iterator(file().parent_path())) {
            item.path() != file() ? contents.push_back(readFile(item.path())) : void();
        }
        std::sort(contents.begin(), contents.end());
        return contents;
    }
    void write(const char* contents) { dir.write("voltrane/settings.json", contents); }

    testing::TempDir dir;
    SettingsStore store{QString::fromStdString(file().string())};
};

TEST_F(SettingsStoreTest, ReadsOnlyWellTypedValuesFromAHandEditedFile) {
    for (const auto& [json, stored] : std::vector<std::pair<const char*, std::optional<bool>>>{
             {R"({"analyticsEnabled":{"type":"bool","value":false}})", false},
             {R"({"analyticsEnabled":{"type":"text","value":"false"}})", {}},
             {R"({"analyticsEnabled":{"type":"bool","value":"false"}})", {}},
             {R"({"analyticsEnabled":{"type":"bool"}})", {}},
             {R"({"analyticsEnabled":false})", {}},
             {R"([{"analyticsEnabled":false}])", {}}}) {
        write(json);
        EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), stored) << json;
        EXPECT_EQ(store.analyticsEnabled(), stored.value_or(true)) << json;
    }
    write(R"({"analyticsLastHeartbeatAt":{"type":"date","value":"yesterday"}})");
    EXPECT_EQ(store.dateValue(SettingsStore::lastHeartbeatKey), std::nullopt);
    write(" \n");
    ASSERT_TRUE(store.setBool(QStringLiteral("a"), true)); // an empty file is no corruption: none kept
    EXPECT_EQ(others(), Texts{});
}

TEST_F(SettingsStoreTest, CorruptFileSurvivesReadsAndEachCorruptionIsCopiedOnceOnWrite) {
    const std::string garbage = R"({"analyticsEnabled": {"type": "bool", "value": fal)";
    write(garbage.c_str());
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_EQ(store.textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(readFile(file()), garbage); // reads leave it alone
    EXPECT_EQ(others(), Texts{});
    ASSERT_TRUE(store.setAnalyticsEnabled(false));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), false);
    ASSERT_TRUE(store.setText(QStringLiteral("t"), QStringLiteral("x"))); // repaired: no new copy
    EXPECT_EQ(others(), Texts{garbage});
    for (const char* junk :
         {"second junk", "[\"valid JSON, but no object\"]"}) { // no copy overwrites another
        write(junk);
        ASSERT_TRUE(store.setBool(QStringLiteral("a"), true));
    }
    EXPECT_EQ(others(), (Texts{"[\"valid JSON, but no object\"]", "second junk", garbage}));
}

TEST_F(SettingsStoreTest, AWriteThatCannotLandIsReportedAsFailed) {
    fs::create_directories(file()); // a folder where the file belongs
    EXPECT_FALSE(store.setBool(QStringLiteral("a"), true));
    // A folder that takes no new file, whoever asks.
    EXPECT_FALSE(
        SettingsStore(QStringLiteral("/proc/voltrane-settings.json")).setBool(QStringLiteral("a"), true));
    fs::remove_all(file().parent_path());
    dir.write("voltrane", "a file where the folder belongs");
    EXPECT_FALSE(store.setBool(QStringLiteral("a"), true));
    EXPECT_EQ(readFile(file().parent_path()), "a file where the folder belongs");
}

} // namespace
} // namespace voltrane
