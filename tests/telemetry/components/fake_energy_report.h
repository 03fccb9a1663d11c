#pragma once

#include "telemetry/components/energy_report_library.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace voltrane::testing {

/// One channel of the fake library. A missing text stands for a null string from its getter.
struct FakeChannel {
    std::optional<std::string> group;
    std::optional<std::string> subgroup;
    std::optional<std::string> name;
    std::optional<std::string> unit;
    std::int64_t counter = 0; // accumulated count; in a delta, the count over the delta
};

/// An object handed out by the fake. Kept until the state goes away, so a release or a use that
/// comes too late is recorded rather than crashing.
struct FakeObject {
    enum class Kind { channels, subscription, sample, delta, array, channel, string };
    Kind kind;
    std::string label;            // for messages: "copy of Energy Model", "sample 2"
    bool owned = false;           // handed over with ownership; must be released once
    FakeObject* parent = nullptr; // a borrowed object lives as long as its parent
    int releases = 0;
    bool isMutable = false;
    std::vector<std::size_t> channels;  // channel dictionaries, subscriptions
    std::vector<std::int64_t> counters; // samples: counter per entry of `channels`
    std::vector<FakeObject*> elements;  // arrays
    FakeObject* channelArray = nullptr; // deltas: their "IOReportChannels"
    FakeChannel channel;                // a channel inside a delta
    std::vector<FakeObject*> strings;   // a channel's name, group, subgroup, unit (or null)
    std::string text;                   // strings
};

/// What the fake library does and everything that was done to it. Owned by the test so that it
/// can be inspected after the sampler (and with it the library) is gone.
struct FakeEnergyReportState {
    // What the library offers.
    bool libraryPresent = true;
    std::set<EnergyReportSymbol> missingSymbols;
    std::vector<FakeChannel> channels; // copyChannelsInGroup selects from these
    std::set<std::string> emptyGroups; // groups whose copy gives null although channels exist
    bool mutableCopyFails = false;
    bool subscriptionFails = false;
    bool subscriptionFillsOut = true; // hand back the subscribed channels through the out-parameter
    int failingSamples = 0;           // the next this many createSamples give null
    bool deltaFails = false;

    // What happened.
    int opens = 0;
    int closes = 0;
    std::vector<EnergyReportSymbol> resolved;
    std::vector<std::string> calls;  // function names and test markers, in order
    std::vector<std::string> faults; // every breach of the ownership and calling rules
    const FakeObject* lastSampledChannels = nullptr;
    int samplesTaken = 0;

    std::vector<std::unique_ptr<FakeObject>> objects;

    FakeObject* make(FakeObject::Kind kind, std::string label, bool owned, FakeObject* parent = nullptr);
    /// Owned objects never released, by label.
    std::vector<std::string> leaks() const;
    int ownedCount() const;
    bool knows(const FakeObject* object) const;
    int outstandingCount() const;

    /// An owned delta holding these channels (their counters are the delta's counts).
    EnergyReportLibrary::Object makeDelta(const std::vector<FakeChannel>& deltaChannels);
    /// An owned delta whose "IOReportChannels" is missing.
    EnergyReportLibrary::Object makeDeltaWithoutChannels();
    FakeChannel* channelNamed(const std::string& name);
};

/// The fake library over a state the test keeps.
class FakeEnergyReport final : public EnergyReportLibrary {
public:
    explicit FakeEnergyReport(FakeEnergyReportState& state) : state_(state) {}

    bool open() override;
    bool resolve(EnergyReportSymbol symbol) override;
    void close() override;

    Object copyChannelsInGroup(std::string_view group, std::optional<std::string_view> subgroup) override;
    void mergeChannels(Object target, Object source) override;
    Object createSubscription(Object desiredChannels, Object* subscribedChannels) override;
    Object createSamples(Object subscription, Object subscribedChannels) override;
    Object createSamplesDelta(Object earlier, Object later) override;
    std::int64_t simpleGetIntegerValue(Object channel) override;
    Object channelGetName(Object c) override {
        return channelString(c, 0, EnergyReportSymbol::channelGetName);
    }
    Object channelGetGroup(Object c) override {
        return channelString(c, 1, EnergyReportSymbol::channelGetGroup);
    }
    Object channelGetSubgroup(Object c) override {
        return channelString(c, 2, EnergyReportSymbol::channelGetSubgroup);
    }
    Object channelGetUnitLabel(Object c) override {
        return channelString(c, 3, EnergyReportSymbol::channelGetUnitLabel);
    }

    Object valueForKey(Object dictionary, std::string_view key) override;
    std::size_t arrayCount(Object array) override;
    Object arrayElement(Object array, std::size_t index) override;
    Object mutableCopy(Object dictionary) override;
    std::string text(Object string) override;
    void release(Object object) override;

private:
    void faultIf(bool broken, std::string what) {
        if (broken) {
            state_.faults.push_back(std::move(what));
        }
    }
    void call(EnergyReportSymbol symbol);
    void lookUp(const char* what);
    FakeObject* use(Object object, FakeObject::Kind kind, const char* what);
    Object channelString(Object channel, std::size_t field, EnergyReportSymbol symbol);

    FakeEnergyReportState& state_;
    bool open_ = false;
};

} // namespace voltrane::testing
