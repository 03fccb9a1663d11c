#include "history/history_store.h"
#include "history_rows.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <csignal>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::kHistoryHour;
using testing::minuteRow;

QString pathIn(const testing::TempDir& folder, const char* relative) {
    return QString::fromStdString((folder.path() / relative).string());
}

std::vector<HistoryRow> everything(const QString& path) {
    return HistoryFileReader(path).rows(Date{}, kHistoryHour + 24h * 365);
}

void makeDatabase(const QString& path, int version) {
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("made"));
        database.setDatabaseName(path);
        ASSERT_TRUE(database.open());
        QSqlQuery(database).exec(QStringLiteral("CREATE TABLE other (x)"));
        QSqlQuery(database).exec(QStringLiteral("PRAGMA user_version = %1").arg(version));
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("made"));
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(HistoryStoreFaults, AFileItCannotUseIsSetAsideWholeAndAFreshOneStarted) {
    struct Case {
        const char* name;
        std::function<void(const QString&)> make;
        QString reason; // empty: used in place
    };
    const std::vector<Case> cases{
        {"text",
         [](const QString& path) {
             QFile f(path);
             f.open(QIODevice::WriteOnly);
             f.write("not a database\n");
         },
         QStringLiteral("corrupt")},
        {"damaged pages",
         [](const QString& path) {
             {
                 HistoryStore store(path);
                 for (int i = 0; i < 200; ++i)
                     store.add(minuteRow(kHistoryHour + i * 1min, i));
             }
             QFile f(path);
             f.open(QIODevice::ReadWrite);
             f.seek(4096 + 100);
             f.write(QByteArray(8000, '\x5a'));
         },
         QStringLiteral("corrupt")},
        {"newer layout", [](const QString& path) { makeDatabase(path, 3); }, QStringLiteral("newer-v3")},
        {"empty file",
         [](const QString& path) {
             QFile f(path);
             f.open(QIODevice::WriteOnly);
         },
         QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::TempDir folder;
        const QString path = pathIn(folder, "history.sqlite3");
        c.make(path);
        const QByteArray before = contents(path);
        HistoryStore store(path);
        ASSERT_TRUE(store.isOpen());
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(store.setAsidePath().isEmpty());
        } else {
            EXPECT_TRUE(
                store.setAsidePath().startsWith(path + QLatin1Char('.') + c.reason + QLatin1Char('-')))
                << store.setAsidePath().toStdString();
            EXPECT_EQ(contents(store.setAsidePath()), before);
        }
        EXPECT_EQ(store.add(minuteRow(kHistoryHour, 9)), HistoryStore::Write::written);
        EXPECT_EQ(everything(path), std::vector<HistoryRow>{minuteRow(kHistoryHour, 9)});
    }
}

TEST(HistoryStoreFaults, AMissingFolderIsMadeAndAnImpossibleOneRecordsNothing) {
    const testing::TempDir folder;
    const QString deep = pathIn(folder, "data/voltrane/history.sqlite3");
    EXPECT_EQ(HistoryStore(deep).add(minuteRow(kHistoryHour, 5)), HistoryStore::Write::written);
    EXPECT_EQ(everything(deep).size(), 1u);

    folder.write("blocked", "a file where the folder should be");
    const QString blocked = pathIn(folder, "blocked/voltrane/history.sqlite3");
    HistoryStore store(blocked);
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(store.add(minuteRow(kHistoryHour, 5)), HistoryStore::Write::failed);
    EXPECT_FALSE(store.prune(kHistoryHour));
    EXPECT_TRUE(everything(blocked).empty());
}

TEST(HistoryStoreFaults, AFullDiskFailsTheWriteAndKeepsWhatWasWritten) {
    const testing::TempDir folder;
    const QString path = pathIn(folder, "history.sqlite3");
    HistoryStore store(path);
    QSqlQuery query(QSqlDatabase::database(store.connectionName()));
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA page_count")) && query.next());
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(query.value(0).toInt() + 1)));
    int written = 0;
    while (store.add(minuteRow(kHistoryHour + written * 1min, written)) == HistoryStore::Write::written) {
        ++written;
        ASSERT_LT(written, 1000);
    }
    const auto kept = everything(path);
    ASSERT_EQ(kept.size(), static_cast<std::size_t>(written));
    EXPECT_EQ(kept.back(), minuteRow(kHistoryHour + (written - 1) * 1min, written - 1));
    // Space again: the same row goes in.
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA max_page_count = 100000")));
    EXPECT_EQ(store.add(minuteRow(kHistoryHour + written * 1min, written)), HistoryStore::Write::written);
}

