#include "generated_history.h"
#include "history/history_store.h"
#include "support/temp_dir.h"
#include "ui/dashboard/metric_card.h"
#include "ui/history/history_health_chart.h"
#include "ui/history/history_power_chart.h"
#include "ui/history/history_window.h"

#include <QAbstractButton>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono;
using testing::generatedHistory;
using testing::generatedNow;

std::unique_ptr<HistoryWindow> makeWindow(HistoryReading& reading) {
    return std::make_unique<HistoryWindow>(reading, &generatedNow, [](Date) { return seconds(hours(8)); });
}

TEST(HistoryWindowTest, ReadsWhenShownAndWhenTheRangeChangesNeverWhilePainting) {
    testing::MemoryHistory history;
    const auto window = makeWindow(history);
    window->setRange(HistoryRange::week); // hidden: nothing to read yet
    EXPECT_EQ(history.rowReads, 0);
    window->show();
    EXPECT_EQ(std::pair(history.rowReads, history.healthReads), std::pair(1, 1));
    EXPECT_EQ(history.lastFrom, generatedNow() - days(7));
    window->grab();
    window->repaint();
    window->setRange(HistoryRange::week);
    EXPECT_EQ(history.rowReads, 1);
    window->rangeButton(HistoryRange::hour)->click();
    EXPECT_EQ(std::pair(history.rowReads, history.healthReads), std::pair(2, 1));
    EXPECT_EQ(history.lastFrom, generatedNow() - hours(1));
    EXPECT_TRUE(window->powerChart()->series().points.empty());
    EXPECT_EQ(window->healthChart()->sentence().toStdString(),
              "还没有电池健康记录。Voltrane 每天记下一次电池容量，过几天就能看到变化。");
}

TEST(HistoryWindowTest, ArrowKeysWalkTheRowsFromTheNewest) {
    auto history = generatedHistory();
    const auto window = makeWindow(history);
    window->setRange(HistoryRange::hour);
    window->show();
    HistoryPowerChart* chart = window->powerChart();
    const std::size_t last = chart->series().points.size() - 1;
    const std::pair<Qt::Key, std::size_t> steps[] = {
        {Qt::Key_Right, last}, {Qt::Key_Right, last}, {Qt::Key_Left, last - 1}, {Qt::Key_Left, last - 2}};
    for (const auto& [key, expected] : steps) {
        QTest::keyClick(chart, key);
        EXPECT_EQ(chart->hoveredIndex(), expected);
    }
    chart->setHoveredIndex(0);
    QTest::keyClick(chart, Qt::Key_Left);
    EXPECT_EQ(chart->hoveredIndex(), 0U);
}

// Renders the day and the month of a generated history file, written as the recorder writes it
// (minutes folded into hours after two weeks); with VOLTRANE_HISTORY_RENDERS set, the PNGs go to
// that folder for the CI artefacts.
TEST(HistoryWindowTest, RendersADayAndAMonthOfAGeneratedHistoryFile) {
    const testing::TempDir dir;
    const QString file = QString::fromStdString((dir.path() / "history.sqlite3").string());
    {
        const auto generated = generatedHistory();
        HistoryStore store(file);
        for (const HistoryRow& row : generated.rowsKept) {
            ASSERT_EQ(store.add(row), HistoryStore::Write::written);
        }
        for (const BatteryHealthRecord& record : generated.healthKept) {
            ASSERT_EQ(store.add(record), HistoryStore::Write::written);
        }
        ASSERT_TRUE(store.prune(generatedNow()));
    }
    HistoryFileReader history(file);
    const auto window = makeWindow(history);
    window->show();
    const QString folder = qEnvironmentVariable("VOLTRANE_HISTORY_RENDERS");
    for (const auto& [range, name, resolution] :
         {std::tuple(HistoryRange::day, "24h", HistoryResolution::minute),
          std::tuple(HistoryRange::month, "30d", HistoryResolution::hour)}) {
        window->setRange(range);
        const ChartSeries& series = window->powerChart()->series();
        ASSERT_FALSE(series.points.empty()) << name;
        EXPECT_EQ(series.rows.back().resolution, resolution);
        EXPECT_TRUE(std::any_of(series.points.begin() + 1, series.points.end(),
                                [](const ChartPoint& point) { return point.breakBefore; }));
        window->powerChart()->setHoveredIndex(series.points.size() * 2 / 3);
        // The tiles lay out their new figures and finish fading them in.
        QTest::qWait(MetricCard::kFigureTransitionMilliseconds + 80);
        const QImage image = window->grab().toImage();
        if (!folder.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(folder));
            ASSERT_TRUE(image.save(folder + QStringLiteral("/history-%1.png").arg(QLatin1String(name))));
        }
    }
    EXPECT_EQ(window->healthChart()->sentence().toStdString(),
              "电池有正常损耗：满电容量是出厂时的 88%，充满一次的续航约为新电池的 88%。这段时间下降了 7 "
              "个百分点。已充放电循环 411 次。");
}

} // namespace
} // namespace voltrane
