#include "ui/dashboard/dashboard_texts.h"
#include "ui/dashboard/state_style.h"
#include "ui/dashboard/status_summary.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

// pill | headline detail | charge tile | status card | tray symbol | footer
std::string panelTextsOnMainsWithoutBattery() {
    PowerSnapshot s = PowerSnapshot::unavailable(Date{});
    s.isExternalConnected = true;
    const auto tiles = metricTiles(s);
    const StatusSummary summary(s);
    return std::string(stateStyle(s).symbol) + " " + std::string(stateStyle(s).label) + " | " +
           tiles[0].detail + " | " + tiles[3].symbol + " " + tiles[3].detail + " | " +
           std::string(summary.symbol()) + " " + summary.primaryText() + " | " + menuBarSymbol(s) + " | " +
           sampleTimeText(s, [](Date) { return std::string("14:03:27"); });
}

// Without battery data the panel waits for a first read ("等待电源数据", "尚未采样"), unless
// external power was read: then it is a desktop on mains, which says so instead of waiting forever.
TEST(DesktopWithoutBatteryTest, SaysThereIsNoBatteryInsteadOfWaiting) {
    EXPECT_EQ(panelTextsOnMainsWithoutBattery(),
              "powerplug.fill 未检测到电池 | 由外接电源供电 | powerplug.fill 未检测到电池 | "
              "powerplug.fill 由外接电源供电，未检测到电池 | powerplug.fill | 更新于 14:03:27");
}

} // namespace
} // namespace voltrane
