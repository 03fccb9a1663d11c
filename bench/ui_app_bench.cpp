// One full repaint of the dashboard panel (560 × 750, software raster), what the open panel does
// for a particle frame and for a new sample (both through the window's backing store), and the
// tray icon image for a new figure.
#include "analytics/settings_store.h"
#include "app/tray_icon_renderer.h"
#include "monitor/power_monitor.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/flow/sankey_ribbon_canvas.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace voltrane;

class FixedPower final : public PowerMetricsProviding {
public:
    PowerSnapshot readSnapshot() override {
        PowerSnapshot snapshot;
        snapshot.state = PowerState::onBattery;
        snapshot.voltageVolts = 11.52;
        snapshot.currentMilliamps = -1000;
        snapshot.batteryWatts = -11.52;
        snapshot.systemWatts = 11.8;
        snapshot.chargePercent = 72;
        snapshot.batteryTimeRemainingMinutes = 245;
        snapshot.temperatureCelsius = 29.0;
        snapshot.cycleCount = 187;
        snapshot.sampledAt = std::chrono::system_clock::now();
        return snapshot;
    }
};

class FixedComponents final : public ComponentPowerProviding {
public:
    /// `drifting`: the CPU figure moves a little with every read, as a busy machine's does.
    explicit FixedComponents(bool drifting = false) : drifting_(drifting) {}

    ComponentPowerSnapshot readSnapshot() override {
        ComponentPowerSnapshot snapshot;
        snapshot.cpuWatts = drifting_ ? 4.2 + 0.3 * ((++reads_ % 7) - 3) / 3.0 : 4.2;
        snapshot.gpuWatts = 1.6;
        snapshot.aneWatts = 0.3;
        snapshot.dramWatts = 0.9;
        snapshot.displayWatts = 2.4;
        snapshot.sampleInterval = 1.0;
        snapshot.sourceAvailable = true;
        return snapshot;
    }

private:
    bool drifting_;
    int reads_ = 0;
};

class HeldScheduler final : public SamplingScheduler {
public:
    void scheduleAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

void BM_DashboardFullRepaint(benchmark::State& state) {
    PowerMonitor monitor(std::make_unique<FixedPower>(), std::make_unique<FixedComponents>(),
                         std::make_unique<HeldScheduler>());
    const QTemporaryDir settingsFolder;
    DashboardView::Services services;
    services.settings =
        std::make_shared<SettingsStore>(settingsFolder.filePath(QStringLiteral("settings.json")));
    services.onShown = [] {};
    DashboardView view(monitor, true, services);
    view.resize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
    QApplication::processEvents();
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        view.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_DashboardFullRepaint)->Unit(benchmark::kMillisecond);

/// The compact panel shown (offscreen) the way the tray shows it, settled.
struct ShownPanel {
    PowerMonitor monitor{std::make_unique<FixedPower>(), std::make_unique<FixedComponents>(true),
                         std::make_unique<HeldScheduler>()};
    DashboardView view{monitor, true};

    ShownPanel() {
        view.resize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
        view.show();
        QApplication::processEvents();
    }
};

// A particle frame as the canvas's timer makes it: the old and new places repainted through
// the backing store, with whatever the widgets around the canvas do for it.
void BM_DashboardParticleFrame(benchmark::State& state) {
    ShownPanel panel;
    auto* canvas = panel.view.findChild<SankeyRibbonCanvas*>();
    if (canvas == nullptr || canvas->ribbons().empty()) {
        state.SkipWithError("no ribbons");
        return;
    }
    double phase = 0;
    for (auto _ : state) {
        const double next = phase + 1.0 / (24 * SankeyRibbonCanvas::particlePeriodSeconds);
        canvas->repaint(canvas->particleRegion(phase) | canvas->particleRegion(next < 1 ? next : 0));
        phase = next < 1 ? next : 0;
    }
}
BENCHMARK(BM_DashboardParticleFrame)->Unit(benchmark::kMicrosecond);

// The once-a-second path while the panel is open: a new sample, the texts and tiles, the flow
// model and layout rule, the ribbons, and the repaint of what changed.
void BM_DashboardSampleRefresh(benchmark::State& state) {
    ShownPanel panel;
    for (auto _ : state) {
        panel.monitor.refresh();
        QApplication::processEvents();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_DashboardSampleRefresh)->Unit(benchmark::kMicrosecond);

void BM_TrayIconForNewFigure(benchmark::State& state) {
    TrayIconRenderer renderer;
    int watts = 0;
    for (auto _ : state) {
        const std::string title = std::to_string(watts++ % 100) + " W";
        bool changed = false;
        benchmark::DoNotOptimize(renderer.image("battery.75percent", title, &changed).constBits());
    }
}
BENCHMARK(BM_TrayIconForNewFigure)->Unit(benchmark::kMicrosecond);

void BM_TrayIconUnchanged(benchmark::State& state) {
    TrayIconRenderer renderer;
    for (auto _ : state) {
        bool changed = false;
        benchmark::DoNotOptimize(renderer.image("battery.75percent", "12 W", &changed).constBits());
    }
}
BENCHMARK(BM_TrayIconUnchanged)->Unit(benchmark::kNanosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
