#include "support/probe_run.h"
#include "support/temp_dir.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

class ProbeCommandsTest : public ::testing::Test {
protected:
    testing::ProbeRun run(const char* command, const char* contents) { // on a file holding `contents`
        return testing::runProbe(
            {QLatin1String(command), QString::fromStdString(dir.write("in.json", contents))});
    }
    static QJsonValue value(const testing::ProbeRun& run, const char* name) {
        return run.lastLine().value(QLatin1String(name));
    }
    testing::TempDir dir;
};

TEST_F(ProbeCommandsTest, FlowAndTextsPrintTheModelForASizeAndKeepTheSignOfMinusZero) {
    const auto flow = run("flow", R"({"snapshot": {"state": "onBattery", "systemWatts": 14.2,
        "batteryTimeRemainingMinutes": 61}, "components": {"cpuWatts": 4, "gpuWatts": 1, "aneWatts": 0.1,
        "displayWatts": 2.5, "sampleInterval": 1, "sourceAvailable": true}, "size": {"width": 540, "height": 291}})");
    QStringList ids{value(flow, "sourceDetail").toString()};
    for (const auto& row : value(flow, "destinations").toArray()) {
        ids << row.toObject().value(QLatin1String("id")).toString();
    }
    EXPECT_EQ(ids.join(QLatin1Char(' ')), QStringLiteral("预计 1 小时 1 分 cpu display gpu other"))
        << flow.err.toStdString();
    const QJsonObject metrics = value(flow, "metrics").toObject();
    EXPECT_EQ(metrics.value(QLatin1String("rowCount")).toInt(), 4);
    EXPECT_EQ(metrics.value(QLatin1String("destinationWidth")).toDouble(), 148.0); // compact below 570
    EXPECT_FALSE(run("flow", R"({"snapshot": {"state": "unavailable"}})")
                     .lastLine()
                     .contains(QLatin1String("metrics")));
    const auto texts = run("texts", R"({"state": "charged", "isExternalConnected": true, "systemWatts": "nan",
        "adapterRatedWatts": -0.0, "temperatureCelsius": -0.0, "cycleCount": 3})");
    EXPECT_EQ(value(texts, "secondaryText").toString() + QLatin1Char(' ') +
                  value(texts, "menuBarTitle").toString(),
              QStringLiteral("电池 -0.0℃  ·  循环 3 次  ·  适配器 -0 W — W"))
        << texts.err.toStdString();
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
    // past the "}" at 31), as it does after any other number.
    const QByteArray afterMinusZero = run("texts", R"({"systemWatts": -0.0, "state": })").err;
    EXPECT_TRUE(afterMinusZero.contains("at offset 32:")) << afterMinusZero.toStdString();
    EXPECT_EQ(afterMinusZero, run("texts", R"({"systemWatts": -1.0, "state": })").err);
    EXPECT_EQ(testing::runProbe({QStringLiteral("texts"), QStringLiteral("/nonexistent/file.json")}).exitCode,
              2);
    EXPECT_EQ(testing::runProbe({QStringLiteral("explode")}).exitCode, 2);
}

} // namespace
} // namespace voltrane
