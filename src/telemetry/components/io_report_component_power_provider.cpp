#include "telemetry/components/io_report_component_power_provider.h"

#include "common/power_thresholds.h"

#include <algorithm>
#include <string>
#include <utility>

namespace voltrane {
namespace {

using energy_channels::kEnergyModelGroup;
constexpr std::string_view kDisplayGroup = "DCP";
constexpr std::string_view kDisplaySubgroup = "display stats";
constexpr std::string_view kDisplayChannel = "power";
using energy_channels::kChannelsKey;

/// Length in bytes of the white space or line break that starts `text` (UTF-8), or 0: ASCII
/// tab to carriage return, U+0085, and the separators U+0020, U+00A0, U+1680, U+2000–U+200A,
/// U+2028, U+2029, U+202F, U+205F, U+3000.
std::size_t leadingBlank(std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(0);
    if (first == 0x20 || (first >= 0x09 && first <= 0x0D)) {
        return 1;
    }
    if (first == 0xC2 && text.size() >= 2 && (byte(1) == 0x85 || byte(1) == 0xA0)) {
        return 2;
    }
    if (text.size() < 3) {
        return 0;
    }
    const unsigned second = byte(1);
    const unsigned third = byte(2);
    if (first == 0xE1 && second == 0x9A && third == 0x80) {
        return 3; // U+1680
    }
    if (first == 0xE2 && second == 0x80 &&
        (third <= 0x8A || third == 0xA8 || third == 0xA9 || third == 0xAF)) {
        return 3; // U+2000–U+200A, U+2028, U+2029, U+202F
    }
    if (first == 0xE2 && second == 0x81 && third == 0x9F) {
        return 3; // U+205F
    }
    if (first == 0xE3 && second == 0x80 && third == 0x80) {
        return 3; // U+3000
    }
    return 0;
}

/// Length in bytes of the white space or line break that ends `text`, or 0.
std::size_t trailingBlank(std::string_view text) {
    for (std::size_t length = 1; length <= 3 && length <= text.size(); ++length) {
        const std::string_view tail = text.substr(text.size() - length);
        if (leadingBlank(tail) == length) {
            return length;
        }
    }
    return 0;
}

std::string_view trimmed(std::string_view text) {
    while (const std::size_t n = leadingBlank(text)) {
        text.remove_prefix(n);
    }
    while (const std::size_t n = trailingBlank(text)) {
        text.remove_suffix(n);
    }
    return text;
}

bool isNumberedGpu(std::string_view name) {
    constexpr std::string_view prefix = "GPU";
    if (!name.starts_with(prefix) || name.size() == prefix.size()) {
        return false;
    }
    const std::string_view rest = name.substr(prefix.size());
    return std::all_of(rest.begin(), rest.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void add(std::optional<double>& sum, double value) {
    sum = sum.value_or(0.0) + value;
}

} // namespace

IOReportComponentPowerProvider::Owned&
IOReportComponentPowerProvider::Owned::operator=(Owned&& other) noexcept {
    if (this != &other) {
        reset();
        library_ = other.library_;
        object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
}

void IOReportComponentPowerProvider::Owned::reset() {
    if (object_ != nullptr) {
        library_->release(std::exchange(object_, nullptr));
    }
}

IOReportComponentPowerProvider::IOReportComponentPowerProvider(std::unique_ptr<EnergyReportLibrary> library,
                                                               Uptime uptime, Clock clock)
    : library_(std::move(library)), uptime_(std::move(uptime)), clock_(std::move(clock)) {
    if (!library_ || !library_->open()) {
        return;
    }
    if (!loadAPI(*library_)) {
        // A library without every function is of no use; keep no handle to it.
        library_->close();
        return;
    }
    libraryHandle_ = true;
    api_ = library_.get();
    subscribe();
}

IOReportComponentPowerProvider::~IOReportComponentPowerProvider() {
    previousSample_.reset();
    subscribedChannels_.reset();
    subscription_.reset();
    if (libraryHandle_) {
        library_->close();
    }
}

bool IOReportComponentPowerProvider::loadAPI(EnergyReportLibrary& library) {
    return std::all_of(kEnergyReportSymbols.begin(), kEnergyReportSymbols.end(),
                       [&](EnergyReportSymbol symbol) { return library.resolve(symbol); });
}

void IOReportComponentPowerProvider::subscribe() {
    EnergyReportLibrary& api = *api_;
    Owned energyModel(&api, api.copyChannelsInGroup(kEnergyModelGroup, std::nullopt));
    if (!energyModel) {
        return;
    }
    Owned desired(&api, api.mutableCopy(energyModel.get()));
    if (!desired) {
        return;
    }
    if (Owned display(&api, api.copyChannelsInGroup(kDisplayGroup, kDisplaySubgroup)); display) {
        api.mergeChannels(desired.get(), display.get());
    }
    EnergyReportLibrary::Object subscribed = nullptr;
    Owned subscription(&api, api.createSubscription(desired.get(), &subscribed));
    Owned subscribedChannels(&api, subscribed);
    if (!subscription) {
        // A backend that fills the out-parameter while failing still hands it over.
        return;
    }
    subscription_ = std::move(subscription);
    subscribedChannels_ = subscribedChannels ? std::move(subscribedChannels) : std::move(desired);
}

ComponentPowerSnapshot IOReportComponentPowerProvider::readSnapshot() {
    const Date now = clock_();
    if (api_ == nullptr || !subscription_ || !subscribedChannels_) {
        return ComponentPowerSnapshot::unavailable(now);
    }
    Owned sample(api_, api_->createSamples(subscription_.get(), subscribedChannels_.get()));
    if (!sample) {
        return ComponentPowerSnapshot::unavailable(now);
    }
    const double uptime = uptime_();

    ComponentPowerSnapshot result = ComponentPowerSnapshot::waiting(now);
    if (previousSample_ && previousUptime_) {
        const double interval = uptime - *previousUptime_;
        if (interval > minimumInterval) {
            Owned delta(api_, api_->createSamplesDelta(previousSample_.get(), sample.get()));
            if (delta) {
                result = snapshot(delta.get(), interval, now, *api_);
            }
        }
    }
    previousSample_ = std::move(sample);
    previousUptime_ = uptime;
    return result;
}

ComponentPowerSnapshot IOReportComponentPowerProvider::snapshot(EnergyReportLibrary::Object delta,
                                                                double interval, Date sampledAt,
                                                                EnergyReportLibrary& api) {
    ComponentPowerSnapshot result = ComponentPowerSnapshot::waiting(sampledAt);
    result.sampleInterval = interval;

    const EnergyReportLibrary::Object channels = api.valueForKey(delta, kChannelsKey);
    const std::size_t count = channels == nullptr ? 0 : api.arrayCount(channels);

    std::optional<double> cpu;
    std::optional<double> gpuEnergy;
    std::optional<double> numberedGpu;
    std::optional<double> ane;
    std::optional<double> dram;
    std::optional<double> display;
    for (std::size_t index = 0; index < count; ++index) {
        const EnergyReportLibrary::Object channel = api.arrayElement(channels, index);
        if (channel == nullptr) {
            continue;
        }
        const std::string name = api.text(api.channelGetName(channel));
        const std::string group = api.text(api.channelGetGroup(channel));
        const std::string subgroup = api.text(api.channelGetSubgroup(channel));
        const std::string unit = api.text(api.channelGetUnitLabel(channel));
        const std::int64_t value = api.simpleGetIntegerValue(channel);

        if (group == kDisplayGroup && subgroup == kDisplaySubgroup && name == kDisplayChannel) {
            // The display counts microjoules whatever its label says. An interval not above 0
            // gives no figure, as for every other channel.
            const double watts =
                interval > 0 ? std::max(0.0, static_cast<double>(value) / 1e6 / interval) : 0.0;
            display = watts > kRealReadingWatts ? std::optional<double>(watts) : std::nullopt;
            continue;
        }
        if (group != kEnergyModelGroup) {
            continue;
        }
        const std::optional<double> converted = watts(value, unit, interval);
        if (!converted) {
            continue;
        }
        const std::string_view channelName = name;
        if (channelName.ends_with(energy_channels::kCpu)) {
            add(cpu, *converted);
        } else if (channelName == energy_channels::kGpu) {
            add(gpuEnergy, *converted);
        } else if (isNumberedGpu(channelName)) {
            add(numberedGpu, *converted);
        } else if (channelName.starts_with("ANE")) {
            add(ane, *converted);
        } else if (channelName.starts_with(energy_channels::kDram)) {
            add(dram, *converted);
        }
    }

    result.cpuWatts = cpu;
    // "GPU Energy" already covers the numbered GPUs where both exist; adding them would count twice.
    result.gpuWatts = gpuEnergy ? gpuEnergy : numberedGpu;
    result.aneWatts = ane;
    result.dramWatts = dram;
    result.displayWatts = display;
    return result;
}

std::optional<double> IOReportComponentPowerProvider::watts(std::int64_t energy, std::string_view unit,
                                                            double interval) {
    if (!(interval > 0)) {
        return std::nullopt;
    }
    const std::string_view label = trimmed(unit);
    double divisor = 0;
    if (label == "mJ") {
        divisor = 1e3;
    } else if (label == "uJ" || label == "\u00B5J") {
        divisor = 1e6;
    } else if (label == "nJ") {
        divisor = 1e9;
    } else {
        return std::nullopt;
    }
    // A counter that went backwards reads as no power rather than negative power.
    return std::max(0.0, static_cast<double>(energy) / divisor / interval);
}

} // namespace voltrane
