#include "analytics/settings_store.h"
#include "app/dashboard_panel.h"
#include "app/single_instance.h"
#include "app/tray_icon_renderer.h"
#include "app/voltrane_app.h"
#include "support/monitor_fakes.h"
#include "support/temp_dir.h"
#include "ui/flow/flow_samples.h"
#include "ui/flow/sankey_source_node.h"
#include "ui/host/capsule_frame.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
            QString::fromStdString((folder.path() / "settings.json").string()));
        options.services.onShown = [this] { ++opened; };
        return std::make_unique<VoltraneApp>(VoltraneApp::Readers{std::make_unique<FakePower>(sources),
                                                                  std::make_unique<FakeComponents>(sources)},
                                             std::move(options));
    }

    FakeSources sources;
    int opened = 0;
    TempDir folder;
};

TEST_F(VoltraneAppTest, WithoutATrayThePanelIsAWindowTitledWithEveryReading) {
    sources.power = {onBatterySnapshot()};
    const auto shell = makeApp(false);
    EXPECT_EQ(shell->panel().windowTitle(), QStringLiteral("14 W")); // before start: the first reading
    shell->start();
    EXPECT_EQ(std::tuple(shell->panel().isVisible(), shell->panel().mode(), shell->panel().size()),
              std::tuple(true, DashboardPanel::Mode::window, QSize(560, 750)));
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
        EXPECT_EQ(std::pair(shell->panel().mode(), shell->panel().isVisible()),
                  std::pair(DashboardPanel::Mode::trayPanel, true));
        shell->panel().hide();
        EXPECT_FALSE(shell->hasPanel());
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(std::tuple(sources.powerReads, sources.componentReads, sources.delays.size(), opened),
              std::tuple(1, 1, 1u, 3));
}

// The symbol (top half) and the figure (bottom half) both have pixels far from the panel's colour.
TEST(TrayIcon, SymbolAndFigureStandOutOnLightAndDarkPanelsAtEverySize) {
    for (const int side : TrayIconRenderer::kSides) {
        const QImage icon = TrayIconRenderer::draw("battery.75percent", "12 W", side);
        ASSERT_EQ(icon.size(), QSize(side, side));
        for (const QRgb panel : {qRgb(255, 255, 255), qRgb(0, 0, 0)}) {
            QImage shown(icon.size(), QImage::Format_RGB32);
            shown.fill(panel);
            QPainter(&shown).drawImage(0, 0, icon);
            double contrasting[2] = {0, 0};
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    contrasting[y < side / 2 ? 0 : 1] +=
                        std::abs(qGray(shown.pixel(x, y)) - qGray(panel)) > 128;
                }
            }
            const double half = side * side / 2.0;
            EXPECT_TRUE(contrasting[0] / half > 0.05 && contrasting[1] / half > 0.12)
                << side << " px on " << qGray(panel);
        }
    }
}

// Titles may change their wording without changing what is drawn.
TEST(DecidedByData, ThePillFollowsTheSourceKindAndTheTrayWritesAnyFigure) {
    SankeySourceNode node;
    for (auto [model, title, pill] :
         {std::tuple{SankeyFlowModel(onBatterySnapshot(), busyComponents()), "内置电池", true},
          std::tuple{SankeyFlowModel(chargingSnapshot(), busyComponents()), "电池", false}}) {
        model.sourceTitle = title;
        node.setModel(model);
        EXPECT_EQ(node.findChild<CapsuleFrame*>(QStringLiteral("sourceDetailPill"))->fill().alpha() > 0,
                  pill);
    }
    // The kept symbol layers follow a new symbol and a figure that comes or goes.
    TrayIconRenderer renderer;
    for (const auto& [symbol, figure] :
         {std::pair<std::string, std::optional<std::string>>{"bolt.slash", std::nullopt},
          {"bolt.slash", "7 W"},
          {"battery.75percent", "7 W"},
          {"battery.75percent", "1234 W"},
          {"battery.75percent", std::nullopt},
          {"powerplug", "12 W"}}) {
        EXPECT_TRUE(renderer.image(symbol, figure) == TrayIconRenderer::draw(symbol, figure)) << symbol;
    }
    // A figure that reads like the product name is still written under the symbol.
    EXPECT_NE(TrayIconRenderer::draw("bolt.slash", std::nullopt),
              TrayIconRenderer::draw("bolt.slash", "Voltrane"));
}

TEST(SingleInstance, ASecondLaunchHandsOverElseListensItself) {
    const QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("voltrane.socket"));
    for (int launch = 0; launch < 2; ++launch) { // the second finds the first one's socket gone
        SingleInstance alone(name);
        EXPECT_FALSE(alone.handOverToRunningInstance(100)) << launch;
        EXPECT_TRUE(alone.listen()) << launch;
    }
    SingleInstance first(name);
    ASSERT_TRUE(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    EXPECT_TRUE(SingleInstance(name).handOverToRunningInstance());
    ASSERT_TRUE(activations.wait(2000));
    EXPECT_EQ(activations.count(), 1);
}

// Other local users may create files in shared folders first.
const uid_t kMe = getuid();
const uid_t kStranger = getuid() + 4242; // owns nothing the test makes

TEST(SingleInstance, OnlyAPrivateFolderOfTheUserHoldsTheSocket) {
    const QTemporaryDir base;
    const QString root = base.path() + QLatin1Char('/');
    const auto folder = [&root](const QString& name, mode_t mode) {
        const QByteArray path = QFile::encodeName(root + name);
        return ::mkdir(path.constData(), mode) == 0 && ::chmod(path.constData(), mode) == 0;
    };
    // The stranger's fallback name is taken first, by someone else.
    ASSERT_TRUE(folder(QStringLiteral("run"), 0700) && folder(QStringLiteral("open"), 0755) &&
                folder(QStringLiteral("voltrane-%1").arg(kStranger), 0700));
    ASSERT_TRUE(QFile::link(root + QStringLiteral("run"), root + QStringLiteral("link")));
    const QString fallback = root + QStringLiteral("voltrane-%1/voltrane.socket").arg(kMe);
    for (const auto& [runtime, user, expected] :
         {std::tuple("run", kMe, root + QStringLiteral("run/voltrane.socket")), std::tuple("", kMe, fallback),
          std::tuple("open", kMe, fallback), std::tuple("link", kMe, fallback),
          std::tuple("run", kStranger, QString())}) {
        const QString runtimeDir = *runtime ? root + QLatin1String(runtime) : QString();
        EXPECT_EQ(SingleInstance::socketPathFor(runtimeDir, base.path(), user), expected) << runtime;
    }
    struct stat made {};
    ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(fallback).path()).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u);
}

TEST(SingleInstance, AStrangersSocketIsNeitherFollowedNorRemoved) {
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("voltrane.socket"));
    QLocalServer stranger;
    ASSERT_TRUE(stranger.listen(path));
    SingleInstance launch(path, kStranger); // the socket is not this launch's user's
    EXPECT_FALSE(launch.handOverToRunningInstance(200));
    EXPECT_FALSE(stranger.waitForNewConnection(100));
    EXPECT_FALSE(launch.listen());
    QLocalSocket probe; // still there, still answering
    probe.connectToServer(path);
    EXPECT_TRUE(probe.waitForConnected(1000));
}

} // namespace
} // namespace voltrane
