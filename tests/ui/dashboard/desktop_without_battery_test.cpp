#include "common/platform_texts.h"
#include "support/param_name.h"
#include "ui/dashboard/dashboard_texts.h"
#include "ui/dashboard/state_style.h"
#include "ui/dashboard/status_summary.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct NoBatteryCase {
    const char* name;
    bool external;
    const char* symbol; // pill, status card and charge tile
    const char* tray;
    const char* label; // pill and charge tile
    const char* headlineDetail;
    const char* primary;
    const char* footer;
};

class NoBatteryTextsTest : public ::testing::TestWithParam<NoBatteryCase> {};

// Without battery data the panel waits for a first read, unless external power was read: then it
// is a desktop on mains, which says so instead of waiting forever.
TEST_P(NoBatteryTextsTest, TellWhetherThereIsAnythingToWaitFor) {
    PowerSnapshot snapshot = PowerSnapshot::unavailable(Date{});
    snapshot.isExternalConnected = GetParam().external;
    const auto tiles = metricTiles(snapshot);
    const StatusSummary summary(snapshot);
    const std::string symbol = GetParam().symbol;

    EXPECT_EQ(stateStyle(snapshot).label, GetParam().label);
    EXPECT_EQ(tiles[3].detail, GetParam().label);
    EXPECT_EQ(tiles[0].detail, GetParam().headlineDetail);
    EXPECT_EQ(summary.primaryText(), GetParam().primary);
    EXPECT_EQ(sampleTimeText(snapshot, [](Date) { return std::string("14:03:27"); }), GetParam().footer);
    EXPECT_EQ(stateStyle(snapshot).symbol, symbol);
    EXPECT_EQ(summary.symbol(), symbol);
    EXPECT_EQ(tiles[3].symbol, symbol);
    EXPECT_EQ(std::string(menuBarSymbol(snapshot)), GetParam().tray);
    EXPECT_EQ(summary.color(), PaletteColor::textMuted); // the state's colour either way
}

INSTANTIATE_TEST_SUITE_P(Snapshots, NoBatteryTextsTest,
                         ::testing::Values(NoBatteryCase{"NothingReadYet", false, "questionmark.circle",
                                                         "bolt.slash", "等待电源数据", readingSourceText(),
                                                         "暂时无法读取电源遥测", "尚未采样"},
                                           NoBatteryCase{"DesktopOnMains", true, "powerplug.fill",
                                                         "powerplug.fill", "未检测到电池", "由外接电源供电",
                                                         "由外接电源供电，未检测到电池", "更新于 14:03:27"}),
                         testing::ParamName());

} // namespace
} // namespace voltrane
