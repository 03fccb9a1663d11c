#include "analytics/settings_store.h"
#include "common/platform_texts.h"
#include "monitor/power_monitor.h"
#include "monitor/sampling_scheduler.h"
#include "support/temp_dir.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/dashboard/info_popover.h"
#include "ui/dashboard/metric_card.h"
#include "ui/flow/power_flow_view.h"
#include "ui/host/text_label.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

const Date kAt{std::chrono::seconds(1'800'000'000)};

/// Hands out `next` on every read and counts the reads.
class FixedSnapshot final : public PowerMetricsProviding {
public:
    FixedSnapshot(const PowerSnapshot& next, int& reads) : next_(next), reads_(reads) {}
    PowerSnapshot readSnapshot() override {
        ++reads_;
        return next_;
    }

private:
    const PowerSnapshot& next_;
    int& reads_;
};

class NoComponents final : public ComponentPowerProviding {
public:
    ComponentPowerSnapshot readSnapshot() override { return ComponentPowerSnapshot::unavailable(kAt); }
};

class NoTicks final : public SamplingScheduler {
public:
    void scheduleAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

PowerSnapshot onBattery() {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.batteryWatts = -9.87;
    snapshot.systemWatts = 9.87;
    snapshot.voltageVolts = 11.4;
    snapshot.currentMilliamps = -866;
    snapshot.chargePercent = 64;
    snapshot.batteryTimeRemainingMinutes = 135;
    snapshot.sampledAt = kAt;
    return snapshot;
}

class DashboardViewTest : public ::testing::Test {
protected:
    std::unique_ptr<DashboardView> make(bool compact) {
        DashboardView::Services services{settingsFile(), [this] { ++shown_; },
                                         [](Date) { return std::string("14:03:27"); }};
        auto view = std::make_unique<DashboardView>(monitor_, compact, std::move(services));
        view->resize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
        return view;
    }
    std::shared_ptr<SettingsStore> settingsFile() const {
        return std::make_shared<SettingsStore>(
            QString::fromStdString((dir_.path() / "settings.json").string()));
    }

    static QString text(const QWidget& view, const char* name) {
        const auto* label = view.findChild<TextLabel*>(QString::fromLatin1(name));
        EXPECT_NE(label, nullptr) << name;
        return label != nullptr ? label->text() : QString();
    }
    static QString tileText(const QWidget& view, int index) {
        const MetricCard* tile = card(view, index);
        if (tile == nullptr) {
            return QStringLiteral("no tile");
        }
        return QStringList{text(*tile, "metricTitle"), text(*tile, "metricValue"), text(*tile, "metricUnit"),
                           text(*tile, "metricDetail")}
            .join(QLatin1Char('|'));
    }
    static const MetricCard* card(const QWidget& view, int index) {
        return view.findChild<MetricCard*>(QStringLiteral("metricCard%1").arg(index));
    }

    voltrane::testing::TempDir dir_;
    PowerSnapshot next_ = PowerSnapshot::unavailable(kAt);
    int reads_ = 0;
    int shown_ = 0;
    PowerMonitor monitor_{std::make_unique<FixedSnapshot>(next_, reads_), std::make_unique<NoComponents>(),
                          std::make_unique<NoTicks>(), [] { return kAt; }};
};

TEST_F(DashboardViewTest, UnavailableSampleShowsPlaceholdersAndNotYetSampled) {
    const auto view = make(false);
    const QStringList expected{QStringLiteral("当前功率|\u2014|W|") + QString::fromUtf8(readingSourceText()),
                               QStringLiteral("电池电压|\u2014|V|暂无数据"),
                               QStringLiteral("充放电电流|\u2014|mA|暂无数据"),
                               QStringLiteral("电池电量|\u2014|%|等待电源数据")};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tileText(*view, i), expected[i]);
    }
    EXPECT_EQ(card(*view, 0)->tile().tint, PaletteColor::textMuted);
    EXPECT_EQ(card(*view, 1)->tile().tint, PaletteColor::accent);
    EXPECT_EQ(text(*view, "sampleTime"), QStringLiteral("尚未采样"));
    EXPECT_EQ(text(*view, "statusPrimary"), QStringLiteral("暂时无法读取电源遥测"));
    EXPECT_EQ(text(*view, "dashboardTitle"), QStringLiteral("Voltrane"));
    EXPECT_EQ(text(*view, "dashboardSubtitle"), QStringLiteral("实时电力与充电监控"));
    EXPECT_EQ(text(*view, "sectionTitle"), QStringLiteral("实时功率流"));
    EXPECT_EQ(text(*view, "sectionCadence"), QStringLiteral("每 1 秒刷新"));
}

TEST_F(DashboardViewTest, EveryPublicationReRendersTilesPillStatusTimeAndFlow) {
    next_ = onBattery();
    const auto view = make(false);
    monitor_.refresh();
    EXPECT_EQ(tileText(*view, 0), QStringLiteral("电池输出功率|9.9|W|电池供给系统"));
    EXPECT_EQ(text(*card(*view, 2), "metricValue"), QStringLiteral("866"));
    EXPECT_EQ(text(*card(*view, 3), "metricDetail"), QStringLiteral("预计续航 2 小时 15 分"));
    EXPECT_EQ(text(*view, "statePillLabel"), QStringLiteral("正在使用电池"));
    EXPECT_EQ(text(*view, "statusPrimary"), QStringLiteral("电池正在输出 9.9 W"));
    EXPECT_EQ(text(*view, "sampleTime"), QStringLiteral("更新于 14:03:27"));
    EXPECT_EQ(card(*view, 0)->accessibleName(), QStringLiteral("电池输出功率，9.9 W，电池供给系统"));
    QApplication::processEvents();
    ASSERT_NE(view->flowView(), nullptr);
    EXPECT_DOUBLE_EQ(view->flowView()->model().systemWatts.value_or(-1), 9.87);
}

TEST_F(DashboardViewTest, CompactFooterRefreshesAndQuitsByButtonAndShortcut) {
    const auto view = make(true);
    EXPECT_EQ(view->layout()->contentsMargins(), QMargins(20, 18, 20, 18));
    EXPECT_EQ(view->findChild<TextLabel*>(QStringLiteral("sampleTime")), nullptr);
    auto* quit = view->findChild<QAbstractButton*>(QStringLiteral("quitButton"));
    auto* refresh = view->findChild<QAbstractButton*>(QStringLiteral("refreshButton"));
    auto* shortcut = view->findChild<QShortcut*>(QStringLiteral("quitShortcut"));
    ASSERT_TRUE(quit != nullptr && refresh != nullptr && shortcut != nullptr);
    EXPECT_EQ(quit->text(), QStringLiteral("退出 Voltrane"));
    EXPECT_EQ(shortcut->key(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    view->show();
    const int before = reads_;
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_EQ(reads_, before + 1);
    QSignalSpy quitRequests(view.get(), &DashboardView::quitRequested);
    QTest::mouseClick(quit, Qt::LeftButton);
    EXPECT_EQ(quitRequests.count(), 1);
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitRequests.count(), 2);
}

TEST_F(DashboardViewTest, RegularFooterShowsTheSampleTimeAndNoQuit) {
    const auto view = make(false);
    EXPECT_EQ(view->layout()->contentsMargins(), QMargins(24, 22, 24, 22));
    EXPECT_EQ(view->findChild<QAbstractButton*>(QStringLiteral("quitButton")), nullptr);
    EXPECT_EQ(view->findChild<QShortcut*>(QStringLiteral("quitShortcut")), nullptr);
    EXPECT_NE(view->findChild<TextLabel*>(QStringLiteral("sampleTime")), nullptr);
    EXPECT_NE(view->findChild<QAbstractButton*>(QStringLiteral("refreshButton")), nullptr);
}

TEST_F(DashboardViewTest, OpenEventIsRequestedOncePerShow) {
    const auto view = make(true);
    EXPECT_EQ(shown_, 0); // building the panel is not showing it
    view->show();
    monitor_.refresh(); // re-rendering is not a new opening
    QApplication::processEvents();
    EXPECT_EQ(shown_, 1);
    view->hide();
    view->show();
    EXPECT_EQ(shown_, 2);
}

TEST_F(DashboardViewTest, InfoButtonTogglesThePopoverWhoseSwitchWritesTheStore) {
    const auto view = make(true);
    view->show();
    auto* info = view->findChild<QAbstractButton*>(QStringLiteral("infoButton"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->toolTip(), QStringLiteral("数据说明"));
    EXPECT_EQ(info->accessibleName(), QStringLiteral("查看数据说明"));
    EXPECT_EQ(info->size(), QSize(30, 30));
    EXPECT_FALSE(view->isShowingInfo());

    QTest::mouseClick(info, Qt::LeftButton);
    EXPECT_TRUE(view->isShowingInfo());
    InfoPopover* popover = view->infoPopover();
    ASSERT_NE(popover, nullptr);
    EXPECT_TRUE(popover->isVisible());
    EXPECT_TRUE(popover->analyticsSwitch()->isChecked());
    QTest::mouseClick(popover->analyticsSwitch(), Qt::LeftButton);
    EXPECT_EQ(settingsFile()->boolValue(SettingsStore::analyticsEnabledKey), false);

    popover->hide(); // dismissed from outside
    EXPECT_FALSE(view->isShowingInfo());
    view->setShowingInfo(true);
    EXPECT_FALSE(popover->analyticsSwitch()->isChecked());
    view->setShowingInfo(false);
    EXPECT_FALSE(popover->isVisible());
}

TEST_F(DashboardViewTest, EverythingFitsTheFixedPanel) {
    next_ = onBattery();
    for (const bool compact : {true, false}) {
        const auto view = make(compact);
        monitor_.refresh();
        view->show();
        QApplication::processEvents();
        for (const char* name :
             {"statePill", "infoButton", "metricCard3", "powerFlow", "statusSummary", "refreshButton"}) {
            const auto* widget = view->findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_NE(widget, nullptr) << name;
            EXPECT_TRUE(view->rect().contains(widget->geometry()))
                << name << (compact ? " compact" : " regular");
        }
        EXPECT_GE(card(*view, 0)->height(), MetricCard::kMinimumHeight);
        EXPECT_EQ(card(*view, 0)->width(), card(*view, 3)->width());
    }
}

} // namespace
} // namespace voltrane
