#include "support/probe_run.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using testing::runProbe;

class ProbeCommandsTest : public ::testing::Test {
protected:
    testing::ProbeRun run(const char* command, const char* contents) {
        return runProbe(
            {QLatin1String(command), QString::fromStdString(dir.write("in.json", contents).string())});
    }
    QString text(const testing::ProbeRun& run, const char* name) {
        return run.lastLine().value(QLatin1String(name)).toString();
    }
    testing::TempDir dir;
};

TEST_F(ProbeCommandsTest, FlowPrintsModelLayoutAndMetricsForASize) {
    auto flow = run("flow", R"({"snapshot": {"state": "onBattery", "systemWatts": 14.2, "batteryWatts": -14.2,
        "batteryTimeRemainingMinutes": 61}, "components": {"cpuWatts": 4, "gpuWatts": 1, "aneWatts": 0.1,
        "dramWatts": 0.6, "displayWatts": 2.5, "sampleInterval": 1, "sourceAvailable": true},
        "size": {"width": 540, "height": 291}})");
    ASSERT_EQ(flow.exitCode, 0) << flow.err.toStdString();
    EXPECT_EQ(text(flow, "sourceDetail"), QStringLiteral("预计 1 小时 1 分"));
    QStringList ids;
    for (const auto& row : flow.lastLine().value(QLatin1String("destinations")).toArray()) {
        ids << row.toObject().value(QLatin1String("id")).toString();
    }
    EXPECT_EQ(ids.join(QLatin1Char(' ')), QStringLiteral("cpu display gpu memory other"));
    const QJsonObject metrics = flow.lastLine().value(QLatin1String("metrics")).toObject();
    EXPECT_EQ(metrics.value(QLatin1String("rowCount")).toInt(), 5);
    EXPECT_EQ(metrics.value(QLatin1String("destinationWidth")).toDouble(), 148.0); // compact below 570
    flow = run("flow", R"({"snapshot": {"state": "unavailable"}})");
    ASSERT_EQ(flow.exitCode, 0) << flow.err.toStdString();
    EXPECT_FALSE(flow.lastLine().contains(QLatin1String("metrics"))); // no size, no metrics
    EXPECT_EQ(flow.lastLine().value(QLatin1String("estimateAvailable")).toBool(true), false);
}

TEST_F(ProbeCommandsTest, TextsKeepTheSignOfMinusZeroAndShowADashForNonFiniteFigures) {
    auto texts = run("texts", R"({"state": "charged", "isExternalConnected": true, "systemWatts": 5,
        "adapterRatedWatts": -0.0, "temperatureCelsius": -0.0, "cycleCount": 3})");
    ASSERT_EQ(texts.exitCode, 0) << texts.err.toStdString();
    EXPECT_EQ(text(texts, "secondaryText"), QStringLiteral("电池 -0.0℃  ·  循环 3 次  ·  适配器 -0 W"));
    texts = run("texts", R"({"state": "onBattery", "batteryWatts": "nan", "batteryWattsIsEstimated": true,
        "voltageVolts": "inf"})");
    ASSERT_EQ(texts.exitCode, 0) << texts.err.toStdString();
    EXPECT_EQ(text(texts, "menuBarTitle") + text(texts, "primaryText"),
              QStringLiteral("— W电池正在输出 ≈ — W"));
}

TEST_F(ProbeCommandsTest, BadInputExitsTwoWithOneLineOfErrorAtTheOriginalOffset) {
    for (const char* contents :
         {R"({"snapshot": {"state": )", "[1, 2]", R"({"snapshot": {"state": "exploding"}})",
          R"({"snapshot": {"systemWatts": "lots"}})"}) {
        for (const char* command : {"flow", "texts"}) {
            const auto bad = run(command, contents);
            EXPECT_TRUE(bad.exitCode == 2 && bad.err.count('\n') == 1 && bad.out.isEmpty())
                << command << " " << contents << ": " << bad.err.toStdString();
        }
    }
    // A minus zero is rewritten on the way in, yet an error after it names the place in the file (just
    // past the "}" at 31), as it does with any other number there.
    const QByteArray afterMinusZero = run("texts", R"({"systemWatts": -0.0, "state": })").err;
    EXPECT_TRUE(afterMinusZero.contains("at offset 32:")) << afterMinusZero.toStdString();
    EXPECT_EQ(afterMinusZero, run("texts", R"({"systemWatts": -1.0, "state": })").err);
    EXPECT_EQ(runProbe({QStringLiteral("texts"), QStringLiteral("/nonexistent/file.json")}).exitCode, 2);
    EXPECT_EQ(runProbe({QStringLiteral("explode")}).exitCode, 2);
}

} // namespace
} // namespace voltrane
