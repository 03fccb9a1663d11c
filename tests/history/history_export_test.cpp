#include "history/history_store.h"
#include "history_rows.h"
#include "support/probe_run.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;

TEST(HistoryExport, PrintsRowsAndHealthOldestFirstAsJsonLinesOrCsv) {
    const testing::TempDir folder;
    const QString path = QString::fromStdString((folder.path() / "history.sqlite3").string());
    const Date hour = std::chrono::floor<std::chrono::minutes>(std::chrono::system_clock::now());
    {
        HistoryStore store(path);
        for (const auto back : {30h, 2h, 1h}) {
            ASSERT_EQ(store.add(testing::minuteRow(hour - back, 8, 40)), HistoryStore::Write::written);
        }
        store.add(BatteryHealthRecord{hour - 2h, 4100, std::nullopt, CapacityUnit::milliampHours, 12});
    }
    const QStringList file{QStringLiteral("--file"), path};
    struct Case {
        QStringList arguments;
        int lines;
        const char* firstLine; // CSV header or a start for JSON lines
    };
    const std::vector<Case> cases{
        {{}, 3, nullptr},
        {{QStringLiteral("--since"), QStringLiteral("150m")}, 2, nullptr},
        {{QStringLiteral("--csv"), QStringLiteral("--since"), QStringLiteral("1d")},
         3,
         "start,resolution,sampleCount,coveredSeconds,onBatterySeconds,headlineWattsMean,headlineWattsMin,"},
        {{QStringLiteral("--health"), QStringLiteral("--csv")},
         2,
         "recordedAt,fullChargeCapacity,designCapacity,unit,cycleCount"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const auto run = testing::runProbe(QStringList{QStringLiteral("history")} + c.arguments + file);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const auto lines = run.out.trimmed().split('\n');
        ASSERT_EQ(lines.size(), c.lines);
        if (c.firstLine != nullptr) {
            EXPECT_TRUE(lines[0].startsWith(c.firstLine)) << lines[0].toStdString();
        } else {
            EXPECT_EQ(run.lastLine()[QStringLiteral("systemWattsMax")].toDouble(), 9.5);
            EXPECT_EQ(run.lastLine()[QStringLiteral("state")].toString(), QStringLiteral("onBattery"));
            EXPECT_TRUE(run.lastLine()[QStringLiteral("inputWattsMean")].isNull());
        }
    }
    const auto csv =
        testing::runProbe(QStringList{QStringLiteral("history"), QStringLiteral("--csv")} + file);
    const auto rows = csv.out.trimmed().split('\n');
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1].split(',').size(), rows[0].split(',').size());
    EXPECT_TRUE(rows[1].contains(
        ",minute,60,60,60,8,7,9.5,8,7,9.5,,,,-8,-9.5,-7,0,0,0.125,0.125,40,onBattery,2,,,,,0.25"))
        << rows[1].toStdString();
    const auto health =
        testing::runProbe(QStringList{QStringLiteral("history"), QStringLiteral("--health")} + file);
    EXPECT_EQ(health.lastLine()[QStringLiteral("designCapacity")], QJsonValue());
    EXPECT_EQ(health.lastLine()[QStringLiteral("cycleCount")].toInt(), 12);

    for (const QStringList& bad :
         {QStringList{QStringLiteral("--since"), QStringLiteral("7x")} + file,
          QStringList{QStringLiteral("--file"), path + QStringLiteral(".missing")}}) {
        const auto run = testing::runProbe(QStringList{QStringLiteral("history")} + bad);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err.count('\n'), 1);
    }
}

} // namespace
} // namespace voltrane
