// Only the application shell picks the settings store and the usage client. A dashboard given
// none keeps to itself, and its info popover offers the usage switch only where something can
// be sent. Its own executable: nothing else in the process may have touched the settings first.
#include "analytics/settings_store.h"
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

TEST(DashboardServices, ADashboardGivenNoServicesLeavesTheUsersSettingsAlone) {
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
    view.infoPopover()->analyticsSwitch()->click();
    QApplication::processEvents();

    EXPECT_FALSE(std::filesystem::exists(home.path() / "config" / "voltrane"));
}

TEST(DashboardServices, TheUsageSwitchIsOfferedOnlyWithAStoreToKeepIt) {
    const testing::TempDir folder;
    const auto store =
        std::make_shared<SettingsStore>(QString::fromStdString((folder.path() / "s.json").string()));
    for (const auto& [settings, sends] :
         {std::pair{store, true}, std::pair{std::shared_ptr<SettingsStore>(), false}}) {
        InfoPopover popover(settings);
        popover.show();
        EXPECT_EQ(popover.analyticsSwitch()->isVisible(), sends);
        const auto* title = popover.findChild<QLabel*>(QStringLiteral("analyticsTitle"));
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text() == QStringLiteral("发送匿名使用统计"), sends) << title->text().toStdString();
    }
}

} // namespace
} // namespace voltrane
