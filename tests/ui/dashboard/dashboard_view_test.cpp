#include "analytics/settings_store.h"
#include "monitor/power_monitor.h"
#include "support/monitor_fakes.h"
#include "support/temp_dir.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/dashboard/footer_button.h"
#include "ui/dashboard/info_popover.h"
#include "ui/flow/flow_samples.h"
#include "ui/host/symbol_glyphs.h"
#include "ui/host/symbol_label.h"
#include "ui/host/text_label.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace voltrane::testing;

const Date kAt{std::chrono::seconds(1'800'000'000)};

class DashboardViewTest : public ::testing::Test {
protected:
    std::unique_ptr<DashboardView> make(bool compact) {
        DashboardView::Services services{settings(), [this] { ++shown; },
                                         [](Date) { return std::string("14:03:27"); }};
        auto view = std::make_unique<DashboardView>(monitor, compact, std::move(services));
        view->resize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
        return view;
    }
    std::shared_ptr<SettingsStore> settings() const {
        return std::make_shared<SettingsStore>(
            QString::fromStdString((dir.path() / "settings.json").string()));
    }
    template <typename T = QAbstractButton> static T* find(const QWidget& view, const char* name) {
        return view.findChild<T*>(QString::fromLatin1(name));
    }
    static QString text(const QWidget& view, const char* name) {
        const auto* label = find<TextLabel>(view, name);
        return label != nullptr ? label->text() : QStringLiteral("no label ") + QLatin1String(name);
    }

    TempDir dir;
    FakeSources sources;
    int shown = 0;
    PowerMonitor monitor{std::make_unique<FakePower>(sources), std::make_unique<FakeComponents>(sources),
                         std::make_unique<ManualScheduler>(sources), [] { return kAt; }};
};

TEST_F(DashboardViewTest, ARefreshReRendersTilesPillStatusTimeAndFlowAndEachShowingCounts) {
    const auto view = make(false);
    const QWidget& first = *find<QWidget>(*view, "metricCard0");
    EXPECT_EQ(text(*view, "sampleTime") + text(*view, "statusPrimary") + text(first, "metricValue") +
                  text(*view, "sourceWatts"),
              QStringLiteral("尚未采样暂时无法读取电源遥测\u2014\u2014 W"));
    PowerSnapshot drawing = onBatterySnapshot();
    drawing.sampledAt = kAt;
    sources.power = {drawing};
    EXPECT_EQ(shown, 0); // building the panel is not showing it
    view->show();
    QTest::mouseClick(find(*view, "refreshButton"), Qt::LeftButton);
    EXPECT_EQ(first.accessibleName() + text(*find<QWidget>(*view, "metricCard2"), "metricValue") +
                  text(*find<QWidget>(*view, "metricCard3"), "metricDetail") + text(*view, "statePillLabel") +
                  text(*view, "statusPrimary") + text(*view, "sampleTime"),
              QStringLiteral("电池输出功率，14.2 W，电池供给系统1193预计续航 3 小时 5 "
                             "分正在使用电池电池正在输出 14.2 W更新于 14:03:27"));
    QApplication::processEvents(); // the flow section follows on the next turn of the loop
    EXPECT_EQ(text(*view, "sourceWatts"), QStringLiteral("14.2 W"));
    view->hide(); // the open event: once per showing, not per re-render
    view->show();
    EXPECT_EQ(shown, 2);
}

TEST_F(DashboardViewTest, InfoButtonTogglesThePopoverWhoseSwitchWritesTheStore) {
    const auto view = make(true);
    view->show();
    QTest::mouseClick(find(*view, "infoButton"), Qt::LeftButton);
    InfoPopover* popover = view->infoPopover();
    ASSERT_TRUE(view->isShowingInfo() && popover != nullptr && popover->isVisible());
    EXPECT_TRUE(popover->analyticsSwitch()->isChecked()); // on when never set, and reading writes nothing
    EXPECT_EQ(settings()->boolValue(SettingsStore::analyticsEnabledKey), std::nullopt);
    QTest::mouseClick(popover->analyticsSwitch(), Qt::LeftButton);
    EXPECT_EQ(settings()->boolValue(SettingsStore::analyticsEnabledKey), false);
    popover->hide(); // dismissed from outside
    EXPECT_FALSE(view->isShowingInfo());
    settings()->setAnalyticsEnabled(true); // changed elsewhere while closed
    view->setShowingInfo(true);
    EXPECT_TRUE(popover->analyticsSwitch()->isChecked());
    view->setShowingInfo(false);
    EXPECT_FALSE(popover->isVisible());
}

// Only the application shell picks the store and the usage client; a dashboard given none keeps to itself.
TEST_F(DashboardViewTest, WithoutServicesTheSwitchIsHiddenAndNothingIsWritten) {
    qputenv("HOME", dir.path().c_str());
    qputenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str());
    DashboardView view(monitor, true);
    view.show();
    view.setShowingInfo(true);
    const InfoPopover& popover = *view.infoPopover();
    EXPECT_FALSE(popover.analyticsSwitch()->isVisible());
    const auto* caption = popover.findChild<QLabel*>(QStringLiteral("analyticsCaption"));
    EXPECT_TRUE(caption->text().contains(QStringLiteral("不生成安装 ID")));
    popover.analyticsSwitch()->click();
    QApplication::processEvents();
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "config" / "voltrane"));
}

TEST_F(DashboardViewTest, EverythingFitsTheFixedPanelAndEverySymbolHasAGlyph) {
    sources.power = {chargingSnapshot()};
    sources.components = busyComponents();
    for (const bool compact : {true, false}) {
        const auto view = make(compact);
        monitor.refresh();
        view->show();
        view->setShowingInfo(true);
        QApplication::processEvents();
        for (const char* name : {"statePill", "infoButton", "metricCard0", "metricCard3", "powerFlow",
                                 "statusSummary", "refreshButton"}) {
            const auto* widget = find<QWidget>(*view, name);
            ASSERT_NE(widget, nullptr) << name;
            EXPECT_TRUE(view->rect().contains(widget->geometry())) << name << compact;
        }
        std::vector<std::string> symbols;
        std::ranges::transform(view->findChildren<SymbolLabel*>(), std::back_inserter(symbols),
                               &SymbolLabel::symbol);
        std::ranges::transform(view->findChildren<FooterButton*>(), std::back_inserter(symbols),
                               &FooterButton::symbol);
        EXPECT_GT(symbols.size(), 15u);
        for (const std::string& symbol : symbols) {
            EXPECT_EQ(SymbolGlyphs::shared().source(symbol), SymbolGlyphs::Source::iconFont) << symbol;
        }
    }
}

} // namespace
} // namespace voltrane
