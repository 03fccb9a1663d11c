#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace voltrane {

/// Names both sides of the energy-report seam agree on: the group and channels the sampler
/// subscribes to and reads, and the key of a subscription's channel list.
namespace energy_channels {
inline constexpr std::string_view kEnergyModelGroup = "Energy Model";
inline constexpr std::string_view kChannelsKey = "IOReportChannels";
inline constexpr std::string_view kCpu = "CPU Energy";
inline constexpr std::string_view kGpu = "GPU Energy";
inline constexpr std::string_view kDram = "DRAM";
} // namespace energy_channels

/// An object of an energy-reporting library: a channel dictionary, a subscription, a sample, a
/// delta, an array or a string. Never dereferenced outside the backend that made it; null means
/// "none".
struct EnergyReportObject;

/// The ten functions the sampler resolves by name, in the order it resolves them.
enum class EnergyReportSymbol {
    copyChannelsInGroup,
    mergeChannels,
    createSubscription,
    createSamples,
    createSamplesDelta,
    simpleGetIntegerValue,
    channelGetName,
    channelGetGroup,
    channelGetSubgroup,
    channelGetUnitLabel,
};

inline constexpr std::array<EnergyReportSymbol, 10> kEnergyReportSymbols{
    EnergyReportSymbol::copyChannelsInGroup, EnergyReportSymbol::mergeChannels,
    EnergyReportSymbol::createSubscription,  EnergyReportSymbol::createSamples,
    EnergyReportSymbol::createSamplesDelta,  EnergyReportSymbol::simpleGetIntegerValue,
    EnergyReportSymbol::channelGetName,      EnergyReportSymbol::channelGetGroup,
    EnergyReportSymbol::channelGetSubgroup,  EnergyReportSymbol::channelGetUnitLabel,
};

/// The library's exported name of each function ("IOReportCopyChannelsInGroup", ...).
std::string_view symbolName(EnergyReportSymbol symbol);

/// A loadable energy-reporting library: the load step, its ten functions and the few dictionary,
/// array and string look-ups the sampler needs. The sampler runs its whole sequence against this
/// seam, so a backend (sysfs counters, a dynamically loaded system library, a test fake) can be
/// written without touching it.
///
/// Ownership follows the create/copy rule: a result of copyChannelsInGroup, createSubscription
/// (and its out-parameter), createSamples, createSamplesDelta and mutableCopy belongs to the
/// caller, who gives it back with release() exactly once. Everything else (strings of the channel
/// getters, valueForKey, arrayElement) is borrowed from its parent and never released.
class EnergyReportLibrary {
public:
    using Object = EnergyReportObject*;

    virtual ~EnergyReportLibrary() = default;

    // The load step. open() first; resolve() only after a successful open(), once per symbol;
    // close() once after a successful open(), after every owned object has been released.
    /// False when the library is not there. (A backend over a shared library opens it with
    /// immediate binding and local visibility, so a missing function shows here, not mid-sample.)
    virtual bool open() = 0;
    /// False when the library lacks the function; no function is called unless resolved.
    virtual bool resolve(EnergyReportSymbol symbol) = 0;
    virtual void close() = 0;

    // The ten functions.
    /// A new dictionary of the group's channels (of one subgroup when given), or null.
    virtual Object copyChannelsInGroup(std::string_view group, std::optional<std::string_view> subgroup) = 0;
    /// Adds the channels of `source` to the mutable dictionary `target`.
    virtual void mergeChannels(Object target, Object source) = 0;
    /// A new subscription for `desiredChannels` (a mutable dictionary), or null. May store an owned
    /// dictionary of the channels actually subscribed in `subscribedChannels` (left null otherwise).
    virtual Object createSubscription(Object desiredChannels, Object* subscribedChannels) = 0;
    /// A new sample of the subscribed channels, or null.
    virtual Object createSamples(Object subscription, Object subscribedChannels) = 0;
    /// A new delta from `earlier` to `later` (its "IOReportChannels" is an array of channels), or null.
    virtual Object createSamplesDelta(Object earlier, Object later) = 0;
    /// The count the channel accumulated over a delta.
    virtual std::int64_t simpleGetIntegerValue(Object channel) = 0;
    virtual Object channelGetName(Object channel) = 0;
    virtual Object channelGetGroup(Object channel) = 0;
    virtual Object channelGetSubgroup(Object channel) = 0;
    virtual Object channelGetUnitLabel(Object channel) = 0;

    // Look-ups, available whenever the library is open.
    /// The dictionary's value for `key` (borrowed), or null when missing.
    virtual Object valueForKey(Object dictionary, std::string_view key) = 0;
    /// Element count of an array; 0 for null or for an object that is not an array.
    virtual std::size_t arrayCount(Object array) = 0;
    /// Element `index` of an array (borrowed), or null out of range.
    virtual Object arrayElement(Object array, std::size_t index) = 0;
    /// A new mutable copy of a dictionary, or null.
    virtual Object mutableCopy(Object dictionary) = 0;
    /// The UTF-8 text of a string object; empty for null.
    virtual std::string text(Object string) = 0;
    /// Gives back an owned object.
    virtual void release(Object object) = 0;
};

} // namespace voltrane
