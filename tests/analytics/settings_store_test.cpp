#include "analytics/settings_store.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <sstream>
#include <thread>
#include <vector>

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

namespace fs = std::filesystem;

const Date kSomeTime{std::chrono::milliseconds(1'765'000'000'123)};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<fs::path> corruptCopies(const fs::path& folder) {
    std::vector<fs::path> copies;
    for (const auto& item : fs::directory_iterator(folder)) {
        if (item.path().filename().string().starts_with("settings.json.corrupt-")) {
            copies.push_back(item.path());
        }
    }
    return copies;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    fs::path file() const { return dir.path() / "voltrane" / "settings.json"; }
    SettingsStore& store() { return store_; }
    QString qPath() const { return QString::fromStdString(file().string()); }

    testing::TempDir dir;

private:
    SettingsStore store_{QString::fromStdString((dir.path() / "voltrane" / "settings.json").string())};
};

TEST_F(SettingsStoreTest, MissingFileReadsEmptyAndFirstWriteCreatesFolderAndFile) {
    EXPECT_EQ(store().boolValue(SettingsStore::analyticsEnabledKey), std::nullopt);
    EXPECT_TRUE(store().analyticsEnabled());
    ASSERT_TRUE(store().setAnalyticsEnabled(false));
    EXPECT_TRUE(fs::exists(file()));
    EXPECT_FALSE(store().analyticsEnabled());
}

