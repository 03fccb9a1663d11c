#include "history/history_range.h"
#include "history/history_series.h"
#include "history/history_texts.h"
#include "history_rows.h"

#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono;
using test::historyEpoch;
using test::minuteRow;
using Kind = ChartSpan::Kind;

TEST(HistoryRangeTest, TicksSitOnTheLocalClockAndNameTheirUnit) {
    const Date epoch = historyEpoch();
    // range, local offset, from, tick count, first and last label
    const std::tuple<HistoryRange, seconds, Date, std::size_t, std::string, std::string> cases[] = {
        {HistoryRange::hour, hours(8), epoch + minutes(5), 6, "08:10", "09:00"},
        {HistoryRange::hour, hours(8), epoch, 7, "08:00", "09:00"}, // a tick on either end
        {HistoryRange::day, hours(0), epoch - minutes(1), 8, "00:00", "21:00"},
        {HistoryRange::day, minutes(330), epoch, 8, "06:00", "03:00"}, // a half-hour zone
        {HistoryRange::week, hours(-5), epoch, 7, "3月1日", "3月7日"},
        {HistoryRange::month, hours(0), epoch, 6, "3月3日", "3月28日"},
        {HistoryRange::year, hours(0), epoch - days(70), 12, "2026年1月", "12月"}};
    for (const auto& [range, offset, from, count, first, last] : cases) {
        const auto ticks = timeTicks(range, from, from + rangeSpec(range).duration, offset);
        SCOPED_TRACE(rangeSpec(range).label);
        ASSERT_EQ(ticks.size(), count);
        EXPECT_EQ(ticks.front().label + " " + ticks.back().label, first + " " + last);
        for (std::size_t i = 1; i < ticks.size(); ++i) {
            EXPECT_LT(ticks[i - 1].at, ticks[i].at);
        }
        EXPECT_GE(ticks.front().at, from);
    }
    // Months begin at local midnight: New Year in a +8 h zone is 16:00 the day before in UTC.
    EXPECT_EQ(timeTicks(HistoryRange::year, epoch - days(70), epoch, hours(8)).front().at,
              epoch - days(59) - hours(8));
    EXPECT_EQ(wattAxis(0), (WattAxis{5, 1}));
    EXPECT_EQ(wattAxis(23), (WattAxis{25, 5}));
    EXPECT_EQ(wattAxis(61), (WattAxis{80, 20}));
    EXPECT_EQ(std::vector({wattAxis(40), wattAxis(50), wattAxis(55)}),
              (std::vector<WattAxis>{{40, 10}, {50, 10}, {60, 20}}));
    EXPECT_EQ(wattAxis(std::nan("")), (WattAxis{5, 1}));
}

TEST(HistorySeriesTest, StacksBreaksAndSpans) {
    // Two charging minutes, a two-minute gap, two on battery, then one hour row ending the day.
    std::vector<HistoryRow> rows{
        minuteRow(1, 10, PowerState::charging, 50), minuteRow(0, 10, PowerState::charging, 49),
        minuteRow(4, 8, PowerState::onBattery, -3), minuteRow(5, 8, PowerState::onBattery),
        minuteRow(5, 99, PowerState::pluggedIn)}; // the clock went back
    rows[0].cpuWatts = 4;
    rows[0].displayWatts = 0.01; // below a real reading: not a layer
    rows[0].inputWatts = FigureSummary{30, 30, 30};
    rows[2].batteryWatts = FigureSummary{-7, -9, -5};
    rows[2].gpuWatts = 12; // more than the system: no remainder
    const ChartSeries series = ChartSeries::make(rows, HistoryResolution::minute);

    ASSERT_EQ(series.points.size(), 4U);
    const auto& p = series.points;
    EXPECT_EQ(std::pair(p[0].chargePercent, p[2].chargePercent),
              std::pair(std::optional(49), std::optional(0))); // a bogus -3 % is 0
    EXPECT_EQ(std::vector({p[0].breakBefore, p[1].breakBefore, p[2].breakBefore, p[3].breakBefore}),
              std::vector({true, false, true, false}));
    EXPECT_EQ(p[1].stack, (std::array<double, 7>{4, 0, 0, 0, 0, 0, 6}));
    EXPECT_EQ(p[2].stack, (std::array<double, 7>{0, 12, 0, 0, 0, 0, 0}));
    EXPECT_EQ(p[1].sourceWatts, 30);
    EXPECT_TRUE(p[2].sourceIsBattery);
    EXPECT_EQ(p[2].sourceWatts, 7);
    EXPECT_EQ(p[3].sourceWatts, 8); // no battery figure: the system's draw
    EXPECT_EQ(series.maxWatts, 30);
    const Date e = historyEpoch();
    EXPECT_EQ(series.spans, (std::vector<ChartSpan>{{Kind::charging, e, e + minutes(2)},
                                                    {Kind::onBattery, e + minutes(4), e + minutes(6)}}));
}

TEST(HistorySeriesTest, CoarseRangesFoldMinutesAndKeepHourRows) {
    HistoryRow hour = minuteRow(60, 5);
    hour.resolution = HistoryResolution::hour;
    const auto rows = foldRows({minuteRow(1, 10), hour, minuteRow(0, 20)}, HistoryResolution::hour);
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(std::tuple(rows[0].start, rows[0].resolution, rows[0].sampleCount, rows[1].start),
              std::tuple(historyEpoch(), HistoryResolution::hour, 120, historyEpoch() + hours(1)));
}

TEST(HistoryTextsTest, RowDetailNamesTimeFiguresAndParts) {
    HistoryRow row = minuteRow(65, 12.34, PowerState::onBattery, 81);
    row.batteryWatts = FigureSummary{-11, -14, -9};
    row.cpuWatts = 5;
    EXPECT_EQ(rowDetail(row, hours(8)),
              (RowDetail{"3月1日 09:05",
                         {"系统 12.3 W · 最低 12.3 W · 最高 12.3 W", "电池输出 11.0 W",
                          "电量 81% · 正在使用电池", "CPU 5.0 W · 其它 7.3 W"}}));
    HistoryRow bare;
    bare.start = historyEpoch() + hours(23);
    bare.resolution = HistoryResolution::hour;
    EXPECT_EQ(rowDetail(bare, hours(0)), (RowDetail{"3月1日 23:00–00:00", {"等待电源数据"}}));
    EXPECT_EQ(emptyHistoryText("7 天"),
              "最近 7 天还没有记录。Voltrane 运行时每分钟记下一次功率，稍后再来看看。");
}

} // namespace
} // namespace voltrane
