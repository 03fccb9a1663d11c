#include "analytics/settings_store.h"
#include "common/platform_texts.h"
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
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace voltrane::testing;

const Date kAt{std::chrono::seconds(1'800'000'000)};

PowerSnapshot onBattery() {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.batteryWatts = -9.87;
    snapshot.systemWatts = 9.87;
    snapshot.currentMilliamps = -866;
    snapshot.chargePercent = 64;
    snapshot.batteryTimeRemainingMinutes = 135;
    snapshot.sampledAt = kAt;
    return snapshot;
}

QString text(const QWidget& view, const char* name) {
    const auto* label = view.findChild<TextLabel*>(QLatin1String(name));
    return label != nullptr ? label->text() : QStringLiteral("no label ") + QLatin1String(name);
}

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

    TempDir dir;
    FakeSources sources;
    int shown = 0;
    PowerMonitor monitor{std::make_unique<FakePower>(sources), std::make_unique<FakeComponents>(sources),
                         std::make_unique<ManualScheduler>(sources), [] { return kAt; }};
};

TEST_F(DashboardViewTest, EveryPublicationReRendersTilesPillStatusTimeAndFlow) {
    const auto view = make(false);
    EXPECT_EQ(text(*view, "sampleTime"), QStringLiteral("尚未采样"));
    EXPECT_EQ(text(*view, "statusPrimary"), QStringLiteral("暂时无法读取电源遥测"));
    const QWidget& first = *find<QWidget>(*view, "metricCard0");
    EXPECT_EQ(text(first, "metricValue") + text(*view, "sourceWatts"), QStringLiteral("\u2014\u2014 W"));

    sources.power = {onBattery()};
    monitor.refresh();
    EXPECT_EQ(text(first, "metricTitle") + text(first, "metricValue"), QStringLiteral("电池输出功率9.9"));
    EXPECT_EQ(first.accessibleName(), QStringLiteral("电池输出功率，9.9 W，电池供给系统"));
    EXPECT_EQ(text(*find<QWidget>(*view, "metricCard2"), "metricValue"), QStringLiteral("866"));
    EXPECT_EQ(text(*find<QWidget>(*view, "metricCard3"), "metricDetail"),
              QStringLiteral("预计续航 2 小时 15 分"));
    EXPECT_EQ(text(*view, "statePillLabel"), QStringLiteral("正在使用电池"));
    EXPECT_EQ(text(*view, "statusPrimary"), QStringLiteral("电池正在输出 9.9 W"));
    EXPECT_EQ(text(*view, "sampleTime"), QStringLiteral("更新于 14:03:27"));
    QApplication::processEvents(); // the flow section follows on the next turn of the loop
    EXPECT_EQ(text(*view, "sourceWatts"), QStringLiteral("9.9 W"));
}

TEST_F(DashboardViewTest, CompactFooterRefreshesAndQuitsByButtonAndShortcut) {
    const auto regular = make(false);
    EXPECT_EQ(find(*regular, "quitButton"), nullptr);
    EXPECT_EQ(find<QShortcut>(*regular, "quitShortcut"), nullptr);

    const auto view = make(true);
    EXPECT_EQ(find<TextLabel>(*view, "sampleTime"), nullptr);
    view->show();
    const int before = sources.powerReads;
    QTest::mouseClick(find(*view, "refreshButton"), Qt::LeftButton);
    EXPECT_EQ(sources.powerReads, before + 1);
    QSignalSpy quits(view.get(), &DashboardView::quitRequested);
    QTest::mouseClick(find(*view, "quitButton"), Qt::LeftButton);
    EXPECT_EQ(quits.count(), 1);
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits.count(), 2);
}

TEST_F(DashboardViewTest, OpenEventIsRequestedOncePerShow) {
    const auto view = make(true);
    EXPECT_EQ(shown, 0); // building the panel is not showing it
    view->show();
    monitor.refresh(); // re-rendering is not a new opening
    QApplication::processEvents();
    EXPECT_EQ(shown, 1);
    view->hide();
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
    EXPECT_FALSE(InfoPopover(settings()).analyticsSwitch()->isChecked());

    popover->hide(); // dismissed from outside
    EXPECT_FALSE(view->isShowingInfo());
    settings()->setAnalyticsEnabled(true); // changed elsewhere while closed
    view->setShowingInfo(true);
    EXPECT_TRUE(popover->analyticsSwitch()->isChecked());
    view->setShowingInfo(false);
    EXPECT_FALSE(popover->isVisible());
}

TEST_F(DashboardViewTest, EverythingFitsTheFixedPanelAndEverySymbolHasAGlyph) {
    sources.power = {testing::chargingSnapshot()};
    sources.components = testing::busyComponents();
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
            EXPECT_TRUE(view->rect().contains(widget->geometry())) << name << (compact ? " compact" : "");
        }
        std::vector<std::string> symbols;
        for (const SymbolLabel* symbol : view->findChildren<SymbolLabel*>()) {
            symbols.push_back(symbol->symbol());
        }
        for (const FooterButton* button : view->findChildren<FooterButton*>()) {
            symbols.push_back(button->symbol());
        }
        EXPECT_GT(symbols.size(), 15u);
        for (const std::string& symbol : symbols) {
            EXPECT_EQ(SymbolGlyphs::shared().source(symbol), SymbolGlyphs::Source::iconFont) << symbol;
        }
    }
}

} // namespace
} // namespace voltrane
