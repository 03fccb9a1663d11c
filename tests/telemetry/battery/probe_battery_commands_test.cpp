#include "support/fake_sysfs.h"
#include "support/probe_run.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdlib>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using testing::runProbe;

/// Runs `decode FILE` (a file under data/ unless absolute): exit code, stdout, stderr.
std::tuple<int, std::string, std::string> decode(const std::string& file) {
    const char* root = std::getenv("VOLTRANE_TEST_DATA");
    const auto run = runProbe(
        {QStringLiteral("decode"),
         QString::fromStdString(file.starts_with('/') ? file : std::string(root) + "/data/" + file)});
    return {run.exitCode, run.out.toStdString(), run.err.toStdString()};
}

QJsonObject onlyLine(const std::string& out) {
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
}

TEST(ProbeDecodeTest, PrintsTheSnapshotAndTellsWhatACutOffPasteLost) {
    const auto [code, out, err] = decode("discharging.json");
    ASSERT_EQ(code, 0) << err;
    const QJsonObject snapshot = onlyLine(out);
    EXPECT_EQ(snapshot.size(), 18);
    EXPECT_EQ(snapshot.value(QLatin1String("state")).toString(), QLatin1String("onBattery"));
    EXPECT_EQ(snapshot.value(QLatin1String("headlineWatts")).toDouble(), 11.52);
    EXPECT_TRUE(snapshot.value(QLatin1String("adapterRatedWatts")).isNull());
    EXPECT_EQ(snapshot.value(QLatin1String("sampledAt")).toString().size(), 24); // 2024-01-02T03:04:05.678Z
    const auto [cutCode, cutOut, notes] = decode("cut_off.txt");
    EXPECT_EQ(onlyLine(cutOut).value(QLatin1String("state")).toString(), QLatin1String("onBattery"));
    EXPECT_EQ(notes, "line 1: \"AppleSmartBattery\" cut off; its complete members kept\n"
                     "line 6: \"BatteryData\" cut off; its complete members kept\n"
                     "line 6: \"BatteryData.CellVoltage\" cut off; its complete members kept\n"
                     "line 6: \"BatteryData.CellVoltage[2]\" cut off; dropped\n");
}

TEST(ProbeDecodeTest, BadFilesExitWithOneLine) {
    const testing::TempDir folder;
    const auto paste =
        folder.write("paste.txt", "+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n  \"Volt");
    for (const std::string& file :
         std::vector<std::string>{"malformed.json", "absent.plist", paste.string()}) {
        const auto [code, out, err] = decode(file);
        EXPECT_EQ(code, 2) << file;
        EXPECT_TRUE(out.empty() && err.starts_with("voltrane-probe: ") &&
                    std::count(err.begin(), err.end(), '\n') == 1)
            << err;
    }
    EXPECT_TRUE(std::get<2>(decode(paste.string())).ends_with("paste.txt: no readable property line\n"));
}

TEST(ProbeLiveTest, PrintsTheTypedTableAndItsSnapshotAndStopsCleanlyOnTerminate) {
    const testing::FakeSysfs sysfs;
    sysfs.supply(
        "BAT0",
        "type=Battery,status=Discharging,voltage_now=11000000,current_now=1000000,capacity=64,temp=295");
    sysfs.supply("AC", "type=Mains,online=0");
    const QList<std::pair<QString, QString>> roots = {
        {QStringLiteral("VOLTRANE_POWER_SUPPLY_ROOT"), QString::fromStdString(sysfs.supplies())},
        {QStringLiteral("VOLTRANE_POWERCAP_ROOT"), QString::fromStdString(sysfs.powercap())}};
    const QJsonObject line = onlyLine(runProbe({}, roots).out.toStdString());
    EXPECT_TRUE(line.contains(QLatin1String("components")));
    EXPECT_EQ(line.value(QLatin1String("table")).toObject().value(QLatin1String("Temperature")).toDouble(),
              3026.5);
    const QJsonObject snapshot = line.value(QLatin1String("snapshot")).toObject();
    EXPECT_EQ(snapshot.value(QLatin1String("batteryWatts")).toDouble(), -11.0);
    EXPECT_EQ(snapshot.value(QLatin1String("chargePercent")).toInt(), 64);

    QProcess watch; // an empty powercap tree: the component counters read as unavailable
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : roots) {
        environment.insert(name, value);
    }
    watch.setProcessEnvironment(environment);
    watch.start(QStringLiteral(VOLTRANE_PROBE), {QStringLiteral("watch")});
    ASSERT_TRUE(watch.waitForReadyRead(10000)); // the first line comes at once, flushed
    EXPECT_TRUE(watch.readLine().contains("\"sourceAvailable\":false"));
    watch.terminate();
    ASSERT_TRUE(watch.waitForFinished(10000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0);
}

} // namespace
} // namespace voltrane
