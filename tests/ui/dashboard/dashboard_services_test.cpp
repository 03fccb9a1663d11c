// Only the application shell picks the settings store and the usage client: a dashboard given
// none keeps to itself and says nothing is sent. Its own executable, so that nothing else in the
// process can have touched the settings first.
#include "monitor/power_monitor.h"
#include "support/monitor_fakes.h"
#include "support/temp_dir.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/dashboard/info_popover.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <filesystem>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(DashboardServices, ADashboardGivenNoServicesLeavesTheUsersSettingsAloneAndSendsNothing) {
    const testing::TempDir home;
    qputenv("HOME", home.path().c_str());
    qputenv("XDG_CONFIG_HOME", (home.path() / "config").c_str());
    testing::FakeSources sources;
    PowerMonitor monitor(std::make_unique<testing::FakePower>(sources),
                         std::make_unique<testing::FakeComponents>(sources),
                         std::make_unique<testing::ManualScheduler>(sources));
    DashboardView view(monitor, true);
    view.show();
    view.setShowingInfo(true);
    const InfoPopover& popover = *view.infoPopover();
    EXPECT_FALSE(popover.analyticsSwitch()->isVisible());
    EXPECT_NE(popover.findChild<QLabel*>(QStringLiteral("analyticsTitle"))->text(),
              QStringLiteral("发送匿名使用统计"));
    popover.analyticsSwitch()->click();
    QApplication::processEvents();
    EXPECT_FALSE(std::filesystem::exists(home.path() / "config" / "voltrane"));
}

} // namespace
} // namespace voltrane
