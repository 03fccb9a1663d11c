#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <utility>

namespace voltrane::testing {

/// What one run of the probe printed and how it exited.
struct ProbeRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;

    /// The last line printed, as a JSON object.
    QJsonObject lastLine() const {
        return QJsonDocument::fromJson(out.trimmed().split('\n').last()).object();
    }
};

/// Runs the probe built beside the tests (VOLTRANE_PROBE) with `environment` added to this
/// process's, e.g. VOLTRANE_POWER_SUPPLY_ROOT and VOLTRANE_POWERCAP_ROOT pointing at a fake tree.
inline ProbeRun runProbe(const QStringList& arguments,
                         const QList<std::pair<QString, QString>>& environment = {}) {
    QProcess probe;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment) {
        variables.insert(name, value);
    }
    probe.setProcessEnvironment(variables);
    probe.start(QStringLiteral(VOLTRANE_PROBE), arguments);
    probe.waitForFinished(30000);
    return {probe.exitCode(), probe.readAllStandardOutput(), probe.readAllStandardError()};
}

} // namespace voltrane::testing
