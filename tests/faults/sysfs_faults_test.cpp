// The power-supply reader under a battery that comes and goes and attribute files that no
// driver should write, always through the monitor: it publishes what can be read, never a
// non-finite figure, never blocks, and keeps sampling.
#include "fake_laptop.h"
#include "support/param_name.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace voltrane {
namespace {

using testing::FakeLaptop;
namespace fs = std::filesystem;

/// Releases readers stuck in open() or read() of a FIFO once a few seconds have passed (by
/// opening the FIFO for writing and closing it again), and remembers that it had to.
class FifoWatchdog {
public:
    explicit FifoWatchdog(std::vector<fs::path> fifos)
        : fifos_(std::move(fifos)), thread_([this] { watch(); }) {}
    ~FifoWatchdog() {
        {
            const std::lock_guard lock(mutex_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;

    bool fired() const { return fired_; }

private:
    void watch() {
        std::unique_lock lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) {
            return;
        }
        fired_ = true;
        // Every later read would block as well: keep releasing until the test is done.
        do {
            for (const fs::path& fifo : fifos_) {
                const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        } while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return done_; }));
    }

    std::vector<fs::path> fifos_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// ---- the battery vanishes and returns -------------------------------------------------------

struct VanishCase {
    const char* name;
    std::function<void(const FakeLaptop&)> remove;
};

class BatteryVanishesTest : public ::testing::TestWithParam<VanishCase> {};

TEST_P(BatteryVanishesTest, UnavailableWhileGoneThenPublishedAsReadAgain) {
    FakeLaptop laptop;
    const auto monitor = laptop.makeMonitor();
    std::vector<PowerState> published;
    QObject::connect(monitor.get(), &PowerMonitor::snapshotChanged, monitor.get(),
                     [&](const PowerSnapshot& snapshot) { published.push_back(snapshot.state); });

    laptop.setCoreEnergy(505'000'000);
    ASSERT_TRUE(laptop.tick());
    EXPECT_EQ(monitor->snapshot().state, PowerState::onBattery);

    GetParam().remove(laptop);
    laptop.setCoreEnergy(510'000'000);
    ASSERT_TRUE(laptop.tick());
    EXPECT_EQ(monitor->snapshot(), PowerSnapshot::unavailable(monitor->snapshot().sampledAt));
    // The component counters do not depend on the battery.
    EXPECT_EQ(monitor->componentSnapshot().cpuWatts, 5.0);

    fs::create_directories(laptop.supplies());
    laptop.writeBattery();
    laptop.dir().write("power_supply/AC/type", "Mains\n");
    laptop.dir().write("power_supply/AC/online", "0\n");
    laptop.setCoreEnergy(513'000'000);
    ASSERT_TRUE(laptop.tick());
    // After an unavailable sample the first real one is published as read, not blended.
    EXPECT_EQ(monitor->snapshot().state, PowerState::onBattery);
    EXPECT_EQ(monitor->snapshot().batteryWatts, FakeLaptop::kBatteryWatts);
    EXPECT_EQ(monitor->snapshot().chargePercent, 78);
    EXPECT_EQ(monitor->componentSnapshot().cpuWatts, 3.0);

    EXPECT_EQ(published, (std::vector<PowerState>{PowerState::onBattery, PowerState::unavailable,
                                                  PowerState::onBattery}));
    EXPECT_TRUE(laptop.isSampling());
}

INSTANTIATE_TEST_SUITE_P(
    Removals, BatteryVanishesTest,
    ::testing::Values(
        VanishCase{"BatteryFolder", [](const FakeLaptop& laptop) { fs::remove_all(laptop.battery()); }},
        VanishCase{"WholeClassFolder", [](const FakeLaptop& laptop) { fs::remove_all(laptop.supplies()); }},
        VanishCase{"BatteryEmptied",
                   [](const FakeLaptop& laptop) {
                       for (const auto& entry : fs::directory_iterator(laptop.battery())) {
                           fs::remove(entry.path());
                       }
                   }},
        VanishCase{"BatteryMarkedAbsent",
                   [](const FakeLaptop& laptop) { laptop.dir().write("power_supply/BAT0/present", "0\n"); }}),
    testing::ParamName());

// ---- broken attribute files ------------------------------------------------------------------

enum class Fault { contents, directory, fifo };

struct AttributeCase {
    const char* name;
    const char* file; ///< under BAT0
    Fault fault;
    std::string contents;
    std::function<void(const PowerSnapshot&)> expect;
};

std::string hugeFile(std::string_view start) {
    std::string text(start);
    text.resize(4 << 20, '9'); // 4 MiB
    return text;
}

/// Voltage unreadable: the battery still reports its power and charge.
void voltageLost(const PowerSnapshot& snapshot) {
    EXPECT_EQ(snapshot.state, PowerState::onBattery);
    EXPECT_FALSE(snapshot.voltageVolts);
    EXPECT_FALSE(snapshot.currentMilliamps); // nothing to derive it from
    EXPECT_EQ(snapshot.batteryWatts, FakeLaptop::kBatteryWatts);
    EXPECT_EQ(snapshot.chargePercent, 78);
}

/// Power unreadable: no battery figure at all (no current either), the rest as read.
void powerLost(const PowerSnapshot& snapshot) {
    EXPECT_EQ(snapshot.state, PowerState::onBattery);
    EXPECT_FALSE(snapshot.batteryWatts);
    EXPECT_EQ(snapshot.voltageVolts, 11.423);
    EXPECT_EQ(snapshot.chargePercent, 78);
}

/// Capacity unreadable: the charge follows from the energy counters instead.
void capacityLost(const PowerSnapshot& snapshot) {
    EXPECT_EQ(snapshot.state, PowerState::onBattery);
    EXPECT_EQ(snapshot.chargePercent, 79); // 41.23 of 52 Wh
    EXPECT_EQ(snapshot.batteryWatts, FakeLaptop::kBatteryWatts);
}

/// Type unreadable: not known to be a battery, so no battery.
void typeLost(const PowerSnapshot& snapshot) {
    EXPECT_EQ(snapshot, PowerSnapshot::unavailable(snapshot.sampledAt));
}

class BrokenAttributeTest : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(BrokenAttributeTest, ReadsAsMissingWithoutBlockingAndSamplingGoesOn) {
    const AttributeCase& row = GetParam();
    FakeLaptop laptop;
    const fs::path target = laptop.battery() / row.file;
    fs::remove(target);
    std::vector<fs::path> fifos;
    switch (row.fault) {
    case Fault::contents:
        laptop.dir().write(fs::relative(target, laptop.dir().path()), row.contents);
        break;
    case Fault::directory:
        fs::create_directory(target); // what root cannot be denied, a folder still cannot be read
        break;
    case Fault::fifo:
        ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
        fifos.push_back(target);
        break;
    }

