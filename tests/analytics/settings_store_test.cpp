#include "analytics/settings_store.h"
#include "support/param_name.h"
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

const Date kSomeTime{std::chrono::milliseconds(1'765'000'000'123)};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SettingsStoreTest : public ::testing::Test {
protected:
    fs::path file() const { return dir.path() / "voltrane" / "settings.json"; }
    /// Contents of the files beside settings.json, sorted: the corrupt copies and any leftovers.
    std::vector<std::string> others() const {
        std::vector<std::string> contents;
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

TEST_F(SettingsStoreTest, MissingFileReadsEmptyAndWritesCreateFolderAndFileOnly) {
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), std::nullopt);
    EXPECT_TRUE(store.analyticsEnabled());
    ASSERT_TRUE(store.setAnalyticsEnabled(false));
    EXPECT_FALSE(store.analyticsEnabled());
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(store.setBool(QStringLiteral("k%1").arg(i), true));
    }
    EXPECT_TRUE(fs::exists(file()));
    EXPECT_EQ(others(), std::vector<std::string>{}); // no temporary file left behind
}

TEST_F(SettingsStoreTest, KeepsEachTypeDistinctAcrossStores) {
    ASSERT_TRUE(store.setBool(QStringLiteral("b"), false));
    ASSERT_TRUE(store.setText(QStringLiteral("t"), QStringLiteral("true")));
    ASSERT_TRUE(store.setDate(QStringLiteral("d"), kSomeTime));

    const SettingsStore other(store.filePath()); // another part of the program on the same file
    EXPECT_EQ(other.boolValue(QStringLiteral("b")), false);
    EXPECT_EQ(other.textValue(QStringLiteral("t")), QStringLiteral("true"));
    EXPECT_EQ(other.dateValue(QStringLiteral("d")), kSomeTime);
    // Asking with another type than the stored one gives nothing.
    const auto key = [](const char* name) { return QString::fromLatin1(name); };
    EXPECT_FALSE(other.textValue(key("b")) || other.dateValue(key("b")) || other.boolValue(key("t")) ||
                 other.dateValue(key("t")) || other.boolValue(key("d")) || other.textValue(key("d")));
}

TEST_F(SettingsStoreTest, DatesKeepMillisecondsAndUnparsableOnesReadAbsent) {
    ASSERT_TRUE(store.setDate(QStringLiteral("d"), kSomeTime + std::chrono::microseconds(999)));
    EXPECT_EQ(store.dateValue(QStringLiteral("d")), kSomeTime);
    const Date beforeEpoch{std::chrono::milliseconds(-1500)};
    ASSERT_TRUE(store.setDate(QStringLiteral("old"), beforeEpoch));
    EXPECT_EQ(store.dateValue(QStringLiteral("old")), beforeEpoch);
    dir.write("voltrane/settings.json",
              R"({"analyticsLastHeartbeatAt":{"type":"date","value":"yesterday"}})");
    EXPECT_EQ(store.dateValue(SettingsStore::lastHeartbeatKey), std::nullopt);
}

TEST_F(SettingsStoreTest, WriteReplacesOneKeyAndKeepsTheOthers) {
    ASSERT_TRUE(store.setText(QStringLiteral("a"), QStringLiteral("1")));
    ASSERT_TRUE(store.setBool(QStringLiteral("b"), true));
    ASSERT_TRUE(store.setBool(QStringLiteral("a"), false));
    EXPECT_EQ(store.textValue(QStringLiteral("a")), std::nullopt);
    EXPECT_EQ(store.boolValue(QStringLiteral("b")), true);
    ASSERT_TRUE(store.remove(QStringLiteral("b")));
    EXPECT_EQ(store.boolValue(QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(store.boolValue(QStringLiteral("a")), false);
}

struct HandEditRow {
    const char* name;
    const char* json;
    std::optional<bool> stored; ///< boolValue("analyticsEnabled"); analyticsEnabled() is this or true
};

class SettingsStoreHandEdit : public ::testing::TestWithParam<HandEditRow> {};

TEST_P(SettingsStoreHandEdit, ReadsOnlyWellTypedBooleans) {
    testing::TempDir dir;
    const SettingsStore store(QString::fromStdString(dir.write("settings.json", GetParam().json).string()));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), GetParam().stored);
    EXPECT_EQ(store.analyticsEnabled(), GetParam().stored.value_or(true));
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsStoreHandEdit,
    ::testing::Values(
        HandEditRow{"storedFalse", R"({"analyticsEnabled":{"type":"bool","value":false}})", false},
        HandEditRow{"textFalse", R"({"analyticsEnabled":{"type":"text","value":"false"}})", {}},
        HandEditRow{"boolTypeTextValue", R"({"analyticsEnabled":{"type":"bool","value":"false"}})", {}},
        HandEditRow{"untypedFalse", R"({"analyticsEnabled":false})", {}},
        HandEditRow{"truncated", R"({"analyticsEnabled":{"type":"bool","val)", {}},
        HandEditRow{"arrayAtTop", R"([{"analyticsEnabled":false}])", {}}),
    testing::ParamName{});

TEST_F(SettingsStoreTest, CorruptFileSurvivesReadsAndEachCorruptionIsCopiedOnceOnWrite) {
    dir.write("voltrane/settings.json", "first junk");
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_EQ(store.textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(readFile(file()), "first junk");
    EXPECT_EQ(others(), std::vector<std::string>{});

    ASSERT_TRUE(store.setAnalyticsEnabled(false));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), false);
    ASSERT_TRUE(store.setText(QStringLiteral("t"), QStringLiteral("x"))); // repaired: no new copy
    EXPECT_EQ(others(), std::vector<std::string>{"first junk"});

    dir.write("voltrane/settings.json", "second junk");
    ASSERT_TRUE(store.setBool(QStringLiteral("a"), true));
    EXPECT_EQ(others(), (std::vector<std::string>{"first junk", "second junk"}));
}

TEST_F(SettingsStoreTest, UnwritablePlaceFailsTheWriteWithoutHarm) {
    dir.write("voltrane", "a file where the folder belongs");
    EXPECT_FALSE(store.setAnalyticsEnabled(false));
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_EQ(readFile(dir.path() / "voltrane"), "a file where the folder belongs");
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoKey) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([this, t] {
            for (int k = 0; k < 10; ++k) {
                store.setText(QStringLiteral("w%1-%2").arg(t).arg(k), QString::number(k));
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    for (int t = 0; t < 4; ++t) {
        for (int k = 0; k < 10; ++k) {
            EXPECT_EQ(store.textValue(QStringLiteral("w%1-%2").arg(t).arg(k)), QString::number(k));
        }
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
