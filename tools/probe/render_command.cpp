#include "analytics/settings_store.h"
#include "analytics/telemetry_client.h"
#include "commands.h"
#include "monitor/power_monitor.h"
#include "monitor/sampling_scheduler.h"
#include "snapshot_json.h"
#include "ui/dashboard/dashboard_view.h"
#include "ui/dashboard/info_popover.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <iostream>
#include <memory>

namespace voltrane::probe {

namespace {

class FixedPowerMetrics final : public PowerMetricsProviding {
public:
    explicit FixedPowerMetrics(PowerSnapshot snapshot) : snapshot_(std::move(snapshot)) {}
    PowerSnapshot readSnapshot() override { return snapshot_; }

private:
    PowerSnapshot snapshot_;
};

class FixedComponentPower final : public ComponentPowerProviding {
public:
    explicit FixedComponentPower(ComponentPowerSnapshot snapshot) : snapshot_(std::move(snapshot)) {}
    ComponentPowerSnapshot readSnapshot() override { return snapshot_; }

private:
    ComponentPowerSnapshot snapshot_;
};

// One picture of one sample: the loop never ticks.
class NoTicks final : public SamplingScheduler {
public:
    void scheduleAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

struct RenderArguments {
    std::string input;
    std::string output;
    bool compact = false;
    bool info = false; ///< draw the data-explanation popover open over the panel
};

std::optional<RenderArguments> parse(const Arguments& arguments, std::string& error) {
    RenderArguments parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--out") {
            if (i + 1 == arguments.size()) {
                error = "--out needs a file name";
                return std::nullopt;
            }
            parsed.output = arguments[++i];
        } else if (argument == "--compact" || argument == "compact") {
            parsed.compact = true;
        } else if (argument == "--info") {
            parsed.info = true;
        } else if (parsed.input.empty()) {
            parsed.input = argument;
        } else {
            error = "unexpected argument \"" + argument + "\"";
            return std::nullopt;
        }
    }
    if (parsed.input.empty() || parsed.output.empty()) {
        error = "usage: render FILE --out PNG [--compact] [--info]";
        return std::nullopt;
    }
    return parsed;
}

} // namespace

int renderCommand(const Arguments& arguments) {
    std::string error;
    const auto parsed = parse(arguments, error);
    if (!parsed) {
        return fail(error);
    }
    const auto input = readJsonObjectFile(parsed->input, error);
    if (!input) {
        return fail(error);
    }
    // Like `flow`: {"snapshot": …, "components": …}; a bare snapshot object is taken as well.
    const auto sample = sampleFromJson(*input, true, error);
    if (!sample) {
        return fail(error);
    }
    const PowerSnapshot& snapshot = sample->snapshot;
    const ComponentPowerSnapshot& components = sample->components;
    // "compact" may also come from the file, as the shell's own panel is compact.
    const bool compact = parsed->compact || input->value(QLatin1String("compact")).toBool(false);

    // The offscreen platform warns about window features it lacks; a picture needs none of them.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::cerr << message.toStdString() << '\n';
        }
    });
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int argc = 1;
    char name[] = "voltrane-probe";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    PowerMonitor monitor(std::make_unique<FixedPowerMetrics>(snapshot),
                         std::make_unique<FixedComponentPower>(components), std::make_unique<NoTicks>(),
                         [at = snapshot.sampledAt] { return at; });
    DashboardView::Services services;
    // The picture shows the popover as this build's program would, from a store of its own:
    // the user's settings are neither read nor written.
    const QTemporaryDir settingsFolder;
    if (TelemetryClient::hasBuiltInEndpoint()) {
        services.settings =
            std::make_shared<SettingsStore>(settingsFolder.filePath(QStringLiteral("settings.json")));
    }
    services.onShown = [] {}; // a picture is not an opening of the panel
    DashboardView view(monitor, compact, std::move(services));
    view.setAttribute(Qt::WA_DontShowOnScreen, true);
    view.resize(DashboardView::kPanelWidth, DashboardView::kPanelHeight);
    view.show();
    QApplication::processEvents();

    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    if (parsed->info) {
        view.setShowingInfo(true);
        QApplication::processEvents();
        InfoPopover* popover = view.infoPopover();
        // The popover is a window of its own; draw it where it opened, over the panel.
        view.render(&image);
        popover->render(&image, view.mapFromGlobal(popover->pos()));
    }
    if (!image.save(QString::fromStdString(parsed->output), "PNG")) {
        return fail("cannot write " + parsed->output);
    }
    return 0;
}

} // namespace voltrane::probe
