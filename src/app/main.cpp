#if VOLTRANE_SENDS_USAGE
#include "analytics/settings_store.h"
#include "analytics/telemetry_client.h"
#endif
#include "app/single_instance.h"
#include "app/voltrane_app.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"
#include "telemetry/components/linux_component_provider.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QTimer>
#include <clocale>

int main(int argc, char** argv) {
    using namespace voltrane;

    VoltraneApp::prepareDisplayConnection();
    QApplication application(argc, argv);
    // Qt has just applied the user's locale to the C library; C-level number conversions stay in
    // the C locale, so no figure takes a decimal comma. Qt's own texts use QLocale.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Voltrane"));
    QApplication::setDesktopFileName(QStringLiteral("voltrane"));

    SingleInstance instance;
    if (instance.handOverToRunningInstance()) {
        return 0;
    }
    instance.listen();

    const bool useTray = QSystemTrayIcon::isSystemTrayAvailable();
    // In a tray the program lives on with its panel closed; as a window, closing it quits.
    QApplication::setQuitOnLastWindowClosed(!useTray);

    VoltraneApp::Readers readers{
        std::make_unique<IOKitPowerMetricsProvider>(std::make_unique<SysfsBatteryRegistry>(),
                                                    [] { return std::chrono::system_clock::now(); }),
        makeLinuxComponentProvider(),
    };
    VoltraneApp::Options options;
    options.useTray = useTray;
    // The one place where the program's services are chosen.
#if VOLTRANE_SENDS_USAGE
    // The user's settings file and the usage client on the endpoint this build was configured
    // with. The client runs on its own thread; start-up never waits for it.
    const auto settings = std::make_shared<SettingsStore>(SettingsStore::defaultFilePath());
    TelemetryClient telemetry(TelemetryClient::builtInEndpoint(), settings,
                              [] { return std::chrono::system_clock::now(); });
    QTimer::singleShot(0, &telemetry, [&telemetry] { telemetry.start(); });
    if (telemetry.canSend()) {
        options.services.settings = settings;
    }
    options.services.onShown = [&telemetry] { telemetry.track(TelemetryEvent::dashboardOpen); };
#else
    // Built without an endpoint: nothing is sent, so there is no switch to keep (the panel says
    // so) and the network library is not even loaded.
    options.services.onShown = [] {};
#endif
    // The history file sits in the user's data folder (XDG_DATA_HOME moves it). The window reads it
    // on a connection of its own while the recorder writes on its thread.
    const QString historyPath = HistoryStore::defaultFilePath();
    HistoryFileReader historyReader(historyPath);
    options.history = &historyReader;
    int status = 0;
    {
        VoltraneApp app(std::move(readers), std::move(options));
        // Goes before the monitor does, writing the minute in progress.
        HistoryRecorder recorder(historyPath, std::make_unique<SysfsBatteryRegistry>(),
                                 [] { return std::chrono::system_clock::now(); });
        recorder.follow(app.monitor());
        QObject::connect(&instance, &SingleInstance::activationRequested, &app, &VoltraneApp::showPanel);
        QObject::connect(&app, &VoltraneApp::quitRequested, &application, &QApplication::quit,
                         Qt::QueuedConnection);
        app.start();
        status = QApplication::exec();
    }
#if VOLTRANE_SENDS_USAGE
    telemetry.shutdown();
#endif
    return status;
}
