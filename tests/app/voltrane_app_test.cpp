#include "analytics/settings_store.h"
#include "app/dashboard_panel.h"
#include "app/tray_icon_renderer.h"
#include "app/voltrane_app.h"
#include "support/param_name.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct Counters {
    int powerReads = 0;
    int componentReads = 0;
    PowerSnapshot next = PowerSnapshot::unavailable(Date{});
};

class FakePower final : public PowerMetricsProviding {
public:
    explicit FakePower(Counters& counters) : counters_(counters) {}
    PowerSnapshot readSnapshot() override {
        ++counters_.powerReads;
        return counters_.next;
    }

private:
    Counters& counters_;
};

class FakeComponents final : public ComponentPowerProviding {
public:
    explicit FakeComponents(Counters& counters) : counters_(counters) {}
    ComponentPowerSnapshot readSnapshot() override {
        ++counters_.componentReads;
        return ComponentPowerSnapshot::unavailable(Date{});
    }

private:
    Counters& counters_;
};

/// Never fires on its own: the tests decide when a tick happens.
class HeldScheduler final : public SamplingScheduler {
public:
    void scheduleAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

PowerSnapshot onBattery(double watts) {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.batteryWatts = -watts;
    return snapshot;
}

class VoltraneAppTest : public ::testing::Test {
protected:
    std::unique_ptr<VoltraneApp> makeApp(bool useTray) {
        VoltraneApp::Options options;
        options.useTray = useTray;
        options.scheduler = std::make_unique<HeldScheduler>();
        options.services.settings = std::make_shared<SettingsStore>(
            QString::fromStdString((settingsFolder.path() / "settings.json").string()));
        options.services.onShown = [this] { ++opened; };
        return std::make_unique<VoltraneApp>(VoltraneApp::Readers{std::make_unique<FakePower>(counters),
                                                                  std::make_unique<FakeComponents>(counters)},
                                             std::move(options));
    }

    Counters counters;
    int opened = 0;
    testing::TempDir settingsFolder;
};

TEST_F(VoltraneAppTest, WithoutATrayThePanelIsAWindowTitledWithTheTrayTitle) {
    counters.next = onBattery(12.4);
    const auto shell = makeApp(false);
    shell->start();
    EXPECT_TRUE(shell->panel().isVisible());
    EXPECT_EQ(shell->panel().mode(), DashboardPanel::Mode::window);
    EXPECT_EQ(shell->panel().windowTitle(), QStringLiteral("12 W"));
    EXPECT_EQ(shell->panel().size(), QSize(560, 750));
    const qint64 onBatteryIcon = shell->panel().windowIcon().cacheKey();
    EXPECT_FALSE(shell->panel().windowIcon().isNull());

    counters.next = PowerSnapshot::unavailable(Date{});
    shell->monitor().refresh();
    EXPECT_EQ(shell->panel().windowTitle(), QStringLiteral("Voltrane"));
    // The state symbol moved from the battery to "bolt.slash".
    EXPECT_NE(shell->panel().windowIcon().cacheKey(), onBatteryIcon);
}

TEST_F(VoltraneAppTest, TheFirstTitleAlreadyCarriesTheFirstReading) {
    counters.next = onBattery(7.4);
    const auto shell = makeApp(false);
    EXPECT_EQ(counters.powerReads, 1);
    EXPECT_EQ(shell->panel().windowTitle(), QStringLiteral("7 W"));
}

TEST_F(VoltraneAppTest, OpeningAndClosingThePanelNeverRestartsSampling) {
    const auto shell = makeApp(true);
    PowerMonitor* monitor = &shell->monitor();
    EXPECT_FALSE(shell->hasPanel()); // a tray panel is made when first opened
    for (int i = 0; i < 3; ++i) {
        shell->showPanel();
        EXPECT_TRUE(shell->panel().isVisible());
        shell->panel().hide();
        EXPECT_FALSE(shell->hasPanel()); // a closed panel is discarded
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(&shell->monitor(), monitor);
    EXPECT_EQ(counters.powerReads, 1);
    EXPECT_EQ(counters.componentReads, 1);
    EXPECT_EQ(opened, 3); // each showing asks for one dashboard-open event
}

TEST_F(VoltraneAppTest, TheQuitButtonOfTheDashboardReachesTheShell) {
    const auto shell = makeApp(false);
    QSignalSpy quits(shell.get(), &VoltraneApp::quitRequested);
    emit shell->panel().dashboard()->quitRequested();
    EXPECT_EQ(quits.count(), 1);
}

TEST(TrayIconRendererTest, RedrawsOnlyWhenSymbolOrTitleChanges) {
    TrayIconRenderer renderer;
    bool changed = false;
    const QImage first = renderer.image("battery.75percent", "12 W", &changed);
    EXPECT_TRUE(changed);
    renderer.image("battery.75percent", "12 W", &changed);
    EXPECT_FALSE(changed);
    const QImage other = renderer.image("battery.75percent", "13 W", &changed);
    EXPECT_TRUE(changed);
    EXPECT_NE(first, other);
    renderer.image("battery.100percent.bolt", "13 W", &changed);
    EXPECT_TRUE(changed);
}

TEST(TrayIconRendererTest, DrawsSomethingVisibleForEveryStateSymbol) {
    for (const char* symbol : {"battery.100percent.bolt", "battery.100percent", "powerplug.fill",
                               "battery.75percent", "bolt.slash"}) {
        const QImage image = TrayIconRenderer::draw(symbol, std::nullopt);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                opaque += qAlpha(image.pixel(x, y)) > 128 ? 1 : 0;
            }
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
    const QRect screen(0, 0, 1920, 1080);
    EXPECT_EQ(DashboardPanel::placement(GetParam().anchor, screen, QSize(560, 750)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Trays, PanelPlacementTest,
    ::testing::Values(PlacementCase{"TopBarUnderTheIcon", QRect(1000, 0, 24, 24), QPoint(732, 30)},
                      PlacementCase{"BottomPanelAboveTheIcon", QRect(1000, 1056, 24, 24), QPoint(732, 300)},
                      PlacementCase{"RightEdgeKeptOnScreen", QRect(1890, 0, 24, 24), QPoint(1360, 30)},
                      PlacementCase{"UnknownIconCentres", QRect(), QPoint(680, 165)}),
    voltrane::testing::ParamName());

} // namespace
} // namespace voltrane
