#include "analytics/settings_store.h"
#include "monitor/power_monitor.h"
#include "monitor/sampling_scheduler.h"
#include "support/temp_dir.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/dashboard/info_popover.h"
#include "ui/dashboard/metric_card.h"
#include "ui/dashboard/state_pill.h"
#include "ui/flow/power_flow_view.h"
#include "ui/host/qt_color.h"
#include "ui/host/text_label.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLayout>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <deque>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

const Date kAt{std::chrono::seconds(1'800'000'000)};

/// Hands out the queued snapshots one per read, repeating the last one.
class QueuedSnapshots final : public PowerMetricsProviding {
public:
    explicit QueuedSnapshots(std::deque<PowerSnapshot>& queue, int& reads) : queue_(queue), reads_(reads) {}
    PowerSnapshot readSnapshot() override {
        ++reads_;
        if (queue_.empty()) {
            return PowerSnapshot::unavailable(kAt);
        }
        PowerSnapshot next = queue_.front();
        if (queue_.size() > 1) {
            queue_.pop_front();
        }
        return next;
    }

private:
    std::deque<PowerSnapshot>& queue_;
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

PowerSnapshot onBattery(double watts, int minutes) {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.batteryWatts = -watts;
    snapshot.systemWatts = watts;
    snapshot.voltageVolts = 11.4;
    snapshot.currentMilliamps = -watts / 11.4 * 1000;
    snapshot.chargePercent = 64;
    snapshot.batteryTimeRemainingMinutes = minutes;
    snapshot.sampledAt = kAt;
    return snapshot;
}

class DashboardViewTest : public ::testing::Test {
protected:
    std::unique_ptr<DashboardView> make(bool compact) {
        DashboardView::Services services;
        services.settings =
            std::make_shared<SettingsStore>(QString::fromStdString((dir_.path() / "settings.json").string()));
        services.onShown = [this] { ++shown_; };
        services.formatTime = [](Date) { return std::string("14:03:27"); };
        auto view = std::make_unique<DashboardView>(monitor_, compact, std::move(services));
        view->resize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
        return view;
    }

    QString text(const QWidget& view, const char* name) const {
        const auto* label = view.findChild<TextLabel*>(QString::fromLatin1(name));
        EXPECT_NE(label, nullptr) << name;
        return label != nullptr ? label->text() : QString();
    }

    const MetricCard* card(const QWidget& view, int index) const {
        return view.findChild<MetricCard*>(QStringLiteral("metricCard%1").arg(index));
    }

    voltrane::testing::TempDir dir_;
    std::deque<PowerSnapshot> queue_;
    int reads_ = 0;
    int shown_ = 0;
    PowerMonitor monitor_{std::make_unique<QueuedSnapshots>(queue_, reads_), std::make_unique<NoComponents>(),
                          std::make_unique<NoTicks>(), [] { return kAt; }};
};

TEST_F(DashboardViewTest, UnavailableSampleShowsPlaceholdersAndNotYetSampled) {
    const auto view = make(false);
    const char* expected[4][4] = {
        {"当前功率", "\u2014", "W", "正在读取 IOKit"},
        {"电池电压", "\u2014", "V", "暂无数据"},
        {"充放电电流", "\u2014", "mA", "暂无数据"},
        {"电池电量", "\u2014", "%", "等待电源数据"},
    };
    for (int i = 0; i < 4; ++i) {
        const MetricCard* tile = card(*view, i);
        ASSERT_NE(tile, nullptr) << i;
        EXPECT_EQ(text(*tile, "metricTitle"), QString::fromUtf8(expected[i][0])) << i;
        EXPECT_EQ(text(*tile, "metricValue"), QString::fromUtf8(expected[i][1])) << i;
        EXPECT_EQ(text(*tile, "metricUnit"), QString::fromUtf8(expected[i][2])) << i;
        EXPECT_EQ(text(*tile, "metricDetail"), QString::fromUtf8(expected[i][3])) << i;
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

TEST_F(DashboardViewTest, EveryPublicationReRendersTilesPillStatusAndTime) {
    queue_ = {onBattery(9.87, 135)};
    const auto view = make(false);
    monitor_.refresh();
    EXPECT_EQ(text(*card(*view, 0), "metricValue"), QStringLiteral("9.9"));
    EXPECT_EQ(text(*card(*view, 0), "metricTitle"), QStringLiteral("电池输出功率"));
    EXPECT_EQ(text(*card(*view, 2), "metricValue"), QStringLiteral("866"));
    EXPECT_EQ(text(*card(*view, 3), "metricDetail"), QStringLiteral("预计续航 2 小时 15 分"));
    EXPECT_EQ(text(*view, "statePillLabel"), QStringLiteral("正在使用电池"));
    EXPECT_EQ(text(*view, "statusPrimary"), QStringLiteral("电池正在输出 9.9 W"));
    EXPECT_EQ(text(*view, "sampleTime"), QStringLiteral("更新于 14:03:27"));
    EXPECT_EQ(card(*view, 0)->accessibleName(), QStringLiteral("电池输出功率，9.9 W，电池供给系统"));
}

TEST_F(DashboardViewTest, FlowSectionFollowsThePublishedSamples) {
    queue_ = {onBattery(9.87, 135)};
    const auto view = make(false);
    monitor_.refresh();
    QApplication::processEvents();
    ASSERT_NE(view->flowView(), nullptr);
    EXPECT_DOUBLE_EQ(view->flowView()->model().systemWatts.value_or(-1), 9.87);
}

TEST_F(DashboardViewTest, RefreshButtonTakesASampleNow) {
    const auto view = make(true);
    view->show();
    auto* refresh = view->findChild<QAbstractButton*>(QStringLiteral("refreshButton"));
    ASSERT_NE(refresh, nullptr);
    const int before = reads_;
    QTest::mouseClick(refresh, Qt::LeftButton);
    EXPECT_EQ(reads_, before + 1);
}

TEST_F(DashboardViewTest, CompactFooterHasQuitButtonAndShortcutInsteadOfTime) {
    const auto view = make(true);
    EXPECT_EQ(view->findChild<TextLabel*>(QStringLiteral("sampleTime")), nullptr);
    auto* quit = view->findChild<QAbstractButton*>(QStringLiteral("quitButton"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), QStringLiteral("退出 Voltrane"));
    auto* shortcut = view->findChild<QShortcut*>(QStringLiteral("quitShortcut"));
    ASSERT_NE(shortcut, nullptr);
    EXPECT_EQ(shortcut->key(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QSignalSpy quitRequests(view.get(), &DashboardView::quitRequested);
    view->show();
    QTest::mouseClick(quit, Qt::LeftButton);
    EXPECT_EQ(quitRequests.count(), 1);

    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitRequests.count(), 2);
}

TEST_F(DashboardViewTest, RegularFooterShowsTheSampleTimeAndNoQuit) {
    const auto view = make(false);
    EXPECT_EQ(view->findChild<QAbstractButton*>(QStringLiteral("quitButton")), nullptr);
    EXPECT_EQ(view->findChild<QShortcut*>(QStringLiteral("quitShortcut")), nullptr);
    EXPECT_NE(view->findChild<TextLabel*>(QStringLiteral("sampleTime")), nullptr);
    EXPECT_NE(view->findChild<QAbstractButton*>(QStringLiteral("refreshButton")), nullptr);
}

TEST_F(DashboardViewTest, PaddingsFollowTheCompactFlag) {
    const auto compact = make(true);
    const auto regular = make(false);
    EXPECT_EQ(compact->layout()->contentsMargins(), QMargins(20, 18, 20, 18));
    EXPECT_EQ(regular->layout()->contentsMargins(), QMargins(24, 22, 24, 22));
}

TEST_F(DashboardViewTest, OpenEventIsRequestedOncePerShow) {
    const auto view = make(true);
    EXPECT_EQ(shown_, 0); // building the panel is not showing it
    view->show();
    EXPECT_EQ(shown_, 1);
    monitor_.refresh(); // re-rendering is not a new opening
    view->update();
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
    EXPECT_EQ(popover->width(), InfoPopover::kWidth);
    EXPECT_TRUE(popover->analyticsSwitch()->isChecked());

    QTest::mouseClick(popover->analyticsSwitch(), Qt::LeftButton);
    SettingsStore store(QString::fromStdString((dir_.path() / "settings.json").string()));
    EXPECT_EQ(store.boolValue(SettingsStore::analyticsEnabledKey), false);

    popover->hide(); // dismissed from outside
    EXPECT_FALSE(view->isShowingInfo());
    view->setShowingInfo(true);
    EXPECT_FALSE(popover->analyticsSwitch()->isChecked());
    view->setShowingInfo(false);
    EXPECT_FALSE(popover->isVisible());
}

TEST_F(DashboardViewTest, EverythingFitsTheFixedPanel) {
    queue_ = {onBattery(9.87, 135)};
    for (const bool compact : {true, false}) {
        const auto view = make(compact);
        monitor_.refresh();
        view->show();
        QApplication::processEvents();
        const QRect panel = view->rect();
        for (const char* name :
             {"statePill", "infoButton", "metricCard3", "powerFlow", "statusSummary", "refreshButton"}) {
            const auto* widget = view->findChild<QWidget*>(QString::fromLatin1(name));
            ASSERT_NE(widget, nullptr) << name;
            EXPECT_TRUE(panel.contains(widget->geometry())) << name << (compact ? " compact" : " regular");
        }
        EXPECT_GE(card(*view, 0)->height(), MetricCard::kMinimumHeight);
        EXPECT_EQ(card(*view, 0)->width(), card(*view, 3)->width());
    }
}

} // namespace
} // namespace voltrane
