#include "history/history_store.h"
#include "stored_rows.h"
#include "support/probe_run.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;

TEST(HistoryExport, PrintsRowsAndHealthOldestFirstAsJsonLinesOrCsv) {
    const testing::TempDir folder;
    const QString path = QString::fromStdString((folder.path() / "history.sqlite3").string());
    const Date now = std::chrono::floor<std::chrono::minutes>(std::chrono::system_clock::now());
    {
        HistoryStore store(path);
        for (const int hours : {30, 2, 1}) {
            store.add(testing::minuteRow(now - std::chrono::hours(hours), hours, 40));
        }
        store.add(BatteryHealthRecord{now - 2h, 4100, std::nullopt, CapacityUnit::milliampHours, 12});
    }
    const auto run = [&](const QStringList& arguments) {
        const auto result = testing::runProbe(QStringList{QStringLiteral("history")} + arguments +
                                              QStringList{QStringLiteral("--file"), path});
        return std::pair(result, result.out.trimmed().split('\n'));
    };
    const auto [json, lines] = run({QStringLiteral("--since"), QStringLiteral("150m")});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(json.lastLine()[QStringLiteral("systemWattsMean")].toDouble(), 1); // the newest comes last
    EXPECT_TRUE(json.lastLine()[QStringLiteral("inputWattsMean")].isNull());

    const auto [csv, rows] = run({QStringLiteral("--csv")});
    ASSERT_EQ(rows.size(), 4);
    EXPECT_TRUE(rows[0].startsWith(
        "start,resolution,sampleCount,coveredSeconds,onBatterySeconds,headlineWattsMean,"));
    EXPECT_TRUE(rows[1].endsWith(",minute,60,60,60,30,29,31.5,30,29,31.5,,,,-30,-31.5,-29,0,0,0.46875,0."
                                 "46875,40,onBattery,7.5,,,,,0.25"))
        << rows[1].toStdString();
    const auto [health, healthRows] = run({QStringLiteral("--health"), QStringLiteral("--csv")});
    ASSERT_EQ(healthRows.size(), 2);
    EXPECT_EQ(healthRows[0], "recordedAt,fullChargeCapacity,designCapacity,unit,cycleCount");
    EXPECT_TRUE(healthRows[1].endsWith(":00.000Z,4100,,mAh,12")) << healthRows[1].toStdString();
    for (const QString& bad : {QStringLiteral("7x"), QStringLiteral("-3d")}) {
        const auto [failed, ignored] = run({QStringLiteral("--since"), bad});
        EXPECT_EQ(std::pair(failed.exitCode, failed.err.count('\n')), std::pair(2, qsizetype(1)));
    }
    EXPECT_EQ(
        testing::runProbe({QStringLiteral("history"), QStringLiteral("--file"), path + QStringLiteral("x")})
            .exitCode,
        2);
}

} // namespace
} // namespace voltrane