TEST(HistoryStoreFaults, TheClockGoingBackNeverOverwritesALaterRow) {
    const testing::TempDir folder;
    const QString path = pathIn(folder, "history.sqlite3");
    HistoryStore store(path);
    using Write = HistoryStore::Write;
    const std::vector<std::pair<HistoryRow, Write>> steps{
        {minuteRow(kHistoryHour + 5min, 10), Write::written},
        {minuteRow(kHistoryHour + 5min, 99), Write::refused},
        {minuteRow(kHistoryHour + 2min, 99), Write::refused},
        {minuteRow(kHistoryHour + 6min, 11), Write::written},
    };
    for (const auto& [row, expected] : steps) {
        EXPECT_EQ(store.add(row), expected);
    }
    const auto kept = everything(path);
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0], minuteRow(kHistoryHour + 5min, 10));

    BatteryHealthRecord health{kHistoryHour, 50000, 56000, CapacityUnit::milliwattHours, 300};
    EXPECT_EQ(store.add(health), Write::written);
    health.recordedAt += 3h; // same day
    EXPECT_EQ(store.add(health), Write::refused);
    health.recordedAt = kHistoryHour - 24h;
    EXPECT_EQ(store.add(health), Write::refused);
    EXPECT_EQ(HistoryFileReader(path).health(Date{}, kHistoryHour + 48h).size(), 1u);
}

TEST(HistoryStoreFaults, AProcessKilledInsideATransactionLeavesTheCommittedRows) {
    const testing::TempDir folder;
    const QString path = pathIn(folder, "history.sqlite3");
    EXPECT_EXIT(
        {
            HistoryStore store(path);
            for (int i = 0; i < 3; ++i) {
                store.add(minuteRow(kHistoryHour + i * 1min, i));
            }
            QSqlDatabase database = QSqlDatabase::database(store.connectionName());
            database.transaction();
            QSqlQuery(database).exec(
                QStringLiteral("INSERT INTO minute_rows (start, samples) VALUES (%1, 1)")
                    .arg(std::chrono::floor<std::chrono::seconds>((kHistoryHour + 10min).time_since_epoch())
                             .count()));
            std::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    HistoryStore reopened(path);
    EXPECT_TRUE(reopened.isOpen());
    EXPECT_TRUE(reopened.setAsidePath().isEmpty());
    const auto kept = everything(path);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[2], minuteRow(kHistoryHour + 2min, 2));
    EXPECT_EQ(reopened.add(minuteRow(kHistoryHour + 3min, 3)), HistoryStore::Write::written);
}

TEST(HistoryStoreRetention, FoldsMinutesAfterTwoWeeksAndDropsHoursAfterTwoYears) {
    const testing::TempDir folder;
    const QString path = pathIn(folder, "history.sqlite3");
    HistoryStore store(path);
    const Date now = kHistoryHour + 30min;
    std::vector<HistoryRow> written;
    for (const Date start : {now - 800 * 24h, now - 20 * 24h, now - 20 * 24h + 1min, now - 20 * 24h + 70min,
                             now - 24h, now - 1min}) {
        written.push_back(minuteRow(std::chrono::floor<std::chrono::minutes>(start), 12));
        ASSERT_EQ(store.add(written.back()), HistoryStore::Write::written);
    }
    ASSERT_TRUE(store.prune(now));
    ASSERT_TRUE(store.prune(now)); // a second pass changes nothing
    const auto kept = HistoryFileReader(path).rows(now - 900 * 24h, now);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].resolution, HistoryResolution::hour);
    EXPECT_EQ(kept[0].start, std::chrono::floor<std::chrono::hours>(written[1].start));
    EXPECT_EQ(kept[0].sampleCount, 120);
    EXPECT_DOUBLE_EQ(kept[0].systemEnergyWh, 2 * 12 / 64.0);
    EXPECT_EQ(kept[1].resolution, HistoryResolution::hour);
    EXPECT_EQ(kept[2], written[4]);
    EXPECT_EQ(kept[3], written[5]);
    // An hour row covers its minutes: a minute inside it comes too late.
    EXPECT_EQ(store.add(minuteRow(kept[1].start + 30min, 1)), HistoryStore::Write::refused);
}

} // namespace
} // namespace voltrane
