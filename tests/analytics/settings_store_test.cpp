#include "analytics/settings_store.h"
#include "support/temp_dir.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>
#include <vector>

namespace voltrane {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const Date kSomeTime{std::chrono::milliseconds(1'765'000'000'123)};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

QString key(const char* name) {
    return QString::fromLatin1(name);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    fs::path file() const { return dir.path() / "voltrane" / "settings.json"; }
    /// Contents of the files beside settings.json, sorted: the corrupt copies and any leftovers.
    Texts others() const {
        Texts contents;
        for (const auto& item : fs::directory_iterator(file().parent_path())) {
            if (item.path() != file()) {
                contents.push_back(readFile(item.path()));
            }
        }
        std::sort(contents.begin(), contents.end());
        return contents;
    }

    testing::TempDir dir;
    SettingsStore store{QString::fromStdString(file().string())};
};

TEST_F(SettingsStoreTest, WritesCreateTheFolderReplaceOneKeyAndLeaveNothingBehind) {
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), std::nullopt);
    EXPECT_TRUE(store.analyticsEnabled());
    ASSERT_TRUE(store.setAnalyticsEnabled(false));
    EXPECT_FALSE(store.analyticsEnabled());
    ASSERT_TRUE(store.setText(key("a"), QStringLiteral("1")));
    ASSERT_TRUE(store.setBool(key("b"), true));
    ASSERT_TRUE(store.setBool(key("a"), false));
    EXPECT_EQ(store.textValue(key("a")), std::nullopt);
    ASSERT_TRUE(store.remove(key("b")));
    EXPECT_EQ(store.boolValue(key("b")), std::nullopt);
    EXPECT_EQ(store.boolValue(key("a")), false);
    EXPECT_FALSE(store.analyticsEnabled());
    EXPECT_EQ(others(), Texts{}); // every write replaced the file whole
}

TEST_F(SettingsStoreTest, KeepsEachTypeDistinctAcrossStoresAndDatesToTheMillisecond) {
    ASSERT_TRUE(store.setBool(key("b"), false));
    ASSERT_TRUE(store.setText(key("t"), QStringLiteral("true")));
    ASSERT_TRUE(store.setDate(key("d"), kSomeTime + std::chrono::microseconds(999)));
    ASSERT_TRUE(store.setDate(key("old"), Date{std::chrono::milliseconds(-1500)}));

    const SettingsStore other(store.filePath()); // another part of the program on the same file
    EXPECT_EQ(other.boolValue(key("b")), false);
    EXPECT_EQ(other.textValue(key("t")), QStringLiteral("true"));
    EXPECT_EQ(other.dateValue(key("d")), kSomeTime);
    EXPECT_EQ(other.dateValue(key("old")), Date{std::chrono::milliseconds(-1500)});
    EXPECT_FALSE(other.textValue(key("b")) || other.dateValue(key("b")) || other.boolValue(key("t")) ||
                 other.dateValue(key("t")) || other.boolValue(key("d")) || other.textValue(key("d")));
}

TEST_F(SettingsStoreTest, ReadsOnlyWellTypedValuesFromAHandEditedFile) {
    for (const auto& [json, stored] : {
             std::pair<const char*, std::optional<bool>>{
                 R"({"analyticsEnabled":{"type":"bool","value":false}})", false},
             {R"({"analyticsEnabled":{"type":"text","value":"false"}})", std::nullopt},
             {R"({"analyticsEnabled":{"type":"bool","value":"false"}})", std::nullopt},
             {R"({"analyticsEnabled":{"type":"bool"}})", std::nullopt},
             {R"({"analyticsEnabled":false})", std::nullopt},
             {R"([{"analyticsEnabled":false}])", std::nullopt},
         }) {
        SCOPED_TRACE(json);
        dir.write("voltrane/settings.json", json);
        EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), stored);
        EXPECT_EQ(store.analyticsEnabled(), stored.value_or(true));
    }
    dir.write("voltrane/settings.json",
              R"({"analyticsLastHeartbeatAt":{"type":"date","value":"yesterday"}})");
    EXPECT_EQ(store.dateValue(SettingsStore::lastHeartbeatKey), std::nullopt);
    dir.write("voltrane/settings.json", " \n");
    ASSERT_TRUE(store.setBool(key("a"), true)); // an empty file is no corruption: nothing kept aside
    EXPECT_EQ(others(), Texts{});
}

TEST_F(SettingsStoreTest, CorruptFileSurvivesReadsAndEachCorruptionIsCopiedOnceOnWrite) {
    const std::string garbage = R"({"analyticsEnabled": {"type": "bool", "value": fal)";
    dir.write("voltrane/settings.json", garbage);
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_EQ(store.textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(readFile(file()), garbage); // reads leave it alone
    EXPECT_EQ(others(), Texts{});

    ASSERT_TRUE(store.setAnalyticsEnabled(false));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), false);
    ASSERT_TRUE(store.setText(key("t"), QStringLiteral("x"))); // repaired: no new copy
    EXPECT_EQ(others(), Texts{garbage});

    for (const char* junk : {"second junk", "third junk"}) { // copies never overwrite one another
        dir.write("voltrane/settings.json", junk);
        ASSERT_TRUE(store.setBool(key("a"), true));
    }
    EXPECT_EQ(others(), (Texts{"second junk", "third junk", garbage}));
}

TEST_F(SettingsStoreTest, UnwritablePlaceFailsTheWriteWithoutHarm) {
    dir.write("voltrane", "a file where the folder belongs");
    EXPECT_FALSE(store.setAnalyticsEnabled(false));
    EXPECT_FALSE(store.setText(SettingsStore::installationIDKey, QStringLiteral("x")));
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_EQ(readFile(dir.path() / "voltrane"), "a file where the folder belongs");
    fs::remove(dir.path() / "voltrane");
    fs::create_directories(file()); // a folder where the file belongs cannot be read, nor replaced
    EXPECT_FALSE(store.setBool(key("a"), true));
    EXPECT_TRUE(fs::is_directory(file()));
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoKey) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            for (int k = 0; k < 10; ++k) {
                store.setText(QStringLiteral("w%1").arg(t * 10 + k), QString::number(k));
            }
        });
    }
    std::for_each(writers.begin(), writers.end(), [](std::thread& writer) { writer.join(); });
    for (int n = 0; n < 40; ++n) {
        EXPECT_EQ(store.textValue(QStringLiteral("w%1").arg(n)), QString::number(n % 10));
    }
}

TEST(SettingsStoreDefaultPath, FollowsXdgConfigHome) {
    testing::TempDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path().string()));
    const QString path = SettingsStore::defaultFilePath();
    saved.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(path, QString::fromStdString((dir.path() / "voltrane" / "settings.json").string()));
}

} // namespace
} // namespace voltrane
