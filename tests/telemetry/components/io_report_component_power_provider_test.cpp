#include "telemetry/components/io_report_component_power_provider.h"

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <span>
#include <string>
#include <vector>

// The fake's objects name only the fields they set.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace voltrane {
namespace {

using Object = EnergyReportLibrary::Object;
using Watts = std::optional<double>;
constexpr std::nullopt_t no = std::nullopt;
const Date kAt{std::chrono::seconds(1'800'000'000)};

/// A channel the fake offers; a missing text stands for a null string from its getter.
struct Chan {
    std::optional<std::string> group, subgroup, name, unit;
    std::int64_t count = 0; // accumulated; in a delta, the count over the delta
};
/// A channel of the Energy Model group, and the display's.
Chan E(std::string name, double count = 0, std::string unit = "mJ") {
    return {"Energy Model", "", std::move(name), std::move(unit), std::int64_t(count)};
}
Chan D(double count = 0, std::string unit = "\u00B5J") {
    return {"DCP", "display stats", "power", std::move(unit), std::int64_t(count)};
}

/// An energy-report library that records each breach of its rules in `faults` (which outlives it)
/// instead of crashing: an owned object not released exactly once (checked when the fake goes),
/// a borrowed one released, an object used after it or its owner was released or as another
/// kind, a function called unresolved, the library used closed or closed with objects outstanding.
class Fake final : public EnergyReportLibrary {
public:
    using S = EnergyReportSymbol;
    struct Obj {
        enum Kind { set, subscription, sample, delta, array, channel, string } kind;
        bool owned = false;
        Obj* parent = nullptr;            // a borrowed object lives as long as its parent
        std::vector<std::size_t> ids;     // the channels of a set, subscription or sample
        std::vector<std::int64_t> counts; // a sample's count of every channel; a delta channel's count
        std::vector<Obj*> items;          // a delta's array, an array's channels, a channel's strings
        std::string text;
        bool isMutable = false;
        int releases = 0;
    };

    explicit Fake(std::vector<std::string>& faults) : faults_(faults) {}
    ~Fake() override { check(outstanding() == 0 && !isOpen, "leaked an object or never closed"); }

    bool open() override {
        check(!isOpen, "opened twice");
        return isOpen = present;
    }
    bool resolve(S symbol) override {
        call(std::nullopt);
        resolved.push_back(symbol);
        return symbol != missing;
    }
    void close() override {
        check(isOpen && outstanding() == 0, "closed twice or with objects outstanding");
        isOpen = false;
    }

    Object copyChannelsInGroup(std::string_view group, std::optional<std::string_view> subgroup) override {
        call(S::copyChannelsInGroup);
        Obj set{.kind = Obj::set, .owned = true};
        for (std::size_t id = 0; id < chans.size(); ++id) {
            if (chans[id].group == group && (!subgroup || chans[id].subgroup == *subgroup)) {
                set.ids.push_back(id);
            }
        }
        return set.ids.empty() || nullGroups.contains(std::string(group)) ? nullptr : add(std::move(set));
    }
    void mergeChannels(Object target, Object source) override {
        Obj& into = get(target, Obj::set, S::mergeChannels);
        const Obj& from = get(source, Obj::set);
        check(into.isMutable, "merged into an immutable set");
        into.ids.insert(into.ids.end(), from.ids.begin(), from.ids.end());
    }
    Object createSubscription(Object desired, Object* subscribed) override {
        const Obj& want = get(desired, Obj::set, S::createSubscription);
        check(want.isMutable && subscribed != nullptr && *subscribed == nullptr,
              "subscribed with an immutable set or without a null out-parameter");
        if (fillsOut && subscribed != nullptr) {
            *subscribed = handedBack = add({.kind = Obj::set, .owned = true, .ids = want.ids});
        }
        return subscriptionFails ? nullptr : add({.kind = Obj::subscription, .owned = true, .ids = want.ids});
    }
    Object createSamples(Object subscription, Object channels) override {
        ++samples;
        get(subscription, Obj::subscription, S::createSamples);
        check(handedBack == nullptr || channels == handedBack, "sampled other than the subscribed channels");
        Obj sample{.kind = Obj::sample, .owned = true, .ids = get(channels, Obj::set).ids};
        std::ranges::transform(chans, std::back_inserter(sample.counts), &Chan::count);
        return failingSamples-- > 0 ? nullptr : add(std::move(sample));
    }
    Object createSamplesDelta(Object earlier, Object later) override {
        const Obj& from = get(earlier, Obj::sample, S::createSamplesDelta);
        const Obj& to = get(later, Obj::sample);
        std::vector<Chan> counted;
        for (const std::size_t id : to.ids) {
            counted.push_back(chans[id]);
            counted.back().count = to.counts[id] - from.counts[id];
        }
        return deltaFails ? nullptr : delta(counted);
    }
    /// An owned delta over these channels; without its channel array when `withArray` is false.
    Object delta(const std::vector<Chan>& counted, bool withArray = true) {
        Obj* made = obj({.kind = Obj::delta, .owned = true});
        Obj* array =
            made->items.emplace_back(withArray ? obj({.kind = Obj::array, .parent = made}) : nullptr);
        for (const Chan& c : counted) {
            Obj* ch =
                array->items.emplace_back(obj({.kind = Obj::channel, .parent = array, .counts = {c.count}}));
            for (const auto* text : {&c.name, &c.group, &c.subgroup, &c.unit}) {
                ch->items.push_back(*text ? obj({.kind = Obj::string, .parent = ch, .text = **text})
                                          : nullptr);
            }
        }
        return handle(made);
    }
    std::int64_t simpleGetIntegerValue(Object c) override {
        return get(c, Obj::channel, S::simpleGetIntegerValue).counts[0];
    }
    Object channelGetName(Object c) override { return item(c, Obj::channel, 0, S::channelGetName); }
    Object channelGetGroup(Object c) override { return item(c, Obj::channel, 1, S::channelGetGroup); }
    Object channelGetSubgroup(Object c) override { return item(c, Obj::channel, 2, S::channelGetSubgroup); }
    Object channelGetUnitLabel(Object c) override { return item(c, Obj::channel, 3, S::channelGetUnitLabel); }
    Object valueForKey(Object dictionary, std::string_view key) override {
        return key == "IOReportChannels" ? item(dictionary, Obj::delta, 0) : nullptr;
    }
    std::size_t arrayCount(Object array) override { return get(array, Obj::array).items.size(); }
    Object arrayElement(Object array, std::size_t index) override { return item(array, Obj::array, index); }
    Object mutableCopy(Object dictionary) override {
        const Obj& set = get(dictionary, Obj::set);
        return copyFails ? nullptr
                         : add({.kind = Obj::set, .owned = true, .ids = set.ids, .isMutable = true});
    }
    std::string text(Object string) override {
        return string == nullptr ? "" : get(string, Obj::string).text;
    }
    void release(Object object) override {
        Obj& found = get(object, std::nullopt);
        check(found.owned, "released a borrowed object");
        ++found.releases;
    }
    long outstanding() const {
        return std::ranges::count_if(objects, [](const Obj& o) { return o.owned && o.releases == 0; });
    }

    // What the library offers, and what was done to it.
    bool present = true;
    std::optional<S> missing;
    std::vector<Chan> chans{E("CPU Energy"), E("GPU Energy"), E("ANE0"), E("DRAM0"), D()};
    std::set<std::string> nullGroups;
    bool copyFails = false, subscriptionFails = false, fillsOut = true, deltaFails = false;
    int failingSamples = 0; // the next this many samples fail
    std::vector<S> resolved;
    bool isOpen = false;
    int samples = 0; // asked for

private:
    static Object handle(Obj* object) { return reinterpret_cast<Object>(object); }
    static bool released(const Obj* o) { return o != nullptr && (o->releases > 0 || released(o->parent)); }
    Obj* obj(Obj made) { return &objects.emplace_back(std::move(made)); }
    Object add(Obj made) { return handle(obj(std::move(made))); }
    void check(bool kept, const char* rule) {
        if (!kept) {
            faults_.emplace_back(rule);
        }
    }
    void call(std::optional<S> function) {
        check(isOpen && (!function || (function != missing && std::ranges::count(resolved, *function) > 0)),
              "used a closed library or an unresolved function");
    }
    /// The object if it may be used as a `kind` (any for nullopt); else a fault and a blank stand-in.
    Obj& get(Object object, std::optional<Obj::Kind> kind, std::optional<S> function = {}) {
        call(function);
        auto* found = reinterpret_cast<Obj*>(object);
        const bool usable = std::ranges::any_of(objects, [&](const Obj& o) { return &o == found; }) &&
                            !released(found) && (!kind || found->kind == *kind);
        check(usable, "got null, a stranger, a released object or the wrong kind");
        return usable ? *found
                      : (blank = {.kind = Obj::set, .counts = std::vector<std::int64_t>(chans.size() + 1)});
    }
    /// A borrowed item of a delta, array or channel.
    Object item(Object parent, Obj::Kind kind, std::size_t index, std::optional<S> function = {}) {
        const Obj& found = get(parent, kind, function);
        check(index < found.items.size(), "read past the end of an array");
        return index < found.items.size() ? handle(found.items[index]) : nullptr;
    }

    std::vector<std::string>& faults_;
    std::deque<Obj> objects; // kept until the fake goes, so late uses are caught, not crashes
    Obj blank;
    Object handedBack = nullptr;
};

/// The sampler over a fake, with an uptime and a wall clock the test sets. Going away, it checks
/// the fake's record.
struct Rig {
    explicit Rig(const std::function<void(Fake&)>& arrange = [](Fake&) {}) {
        auto library = std::make_unique<Fake>(faults);
        arrange(*(fake = library.get()));
        provider.emplace(
            std::move(library), [this] { return uptime; }, [this] { return wall; });
    }
    ~Rig() {
        provider.reset();
        EXPECT_EQ(faults, std::vector<std::string>{});
    }
    ComponentPowerSnapshot read(double at, Date when = kAt) {
        uptime = at;
        wall = when;
        return provider->readSnapshot();
    }

    std::vector<std::string> faults;
    double uptime = 0;
    Date wall = kAt;
    Fake* fake = nullptr;
    std::optional<IOReportComponentPowerProvider> provider;
};

TEST(ComponentSamplerTest, AFailedStartLeavesItUnavailableHoldingNothing) {
    // The functions resolved (in order) and whether the handle is kept: only with every function.
    // clang-format off
    std::vector<std::tuple<std::string, std::function<void(Fake&)>, std::size_t, bool>> rows{
        {"no library", [](Fake& f) { f.present = false; }, 0, false},
        {"no Energy Model", [](Fake& f) { f.nullGroups = {"Energy Model"}; }, 10, true},
        {"no mutable copy", [](Fake& f) { f.copyFails = true; }, 10, true},
        {"no subscription", [](Fake& f) { f.subscriptionFails = true; }, 10, true},
        {"none, nothing handed back", [](Fake& f) { f.subscriptionFails = true, f.fillsOut = false; }, 10, true},
        {"none, no display", [](Fake& f) { f.subscriptionFails = true, f.nullGroups = {"DCP"}; }, 10, true}};
    // clang-format on
    for (std::size_t i = 0; i < kEnergyReportSymbols.size(); ++i) {
        rows.emplace_back(
            std::string(symbolName(kEnergyReportSymbols[i])) + " missing",
            [i](Fake& f) { f.missing = kEnergyReportSymbols[i]; }, i + 1, false);
    }
    for (const auto& [name, arrange, resolved, open] : rows) {
        SCOPED_TRACE(name);
        Rig rig(arrange);
        EXPECT_EQ(rig.fake->outstanding(), 0);
        EXPECT_EQ(rig.fake->isOpen, open);
        EXPECT_TRUE(std::ranges::equal(rig.fake->resolved, std::span(kEnergyReportSymbols).first(resolved)));
        EXPECT_EQ(rig.read(1), ComponentPowerSnapshot::unavailable(kAt));
        EXPECT_EQ(rig.read(2), ComponentPowerSnapshot::unavailable(kAt));
        EXPECT_EQ(rig.fake->samples, 0);
    }
}

TEST(ComponentSamplerTest, FirstReadWaitsAndTheNextMeasuresTheSubscribedChannelsOverTheUptime) {
    for (const auto& [name, arrange, display] :
         {std::tuple<const char*, void (*)(Fake&), Watts>{"channels handed back", [](Fake&) {}, 1.5},
          {"none handed back: the merged copy", [](Fake& f) { f.fillsOut = false; }, 1.5},
          {"no display channels", [](Fake& f) { f.nullGroups = {"DCP"}; }, no}}) {
        SCOPED_TRACE(name);
        Rig rig(arrange);
        EXPECT_EQ(rig.read(100), ComponentPowerSnapshot::waiting(kAt));
        for (std::size_t id = 0; const std::int64_t count : {5'000, 1'000, 500, 250, 3'000'000}) {
            rig.fake->chans[id++].count += count;
        }
        const Date setBack = kAt - std::chrono::hours(1); // the interval comes from the uptime alone
        EXPECT_EQ(rig.read(102, setBack),
                  (ComponentPowerSnapshot{2.5, .5, .25, .125, display, 2, true, setBack}));
    }
}

TEST(ComponentSamplerTest, AnUnmeasuredReadMovesTheBaselineOnlyWhenItSampled) {
    // Reads at 0 s, at `second` after 1000 mJ (not measured), at `third` after 2000 mJ more.
    // clang-format off
    for (const auto& [name, arrange, second, sampled, third, interval, cpu] :
         std::vector<std::tuple<const char*, void (*)(Fake&), double, bool, double, double, double>>{
             {"too short", [](Fake&) {}, 0.05, true, 1.05, 1.0, 2.0},
             {"exactly the minimum", [](Fake&) {}, 0.1, true, 1.1, 1.0, 2.0},
             {"failed delta", [](Fake& f) { f.deltaFails = true; }, 1, true, 2, 1.0, 2.0},
             {"failed sample", [](Fake& f) { f.failingSamples = 1; }, 1, false, 2, 2.0, 1.5}}) {
        // clang-format on
        SCOPED_TRACE(name);
        Rig rig;
        rig.read(0);
        rig.fake->chans[0].count += 1'000;
        arrange(*rig.fake);
        EXPECT_EQ(rig.read(second),
                  sampled ? ComponentPowerSnapshot::waiting(kAt) : ComponentPowerSnapshot::unavailable(kAt));
        rig.fake->deltaFails = false;
        rig.fake->chans[0].count += 2'000;
        const ComponentPowerSnapshot measured = rig.read(third);
        EXPECT_DOUBLE_EQ(measured.sampleInterval, interval);
        EXPECT_DOUBLE_EQ(measured.cpuWatts.value_or(-1), cpu);
    }
}

TEST(ComponentSamplerTest, ConvertsADeltaToWattsPerComponent) {
    const std::string mu = "\u00B5J";
    // clang-format off
    const std::vector<std::tuple<const char*, double, std::array<Watts, 5>, std::vector<Chan>>> rows{
        {"every component", 0.5, {2, 1, .5, .25, 8}, {E("EACC_CPU Energy", 1'000), E("GPU Energy", 500), E("ANE0", 250), E("DRAM0", 125), D(4e6)}},
        {"units", 2, {2.5, 1.5, 1.5, .25}, {E("CPU Energy", 5'000), E("GPU Energy", 3e6, "uJ"), E("ANE", 3e6, mu), E("DRAM", 5e8, "nJ")}},
        {"unknown units", 1, {}, {E("CPU Energy", 5, "J"), E("GPU0", 5, ""), E("ANE", 5e6, "\u03BCJ"), E("DRAM", 5, "mj")}},
        {"CPU suffixes summed", 1, {.75}, {E("EACC_CPU Energy", 500), E("PACC0_CPU Energy", 250)}},
        {"clusters without the suffix", 1, {}, {E("ECPU", 1), E("PCPU0", 1), E("CPU Energy0", 1)}},
        {"GPU Energy over numbered GPUs", 1, {no, 1}, {E("GPU0", 500), E("GPU Energy", 1'000), E("GPU1", 9)}},
        {"numbered GPUs summed", 1, {no, .875}, {E("GPU0", 500), E("GPU9", 250), E("GPU12", 125)}},
        {"bare or lettered GPUs", 1, {}, {E("GPU", 5), E("GPUX", 5), E("GPU0a", 5), E("GPU-1", 5), E("GPU:", 5)}},
        {"ANE and DRAM by prefix", 1, {no, no, .5, .625}, {E("ANE0", 250), E("ANE", 250), E("DRAM0", 500), E("DRAM", 125)}},
        {"case matters", 1, {}, {E("cpu energy", 5), E("gpu0", 5), E("ane", 5), E("Dram", 5)}},
        {"backwards is zero", 1, {0.0}, {E("CPU Energy", -5'000), E("CPU Energy", -1)}},
        {"other groups", 1, {}, {{"PMP", "", "CPU Energy", "mJ", 1'000}, {"energy model", "", "DRAM", "mJ", 1'000}}},
        {"null strings", 1, {}, {{"Energy Model", "", no, "mJ", 1'000}, {no, "", "CPU Energy", "mJ", 1'000},
                                 {"Energy Model", no, "DRAM", no, 1'000}, {"DCP", no, "power", mu, 9'000'000},
                                 {"DCP", "display stats", no, mu, 9'000'000}}},
        {"null subgroup outside the display", 1, {1}, {{"Energy Model", no, "CPU Energy", "mJ", 1'000}}},
        {"display below the floor", 1, {}, {D(40'000)}},
        {"display at the floor", 1, {}, {D(50'000)}},
        {"display just above the floor", 1, {no, no, no, no, .06}, {D(60'000)}},
        {"display in µJ whatever its label", 1, {no, no, no, no, 2}, {D(2e6, "nJ")}},
        {"later display overwrites", 1, {}, {D(2e6), D(10'000)}},
        {"later display overwrites with a figure", 1, {no, no, no, no, 3}, {D(10'000), D(3e6)}},
        {"display went backwards", 1, {}, {D(-2e6)}},
        {"display needs its group, subgroup and name", 1, {}, {{"DCP", "other", "power", mu, 9'000'000},
            {"DCP", "display stats", "Power", mu, 9'000'000}, {"Energy Model", "display stats", "power", mu, 9'000'000}}},
        {"no interval", 0, {}, {E("CPU Energy", 5'000), D(2e6)}},
        {"empty channel array", 1.5, {}, {}}};
    // clang-format on
    std::vector<std::string> faults;
    {
        Fake api(faults);
        api.open();
        std::ranges::for_each(kEnergyReportSymbols, [&](EnergyReportSymbol s) { api.resolve(s); });
        for (const auto& [name, interval, watts, channels] : rows) {
            SCOPED_TRACE(name);
            const Object delta = api.delta(channels);
            const auto [cpu, gpu, ane, dram, shown] = watts;
            EXPECT_EQ(IOReportComponentPowerProvider::snapshot(delta, interval, kAt, api),
                      (ComponentPowerSnapshot{cpu, gpu, ane, dram, shown, interval, true, kAt}));
            api.release(delta);
        }
        const Object bare = api.delta({}, false); // without its channel array
        EXPECT_EQ(IOReportComponentPowerProvider::snapshot(bare, 1.5, kAt, api),
                  (ComponentPowerSnapshot{no, no, no, no, no, 1.5, true, kAt}));
        api.release(bare);
        api.close();
    }
    EXPECT_EQ(faults, std::vector<std::string>{});
}

TEST(ComponentSamplerTest, UnitLabelsLoseExactlyTheUnicodeWhiteSpaceAroundThem) {
    std::set<char32_t> whiteSpace{9,    10,     11,     12,     13,     0x20,   0x85,
                                  0xA0, 0x1680, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (char32_t c = 0x2000; c <= 0x200A; ++c) {
        whiteSpace.insert(c);
    }
    std::vector<unsigned> wrong;
    for (char32_t c = 0; c < 0x3100; ++c) {
        const auto b = [](char32_t byte) { return static_cast<char>(byte); };
        const std::string blank =
            c < 0x80    ? std::string{b(c)}
            : c < 0x800 ? std::string{b(0xC0 | c >> 6), b(0x80 | (c & 0x3F))}
                        : std::string{b(0xE0 | c >> 12), b(0x80 | (c >> 6 & 0x3F)), b(0x80 | (c & 0x3F))};
        for (const std::string& label : {blank + "mJ", "mJ" + blank, blank + blank + "mJ" + blank + blank}) {
            if (IOReportComponentPowerProvider::watts(1'000, label, 1) !=
                (whiteSpace.contains(c) ? Watts(1) : no)) {
                wrong.push_back(unsigned(c));
            }
        }
    }
    EXPECT_EQ(wrong, std::vector<unsigned>{});
}

} // namespace
} // namespace voltrane
