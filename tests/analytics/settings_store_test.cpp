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

std::string readFile(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}
QString key(const char* name) {
    return QString::fromLatin1(name);
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

TEST_F(SettingsStoreTest, WritesReplaceTheFileWholeAndKeepEachTypeDistinct) {
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), std::nullopt);
    EXPECT_TRUE(store.analyticsEnabled());
    ASSERT_TRUE(store.setAnalyticsEnabled(false) && store.setText(key("a"), QStringLiteral("1")) &&
                store.setBool(key("b"), true) && store.setBool(key("a"), false) && store.remove(key("b")));
    const Date date{std::chrono::milliseconds(1'765'000'000'123)};
    ASSERT_TRUE(store.setText(key("t"), QStringLiteral("true")) &&
                store.setDate(key("d"), date + std::chrono::microseconds(999)) &&
                store.setDate(key("old"), Date{std::chrono::milliseconds(-1500)}));
    EXPECT_EQ(others(), Texts{}); // nothing left behind

    const SettingsStore other(store.filePath()); // another part of the program on the same file
    EXPECT_FALSE(other.analyticsEnabled());
    EXPECT_EQ(other.boolValue(key("a")), false);
    EXPECT_EQ(other.boolValue(key("b")), std::nullopt);
    EXPECT_EQ(other.textValue(key("t")), QStringLiteral("true"));
    EXPECT_EQ(other.dateValue(key("d")), date); // to the millisecond
    EXPECT_EQ(other.dateValue(key("old")), Date{std::chrono::milliseconds(-1500)});
    EXPECT_FALSE(other.textValue(key("a")) || other.dateValue(key("a")) || other.boolValue(key("t")) ||
                 other.dateValue(key("t")) || other.boolValue(key("d")) || other.textValue(key("d")));
}

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
    ASSERT_TRUE(store.setBool(key("a"), true)); // an empty file is no corruption: nothing kept aside
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
    ASSERT_TRUE(store.setText(key("t"), QStringLiteral("x"))); // repaired: no new copy
    EXPECT_EQ(others(), Texts{garbage});
    for (const char* junk : {"second junk", "third junk"}) { // copies never overwrite one another
        write(junk);
        ASSERT_TRUE(store.setBool(key("a"), true));
    }
    EXPECT_EQ(others(), (Texts{"second junk", "third junk", garbage}));
}

TEST_F(SettingsStoreTest, UnwritablePlaceFailsTheWriteWithoutHarm) {
    dir.write("voltrane", "a file where the folder belongs");
    EXPECT_FALSE(store.setAnalyticsEnabled(false) || store.setText(key("t"), QStringLiteral("x")));
    EXPECT_TRUE(store.analyticsEnabled());
    EXPECT_EQ(readFile(dir.path() / "voltrane"), "a file where the folder belongs");
    fs::remove(dir.path() / "voltrane");
    fs::create_directories(file()); // a folder where the file belongs cannot be read, nor replaced
    EXPECT_FALSE(store.setBool(key("a"), true));
    EXPECT_TRUE(fs::is_directory(file()));
}

TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoKey) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 40; t += 10) {
        writers.emplace_back([this, t] {
            for (int n = t; n < t + 10; ++n) {
                store.setText(QStringLiteral("w%1").arg(n), QString::number(n % 10));
            }
        });
    }
    std::for_each(writers.begin(), writers.end(), [](std::thread& writer) { writer.join(); });
    for (int n = 0; n < 40; ++n) {
        EXPECT_EQ(store.textValue(QStringLiteral("w%1").arg(n)), QString::number(n % 10));
    }
}

} // namespace
} // namespace voltrane
