// The settings file corrupt, unwritable or without its folder: reads fall back to the defaults,
// nothing that was there is destroyed, and usage events still go out under one identity.
#include "analytics/settings_store.h"
#include "analytics/telemetry_client.h"
#include "fake_laptop.h"
#include "support/param_name.h"
#include "support/qt/loopback_http_server.h"
#include "support/temp_dir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <sstream>
#include <utility>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;
using testing::TempDir;
namespace fs = std::filesystem;

QString qPath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(SettingsFaultTest, CorruptFileReadsAsDefaultsAndIsKeptAsideBeforeTheFirstWrite) {
    TempDir dir;
    const std::string garbage = "{\"analyticsEnabled\": {\"type\": \"bool\", \"value\": fal";
    const fs::path file = dir.write("voltrane/settings.json", garbage);
    SettingsStore store(qPath(file));

    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_FALSE(store.textValue(SettingsStore::installationIDKey));
    EXPECT_EQ(contentsOf(file), garbage) << "a read must not touch the file";

    ASSERT_TRUE(store.setAnalyticsEnabled(false));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), false);
    int copies = 0;
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        if (entry.path().filename().string().starts_with("settings.json.corrupt-")) {
            ++copies;
            EXPECT_EQ(contentsOf(entry.path()), garbage);
        }
    }
    EXPECT_EQ(copies, 1);
}

TEST(SettingsFaultTest, FolderThatIsAFileMakesWritesFailAndReadsFallBack) {
    TempDir dir;
    // Root ignores permissions, so the folder is made unusable instead: it is a regular file.
    const fs::path blocker = dir.write("voltrane", "not a folder\n");
    SettingsStore store(qPath(blocker / "settings.json"));

    EXPECT_FALSE(store.setAnalyticsEnabled(false));
    EXPECT_FALSE(store.setText(SettingsStore::installationIDKey, QStringLiteral("x")));
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_FALSE(store.textValue(SettingsStore::installationIDKey));
    EXPECT_EQ(contentsOf(blocker), "not a folder\n");
}

QString installIdOf(const LoopbackHttpServer::Request& request) {
    return QJsonDocument::fromJson(request.body).object().value(QStringLiteral("install_id")).toString();
}

struct StoreCase {
    const char* name;
    /// Makes the store's file path inside `dir`; true when writes are expected to work.
    std::function<std::pair<fs::path, bool>(const TempDir& dir)> prepare;
};

class ClientOverBrokenStoreTest : public ::testing::TestWithParam<StoreCase> {
protected:
    void SetUp() override { testing::ensureApplication(); }
};

TEST_P(ClientOverBrokenStoreTest, EventsStillGoOutUnderOneIdentity) {
    TempDir dir;
    const auto [file, writable] = GetParam().prepare(dir);
    auto store = std::make_shared<SettingsStore>(qPath(file));
    LoopbackHttpServer server;
    TelemetryClient client(
        server.url(), store, [] { return std::chrono::system_clock::now(); },
        TelemetryTiming{.transferTimeout = 2s, .heartbeatInterval = 1h});

    for (const TelemetryEvent event : {TelemetryEvent::appLaunch, TelemetryEvent::dashboardOpen}) {
        auto accepted = client.send(event);
        ASSERT_EQ(accepted.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(accepted.get());
    }
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(installIdOf(requests[0]).isEmpty());
    EXPECT_EQ(installIdOf(requests[0]), installIdOf(requests[1]));
    EXPECT_EQ(store->textValue(SettingsStore::installationIDKey).has_value(), writable);
    client.shutdown();
}

INSTANTIATE_TEST_SUITE_P(
    Stores, ClientOverBrokenStoreTest,
    ::testing::Values(StoreCase{"FolderIsAFile",
                                [](const TempDir& dir) {
                                    return std::pair{dir.write("voltrane", "x") / "settings.json", false};
                                }},
                      StoreCase{"CorruptFile",
                                [](const TempDir& dir) {
                                    return std::pair{dir.write("voltrane/settings.json", "[1, 2"), true};
                                }},
                      StoreCase{"FolderMissing",
                                [](const TempDir& dir) {
                                    return std::pair{dir.path() / "a" / "b" / "settings.json", true};
                                }},
                      StoreCase{"FileIsAFolder",
                                [](const TempDir& dir) {
                                    fs::create_directories(dir.path() / "voltrane" / "settings.json");
                                    return std::pair{dir.path() / "voltrane" / "settings.json", false};
                                }}),
    testing::ParamName());

} // namespace
} // namespace voltrane
