// The once-a-second path as the running program takes it, on a laptop-like fake sysfs tree made
// in a temporary folder: the power monitor's refresh (power-supply registry read, decode,
// smoothing, powercap component sample) followed by what the flow section does with the result
// (flow model, candidate stable layout, shouldAdopt, ordered rows, metrics). Beside it, in the
// same run, the floor: opening and reading the very files that path reads, into a stack buffer.
//
// A counting operator new makes the allocations of one tick visible, and BM_AllocationsPerTick
// checks that a tick allocates as much after 10 000 ticks as after 100 and that the live heap
// does not grow.
#include "flow/sankey_flow_model.h"
#include "flow/sankey_metrics.h"
#include "flow/sankey_stable_layout.h"
#include "monitor/power_monitor.h"
#include "support/counting_allocator.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/sysfs_battery_registry.h"
#include "telemetry/components/io_report_component_power_provider.h"
#include "telemetry/components/powercap_energy_report.h"

#include <array>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <malloc.h>
#include <new>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using namespace voltrane;
namespace fs = std::filesystem;

// ---- the fake tree -------------------------------------------------------------------------

void writeFile(const fs::path& path, std::string_view contents) {
    fs::create_directories(path.parent_path());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size())) {
        std::abort(); // a benchmark without its tree measures nothing
    }
    ::close(fd);
}

/// A laptop charging from a USB-C Power Delivery adapter: BAT0, an offline mains supply, the
/// UCSI port, and a package with core, uncore and dram zones. Files that neither path reads
/// are there too, as on a real machine.
class FakeSysfs {
public:
    FakeSysfs() {
        // sysfs lives in memory: on a disk filesystem the slower open and read would hide the
        // cost of our own code, so the tree goes to /dev/shm where there is one.
        std::error_code error;
        const fs::path base =
            fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "voltrane-tick-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        root_ = pattern;
        const fs::path supplies = powerSupply();
        for (const auto& [name, contents] :
             std::vector<std::pair<const char*, const char*>>{{"type", "Battery"},
                                                              {"present", "1"},
                                                              {"status", "Charging"},
                                                              {"technology", "Li-poly"},
                                                              {"cycle_count", "212"},
                                                              {"voltage_min_design", "11520000"},
                                                              {"voltage_now", "12650000"},
                                                              {"power_now", "18340000"},
                                                              {"energy_full_design", "57000000"},
                                                              {"energy_full", "52200000"},
                                                              {"energy_now", "38410000"},
                                                              {"capacity", "73"},
                                                              {"capacity_level", "Normal"},
                                                              {"model_name", "5B10W13930"},
                                                              {"manufacturer", "SMP"},
                                                              {"serial_number", " 1234"},
                                                              {"alarm", "0"}}) {
            writeFile(supplies / "BAT0" / name, std::string(contents) + "\n");
        }
        writeFile(supplies / "BAT0/uevent", "DEVTYPE=power_supply\nPOWER_SUPPLY_NAME=BAT0\n");
        writeFile(supplies / "AC/type", "Mains\n");
        writeFile(supplies / "AC/online", "0\n");
        writeFile(supplies / "AC/uevent", "DEVTYPE=power_supply\nPOWER_SUPPLY_NAME=AC\n");
        const fs::path port = supplies / "ucsi-source-psy-USBC000:001";
        for (const auto& [name, contents] :
             std::vector<std::pair<const char*, const char*>>{{"type", "USB"},
                                                              {"scope", "System"},
                                                              {"online", "1"},
                                                              {"usb_type", "C [PD] PD_PPS"},
                                                              {"voltage_min", "5000000"},
                                                              {"voltage_max", "20000000"},
                                                              {"voltage_now", "20000000"},
                                                              {"current_max", "3250000"},
                                                              {"current_now", "1600000"}}) {
            writeFile(port / name, std::string(contents) + "\n");
        }

        writeFile(powercap() / "intel-rapl/enabled", "1\n");
        const std::array<std::pair<const char*, const char*>, 4> zones{{{"intel-rapl:0", "package-0"},
                                                                        {"intel-rapl:0:0", "core"},
                                                                        {"intel-rapl:0:1", "uncore"},
                                                                        {"intel-rapl:0:2", "dram"}}};
        for (const auto& [folder, name] : zones) {
            writeFile(powercap() / folder / "name", std::string(name) + "\n");
            writeFile(powercap() / folder / "enabled", "1\n");
            writeFile(powercap() / folder / "max_energy_range_uj", "262143328850\n");
            writeFile(powercap() / folder / "constraint_0_name", "long_term\n");
            writeFile(powercap() / folder / "constraint_0_power_limit_uw", "28000000\n");
        }
        advanceCounters(0);
    }
    ~FakeSysfs() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    fs::path powerSupply() const { return root_ / "power_supply"; }
    fs::path powercap() const { return root_ / "powercap"; }

