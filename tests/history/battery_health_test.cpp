#include "history/battery_health.h"
#include "history_rows.h"

#include <cmath>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using std::chrono::days;

BatteryHealthRecord record(int day, std::optional<double> full, std::optional<double> design,
                           std::optional<std::int64_t> cycles = std::nullopt) {
    return {test::historyEpoch() + days(day), full, design, CapacityUnit::milliwattHours, cycles};
}

TEST(BatteryHealthTest, PercentOfDesignAndWhatItMeans) {
    const auto points =
        healthPoints({record(2, 45000, 50000, 0), record(0, 50000, 50000, 300), record(1, 10, 0),
                      record(3, std::nan(""), 50000), record(-1, 0, 50000)});
    ASSERT_EQ(points.size(), 5U);
    // No percentage for a design capacity of 0 or an unreadable figure; a cycle count of 0 is unknown.
    EXPECT_EQ(std::vector({points[0].percentOfDesign, points[1].percentOfDesign, points[2].percentOfDesign,
                           points[3].percentOfDesign, points[4].percentOfDesign}),
              (std::vector<std::optional<double>>{0, 100, std::nullopt, 90, std::nullopt}));
    EXPECT_EQ(std::pair(points[1].cycleCount, points[3].cycleCount),
              std::pair(std::optional<std::int64_t>(300), std::optional<std::int64_t>()));

    const std::pair<std::vector<BatteryHealthRecord>, std::string> cases[] = {
        {{}, "还没有电池健康记录。Voltrane 每天记下一次电池容量，过几天就能看到变化。"},
        {{record(0, std::nullopt, 50000, 12)}, "这块电池没有报告它的容量，无法估算健康程度。"},
        {{record(0, 52000, 50000, 3)},
         "电池状态很好：满电容量还有出厂时的 100%，续航和新电池几乎一样。已充放电循环 3 次。"},
        {{record(0, 46000, 50000), record(9, 43000, 50000)},
         "电池有正常损耗：满电容量是出厂时的 86%，充满一次的续航约为新电池的 86%。这段时间下降了 6 "
         "个百分点。"},
        {{record(0, 3520, 5000), record(9, 3500, 5000, 900)}, // less than a point is no drop
         "电池已明显老化：满电容量只剩出厂时的 70%，续航明显变短，可以考虑更换电池。已充放电循环 900 次。"}};
    for (const auto& [records, sentence] : cases) {
        EXPECT_EQ(healthSentence(healthPoints(records)), sentence);
    }
    EXPECT_EQ(healthFigureText(points), "90%");
    EXPECT_EQ(healthFigureText({}), "\u2014");
}

} // namespace
} // namespace voltrane
