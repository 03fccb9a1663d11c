#include "fake_energy_report.h"

#include <algorithm>

namespace voltrane::testing {
namespace {

EnergyReportLibrary::Object handle(FakeObject* object) {
    return reinterpret_cast<EnergyReportLibrary::Object>(object);
}

const char* kindName(FakeObject::Kind kind) {
    constexpr const char* names[] = {
        "channel dictionary", "subscription", "sample", "delta", "array", "channel", "string"};
    return names[static_cast<int>(kind)];
}

/// Builds a channel of a delta with its four strings, all borrowed from `array`.
FakeObject* makeDeltaChannel(FakeEnergyReportState& state, FakeObject* array, const FakeChannel& channel) {
    FakeObject* object =
        state.make(FakeObject::Kind::channel, "channel " + channel.name.value_or("(null)"), false, array);
    object->channel = channel;
    for (const auto* field : {&channel.name, &channel.group, &channel.subgroup, &channel.unit}) {
        FakeObject* string = nullptr;
        if (*field) {
            string = state.make(FakeObject::Kind::string, "string " + **field, false, object);
            string->text = **field;
        }
        object->strings.push_back(string);
    }
    array->elements.push_back(object);
    return object;
}

} // namespace

FakeObject* FakeEnergyReportState::make(FakeObject::Kind kind, std::string label, bool owned,
                                        FakeObject* parent) {
    auto object = std::make_unique<FakeObject>();
    object->kind = kind;
    object->label = std::move(label);
    object->owned = owned;
    object->parent = parent;
    objects.push_back(std::move(object));
    return objects.back().get();
}

std::vector<std::string> FakeEnergyReportState::leaks() const {
    std::vector<std::string> labels;
    for (const auto& object : objects) {
        if (object->owned && object->releases == 0) {
            labels.push_back(object->label);
        }
    }
    return labels;
}

bool FakeEnergyReportState::knows(const FakeObject* object) const {
    return std::any_of(objects.begin(), objects.end(),
                       [&](const auto& candidate) { return candidate.get() == object; });
}

int FakeEnergyReportState::ownedCount() const {
    return static_cast<int>(
        std::count_if(objects.begin(), objects.end(), [](const auto& o) { return o->owned; }));
}

int FakeEnergyReportState::outstandingCount() const {
    return static_cast<int>(leaks().size());
}

EnergyReportLibrary::Object FakeEnergyReportState::makeDelta(const std::vector<FakeChannel>& deltaChannels) {
    FakeObject* delta = make(FakeObject::Kind::delta, "test delta", true);
    delta->channelArray = make(FakeObject::Kind::array, "channels of test delta", false, delta);
    for (const FakeChannel& channel : deltaChannels) {
        makeDeltaChannel(*this, delta->channelArray, channel);
    }
    return handle(delta);
}

EnergyReportLibrary::Object FakeEnergyReportState::makeDeltaWithoutChannels() {
    return handle(make(FakeObject::Kind::delta, "test delta without channels", true));
}

FakeChannel* FakeEnergyReportState::channelNamed(const std::string& name) {
    const auto found = std::find_if(channels.begin(), channels.end(),
                                    [&](const FakeChannel& channel) { return channel.name == name; });
    return found == channels.end() ? nullptr : &*found;
}

bool FakeEnergyReport::open() {
    ++state_.opens;
    state_.calls.push_back("open");
    faultIf(open_, "opened twice");
    open_ = state_.libraryPresent;
    return open_;
}

bool FakeEnergyReport::resolve(EnergyReportSymbol symbol) {
    state_.calls.push_back("resolve " + std::string(symbolName(symbol)));
    faultIf(!open_, "resolved a symbol of a library that is not open");
    state_.resolved.push_back(symbol);
    return !state_.missingSymbols.contains(symbol);
}

void FakeEnergyReport::close() {
    ++state_.closes;
    state_.calls.push_back("close");
    faultIf(!open_, "closed a library that is not open");
    const int outstanding = state_.outstandingCount();
    faultIf(outstanding > 0, "closed with " + std::to_string(outstanding) + " objects outstanding");
    open_ = false;
}

void FakeEnergyReport::call(EnergyReportSymbol symbol) {
    const std::string name(symbolName(symbol));
    state_.calls.push_back(name);
    faultIf(!open_, "called " + name + " on a closed library");
    const bool resolved =
        std::find(state_.resolved.begin(), state_.resolved.end(), symbol) != state_.resolved.end();
    faultIf(!resolved || state_.missingSymbols.contains(symbol), "called " + name + " without resolving it");
}

void FakeEnergyReport::lookUp(const char* what) {
    faultIf(!open_, std::string(what) + " on a closed library");
}

FakeObject* FakeEnergyReport::use(Object object, FakeObject::Kind kind, const char* what) {
    auto* fake = reinterpret_cast<FakeObject*>(object);
    if (fake == nullptr) {
        state_.faults.push_back(std::string(what) + " got null");
        return nullptr;
    }
    if (!state_.knows(fake)) {
        state_.faults.push_back(std::string(what) + " got an object this library never made");
        return nullptr;
    }
    for (const FakeObject* owner = fake; owner != nullptr; owner = owner->parent) {
        if (owner->owned && owner->releases > 0) {
            state_.faults.push_back(std::string(what) + " used " + fake->label + " after " + owner->label +
                                    " was released");
            return nullptr;
        }
    }
    if (fake->kind != kind) {
        state_.faults.push_back(std::string(what) + " got a " + kindName(fake->kind) + " for a " +
                                kindName(kind));
        return nullptr;
    }
    return fake;
}

EnergyReportLibrary::Object FakeEnergyReport::copyChannelsInGroup(std::string_view group,
                                                                  std::optional<std::string_view> subgroup) {
    call(EnergyReportSymbol::copyChannelsInGroup);
    const std::string groupName(group);
    if (state_.emptyGroups.contains(groupName)) {
        return nullptr;
    }
    std::vector<std::size_t> selected;
    for (std::size_t index = 0; index < state_.channels.size(); ++index) {
        const FakeChannel& channel = state_.channels[index];
        if (channel.group == groupName && (!subgroup || channel.subgroup == std::string(*subgroup))) {
            selected.push_back(index);
        }
    }
    if (selected.empty()) {
        return nullptr;
    }
    FakeObject* set =
        state_.make(FakeObject::Kind::channels,
                    "channels of " + groupName + (subgroup ? "/" + std::string(*subgroup) : ""), true);
    set->channels = std::move(selected);
    return handle(set);
}

void FakeEnergyReport::mergeChannels(Object target, Object source) {
    call(EnergyReportSymbol::mergeChannels);
    FakeObject* into = use(target, FakeObject::Kind::channels, "IOReportMergeChannels target");
    FakeObject* from = use(source, FakeObject::Kind::channels, "IOReportMergeChannels source");
    if (into == nullptr || from == nullptr) {
        return;
    }
    faultIf(!into->isMutable, "merged into the immutable " + into->label);
    into->channels.insert(into->channels.end(), from->channels.begin(), from->channels.end());
}

EnergyReportLibrary::Object FakeEnergyReport::createSubscription(Object desiredChannels,
                                                                 Object* subscribedChannels) {
    call(EnergyReportSymbol::createSubscription);
    FakeObject* desired = use(desiredChannels, FakeObject::Kind::channels, "IOReportCreateSubscription");
    if (desired == nullptr) {
        return nullptr;
    }
    faultIf(!desired->isMutable, "subscribed with the immutable " + desired->label);
    if (subscribedChannels == nullptr || *subscribedChannels != nullptr) {
        state_.faults.push_back("subscription out-parameter missing or not set to null");
        return nullptr;
    }
    if (state_.subscriptionFillsOut) {
        FakeObject* subscribed = state_.make(FakeObject::Kind::channels, "subscribed channels", true);
        subscribed->isMutable = true;
        subscribed->channels = desired->channels;
        *subscribedChannels = handle(subscribed);
    }
    if (state_.subscriptionFails) {
        return nullptr;
    }
    FakeObject* subscription = state_.make(FakeObject::Kind::subscription, "subscription", true);
    subscription->channels = desired->channels;
    return handle(subscription);
}

EnergyReportLibrary::Object FakeEnergyReport::createSamples(Object subscription, Object subscribedChannels) {
    call(EnergyReportSymbol::createSamples);
    FakeObject* subscribed = use(subscription, FakeObject::Kind::subscription, "IOReportCreateSamples");
    FakeObject* channels = use(subscribedChannels, FakeObject::Kind::channels, "IOReportCreateSamples");
    state_.lastSampledChannels = channels;
    if (subscribed == nullptr || channels == nullptr) {
        return nullptr;
    }
    if (state_.failingSamples > 0) {
        --state_.failingSamples;
        return nullptr;
    }
    FakeObject* sample =
        state_.make(FakeObject::Kind::sample, "sample " + std::to_string(++state_.samplesTaken), true);
    sample->channels = channels->channels;
    for (const std::size_t index : channels->channels) {
        sample->counters.push_back(state_.channels[index].counter);
    }
    return handle(sample);
}

EnergyReportLibrary::Object FakeEnergyReport::createSamplesDelta(Object earlier, Object later) {
    call(EnergyReportSymbol::createSamplesDelta);
    FakeObject* from = use(earlier, FakeObject::Kind::sample, "IOReportCreateSamplesDelta earlier");
    FakeObject* to = use(later, FakeObject::Kind::sample, "IOReportCreateSamplesDelta later");
    if (from == nullptr || to == nullptr || state_.deltaFails) {
        return nullptr;
    }
    FakeObject* delta =
        state_.make(FakeObject::Kind::delta, "delta " + from->label + " to " + to->label, true);
    delta->channelArray = state_.make(FakeObject::Kind::array, "channels of " + delta->label, false, delta);
    for (std::size_t position = 0; position < to->channels.size(); ++position) {
        const auto before = std::find(from->channels.begin(), from->channels.end(), to->channels[position]);
        if (before == from->channels.end()) {
            continue;
        }
        FakeChannel channel = state_.channels[to->channels[position]];
        channel.counter = to->counters[position] -
                          from->counters[static_cast<std::size_t>(before - from->channels.begin())];
        makeDeltaChannel(state_, delta->channelArray, channel);
    }
    return handle(delta);
}

std::int64_t FakeEnergyReport::simpleGetIntegerValue(Object channel) {
    call(EnergyReportSymbol::simpleGetIntegerValue);
    const FakeObject* found = use(channel, FakeObject::Kind::channel, "IOReportSimpleGetIntegerValue");
    return found == nullptr ? 0 : found->channel.counter;
}

EnergyReportLibrary::Object FakeEnergyReport::channelString(Object channel, std::size_t field,
                                                            EnergyReportSymbol symbol) {
    call(symbol);
    const FakeObject* found = use(channel, FakeObject::Kind::channel, "a channel getter");
    return found == nullptr ? nullptr : handle(found->strings[field]);
}

EnergyReportLibrary::Object FakeEnergyReport::valueForKey(Object dictionary, std::string_view key) {
    lookUp("valueForKey");
    const FakeObject* delta = use(dictionary, FakeObject::Kind::delta, "valueForKey");
    return delta != nullptr && key == "IOReportChannels" ? handle(delta->channelArray) : nullptr;
}

std::size_t FakeEnergyReport::arrayCount(Object array) {
    lookUp("arrayCount");
    const FakeObject* found = use(array, FakeObject::Kind::array, "arrayCount");
    return found == nullptr ? 0 : found->elements.size();
}

EnergyReportLibrary::Object FakeEnergyReport::arrayElement(Object array, std::size_t index) {
    lookUp("arrayElement");
    const FakeObject* found = use(array, FakeObject::Kind::array, "arrayElement");
    if (found == nullptr || index >= found->elements.size()) {
        state_.faults.push_back("arrayElement out of range");
        return nullptr;
    }
    return handle(found->elements[index]);
}

EnergyReportLibrary::Object FakeEnergyReport::mutableCopy(Object dictionary) {
    lookUp("mutableCopy");
    state_.calls.push_back("mutableCopy");
    const FakeObject* source = use(dictionary, FakeObject::Kind::channels, "mutableCopy");
    if (source == nullptr || state_.mutableCopyFails) {
        return nullptr;
    }
    FakeObject* copy = state_.make(FakeObject::Kind::channels, "mutable copy of " + source->label, true);
    copy->isMutable = true;
    copy->channels = source->channels;
    return handle(copy);
}

std::string FakeEnergyReport::text(Object string) {
    lookUp("text");
    if (string == nullptr) {
        return {};
    }
    const FakeObject* found = use(string, FakeObject::Kind::string, "text");
    return found == nullptr ? std::string() : found->text;
}

void FakeEnergyReport::release(Object object) {
    lookUp("release");
    auto* fake = reinterpret_cast<FakeObject*>(object);
    if (fake == nullptr) {
        state_.faults.push_back("released null");
        return;
    }
    const bool known = state_.knows(fake);
    if (!known) {
        state_.faults.push_back("released an object this library never made");
    } else if (!fake->owned) {
        state_.faults.push_back("released the borrowed " + fake->label);
    } else if (fake->releases > 0) {
        state_.faults.push_back("released " + fake->label + " twice");
    } else {
        state_.calls.push_back("release " + fake->label);
    }
    if (known) {
        ++fake->releases;
    }
}

} // namespace voltrane::testing
