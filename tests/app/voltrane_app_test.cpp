#include "analytics/settings_store.h"
#include "app/dashboard_panel.h"
#include "app/tray_icon_renderer.h"
#include "app/voltrane_app.h"
#include "support/monitor_fakes.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace voltrane::testing;

class VoltraneAppTest : public ::testing::Test {
protected:
    std::unique_ptr<VoltraneApp> makeApp(bool useTray) {
        VoltraneApp::Options options;
        options.useTray = useTray;
        options.scheduler = std::make_unique<ManualScheduler>(sources);
        options.services.settings = std::make_shared<SettingsStore>(
            QString::fromStdString((settingsFolder.path() / "settings.json").string()));
        options.services.onShown = [this] { ++opened; };
        return std::make_unique<VoltraneApp>(VoltraneApp::Readers{std::make_unique<FakePower>(sources),
                                                                  std::make_unique<FakeComponents>(sources)},
                                             std::move(options));
    }

    FakeSources sources;
    int opened = 0;
    testing::TempDir settingsFolder;
};

TEST_F(VoltraneAppTest, WithoutATrayThePanelIsAWindowTitledWithEveryReading) {
    PowerSnapshot onBattery;
    onBattery.state = PowerState::onBattery;
    onBattery.batteryWatts = -7.4;
    sources.power = {onBattery};
    const auto shell = makeApp(false);
    EXPECT_EQ(shell->panel().windowTitle(), QStringLiteral("7 W")); // before start: the first reading
    shell->start();
    EXPECT_TRUE(shell->panel().isVisible());
    EXPECT_EQ(shell->panel().mode(), DashboardPanel::Mode::window);
    EXPECT_EQ(shell->panel().size(), QSize(560, 750));
    const qint64 onBatteryIcon = shell->panel().windowIcon().cacheKey();

    sources.power = {PowerSnapshot::unavailable(Date{})};
    shell->monitor().refresh();
    EXPECT_EQ(shell->panel().windowTitle(), QStringLiteral("Voltrane"));
    EXPECT_NE(shell->panel().windowIcon().cacheKey(), onBatteryIcon);
}

TEST_F(VoltraneAppTest, TrayPanelsComeAndGoWithoutRestartingSampling) {
    const auto shell = makeApp(true);
    EXPECT_FALSE(shell->hasPanel());
    for (int i = 0; i < 3; ++i) {
        shell->showPanel();
        EXPECT_EQ(shell->panel().mode(), DashboardPanel::Mode::trayPanel);
        EXPECT_TRUE(shell->panel().isVisible());
        shell->panel().hide();
        EXPECT_FALSE(shell->hasPanel());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(sources.powerReads, 1);
    EXPECT_EQ(sources.componentReads, 1);
    EXPECT_EQ(sources.delays.size(), 1u);
    EXPECT_EQ(opened, 3);
}

TEST_F(VoltraneAppTest, TheDashboardsQuitReachesTheShell) {
    const auto shell = makeApp(false);
    QSignalSpy quits(shell.get(), &VoltraneApp::quitRequested);
    emit shell->panel().dashboard()->quitRequested();
    EXPECT_EQ(quits.count(), 1);
}

TEST(TrayIconRendererTest, RedrawsWhenSymbolOrTitleChangesAndIsNeverBlank) {
    TrayIconRenderer renderer;
    bool changed = false;
    const QImage first = renderer.image("battery.75percent", "12 W", &changed);
    renderer.image("battery.75percent", "12 W", &changed);
    EXPECT_FALSE(changed);
    EXPECT_NE(renderer.image("battery.75percent", "13 W", &changed), first);
    EXPECT_NE(renderer.image("bolt.slash", "12 W", &changed), first);
    for (const char* symbol :
         {"battery.100percent.bolt", "battery.100percent", "powerplug.fill", "bolt.slash"}) {
        const QImage image = TrayIconRenderer::draw(symbol, std::nullopt);
        int opaque = 0;
        for (int i = 0; i < image.width() * image.height(); ++i) {
            opaque += qAlpha(image.pixel(i % image.width(), i / image.width())) > 128 ? 1 : 0;
        }
        EXPECT_GT(opaque, 40) << symbol;
    }
}

struct PlacementCase {
    const char* name;
    QRect anchor;
    QPoint expected;
};

class PanelPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PanelPlacementTest, StaysBesideTheIconAndOnScreen) {
    EXPECT_EQ(DashboardPanel::placement(GetParam().anchor, QRect(0, 0, 1920, 1080), QSize(560, 750)),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Trays, PanelPlacementTest,
    ::testing::Values(PlacementCase{"TopBarUnderTheIcon", QRect(1000, 0, 24, 24), QPoint(732, 30)},
                      PlacementCase{"BottomPanelAboveTheIcon", QRect(1000, 1056, 24, 24), QPoint(732, 300)},
                      PlacementCase{"RightEdgeKeptOnScreen", QRect(1890, 0, 24, 24), QPoint(1360, 30)},
                      PlacementCase{"UnknownIconCentres", QRect(), QPoint(680, 165)}),
    ParamName());

} // namespace
} // namespace voltrane