    /// What the kernel would show after `tick` seconds of a machine drawing a few watts that
    /// wander a little (a fixed pattern of 100 ticks).
    void advanceCounters(std::uint64_t tick) {
        static constexpr std::array<std::pair<const char*, std::uint64_t>, 4> kMicrowatts{
            {{"intel-rapl:0", 9'800'000},
             {"intel-rapl:0:0", 6'100'000},
             {"intel-rapl:0:1", 1'300'000},
             {"intel-rapl:0:2", 900'000}}};
        const std::uint64_t wobble = (tick * 7919) % 100; // 0…99 % of a watt
        for (std::size_t zone = 0; zone < kMicrowatts.size(); ++zone) {
            energy_[zone] += kMicrowatts[zone].second + wobble * 10'000 * (zone + 1);
            const std::string text = std::to_string(energy_[zone]) + "\n";
            writeFile(powercap() / kMicrowatts[zone].first / "energy_uj", text);
        }
    }

    /// Every file the once-a-second path opens and reads on this tree (and finds).
    std::vector<std::string> filesReadPerTick() const {
        std::vector<std::string> files;
        for (const char* name :
             {"AC/type", "AC/online", "BAT0/type", "BAT0/present", "BAT0/status", "BAT0/voltage_now",
              "BAT0/power_now", "BAT0/energy_now", "BAT0/energy_full", "BAT0/capacity", "BAT0/cycle_count",
              "ucsi-source-psy-USBC000:001/type", "ucsi-source-psy-USBC000:001/scope",
              "ucsi-source-psy-USBC000:001/online", "ucsi-source-psy-USBC000:001/usb_type",
              "ucsi-source-psy-USBC000:001/voltage_max", "ucsi-source-psy-USBC000:001/current_max"}) {
            files.push_back((powerSupply() / name).string());
        }
        for (const char* name :
             {"intel-rapl:0:0/energy_uj", "intel-rapl:0:1/energy_uj", "intel-rapl:0:2/energy_uj"}) {
            files.push_back((powercap() / name).string());
        }
        return files;
    }

private:
    fs::path root_;
    std::array<std::uint64_t, 4> energy_{1'000'000'000, 700'000'000, 100'000'000, 90'000'000};
};

// ---- the two paths -------------------------------------------------------------------------

class NoTimer final : public SamplingScheduler {
public:
    void scheduleAfter(std::chrono::milliseconds, std::function<void()>) override {}
};

/// The monitor on the fake tree, and the flow section's held layout. Time moves one second per
/// tick on the component sampler's uptime, as it does in the running program.
class OnceASecond {
public:
    explicit OnceASecond(const FakeSysfs& tree)
        : monitor_(std::make_unique<IOKitPowerMetricsProvider>(
                       std::make_unique<SysfsBatteryRegistry>(tree.powerSupply()),
                       [] { return std::chrono::system_clock::now(); }),
                   std::make_unique<IOReportComponentPowerProvider>(
                       std::make_unique<PowercapEnergyReport>(tree.powercap()),
                       [this] { return uptime_ += 1.0; }, [] { return std::chrono::system_clock::now(); }),
                   std::make_unique<NoTimer>(), [] { return std::chrono::system_clock::now(); }) {}

    /// One tick; returns the number of rows laid out, so nothing can be optimised away.
    std::size_t tick() {
        monitor_.refresh();
        const SankeyFlowModel model(monitor_.snapshot(), monitor_.componentSnapshot());
        const SankeyStableLayout candidate(model);
        if (held_.shouldAdopt(candidate)) {
            held_ = candidate;
        }
        const std::vector<SankeyDestination> rows = held_.ordered(model.destinations);
        const SankeyMetrics metrics(kCanvas, rows, held_.layoutWatts(rows), model.sourceWatts);
        benchmark::DoNotOptimize(metrics.rowCenters.data());
        return rows.size();
    }

private:
    static constexpr SankeyMetrics::Size kCanvas{540, 291};

    double uptime_ = 1000.0;
    PowerMonitor monitor_;
    SankeyStableLayout held_;
};

/// Opens, reads and closes each file: the least any reader of these files could do.
std::size_t readFloor(const std::vector<std::string>& files) {
    std::size_t total = 0;
    for (const std::string& file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::abort();
        }
        char buffer[256];
        const ssize_t length = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        total += length > 0 ? static_cast<std::size_t>(length) + static_cast<unsigned char>(buffer[0]) : 0;
    }
    return total;
}

using Clock = std::chrono::steady_clock;

// Both benchmarks time only the read (manual time): between iterations the fake kernel moves
// its energy counters on, as a second of running would, and that write is not ours to pay.
double gFloorNanoseconds = 0;

void BM_BareFileReadFloor(benchmark::State& state) {
    FakeSysfs tree;
    const std::vector<std::string> files = tree.filesReadPerTick();
    std::uint64_t tick = 0;
    double total = 0;
    for (auto _ : state) {
        tree.advanceCounters(++tick);
        const auto start = Clock::now();
        benchmark::DoNotOptimize(readFloor(files));
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        total += elapsed.count();
    }
    gFloorNanoseconds = total * 1e9 / static_cast<double>(state.iterations());
    state.counters["files"] = static_cast<double>(files.size());
}
BENCHMARK(BM_BareFileReadFloor)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_OnceASecondTick(benchmark::State& state) {
    FakeSysfs tree;
    OnceASecond path(tree);
    std::uint64_t tick = 0;
    double total = 0;
    std::uint64_t allocations = 0;
    std::size_t rows = 0;
    for (auto _ : state) {
        tree.advanceCounters(++tick);
        const std::uint64_t allocationsBefore = testing::allocationCount();
        const auto start = Clock::now();
        rows = path.tick();
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        allocations += testing::allocationCount() - allocationsBefore;
        state.SetIterationTime(elapsed.count());
        total += elapsed.count();
    }
    const double nanoseconds = total * 1e9 / static_cast<double>(state.iterations());
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["allocs_per_tick"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    if (gFloorNanoseconds > 0) {
        state.counters["floor_us"] = gFloorNanoseconds / 1e3;
        state.counters["x_floor"] = nanoseconds / gFloorNanoseconds;
    }
}
BENCHMARK(BM_OnceASecondTick)->UseManualTime()->Unit(benchmark::kMicrosecond);

/// Ticks the path on to tick `until`; returns the allocations per tick over the last 100 ticks
/// (one full pattern of the counters) and the live heap bytes after them.
struct AllocationProbe {
    double allocationsPerTick = 0;
    std::int64_t liveBytes = 0;
};

AllocationProbe probeAfter(FakeSysfs& tree, OnceASecond& path, std::uint64_t& tick, std::uint64_t until) {
    std::uint64_t allocations = 0;
    while (tick < until) {
        tree.advanceCounters(++tick);
        const std::uint64_t before = testing::allocationCount();
        path.tick();
        if (until - tick < 100) {
            allocations += testing::allocationCount() - before;
        }
    }
    return {static_cast<double>(allocations) / 100.0, testing::liveHeapBytes()};
}

void BM_AllocationsPerTick(benchmark::State& state) {
    for (auto _ : state) {
        FakeSysfs tree;
        OnceASecond path(tree);
        std::uint64_t tick = 0;
        // The first ticks differ (no delta yet, the first layout adopted): measured from 100 on.
        const AllocationProbe early = probeAfter(tree, path, tick, 200);
        const AllocationProbe late = probeAfter(tree, path, tick, 10'000);
        state.counters["allocs_per_tick@200"] = early.allocationsPerTick;
        state.counters["allocs_per_tick@10000"] = late.allocationsPerTick;
        state.counters["live_bytes_growth"] = static_cast<double>(late.liveBytes - early.liveBytes);
        if (late.allocationsPerTick != early.allocationsPerTick || late.liveBytes != early.liveBytes) {
            state.SkipWithError("a tick allocates more, or keeps more, after 10 000 ticks than after 100");
        }
    }
}
BENCHMARK(BM_AllocationsPerTick)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
