// A build configured without a usage endpoint sends nothing and makes no installation ID. Every
// request the client could make is routed to a loopback proxy that records it, so this test
// itself never reaches past the machine whatever the build was configured with.
#include "analytics/telemetry_client.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;

TEST(UsageEndpoint, OnlyABuildWithAnEndpointEverOpensAConnectionOrMakesAnIdentity) {
    static int argc = 1;
    static char name[] = "usage_endpoint";
    static char* argv[] = {name, nullptr};
    const auto application =
        QCoreApplication::instance() ? nullptr : std::make_unique<QCoreApplication>(argc, argv);

    LoopbackHttpServer proxy;
    proxy.setDefault(LoopbackHttpServer::closeConnection());
    QNetworkProxy::setApplicationProxy(
        QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.url().port()));
    const testing::TempDir folder;
    const auto settings =
        std::make_shared<SettingsStore>(QString::fromStdString((folder.path() / "s.json").string()));
    {
        // As the shell makes it.
        TelemetryClient client(TelemetryClient::builtInEndpoint(), settings,
                               [] { return std::chrono::system_clock::now(); }, {.transferTimeout = 1s});
        client.start();
        client.track(TelemetryEvent::dashboardOpen);
        EXPECT_FALSE(client.send(TelemetryEvent::heartbeat).get()); // the proxy never answers
        EXPECT_EQ(client.canSend(), TelemetryClient::hasBuiltInEndpoint());
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

    if (!TelemetryClient::hasBuiltInEndpoint()) {
        EXPECT_TRUE(proxy.requests().empty());
        EXPECT_FALSE(std::filesystem::exists(folder.path() / "s.json"));
        return;
    }
    // Built with an endpoint: the tunnel to its host was asked of the proxy, nothing else.
    ASSERT_TRUE(proxy.waitForRequests(1, 2s));
    const QByteArray target = TelemetryClient::builtInEndpoint().host().toUtf8() + ":" +
                              QByteArray::number(TelemetryClient::builtInEndpoint().port(443));
    for (const auto& request : proxy.requests()) {
        EXPECT_EQ(request.method, "CONNECT");
        EXPECT_EQ(request.path, target);
    }
    EXPECT_TRUE(settings->textValue(SettingsStore::installationIDKey).has_value());
}

} // namespace
} // namespace voltrane