    std::unique_ptr<PowerMonitor> monitor;
    {
        const FifoWatchdog watchdog(fifos);
        monitor = laptop.makeMonitor();
        for (int tick = 0; tick < 3; ++tick) {
            laptop.setCoreEnergy(500'000'000 + 4'000'000 * (tick + 1));
            ASSERT_TRUE(laptop.tick());
        }
        EXPECT_FALSE(watchdog.fired()) << "a read blocked on " << row.file;
    }
    row.expect(monitor->snapshot());
    EXPECT_TRUE(testing::allFinite(monitor->snapshot()));
    EXPECT_EQ(monitor->componentSnapshot().cpuWatts, 4.0);
    EXPECT_TRUE(laptop.isSampling());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BrokenAttributeTest,
    ::testing::Values(
        AttributeCase{"VoltageEmpty", "voltage_now", Fault::contents, "", voltageLost},
        AttributeCase{"VoltageGarbage", "voltage_now", Fault::contents, "11a423\n", voltageLost},
        AttributeCase{"VoltageBinary", "voltage_now", Fault::contents, std::string("\0\xff\x01", 3),
                      voltageLost},
        AttributeCase{"VoltageNan", "voltage_now", Fault::contents, "nan\n", voltageLost},
        AttributeCase{"VoltageBeyondDouble", "voltage_now", Fault::contents, "1e400\n", voltageLost},
        AttributeCase{"VoltageBeyondInt64", "voltage_now", Fault::contents, "99999999999999999999\n",
                      voltageLost},
        AttributeCase{"VoltageHugeFile", "voltage_now", Fault::contents, hugeFile(""), voltageLost},
        AttributeCase{"VoltageHugeFileWithAValidStart", "voltage_now", Fault::contents,
                      hugeFile("11423000\n"), voltageLost},
        AttributeCase{"VoltageDirectory", "voltage_now", Fault::directory, "", voltageLost},
        AttributeCase{"VoltageFifo", "voltage_now", Fault::fifo, "", voltageLost},
        AttributeCase{"PowerNan", "power_now", Fault::contents, "nan\n", powerLost},
        AttributeCase{"PowerNegativeInf", "power_now", Fault::contents, "-inf\n", powerLost},
        AttributeCase{"CapacityInf", "capacity", Fault::contents, "inf\n", capacityLost},
        AttributeCase{"TypeFifo", "type", Fault::fifo, "", typeLost},
        AttributeCase{"TypeHugeFile", "type", Fault::contents, hugeFile("Battery\n"), typeLost}),
    testing::ParamName());

} // namespace
} // namespace voltrane
