// One full repaint of the dashboard panel (560 × 750, software raster) and the tray icon image
// for a new figure.
#include "analytics/settings_store.h"
#include "app/tray_icon_renderer.h"
#include "monitor/power_monitor.h"
#include "ui/dashboard/dashboard_view.h"

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
    ComponentPowerSnapshot readSnapshot() override {
        ComponentPowerSnapshot snapshot;
        snapshot.cpuWatts = 4.2;
        snapshot.gpuWatts = 1.6;
        snapshot.aneWatts = 0.3;
        snapshot.dramWatts = 0.9;
        snapshot.displayWatts = 2.4;
        snapshot.sampleInterval = 1.0;
        snapshot.sourceAvailable = true;
        return snapshot;
    }
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
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
