#include "support/probe_run.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using testing::runProbe;

QString fileWith(const testing::TempDir& dir, const char* contents) {
    return QString::fromStdString(dir.write("input.json", contents).string());
}

TEST(ProbeCommandsTest, FlowPrintsModelLayoutAndMetricsForASize) {
    testing::TempDir dir;
    const QString file = fileWith(dir, R"({
        "snapshot": {"state": "onBattery", "systemWatts": 14.2, "batteryWatts": -14.2,
                     "batteryTimeRemainingMinutes": 61},
        "components": {"cpuWatts": 4, "gpuWatts": 1, "aneWatts": 0.1, "dramWatts": 0.6,
                       "displayWatts": 2.5, "sampleInterval": 1, "sourceAvailable": true},
        "size": {"width": 540, "height": 291}})");
    auto run = runProbe({QStringLiteral("flow"), file});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject flow = run.lastLine();
    EXPECT_EQ(flow.value(QLatin1String("sourceDetail")).toString(), QStringLiteral("预计 1 小时 1 分"));
    QStringList ids;
    for (const auto& row : flow.value(QLatin1String("destinations")).toArray()) {
        ids << row.toObject().value(QLatin1String("id")).toString();
    }
    EXPECT_EQ(ids.join(QLatin1Char(' ')), QStringLiteral("cpu display gpu memory other"));
    const QJsonObject metrics = flow.value(QLatin1String("metrics")).toObject();
    EXPECT_EQ(metrics.value(QLatin1String("rowCount")).toInt(), 5);
    EXPECT_EQ(metrics.value(QLatin1String("destinationWidth")).toDouble(), 148.0); // compact below 570

    run = runProbe({QStringLiteral("flow"), fileWith(dir, R"({"snapshot": {"state": "unavailable"}})")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(run.lastLine().contains(QLatin1String("metrics"))); // no size, no metrics
    EXPECT_EQ(run.lastLine().value(QLatin1String("estimateAvailable")).toBool(true), false);
}

TEST(ProbeCommandsTest, TextsKeepTheSignOfMinusZeroAndShowADashForNonFiniteFigures) {
    testing::TempDir dir;
    auto run =
        runProbe({QStringLiteral("texts"), fileWith(dir, R"({"state": "charged", "isExternalConnected": true,
        "systemWatts": 5, "adapterRatedWatts": -0.0, "temperatureCelsius": -0.0, "cycleCount": 3})")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.lastLine().value(QLatin1String("secondaryText")).toString(),
              QStringLiteral("电池 -0.0℃  ·  循环 3 次  ·  适配器 -0 W"));

    run = runProbe({QStringLiteral("texts"), fileWith(dir, R"({"state": "onBattery", "batteryWatts": "nan",
        "batteryWattsIsEstimated": true, "voltageVolts": "inf"})")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.lastLine().value(QLatin1String("menuBarTitle")).toString(), QStringLiteral("— W"));
    EXPECT_EQ(run.lastLine().value(QLatin1String("primaryText")).toString(),
              QStringLiteral("电池正在输出 ≈ — W"));
}

TEST(ProbeCommandsTest, BadInputExitsTwoWithOneLineOfError) {
    testing::TempDir dir;
    for (const char* contents :
         {R"({"snapshot": {"state": )", "[1, 2]", R"({"snapshot": {"state": "exploding"}})",
          R"({"snapshot": {"systemWatts": "lots"}})"}) {
        const QString file = fileWith(dir, contents);
        for (const char* command : {"flow", "texts"}) {
            const auto run = runProbe({QLatin1String(command), file});
            EXPECT_EQ(run.exitCode, 2) << command << " " << contents;
            EXPECT_EQ(run.err.count('\n'), 1) << command << ": " << run.err.toStdString();
            EXPECT_TRUE(run.out.isEmpty()) << command;
        }
    }
    EXPECT_EQ(runProbe({QStringLiteral("texts"), QStringLiteral("/nonexistent/file.json")}).exitCode, 2);
    EXPECT_EQ(runProbe({QStringLiteral("explode")}).exitCode, 2);
}

} // namespace
} // namespace voltrane