TEST_F(SettingsStoreTest, KeepsEachTypeDistinctAcrossStores) {
    ASSERT_TRUE(store().setBool(QStringLiteral("b"), false));
    ASSERT_TRUE(store().setText(QStringLiteral("t"), QStringLiteral("true")));
    ASSERT_TRUE(store().setDate(QStringLiteral("d"), kSomeTime));

    // A second store on the same file, as another part of the program would use it.
    const SettingsStore other(qPath());
    EXPECT_EQ(other.boolValue(QStringLiteral("b")), false);
    EXPECT_EQ(other.textValue(QStringLiteral("t")), QStringLiteral("true"));
    EXPECT_EQ(other.dateValue(QStringLiteral("d")), kSomeTime);

    // Asking with another type than the stored one gives nothing.
    EXPECT_EQ(other.textValue(QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(other.dateValue(QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(other.boolValue(QStringLiteral("t")), std::nullopt);
    EXPECT_EQ(other.dateValue(QStringLiteral("t")), std::nullopt);
    EXPECT_EQ(other.boolValue(QStringLiteral("d")), std::nullopt);
    EXPECT_EQ(other.textValue(QStringLiteral("d")), std::nullopt);
}

TEST_F(SettingsStoreTest, DatesKeepMillisecondsAndDropFinerParts) {
    ASSERT_TRUE(store().setDate(QStringLiteral("d"), kSomeTime + std::chrono::microseconds(999)));
    EXPECT_EQ(store().dateValue(QStringLiteral("d")), kSomeTime);
    const Date beforeEpoch{std::chrono::milliseconds(-1500)};
    ASSERT_TRUE(store().setDate(QStringLiteral("old"), beforeEpoch));
    EXPECT_EQ(store().dateValue(QStringLiteral("old")), beforeEpoch);
}

TEST_F(SettingsStoreTest, WriteReplacesOneKeyAndKeepsTheOthers) {
    ASSERT_TRUE(store().setText(QStringLiteral("a"), QStringLiteral("1")));
    ASSERT_TRUE(store().setBool(QStringLiteral("b"), true));
    ASSERT_TRUE(store().setBool(QStringLiteral("a"), false));
    EXPECT_EQ(store().boolValue(QStringLiteral("a")), false);
    EXPECT_EQ(store().textValue(QStringLiteral("a")), std::nullopt);
    EXPECT_EQ(store().boolValue(QStringLiteral("b")), true);
    ASSERT_TRUE(store().remove(QStringLiteral("b")));
    EXPECT_EQ(store().boolValue(QStringLiteral("b")), std::nullopt);
    EXPECT_EQ(store().boolValue(QStringLiteral("a")), false);
}

struct HandEditRow {
    const char* name;
    const char* json;             ///< contents of the file
    std::optional<bool> boolRead; ///< boolValue("analyticsEnabled")
    bool enabled;                 ///< analyticsEnabled()
};

class SettingsStoreHandEdit : public ::testing::TestWithParam<HandEditRow> {};

TEST_P(SettingsStoreHandEdit, ReadsOnlyWellTypedBooleans) {
    const HandEditRow& row = GetParam();
    testing::TempDir dir;
    const SettingsStore store(QString::fromStdString(dir.write("settings.json", row.json).string()));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), row.boolRead);
    EXPECT_EQ(store.analyticsEnabled(), row.enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Files, SettingsStoreHandEdit,
    ::testing::Values(
        HandEditRow{"storedFalse", R"({"analyticsEnabled":{"type":"bool","value":false}})", false, false},
        HandEditRow{"storedTrue", R"({"analyticsEnabled":{"type":"bool","value":true}})", true, true},
        HandEditRow{"textFalse", R"({"analyticsEnabled":{"type":"text","value":"false"}})", std::nullopt,
                    true},
        HandEditRow{"dateTyped", R"({"analyticsEnabled":{"type":"date","value":"2026-01-01T00:00:00Z"}})",
                    std::nullopt, true},
        HandEditRow{"boolTypeWithTextValue", R"({"analyticsEnabled":{"type":"bool","value":"false"}})",
                    std::nullopt, true},
        HandEditRow{"untypedFalse", R"({"analyticsEnabled":false})", std::nullopt, true},
        HandEditRow{"numberZero", R"({"analyticsEnabled":{"type":"bool","value":0}})", std::nullopt, true},
        HandEditRow{"missingValue", R"({"analyticsEnabled":{"type":"bool"}})", std::nullopt, true},
        HandEditRow{"otherKeyOnly", R"({"analyticsEnabledX":{"type":"bool","value":false}})", std::nullopt,
                    true},
        HandEditRow{"emptyFile", "", std::nullopt, true},
        HandEditRow{"truncated", R"({"analyticsEnabled":{"type":"bool","val)", std::nullopt, true},
        HandEditRow{"arrayAtTop", R"([{"analyticsEnabled":false}])", std::nullopt, true},
        HandEditRow{"binaryJunk", "\x01\xff\xfe garbage", std::nullopt, true}),
    testing::ParamName{});

TEST_F(SettingsStoreTest, AnUnparsableDateReadsAbsent) {
    dir.write("voltrane/settings.json",
              R"({"analyticsLastHeartbeatAt":{"type":"date","value":"yesterday"}})");
    EXPECT_EQ(store().dateValue(SettingsStore::lastHeartbeatKey), std::nullopt);
}

TEST_F(SettingsStoreTest, CorruptFileSurvivesReadsUntouched) {
    const std::string junk = R"({"analyticsEnabled": {"type": "bool", "value": fal)";
    dir.write("voltrane/settings.json", junk);
    EXPECT_TRUE(store().analyticsEnabled());
    EXPECT_EQ(store().textValue(SettingsStore::installationIDKey), std::nullopt);
    EXPECT_EQ(readFile(file()), junk);
    EXPECT_TRUE(corruptCopies(file().parent_path()).empty());
}

TEST_F(SettingsStoreTest, WriteOverCorruptFileKeepsACopyBesideIt) {
    const std::string junk = "not json at all";
    dir.write("voltrane/settings.json", junk);
    ASSERT_TRUE(store().setAnalyticsEnabled(false));
    EXPECT_EQ(store().boolValue(SettingsStore::analyticsEnabledKey), false);

    const auto copies = corruptCopies(file().parent_path());
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(readFile(copies.front()), junk);

    // Once repaired, later writes make no more copies.
    ASSERT_TRUE(store().setText(QStringLiteral("t"), QStringLiteral("x")));
    EXPECT_EQ(corruptCopies(file().parent_path()).size(), 1u);
}

TEST_F(SettingsStoreTest, RepeatedCorruptionKeepsEveryCopy) {
    dir.write("voltrane/settings.json", "first junk");
    ASSERT_TRUE(store().setBool(QStringLiteral("a"), true));
    dir.write("voltrane/settings.json", "second junk");
    ASSERT_TRUE(store().setBool(QStringLiteral("a"), true));
    std::vector<std::string> contents;
    for (const auto& copy : corruptCopies(file().parent_path())) {
        contents.push_back(readFile(copy));
    }
    std::sort(contents.begin(), contents.end());
    EXPECT_EQ(contents, (std::vector<std::string>{"first junk", "second junk"}));
}

TEST_F(SettingsStoreTest, UnwritablePlaceFailsTheWriteWithoutHarm) {
    // The folder the file should live in is a plain file, so nothing can be created there.
    dir.write("voltrane", "a file where the folder belongs");
    EXPECT_FALSE(store().setAnalyticsEnabled(false));
    EXPECT_TRUE(store().analyticsEnabled());
    EXPECT_EQ(readFile(dir.path() / "voltrane"), "a file where the folder belongs");
}

TEST_F(SettingsStoreTest, WritesLeaveNoTemporaryFilesBehind) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(store().setBool(QStringLiteral("k") + QString::number(i), i % 2 == 0));
    }
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(file().parent_path())) {
        names.push_back(item.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"settings.json"});
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoKey) {
    constexpr int kThreads = 4;
    constexpr int kKeysEach = 10;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([this, t] {
            for (int k = 0; k < kKeysEach; ++k) {
                store().setText(QStringLiteral("w%1-%2").arg(t).arg(k), QString::number(k));
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeysEach; ++k) {
            EXPECT_EQ(store().textValue(QStringLiteral("w%1-%2").arg(t).arg(k)), QString::number(k));
        }
    }
}

TEST(SettingsStoreDefaultPath, FollowsXdgConfigHome) {
    testing::TempDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path().string()));
    const QString path = SettingsStore::defaultFilePath();
    if (saved.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", saved);
    }
    EXPECT_EQ(path, QString::fromStdString((dir.path() / "voltrane" / "settings.json").string()));
}

} // namespace
} // namespace voltrane
