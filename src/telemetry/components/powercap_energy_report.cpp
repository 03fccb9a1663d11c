#include "telemetry/components/powercap_energy_report.h"

#include "common/sysfs_attribute.h"

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <utility>

namespace voltrane {
namespace {

constexpr std::string_view kGroup = energy_channels::kEnergyModelGroup;
constexpr std::string_view kUnit = "uJ";
using energy_channels::kChannelsKey;

// Each object handed out is one of these; the handle is the Node's address.
struct Node {
    enum class Kind { channelSet, subscription, sample, delta, array, deltaChannel, string };
    explicit Node(Kind k) : kind(k) {}
    virtual ~Node() = default;
    Node(const Node&) = default;
    Node& operator=(const Node&) = default;
    Kind kind;
};

struct StringNode final : Node {
    explicit StringNode(std::string_view value) : Node(Kind::string), text(value) {}
    std::string text;
};

/// A channel dictionary: indexes into the library's channel table. Also the subscription's list.
struct ChannelSetNode final : Node {
    explicit ChannelSetNode(Kind k = Kind::channelSet) : Node(k) {}
    std::vector<std::size_t> channels;
};

struct SampleNode final : Node {
    SampleNode() : Node(Kind::sample) {}
    struct Reading {
        std::size_t channel;
        std::int64_t energy;
    };
    std::vector<Reading> readings;
};

struct DeltaChannelNode final : Node {
    DeltaChannelNode(PowercapEnergyReport::Channel* c, std::int64_t v)
        : Node(Kind::deltaChannel), channel(c), value(v) {}
    PowercapEnergyReport::Channel* channel;
    std::int64_t value;
};

struct ArrayNode final : Node {
    ArrayNode() : Node(Kind::array) {}
    std::vector<DeltaChannelNode> elements;
};

struct DeltaNode final : Node {
    DeltaNode() : Node(Kind::delta) {}
    ArrayNode channels;
};

EnergyReportLibrary::Object handle(Node* node) {
    return reinterpret_cast<EnergyReportLibrary::Object>(node);
}

Node* node(EnergyReportLibrary::Object object) {
    return reinterpret_cast<Node*>(object);
}

template <typename T> T* as(EnergyReportLibrary::Object object, Node::Kind kind) {
    Node* found = node(object);
    return found != nullptr && found->kind == kind ? static_cast<T*>(found) : nullptr;
}

/// Hands an owned node to the caller; release() takes it back.
template <typename T> EnergyReportLibrary::Object giveAway(std::unique_ptr<T> owned) {
    return handle(owned.release());
}

bool contains(const std::vector<std::size_t>& list, std::size_t value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

/// A non-negative energy counter ("123456\n"); no allocation, so sampling stays allocation-free.
std::optional<std::int64_t> readCounter(const char* path) {
    const auto value = sysfs::readInteger(AT_FDCWD, path);
    return value && *value >= 0 ? value : std::nullopt;
}

/// A zone folder name: "intel-rapl:0" or "intel-rapl:0:1" (and the same with "intel-rapl-mmio").
struct ZoneName {
    bool mmio = false;
    std::vector<int> path; // zone numbers from the top
};

std::optional<ZoneName> parseZoneName(std::string_view folder) {
    ZoneName zone;
    if (folder.starts_with("intel-rapl-mmio:")) {
        zone.mmio = true;
        folder.remove_prefix(std::string_view("intel-rapl-mmio:").size());
    } else if (folder.starts_with("intel-rapl:")) {
        folder.remove_prefix(std::string_view("intel-rapl:").size());
    } else {
        return std::nullopt;
    }
    while (true) {
        int number = 0;
        const auto [stop, error] = std::from_chars(folder.data(), folder.data() + folder.size(), number);
        if (error != std::errc() || stop == folder.data()) {
            return std::nullopt;
        }
        zone.path.push_back(number);
        folder.remove_prefix(static_cast<std::size_t>(stop - folder.data()));
        if (folder.empty()) {
            return zone;
        }
        if (folder.front() != ':') {
            return std::nullopt;
        }
        folder.remove_prefix(1);
    }
}

struct Zone {
    ZoneName name;
    std::string domain; // contents of its "name" file: package-0, core, uncore, dram, psys
    std::filesystem::path folder;
};

} // namespace

struct PowercapEnergyReport::Channel {
    Channel(std::string_view channelName, const std::filesystem::path& folder, std::int64_t range)
        : energyPath((folder / "energy_uj").string()), maxEnergyRange(range), name(channelName),
          group(kGroup), subgroup(""), unit(kUnit) {}

