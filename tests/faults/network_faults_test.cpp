// The usage endpoint refusing, failing or hanging past the transfer timeout while the monitor
// samples on the real event loop: no tick waits for the network, every failure is only a lost
// event (a heartbeat stays due), and the client still sends once the endpoint answers.
#include "analytics/telemetry_client.h"
#include "fake_laptop.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QElapsedTimer>
#include <QTest>
#include <chrono>
#include <future>
#include <gtest/gtest.h>
#include <vector>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::FakeLaptop;
using testing::LoopbackHttpServer;

bool isReady(const std::future<bool>& future) {
    return future.wait_for(0s) == std::future_status::ready;
}

TEST(NetworkFaultTest, MonitorKeepsItsOnceASecondRhythmWhileRequestsFailAndHang) {
    testing::ensureApplication();
    testing::TempDir dir;
    auto store =
        std::make_shared<SettingsStore>(QString::fromStdString((dir.path() / "settings.json").string()));
    const auto now = [] { return std::chrono::system_clock::now(); };
    const TelemetryTiming timing{.transferTimeout = 2s, .heartbeatInterval = 1h};

    LoopbackHttpServer failing;
    failing.setDefault(LoopbackHttpServer::respond(500));
    LoopbackHttpServer hanging;
    hanging.setDefault(LoopbackHttpServer::neverAnswer());
    const QUrl refusing(QStringLiteral("http://127.0.0.1:%1/v1/events").arg(testing::unusedLoopbackPort()));
    TelemetryClient refusedClient(refusing, store, now, timing);
    TelemetryClient failingClient(failing.url(), store, now, timing);
    TelemetryClient hangingClient(hanging.url(), store, now, timing);

    FakeLaptop laptop;
    const auto monitor = laptop.makeEventLoopMonitor();
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> tickTimes;
    std::vector<bool> hangingAtTick;
    std::future<bool> hung;
    QObject::connect(monitor.get(), &PowerMonitor::componentSnapshotChanged, monitor.get(),
                     [&](const ComponentPowerSnapshot&) {
                         tickTimes.push_back(clock.elapsed());
                         hangingAtTick.push_back(hung.valid() && !isReady(hung));
                     });

    std::future<bool> refused = refusedClient.send(TelemetryEvent::appLaunch);
    std::future<bool> failed = failingClient.send(TelemetryEvent::appLaunch);
    hung = hangingClient.send(TelemetryEvent::dashboardOpen);
    std::future<void> heartbeat = failingClient.sendHeartbeatIfNeeded();
    ASSERT_TRUE(hanging.waitForRequests(1, 2s));

    QTest::qWait(3500); // the real one-second period; the hanging request times out at 2 s

    ASSERT_GE(tickTimes.size(), 3u);
    qint64 previous = 0;
    for (const qint64 at : tickTimes) {
        EXPECT_LT(at - previous, 1500) << "a tick was late by the network at " << at << " ms";
        previous = at;
    }
    EXPECT_GE(std::count(hangingAtTick.begin(), hangingAtTick.end(), true), 1)
        << "no tick happened while the request hung";

    ASSERT_TRUE(isReady(refused));
    EXPECT_FALSE(refused.get());
    ASSERT_TRUE(isReady(failed));
    EXPECT_FALSE(failed.get());
    ASSERT_TRUE(isReady(hung)) << "the transfer timeout did not end the hanging request";
    EXPECT_FALSE(hung.get());
    ASSERT_EQ(heartbeat.wait_for(0s), std::future_status::ready);
    EXPECT_FALSE(store->dateValue(SettingsStore::lastHeartbeatKey)) << "a refused heartbeat must stay due";

    // Nothing is lost on our side: the monitor samples on, and the client sends again as soon
    // as the endpoint answers.
    EXPECT_TRUE(monitor->componentSnapshot().sourceAvailable);
    EXPECT_EQ(monitor->snapshot().state, PowerState::onBattery);
    failing.setDefault(LoopbackHttpServer::respond(204));
    std::future<void> retried = failingClient.sendHeartbeatIfNeeded();
    const std::size_t ticksBefore = tickTimes.size();
    QTest::qWait(1200);
    ASSERT_EQ(retried.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(store->dateValue(SettingsStore::lastHeartbeatKey));
    EXPECT_GT(tickTimes.size(), ticksBefore);
}

} // namespace
} // namespace voltrane
