#include "history/history_recorder.h"
#include "history/history_store.h"
#include "stored_rows.h"
#include "support/temp_dir.h"
#include "telemetry/battery/battery_registry.h"

#include <QCoreApplication>
#include <atomic>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

using namespace std::chrono_literals;
using testing::kHistoryHour;

struct CountedHealth final : BatteryRegistry {
    std::optional<PropertyTable> copyProperties() override { return std::nullopt; }
    std::optional<BatteryHealthRecord> batteryHealth(Date now) override {
        return ++*reads, BatteryHealthRecord{now, 52000, 60000, CapacityUnit::milliwattHours, 210};
    }
    std::shared_ptr<std::atomic<int>> reads = std::make_shared<std::atomic<int>>(0);
};

class HistoryRecorderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "history_recorder_tests", *argv[] = {name, nullptr};
        static QCoreApplication application(argc, argv);
    }
    testing::TempDir folder;
    std::shared_ptr<std::atomic<int>> healthReads;

    std::unique_ptr<HistoryRecorder> recorder(const std::filesystem::path& path) {
        auto health = std::make_unique<CountedHealth>();
        healthReads = health->reads;
        return std::make_unique<HistoryRecorder>(QString::fromStdString(path.string()), std::move(health),
                                                 [] { return kHistoryHour + 30min; });
    }
    static void feed(HistoryRecorder& recorder, std::initializer_list<std::chrono::seconds> seconds) {
        for (const auto at : seconds) {
            PowerSnapshot snapshot = PowerSnapshot::unavailable(kHistoryHour + at);
            snapshot.state = PowerState::onBattery;
            recorder.record(snapshot);
        }
        recorder.sync();
    }
    static std::vector<Date> starts(const std::filesystem::path& path) {
        std::vector<Date> starts;
        for (const HistoryRow& row :
             HistoryFileReader(QString::fromStdString(path.string())).rows(Date{}, kHistoryHour + 1h)) {
            starts.push_back(row.start);
        }
        return starts;
    }
};

TEST_F(HistoryRecorderTest, RecordsTheMinutesThatHadReadingsAndTheHealthOnceADay) {
    const auto path = folder.path() / "missing/voltrane/history.sqlite3"; // the folders are made
    auto recording = recorder(path);
    feed(*recording, {0s, 1s, 59s, 60s, 61s, 240s, 241s}); // silent 04:02 and 04:03
    EXPECT_EQ(starts(path), std::vector({kHistoryHour, kHistoryHour + 1min}));
    recording.reset(); // the minute in progress is written on the way out
    EXPECT_EQ(starts(path), std::vector({kHistoryHour, kHistoryHour + 1min, kHistoryHour + 4min}));
    EXPECT_EQ(healthReads->load(), 1);
    EXPECT_EQ(
        HistoryFileReader(QString::fromStdString(path.string())).health(Date{}, kHistoryHour + 24h).size(),
        1u);
}

TEST_F(HistoryRecorderTest, AFolderThatCannotBeMadeCostsNothingAndIsTriedAgainLater) {
    const auto blocker = folder.write("data", "a file where the folder should be");
    auto recording = recorder(blocker / "history.sqlite3");
    feed(*recording, {0s, 60s, 120s});
    std::filesystem::remove(blocker);
    std::filesystem::create_directory(blocker);
    // The next attempt comes a quarter of an hour of rows later; the rows wait in memory meanwhile.
    for (int minute = 3; minute < HistoryRecorder::reopenEvery; ++minute) {
        feed(*recording, {minute * 60s});
    }
    EXPECT_TRUE(starts(blocker / "history.sqlite3").empty());
    feed(*recording, {HistoryRecorder::reopenEvery * 60s, HistoryRecorder::reopenEvery * 60s + 60s});
    EXPECT_EQ(starts(blocker / "history.sqlite3").size(),
              static_cast<std::size_t>(HistoryRecorder::reopenEvery + 1));
}

} // namespace
} // namespace voltrane
