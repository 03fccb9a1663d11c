// A build configured without a usage endpoint sends nothing and makes no installation ID. Every
// request the client could make goes to a loopback proxy that records it, so the test itself
// never reaches past the machine, whatever the build was configured with.
#include "analytics/telemetry_client.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QNetworkProxy>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;

TEST(UsageEndpoint, OnlyABuildWithAnEndpointOpensAConnectionOrMakesAnIdentity) {
    int argc = 1;
    char name[] = "usage_endpoint";
    char* argv[] = {name, nullptr};
    const auto application =
        QCoreApplication::instance() ? nullptr : std::make_unique<QCoreApplication>(argc, argv);
    LoopbackHttpServer proxy;
    proxy.setDefault(LoopbackHttpServer::closeConnection());
    QNetworkProxy::setApplicationProxy(
        {QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), static_cast<quint16>(proxy.url().port())});
    const testing::TempDir folder;
    const auto settings =
        std::make_shared<SettingsStore>(QString::fromStdString((folder.path() / "s.json").string()));
    {
        // As the shell makes it.
        TelemetryClient client(TelemetryClient::builtInEndpoint(), settings, [] { return Date{}; },
                               {.transferTimeout = 1s});
        client.start();
        client.track(TelemetryEvent::dashboardOpen);
        EXPECT_FALSE(client.send(TelemetryEvent::heartbeat).get()); // the proxy never answers
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);

    const bool built = TelemetryClient::hasBuiltInEndpoint();
    EXPECT_EQ(proxy.waitForRequests(1, built ? 2s : 100ms), built);
    const QUrl endpoint = TelemetryClient::builtInEndpoint();
    for (const auto& request : proxy.requests()) { // only the tunnel to the configured host
        EXPECT_EQ(request.method + ' ' + request.path,
                  "CONNECT " + endpoint.host().toUtf8() + ':' + QByteArray::number(endpoint.port(443)));
    }
    EXPECT_EQ(settings->textValue(SettingsStore::installationIDKey).has_value(), built);
}

} // namespace
} // namespace voltrane
