#include "history/history_store.h"
#include "stored_rows.h"
#include "support/temp_dir.h"

#include <QFile>
#include <QSqlQuery>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::kHistoryHour;
using testing::minuteRow;
using Write = HistoryStore::Write;

class HistoryStoreFaults : public ::testing::Test {
protected:
    testing::TempDir folder;
    QString path = QString::fromStdString((folder.path() / "history.sqlite3").string());
    std::vector<HistoryRow> kept() { return HistoryFileReader(path).rows(Date{}, kHistoryHour + 24h); }
    void put(const QByteArray& bytes, qint64 at = 0) {
        QFile file(path);
        ASSERT_TRUE(file.open(at ? QIODevice::ReadWrite : QIODevice::WriteOnly) && file.seek(at));
        file.write(bytes);
    }
    void write(int minutes) {
        HistoryStore store(path);
        for (int i = 0; i < minutes; ++i) {
            ASSERT_EQ(store.add(minuteRow(kHistoryHour + i * 1min, i)), Write::written);
        }
    }
};

TEST_F(HistoryStoreFaults, AFileItCannotUseIsSetAsideWholeAndAFreshOneStarted) {
    const std::vector<std::tuple<const char*, std::function<void()>, QString>> cases{
        {"text", [&] { put("not a database\n"); }, QStringLiteral(".corrupt-")},
        {"damaged pages", [&] { write(200), put(QByteArray(8000, 'Z'), 4196); }, QStringLiteral(".corrupt-")},
        {"newer layout", [&] { write(0), put(QByteArray("\0\0\0\3", 4), 60); }, QStringLiteral(".newer-v3-")},
        {"empty file, upgraded", [&] { put({}); }, QString()}};
    for (const auto& [name, make, reason] : cases) {
        SCOPED_TRACE(name);
        QFile::remove(path);
        make();
        QFile original(path);
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        HistoryStore store(path);
        ASSERT_TRUE(store.isOpen());
        EXPECT_EQ(store.setAsidePath().left(path.size() + reason.size()),
                  reason.isEmpty() ? QString() : path + reason);
        QFile aside(store.setAsidePath());
        EXPECT_TRUE(reason.isEmpty() || (aside.open(QIODevice::ReadOnly) && aside.readAll() == before));
        EXPECT_EQ(store.add(minuteRow(kHistoryHour, 9)), Write::written);
        EXPECT_EQ(kept(), std::vector{minuteRow(kHistoryHour, 9)});
    }
}

TEST_F(HistoryStoreFaults, AFullDiskFailsTheWriteAndKeepsWhatWasWritten) {
    HistoryStore store(path);
    QSqlQuery query(QSqlDatabase::database(store.connectionName()));
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA page_count")) && query.next());
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(query.value(0).toInt() + 1)));
    int written = 0;
    while (store.add(minuteRow(kHistoryHour + written * 1min, written)) == Write::written) {
        ASSERT_LT(++written, 1000);
    }
    ASSERT_EQ(kept().size(), static_cast<std::size_t>(written));
    EXPECT_EQ(kept().back(), minuteRow(kHistoryHour + (written - 1) * 1min, written - 1));
    ASSERT_TRUE(query.exec(QStringLiteral("PRAGMA max_page_count = 100000")));
    EXPECT_EQ(store.add(minuteRow(kHistoryHour + written * 1min, written)), Write::written);
}

TEST_F(HistoryStoreFaults, TheClockGoingBackFillsGapsButNeverOverwritesARow) {
    HistoryStore store(path);
    for (const auto& [at, watts, expected] : {std::tuple{5min, 10, Write::written},
                                              {5min, 99, Write::refused},
                                              {2min, 2, Write::written},
                                              {6min, 11, Write::written}}) {
        EXPECT_EQ(store.add(minuteRow(kHistoryHour + at, watts)), expected);
    }
    EXPECT_EQ(kept(), std::vector({minuteRow(kHistoryHour + 2min, 2), minuteRow(kHistoryHour + 5min, 10),
                                   minuteRow(kHistoryHour + 6min, 11)}));
    for (const auto& [at, expected] :
         {std::pair{0h, Write::written}, {3h, Write::refused}, {-24h, Write::written}}) {
        EXPECT_EQ(store.add(BatteryHealthRecord{kHistoryHour + at, 50000, 56000, {}, 300}), expected);
    }
    EXPECT_EQ(HistoryFileReader(path).health(Date{}, kHistoryHour + 48h).size(), 2u);
}

TEST_F(HistoryStoreFaults, AProcessKilledInsideATransactionLeavesTheCommittedRows) {
    EXPECT_EXIT(
        {
            write(3);
            HistoryStore store(path);
            QSqlDatabase database = QSqlDatabase::database(store.connectionName());
            database.transaction();
            QSqlQuery(database).exec(
                QStringLiteral("INSERT INTO minute_rows (start, samples) VALUES (1796098200, 1)"));
            std::raise(SIGKILL);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    HistoryStore reopened(path);
    EXPECT_TRUE(reopened.isOpen() && reopened.setAsidePath().isEmpty());
    EXPECT_EQ(kept().size(), 3u);
    EXPECT_EQ(kept().back(), minuteRow(kHistoryHour + 2min, 2));
    EXPECT_EQ(reopened.add(minuteRow(kHistoryHour + 3min, 3)), Write::written);
}

TEST_F(HistoryStoreFaults, FoldsMinutesAfterTwoWeeksAndDropsHoursAfterTwoYears) {
    HistoryStore store(path);
    const Date now = kHistoryHour + 30min;
    std::vector<HistoryRow> written;
    for (const std::chrono::minutes back : std::initializer_list<std::chrono::minutes>{
             800 * 24h, 20 * 24h, 20 * 24h - 1min, 20 * 24h - 70min, 24h, 1min}) {
        written.push_back(minuteRow(std::chrono::floor<std::chrono::minutes>(now - back), 12));
        ASSERT_EQ(store.add(written.back()), Write::written);
    }
    ASSERT_TRUE(store.prune(now) && store.prune(now));
    const auto rows = HistoryFileReader(path).rows(now - 900 * 24h, now);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(std::tuple(rows[0].resolution, rows[0].start, rows[0].sampleCount, rows[0].systemEnergyWh),
              std::tuple(HistoryResolution::hour, std::chrono::floor<std::chrono::hours>(written[1].start),
                         120, 2 * 12 / 64.0));
    EXPECT_EQ(rows[1].resolution, HistoryResolution::hour);
    EXPECT_EQ(std::pair(rows[2], rows[3]), std::pair(written[4], written[5]));
    // An hour row covers its minutes: a minute inside it comes too late.
    EXPECT_EQ(store.add(minuteRow(rows[1].start + 30min, 1)), Write::refused);
}

} // namespace
} // namespace voltrane
