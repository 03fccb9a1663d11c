#include "support/temp_dir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <cstdlib>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct ProbeRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

/// Starts the probe, on the given power-supply and powercap folders when there are.
void start(QProcess& probe, const QStringList& arguments, const QString& root) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!root.isEmpty()) {
        environment.insert(QStringLiteral("VOLTRANE_POWER_SUPPLY_ROOT"), root);
        environment.insert(QStringLiteral("VOLTRANE_POWERCAP_ROOT"), root);
    }
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(VOLTRANE_PROBE), arguments);
}

ProbeRun runProbe(const QStringList& arguments, const QString& root = {}) {
    QProcess probe;
    start(probe, arguments, root);
    probe.waitForFinished(30000);
    return {probe.exitCode(), probe.readAllStandardOutput(), probe.readAllStandardError()};
}

QString dataFile(const char* name) {
    const char* root = std::getenv("VOLTRANE_TEST_DATA");
    return QString::fromUtf8(root ? root : ".") + QStringLiteral("/data/") + QString::fromUtf8(name);
}

QJsonObject onlyLine(const QByteArray& out) {
    EXPECT_EQ(out.count('\n'), 1) << out.toStdString();
    return QJsonDocument::fromJson(out).object();
}

TEST(ProbeDecodeTest, PrintsTheSnapshotByFieldName) {
    const ProbeRun run = runProbe({QStringLiteral("decode"), dataFile("discharging.json")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject snapshot = onlyLine(run.out);
    EXPECT_EQ(snapshot.size(), 18);
    EXPECT_EQ(snapshot.value(QLatin1String("state")).toString(), QLatin1String("onBattery"));
    EXPECT_EQ(snapshot.value(QLatin1String("currentMilliamps")).toDouble(), -1000.0);
    EXPECT_EQ(snapshot.value(QLatin1String("headlineWatts")).toDouble(), 11.52);
    EXPECT_TRUE(snapshot.value(QLatin1String("adapterRatedWatts")).isNull());
    const QRegularExpression iso(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z$"));
    EXPECT_TRUE(iso.match(snapshot.value(QLatin1String("sampledAt")).toString()).hasMatch());
}

TEST(ProbeDecodeTest, BadFilesExitWithOneLine) {
    for (const char* file : {"malformed.json", "absent.plist"}) {
        const ProbeRun run = runProbe({QStringLiteral("decode"), dataFile(file)});
        EXPECT_EQ(run.exitCode, 2) << file;
        EXPECT_TRUE(run.out.isEmpty()) << file;
        EXPECT_TRUE(run.err.startsWith("voltrane-probe: ")) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }
    EXPECT_EQ(runProbe({QStringLiteral("decode")}).exitCode, 2);
}

TEST(ProbeDecodeTest, CutOffPasteStillDecodesAndTellsWhatItLost) {
    const ProbeRun run = runProbe({QStringLiteral("decode"), dataFile("cut_off.txt")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(onlyLine(run.out).value(QLatin1String("state")).toString(), QLatin1String("onBattery"));
    EXPECT_EQ(run.err.toStdString(),
              "line 1: \"AppleSmartBattery\" cut off; its complete members kept\n"
              "line 6: \"BatteryData\" cut off; its complete members kept\n"
              "line 6: \"BatteryData.CellVoltage\" cut off; its complete members kept\n"
              "line 6: \"BatteryData.CellVoltage[2]\" cut off; dropped\n");
}

TEST(ProbeDecodeTest, PasteWithoutAnyPropertyExitsWithOneLine) {
    testing::TempDir folder;
    const auto paste = folder.write(
        "paste.txt", "+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n    \"Volt");
    const ProbeRun run = runProbe({QStringLiteral("decode"), QString::fromStdString(paste.string())});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.endsWith("paste.txt: no readable property line\n")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
}

TEST(ProbeLiveTest, PrintsTheTypedTableAndItsSnapshot) {
    testing::TempDir root;
    for (const char* file :
         {"BAT0/type=Battery", "BAT0/status=Discharging", "BAT0/voltage_now=11000000",
          "BAT0/current_now=1000000", "BAT0/capacity=64", "BAT0/temp=295", "AC/type=Mains", "AC/online=0"}) {
        const std::string_view line(file);
        root.write(line.substr(0, line.find('=')), std::string(line.substr(line.find('=') + 1)) + "\n");
    }
    const ProbeRun run = runProbe({}, QString::fromStdString(root.path().string()));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject line = onlyLine(run.out);
    const QJsonObject table = line.value(QLatin1String("table")).toObject();
    const QJsonObject snapshot = line.value(QLatin1String("snapshot")).toObject();
    EXPECT_TRUE(line.contains(QLatin1String("components")));
    EXPECT_EQ(table.value(QLatin1String("Temperature")).toDouble(), 3026.5);
    EXPECT_EQ(snapshot.value(QLatin1String("state")).toString(), QLatin1String("onBattery"));
    EXPECT_EQ(snapshot.value(QLatin1String("batteryWatts")).toDouble(), -11.0);
    EXPECT_EQ(snapshot.value(QLatin1String("currentMilliamps")).toDouble(), -1000.0);
    EXPECT_EQ(snapshot.value(QLatin1String("chargePercent")).toInt(), 64);
    EXPECT_NEAR(snapshot.value(QLatin1String("temperatureCelsius")).toDouble(), 29.5, 1e-9);
}

TEST(ProbeLiveTest, WatchStopsCleanlyOnTerminate) {
    testing::TempDir root;
    QProcess probe;
    // An empty powercap tree: the component counters read as unavailable.
    start(probe, {QStringLiteral("watch")}, QString::fromStdString(root.path().string()));
    ASSERT_TRUE(probe.waitForReadyRead(10000)); // the first line comes at once, flushed
    EXPECT_TRUE(probe.readLine().contains("\"sourceAvailable\":false"));
    probe.terminate();
    ASSERT_TRUE(probe.waitForFinished(10000));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(probe.exitCode(), 0);
}

} // namespace
} // namespace voltrane
