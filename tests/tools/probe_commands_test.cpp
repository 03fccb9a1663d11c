#include "support/param_name.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct ProbeRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProbeRun probe(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(VOLTRANE_PROBE), arguments);
    process.waitForFinished(20000);
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

QJsonObject lastLine(const QByteArray& out) {
    return QJsonDocument::fromJson(out.trimmed()).object();
}

TEST(ProbeFlowTest, PrintsModelLayoutAndMetricsForASize) {
    testing::TempDir dir;
    const auto file = dir.write("flow.json", R"({
        "snapshot": {"state": "onBattery", "systemWatts": 14.2, "batteryWatts": -14.2,
                     "batteryTimeRemainingMinutes": 61},
        "components": {"cpuWatts": 4, "gpuWatts": 1, "aneWatts": 0.1, "dramWatts": 0.6,
                       "displayWatts": 2.5, "sampleInterval": 1, "sourceAvailable": true},
        "size": {"width": 540, "height": 291}})");
    const ProbeRun run = probe({QStringLiteral("flow"), QString::fromStdString(file.string())});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject flow = lastLine(run.out);
    EXPECT_EQ(flow.value(QLatin1String("sourceTitle")).toString(), QStringLiteral("电池"));
    EXPECT_EQ(flow.value(QLatin1String("sourceDetail")).toString(), QStringLiteral("预计 1 小时 1 分"));
    QStringList ids;
    for (const auto& row : flow.value(QLatin1String("destinations")).toArray()) {
        ids << row.toObject().value(QLatin1String("id")).toString();
    }
    EXPECT_EQ(ids, (QStringList{QStringLiteral("cpu"), QStringLiteral("display"), QStringLiteral("gpu"),
                                QStringLiteral("memory"), QStringLiteral("other")}));
    const QJsonObject metrics = flow.value(QLatin1String("metrics")).toObject();
    EXPECT_EQ(metrics.value(QLatin1String("rowCount")).toInt(), 5);
    EXPECT_EQ(metrics.value(QLatin1String("destinationWidth")).toDouble(), 148.0); // compact below 570
}

TEST(ProbeFlowTest, WithoutASizeThereAreNoMetrics) {
    testing::TempDir dir;
    const auto file = dir.write("flow.json", R"({"snapshot": {"state": "unavailable"}})");
    const ProbeRun run = probe({QStringLiteral("flow"), QString::fromStdString(file.string())});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(lastLine(run.out).contains(QLatin1String("metrics")));
    EXPECT_EQ(lastLine(run.out).value(QLatin1String("estimateAvailable")).toBool(true), false);
}

TEST(ProbeTextsTest, NegativeZeroInTheInputKeepsItsSign) {
    // printf writes -0 with its sign; the input reader must not turn it into +0 on the way.
    testing::TempDir dir;
    const auto file = dir.write("texts.json", R"({"state": "charged", "isExternalConnected": true,
        "systemWatts": 5, "adapterRatedWatts": -0.0, "temperatureCelsius": -0.0, "cycleCount": 3})");
    const ProbeRun run = probe({QStringLiteral("texts"), QString::fromStdString(file.string())});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(lastLine(run.out).value(QLatin1String("secondaryText")).toString(),
              QStringLiteral("电池 -0.0℃  ·  循环 3 次  ·  适配器 -0 W"));
}

TEST(ProbeTextsTest, NonFiniteFiguresShowADash) {
    testing::TempDir dir;
    const auto file = dir.write("texts.json", R"({"state": "onBattery", "batteryWatts": "nan",
        "batteryWattsIsEstimated": true, "voltageVolts": "inf"})");
    const ProbeRun run = probe({QStringLiteral("texts"), QString::fromStdString(file.string())});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject texts = lastLine(run.out);
    EXPECT_EQ(texts.value(QLatin1String("menuBarTitle")).toString(), QStringLiteral("— W"));
    EXPECT_EQ(texts.value(QLatin1String("primaryText")).toString(), QStringLiteral("电池正在输出 ≈ — W"));
}

struct BadInput {
    const char* name;
    const char* contents;
};

class ProbeBadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(ProbeBadInputTest, ExitsTwoWithOneLine) {
    testing::TempDir dir;
    const auto file = dir.write("bad.json", GetParam().contents);
    for (const char* command : {"flow", "texts"}) {
        const ProbeRun run = probe({QLatin1String(command), QString::fromStdString(file.string())});
        EXPECT_EQ(run.exitCode, 2) << command;
        EXPECT_EQ(run.err.count('\n'), 1) << command << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << command;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProbeBadInputTest,
    ::testing::Values(BadInput{"Truncated", R"({"snapshot": {"state": )"}, BadInput{"NotAnObject", "[1, 2]"},
                      BadInput{"UnknownState", R"({"snapshot": {"state": "exploding"}})"},
                      BadInput{"TextWhereANumberBelongs", R"({"snapshot": {"systemWatts": "lots"}})"}),
    voltrane::testing::ParamName());

TEST(ProbeTest, MissingFileAndUnknownCommandExitTwo) {
    EXPECT_EQ(probe({QStringLiteral("texts"), QStringLiteral("/nonexistent/file.json")}).exitCode, 2);
    EXPECT_EQ(probe({QStringLiteral("explode")}).exitCode, 2);
}

} // namespace
} // namespace voltrane