    std::string energyPath;
    std::int64_t maxEnergyRange; // the counter runs from 0 to this and wraps; 0 when unknown
    StringNode name;
    StringNode group;
    StringNode subgroup;
    StringNode unit;
};

PowercapEnergyReport::PowercapEnergyReport(std::filesystem::path root) : root_(std::move(root)) {}

PowercapEnergyReport::~PowercapEnergyReport() = default;

bool PowercapEnergyReport::open() {
    channels_.clear();
    std::error_code error;
    std::filesystem::directory_iterator entries(root_, error);
    if (error) {
        return false;
    }
    std::vector<Zone> zones;
    for (const auto& entry : entries) {
        const std::string folder = entry.path().filename().string();
        if (auto zoneName = parseZoneName(folder)) {
            if (auto domain = sysfs::readText(AT_FDCWD, (entry.path() / "name").c_str())) {
                zones.push_back(Zone{std::move(*zoneName), std::move(*domain), entry.path()});
            }
        }
    }
    // The class folder lists zones in no particular order; the channel order should not vary.
    std::sort(zones.begin(), zones.end(), [](const Zone& a, const Zone& b) {
        return std::pair(a.name.mmio, a.name.path) < std::pair(b.name.mmio, b.name.path);
    });

    // The MMIO interface reports the same package counters again; use it only for packages that
    // the MSR interface does not report, so that no energy is counted twice.
    std::set<std::string> msrPackages;
    for (const Zone& zone : zones) {
        if (!zone.name.mmio && zone.name.path.size() == 1) {
            msrPackages.insert(zone.domain);
        }
    }
    std::map<std::pair<bool, int>, const Zone*> packages;
    for (const Zone& zone : zones) {
        if (zone.name.path.size() == 1 && zone.domain.starts_with("package-") &&
            !(zone.name.mmio && msrPackages.contains(zone.domain))) {
            packages[{zone.name.mmio, zone.name.path.front()}] = &zone;
        }
    }

    struct Pick {
        std::string_view channel;
        const Zone* zone;
    };
    std::vector<Pick> picks;
    for (const auto& [key, package] : packages) {
        const Zone* cpu = package;
        for (const Zone& zone : zones) {
            const bool child = zone.name.mmio == key.first && zone.name.path.size() == 2 &&
                               zone.name.path.front() == key.second;
            if (!child) {
                continue;
            }
            if (zone.domain == "core") {
                cpu = &zone;
            } else if (zone.domain == "uncore") {
                picks.push_back({energy_channels::kGpu, &zone});
            } else if (zone.domain == "dram") {
                picks.push_back({energy_channels::kDram, &zone});
            }
        }
        picks.push_back({energy_channels::kCpu, cpu});
    }
    // Some servers report memory as a zone of its own rather than inside a package.
    for (const Zone& zone : zones) {
        if (zone.name.path.size() == 1 && zone.domain == "dram" && !zone.name.mmio) {
            picks.push_back({energy_channels::kDram, &zone});
        }
    }

    for (const Pick& pick : picks) {
        const std::filesystem::path energy = pick.zone->folder / "energy_uj";
        if (!readCounter(energy.c_str())) {
            continue; // unreadable for this user (or broken): not a channel
        }
        const std::filesystem::path rangePath = pick.zone->folder / "max_energy_range_uj";
        const std::int64_t range = sysfs::readInteger(AT_FDCWD, rangePath.c_str()).value_or(0);
        channels_.push_back(
            std::make_unique<Channel>(pick.channel, pick.zone->folder, std::max<std::int64_t>(range, 0)));
    }
    return !channels_.empty();
}

bool PowercapEnergyReport::resolve(EnergyReportSymbol) {
    return true;
}

void PowercapEnergyReport::close() {
    channels_.clear();
}

EnergyReportLibrary::Object
PowercapEnergyReport::copyChannelsInGroup(std::string_view group, std::optional<std::string_view> subgroup) {
    // Every channel here is in one group with an empty subgroup.
    if (group != kGroup || (subgroup && !subgroup->empty()) || channels_.empty()) {
        return nullptr;
    }
    auto set = std::make_unique<ChannelSetNode>();
    for (std::size_t index = 0; index < channels_.size(); ++index) {
        set->channels.push_back(index);
    }
    return giveAway(std::move(set));
}

void PowercapEnergyReport::mergeChannels(Object target, Object source) {
    auto* into = as<ChannelSetNode>(target, Node::Kind::channelSet);
    const auto* from = as<ChannelSetNode>(source, Node::Kind::channelSet);
    if (into == nullptr || from == nullptr) {
        return;
    }
    for (const std::size_t channel : from->channels) {
        if (!contains(into->channels, channel)) {
            into->channels.push_back(channel);
        }
    }
}

EnergyReportLibrary::Object PowercapEnergyReport::createSubscription(Object desiredChannels,
                                                                     Object* subscribedChannels) {
    const auto* desired = as<ChannelSetNode>(desiredChannels, Node::Kind::channelSet);
    if (desired == nullptr || desired->channels.empty()) {
        return nullptr;
    }
    auto subscription = std::make_unique<ChannelSetNode>(Node::Kind::subscription);
    subscription->channels = desired->channels;
    if (subscribedChannels != nullptr) {
        auto subscribed = std::make_unique<ChannelSetNode>();
        subscribed->channels = desired->channels;
        *subscribedChannels = giveAway(std::move(subscribed));
    }
    return giveAway(std::move(subscription));
}

EnergyReportLibrary::Object PowercapEnergyReport::createSamples(Object subscription,
                                                                Object subscribedChannels) {
    const auto* subscribed = as<ChannelSetNode>(subscription, Node::Kind::subscription);
    const auto* wanted = as<ChannelSetNode>(subscribedChannels, Node::Kind::channelSet);
    if (subscribed == nullptr || wanted == nullptr) {
        return nullptr;
    }
    auto sample = std::make_unique<SampleNode>();
    sample->readings.reserve(wanted->channels.size());
    for (const std::size_t channel : wanted->channels) {
        if (channel >= channels_.size() || !contains(subscribed->channels, channel)) {
            continue;
        }
        // A counter that cannot be read this time leaves its channel out of this sample only.
        if (const auto energy = readCounter(channels_[channel]->energyPath.c_str())) {
            sample->readings.push_back({channel, *energy});
        }
    }
    if (sample->readings.empty()) {
        return nullptr;
    }
    return giveAway(std::move(sample));
}

EnergyReportLibrary::Object PowercapEnergyReport::createSamplesDelta(Object earlier, Object later) {
    const auto* from = as<SampleNode>(earlier, Node::Kind::sample);
    const auto* to = as<SampleNode>(later, Node::Kind::sample);
    if (from == nullptr || to == nullptr) {
        return nullptr;
    }
    auto delta = std::make_unique<DeltaNode>();
    delta->channels.elements.reserve(to->readings.size());
    for (const SampleNode::Reading& reading : to->readings) {
        const auto before =
            std::find_if(from->readings.begin(), from->readings.end(),
                         [&](const SampleNode::Reading& r) { return r.channel == reading.channel; });
        if (before == from->readings.end()) {
            continue;
        }
        Channel& channel = *channels_[reading.channel];
        std::int64_t value = reading.energy - before->energy;
        if (value < 0 && channel.maxEnergyRange > 0 && before->energy <= channel.maxEnergyRange &&
            reading.energy <= channel.maxEnergyRange) {
            // The counter passed its maximum and started again from 0, or it was reset (a
            // resume, a reloaded driver). A wrap moves it on by less than half its range within
            // one interval; a larger "wrap" would be hundreds of kilojoules in a second, so the
            // step is taken as a reset and stays negative (no power for that interval).
            const std::int64_t wrapped = (channel.maxEnergyRange - before->energy) + reading.energy;
            if (wrapped < channel.maxEnergyRange / 2) {
                value = wrapped;
            }
        }
        delta->channels.elements.emplace_back(&channel, value);
    }
    return giveAway(std::move(delta));
}

std::int64_t PowercapEnergyReport::simpleGetIntegerValue(Object channel) {
    const auto* found = as<DeltaChannelNode>(channel, Node::Kind::deltaChannel);
    return found == nullptr ? 0 : found->value;
}

namespace {

template <typename Field>
EnergyReportLibrary::Object channelString(EnergyReportLibrary::Object channel, Field field) {
    const auto* found = as<DeltaChannelNode>(channel, Node::Kind::deltaChannel);
    if (found == nullptr) {
        return nullptr;
    }
    return handle(&(found->channel->*field)); // borrowed from the channel table
}

} // namespace

EnergyReportLibrary::Object PowercapEnergyReport::channelGetName(Object channel) {
    return channelString(channel, &Channel::name);
}

EnergyReportLibrary::Object PowercapEnergyReport::channelGetGroup(Object channel) {
    return channelString(channel, &Channel::group);
}

EnergyReportLibrary::Object PowercapEnergyReport::channelGetSubgroup(Object channel) {
    return channelString(channel, &Channel::subgroup);
}

EnergyReportLibrary::Object PowercapEnergyReport::channelGetUnitLabel(Object channel) {
    return channelString(channel, &Channel::unit);
}

EnergyReportLibrary::Object PowercapEnergyReport::valueForKey(Object dictionary, std::string_view key) {
    auto* delta = as<DeltaNode>(dictionary, Node::Kind::delta);
    return delta != nullptr && key == kChannelsKey ? handle(&delta->channels) : nullptr;
}

std::size_t PowercapEnergyReport::arrayCount(Object array) {
    const auto* found = as<ArrayNode>(array, Node::Kind::array);
    return found == nullptr ? 0 : found->elements.size();
}

EnergyReportLibrary::Object PowercapEnergyReport::arrayElement(Object array, std::size_t index) {
    auto* found = as<ArrayNode>(array, Node::Kind::array);
    return found == nullptr || index >= found->elements.size() ? nullptr : handle(&found->elements[index]);
}

EnergyReportLibrary::Object PowercapEnergyReport::mutableCopy(Object dictionary) {
    const auto* set = as<ChannelSetNode>(dictionary, Node::Kind::channelSet);
    return set == nullptr ? nullptr : giveAway(std::make_unique<ChannelSetNode>(*set));
}

std::string PowercapEnergyReport::text(Object string) {
    const auto* found = as<StringNode>(string, Node::Kind::string);
    return found == nullptr ? std::string() : found->text;
}

void PowercapEnergyReport::release(Object object) {
    Node* found = node(object);
    if (found == nullptr) {
        return;
    }
    switch (found->kind) {
    case Node::Kind::channelSet:
    case Node::Kind::subscription:
    case Node::Kind::sample:
    case Node::Kind::delta:
        std::unique_ptr<Node>{found}.reset(); // taken back from giveAway()
        return;
    case Node::Kind::array:
    case Node::Kind::deltaChannel:
    case Node::Kind::string:
        return; // borrowed from their owner, never released on their own
    }
}

} // namespace voltrane
