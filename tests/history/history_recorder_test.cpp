#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history_rows.h"
#include "support/temp_dir.h"
#include "telemetry/battery/battery_registry.h"

#include <QCoreApplication>
#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::kHistoryHour;

struct CountedHealth final : BatteryRegistry {
    explicit CountedHealth(std::shared_ptr<std::atomic<int>> counter) : reads(std::move(counter)) {}
    std::optional<PropertyTable> copyProperties() override { return std::nullopt; }
    std::optional<BatteryHealthRecord> batteryHealth(Date now) override {
        ++*reads;
        return BatteryHealthRecord{now, 52000, 60000, CapacityUnit::milliwattHours, 210};
    }
    std::shared_ptr<std::atomic<int>> reads;
};

PowerSnapshot sampleAt(Date at, double watts) {
    PowerSnapshot snapshot;
    snapshot.state = PowerState::onBattery;
    snapshot.systemWatts = watts;
    snapshot.batteryWatts = -watts;
    snapshot.sampledAt = at;
    return snapshot;
}

class HistoryRecorderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "history_recorder_tests", *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
    testing::TempDir folder;
    std::shared_ptr<std::atomic<int>> healthReads = std::make_shared<std::atomic<int>>(0);
    Date now = kHistoryHour + 30min;

    std::unique_ptr<HistoryRecorder> recorder(const QString& path) {
        return std::make_unique<HistoryRecorder>(path, std::make_unique<CountedHealth>(healthReads),
                                                 [this] { return now; });
    }
    std::vector<Date> startsIn(const QString& path) {
        std::vector<Date> starts;
        for (const HistoryRow& row : HistoryFileReader(path).rows(kHistoryHour - 24h, kHistoryHour + 24h)) {
            starts.push_back(row.start);
        }
        return starts;
    }
};

TEST_F(HistoryRecorderTest, RecordsTheMinutesThatHadReadingsAndTheHealthOnceADay) {
    const QString path = QString::fromStdString((folder.path() / "voltrane/history.sqlite3").string());
    auto recording = recorder(path);
    for (const auto at : {0s, 1s, 2s, 59s, 60s, 61s, 240s, 241s}) { // silent 04:02 and 04:03
        recording->record(sampleAt(kHistoryHour + at, 10));
        ComponentPowerSnapshot components;
        components.cpuWatts = 3;
        components.sampledAt = kHistoryHour + at + 100ms;
        recording->record(components);
    }
    recording->sync();
    EXPECT_EQ(startsIn(path), (std::vector<Date>{kHistoryHour, kHistoryHour + 1min}));
    recording.reset(); // the minute in progress is written on the way out
    EXPECT_EQ(startsIn(path), (std::vector<Date>{kHistoryHour, kHistoryHour + 1min, kHistoryHour + 4min}));
    const auto rows = HistoryFileReader(path).rows(kHistoryHour, kHistoryHour + 1h);
    EXPECT_EQ(rows[0].cpuWatts, 3);
    EXPECT_EQ(rows[0].sampleCount, 4);
    EXPECT_EQ(healthReads->load(), 1);
    const auto health = HistoryFileReader(path).health(kHistoryHour, kHistoryHour + 24h);
    ASSERT_EQ(health.size(), 1u);
    EXPECT_EQ(health[0].designCapacity, 60000);
}

TEST_F(HistoryRecorderTest, AFolderThatCannotBeMadeCostsNothingAndIsTriedAgainLater) {
    const auto blocker = folder.write("data", "a file where the folder should be");
    const QString path = QString::fromStdString((blocker / "voltrane/history.sqlite3").string());
    auto recording = recorder(path);
    int minute = 0;
    const auto feedMinutes = [&](int count) {
        for (const int end = minute + count; minute < end; ++minute) {
            recording->record(sampleAt(kHistoryHour + minute * 1min, 8));
        }
        recording->sync();
    };
    feedMinutes(3);
    EXPECT_FALSE(std::filesystem::exists(blocker / "voltrane"));
    std::filesystem::remove(blocker);
    // The next attempt waits a quarter of an hour of rows; the rows wait in memory meanwhile.
    feedMinutes(HistoryRecorder::reopenEvery - 3);
    EXPECT_TRUE(startsIn(path).empty());
    feedMinutes(3);
    EXPECT_EQ(startsIn(path).size(), static_cast<std::size_t>(minute - 1));
    EXPECT_EQ(startsIn(path).front(), kHistoryHour);
}

} // namespace
} // namespace voltrane
