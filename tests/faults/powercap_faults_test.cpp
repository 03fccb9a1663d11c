// The powercap counters under wraps, resets and broken files, through the monitor: a counter
// that steps back never shows as a huge or negative figure, and the next interval is measured
// again as if nothing had happened.
#include "fake_laptop.h"
#include "support/param_name.h"

#include <chrono>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace voltrane {
namespace {

using testing::FakeLaptop;
namespace fs = std::filesystem;
constexpr std::int64_t kRange = FakeLaptop::kRange;

struct CounterCase {
    const char* name;
    bool rangeKnown;
    std::int64_t before;
    std::int64_t after;
    double expectedWatts; ///< over the one-second interval in which it stepped
};

class CounterStepTest : public ::testing::TestWithParam<CounterCase> {};

TEST_P(CounterStepTest, GivesAPlausibleFigureThenMeasuresOnAsBefore) {
    const CounterCase& row = GetParam();
    FakeLaptop laptop;
    laptop.writeCore(row.before, row.rangeKnown);
    const auto monitor = laptop.makeMonitor();

    laptop.setCoreEnergy(row.after);
    ASSERT_TRUE(laptop.tick());
    EXPECT_EQ(monitor->componentSnapshot().cpuWatts, row.expectedWatts);
    EXPECT_TRUE(monitor->componentSnapshot().sourceAvailable);

    laptop.setCoreEnergy(row.after + 2'000'000);
    ASSERT_TRUE(laptop.tick());
    EXPECT_EQ(monitor->componentSnapshot().cpuWatts, 2.0);
    EXPECT_EQ(monitor->componentSnapshot().sampleInterval, 1.0);
    EXPECT_TRUE(laptop.isSampling());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CounterStepTest,
    ::testing::Values(CounterCase{"WrapsPastItsRange", true, kRange - 1'000'000, 2'000'000, 3.0},
                      CounterCase{"WrapsFromItsVeryTop", true, kRange, 4'000'000, 4.0},
                      CounterCase{"StepsBackWithoutAKnownRange", false, 5'000'000, 1'000'000, 0.0},
                      // A wrap from the middle of the range would be 131 kJ in one second: a reset instead.
                      CounterCase{"ResetFromMidRange", true, kRange / 2 + 1, 1'000'000, 0.0},
                      CounterCase{"ResetToZero", true, kRange / 4, 0, 0.0},
                      CounterCase{"StepsBackByOneMicrojoule", true, 7'000'000, 6'999'999, 0.0}),
    testing::ParamName());

struct BrokenCounterCase {
    const char* name;
    const char* contents; ///< nullptr: a FIFO in place of the file
};

class BrokenCounterTest : public ::testing::TestWithParam<BrokenCounterCase> {};

TEST_P(BrokenCounterTest, LeavesTheChannelOutWithoutBlockingUntilItReadsAgain) {
    FakeLaptop laptop;
    const auto monitor = laptop.makeMonitor();
    laptop.setCoreEnergy(503'000'000);
    ASSERT_TRUE(laptop.tick());
    ASSERT_EQ(monitor->componentSnapshot().cpuWatts, 3.0);

    fs::remove(laptop.coreCounter());
    if (GetParam().contents == nullptr) {
        ASSERT_EQ(::mkfifo(laptop.coreCounter().c_str(), 0600), 0);
    } else {
        laptop.dir().write(fs::relative(laptop.coreCounter(), laptop.dir().path()), GetParam().contents);
    }
    // The tick runs on another thread only so that a blocking read fails the test instead of
    // hanging it; the FIFO is opened for writing to release such a read.
    auto tick = std::async(std::launch::async, [&] { return laptop.tick(); });
    if (tick.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << "the counter read blocked";
        while (tick.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
            const int fd = ::open(laptop.coreCounter().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    ASSERT_TRUE(tick.get());
    // The package counter still reads, but the package stands in for the CPU only without a
    // core zone: the CPU figure is simply missing for this interval.
    EXPECT_FALSE(monitor->componentSnapshot().cpuWatts);
    EXPECT_TRUE(monitor->componentSnapshot().sourceAvailable);
    EXPECT_TRUE(testing::allFinite(monitor->componentSnapshot()));

    fs::remove(laptop.coreCounter());
    laptop.setCoreEnergy(510'000'000);
    ASSERT_TRUE(laptop.tick()); // the baseline sample lacked the channel: no figure yet
    laptop.setCoreEnergy(516'000'000);
    ASSERT_TRUE(laptop.tick());
    EXPECT_EQ(monitor->componentSnapshot().cpuWatts, 6.0);
    EXPECT_TRUE(laptop.isSampling());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenCounterTest,
    ::testing::Values(BrokenCounterCase{"Empty", ""}, BrokenCounterCase{"Garbage", "12x4\n"},
                      BrokenCounterCase{"Negative", "-5000\n"}, BrokenCounterCase{"Nan", "nan\n"},
                      BrokenCounterCase{"BeyondInt64", "99999999999999999999\n"},
                      BrokenCounterCase{"TooLong", "503000000                                   \n"},
                      BrokenCounterCase{"Fifo", nullptr}),
    testing::ParamName());

} // namespace
} // namespace voltrane
