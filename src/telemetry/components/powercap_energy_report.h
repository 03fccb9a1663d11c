#pragma once

#include "telemetry/components/energy_report_library.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace voltrane {

/// The energy-reporting library over the kernel's powercap counters (intel-rapl zones, also used
/// for AMD processors). Offers one group, "Energy Model", with unit "uJ": per package its "core"
/// zone (the package itself when it has none) as "CPU Energy", "uncore" as "GPU Energy" and
/// "dram" as "DRAM". Zones are found once, when the library is opened; a sample then reads one
/// small file per channel. Deltas follow a counter across its wrap at max_energy_range_uj.
///
/// Opening fails when no such zone exists or none of their energy_uj can be read (the kernel
/// restricts it to root unless the system grants read access).
class PowercapEnergyReport final : public EnergyReportLibrary {
public:
    explicit PowercapEnergyReport(std::filesystem::path root = "/sys/class/powercap");
    ~PowercapEnergyReport() override;

    PowercapEnergyReport(const PowercapEnergyReport&) = delete;
    PowercapEnergyReport& operator=(const PowercapEnergyReport&) = delete;

    bool open() override;
    bool resolve(EnergyReportSymbol symbol) override;
    void close() override;

    Object copyChannelsInGroup(std::string_view group, std::optional<std::string_view> subgroup) override;
    void mergeChannels(Object target, Object source) override;
    Object createSubscription(Object desiredChannels, Object* subscribedChannels) override;
    Object createSamples(Object subscription, Object subscribedChannels) override;
    Object createSamplesDelta(Object earlier, Object later) override;
    std::int64_t simpleGetIntegerValue(Object channel) override;
    Object channelGetName(Object channel) override;
    Object channelGetGroup(Object channel) override;
    Object channelGetSubgroup(Object channel) override;
    Object channelGetUnitLabel(Object channel) override;

    Object valueForKey(Object dictionary, std::string_view key) override;
    std::size_t arrayCount(Object array) override;
    Object arrayElement(Object array, std::size_t index) override;
    Object mutableCopy(Object dictionary) override;
    std::string text(Object string) override;
    void release(Object object) override;

    struct Channel;

private:
    std::filesystem::path root_;
    // Fixed between open() and close(): borrowed strings and deltas point into it.
    std::vector<std::unique_ptr<Channel>> channels_;
};

} // namespace voltrane
