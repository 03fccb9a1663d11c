// The real application for the overhead script, wired to recorded sources instead of the
// machine's: a recorded battery table (re-read every second, as sysfs would be) and component
// figures that keep every row of the flow diagram flowing. No usage events are sent; the history
// is recorded as the app records it, into a file of its own.
//   voltrane_bench_app closed   tray item only, panel never shown
//   voltrane_bench_app open     the panel shown as a window and kept active
#include "analytics/settings_store.h"
#include "app/dashboard_panel.h"
#include "app/voltrane_app.h"
#include "history/history_recorder.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/recorded_battery_registry.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using namespace voltrane;

/// Busy components whose figures drift a little every second, like real counters.
class DriftingComponents final : public ComponentPowerProviding {
public:
    ComponentPowerSnapshot readSnapshot() override {
        ++tick_;
        const double drift = 0.3 * std::sin(tick_ * 0.7);
        ComponentPowerSnapshot snapshot;
        snapshot.cpuWatts = 4.2 + drift;
        snapshot.gpuWatts = 1.6 - drift / 2;
        snapshot.aneWatts = 0.3;
        snapshot.dramWatts = 0.9;
        snapshot.displayWatts = 2.4;
        snapshot.sampleInterval = 1.0;
        snapshot.sourceAvailable = true;
        snapshot.sampledAt = std::chrono::system_clock::now();
        return snapshot;
    }

private:
    int tick_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    VoltraneApp::prepareDisplayConnection();
    QApplication application(argc, argv);
    const bool open = argc > 1 && std::strcmp(argv[1], "open") == 0;

    VoltraneApp::Readers readers{
        std::make_unique<IOKitPowerMetricsProvider>(
            std::make_unique<RecordedBatteryRegistry>(QStringLiteral(VOLTRANE_BENCH_TABLE)),
            [] { return std::chrono::system_clock::now(); }),
        std::make_unique<DriftingComponents>(),
    };
    VoltraneApp::Options options;
    options.useTray = !open;
    // A store of its own: measuring must not read or change the user's settings.
    const QTemporaryDir settingsFolder;
    options.services.settings =
        std::make_shared<SettingsStore>(settingsFolder.filePath(QStringLiteral("settings.json")));
    options.services.onShown = [] {};
    VoltraneApp app(std::move(readers), std::move(options));
    HistoryRecorder recorder(settingsFolder.filePath(QStringLiteral("history.sqlite3")), nullptr,
                             [] { return std::chrono::system_clock::now(); });
    recorder.follow(app.monitor());
    app.start();
    std::printf("voltrane_bench_app: %s\n", open ? "panel open" : "panel closed");
    std::fflush(stdout);
    return QApplication::exec();
}
