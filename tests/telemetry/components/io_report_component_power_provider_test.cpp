#include "telemetry/components/io_report_component_power_provider.h"

#include <algorithm>
#include <deque>
#include <gtest/gtest.h>
#include <set>

#pragma GCC diagnostic ignored "-Wmissing-field-initializers" // the fake's objects name the fields they set

namespace voltrane {
namespace {

using Object = EnergyReportLibrary::Object;
using Watts = std::optional<double>;
constexpr std::nullopt_t no = std::nullopt;
const Date kAt{std::chrono::seconds(1'800'000'000)};

struct Chan { // a channel the fake offers; a missing text is a null string from its getter

    std::optional<std::string> group, subgroup, name, unit;
    std::int64_t count = 0; // accumulated; in a delta, the count over the delta
};
Chan E(std::string name, double count = 0, std::string unit = "mJ") { // an Energy Model channel
    return {"Energy Model", "", std::move(name), std::move(unit), std::int64_t(count)};
}
Chan D(double count = 0, std::string unit = "\u00B5J") { // the display's
    return {"DCP", "display stats", "power", std::move(unit), std::int64_t(count)};
}

/// A library that fails the test on a leak, a double or borrowed release, or a use after release.
class Fake final : public EnergyReportLibrary {
public:
    struct Obj {
        enum Kind { set, subscription, sample, delta, array, channel, string } kind;
        bool owned = false, isMutable = false;
        Obj* parent = nullptr;            // a borrowed object lives as long as its parent
        std::vector<std::size_t> ids;     // the channels of a set, subscription or sample
        std::vector<std::int64_t> counts; // a sample's count of every channel
        std::vector<Obj*> items;          // a delta's array, an array's channels
        Chan chan;                        // a delta channel's, with the count over the delta
        std::string text;
        int releases = 0;
    };

    ~Fake() override { EXPECT_TRUE(outstanding() == 0 && !isOpen) << "leaked an object or never closed"; }
    bool open() override { return isOpen = present; }
    bool resolve(EnergyReportSymbol symbol) override { return symbol != missing; }
    void close() override {
        EXPECT_TRUE(isOpen && outstanding() == 0) << "closed twice or with objects outstanding";
        isOpen = false;
    }
    Object copyChannelsInGroup(std::string_view group, std::optional<std::string_view> subgroup) override {
        Obj set{.kind = Obj::set, .owned = true};
        for (std::size_t id = 0; id < chans.size(); ++id) {
            if (chans[id].group == group && (!subgroup || chans[id].subgroup == *subgroup)) {
                set.ids.push_back(id);
            }
        }
        return set.ids.empty() || nullGroups.contains(std::string(group)) ? nullptr : add(std::move(set));
    }
    void mergeChannels(Object target, Object source) override {
        Obj& into = get(target, Obj::set);
        const Obj& from = get(source, Obj::set);
        EXPECT_TRUE(into.isMutable) << "merged into an immutable set";
        into.ids.insert(into.ids.end(), from.ids.begin(), from.ids.end());
    }
    Object createSubscription(Object desired, Object* subscribed) override {
        const Obj& want = get(desired, Obj::set);
        EXPECT_TRUE(want.isMutable && subscribed != nullptr && *subscribed == nullptr)
            << "subscribed with an immutable set or without a null out-parameter";
        if (fillsOut && subscribed != nullptr) {
            *subscribed = handedBack = add({.kind = Obj::set, .owned = true, .ids = want.ids});
        }
        return subscriptionFails ? nullptr : add({.kind = Obj::subscription, .owned = true, .ids = want.ids});
    }
    Object createSamples(Object subscription, Object channels) override {
        get(subscription, Obj::subscription);
        EXPECT_TRUE(handedBack == nullptr || channels == handedBack) << "sampled other channels";
        Obj sample{.kind = Obj::sample, .owned = true, .ids = get(channels, Obj::set).ids};
        std::ranges::transform(chans, std::back_inserter(sample.counts), &Chan::count);
        return failingSamples-- > 0 ? nullptr : add(std::move(sample));
    }
    Object createSamplesDelta(Object earlier, Object later) override {
        const Obj from = get(earlier, Obj::sample);
        std::vector<Chan> counted;
        for (const Obj& to = get(later, Obj::sample); const std::size_t id : to.ids) {
            counted.push_back(chans[id]);
            counted.back().count = to.counts[id] - from.counts[id];
        }
        return failingDeltas-- > 0 ? nullptr : delta(counted);
    }
    /// An owned delta over these channels; without its channel array unless `full`.
    Object delta(const std::vector<Chan>& counted, bool full = true) {
        Obj* made = obj({.kind = Obj::delta, .owned = true});
        Obj* array = made->items.emplace_back(full ? obj({.kind = Obj::array, .parent = made}) : nullptr);
        for (const Chan& c : counted) {
            array->items.push_back(obj({.kind = Obj::channel, .parent = array, .chan = c}));
        }
        return handle(made);
    }
    std::int64_t simpleGetIntegerValue(Object c) override { return get(c, Obj::channel).chan.count; }
    Object channelGetName(Object c) override { return string(c, &Chan::name); }
    Object channelGetGroup(Object c) override { return string(c, &Chan::group); }
    Object channelGetSubgroup(Object c) override { return string(c, &Chan::subgroup); }
    Object channelGetUnitLabel(Object c) override { return string(c, &Chan::unit); }
    Object valueForKey(Object dictionary, std::string_view key) override {
        return key == "IOReportChannels" ? item(dictionary, Obj::delta, 0) : nullptr;
    }
    std::size_t arrayCount(Object array) override { return get(array, Obj::array).items.size(); }
    Object arrayElement(Object array, std::size_t index) override { return item(array, Obj::array, index); }
    Object mutableCopy(Object dictionary) override {
        const Obj& s = get(dictionary, Obj::set);
        return copyFails ? nullptr : add({.kind = Obj::set, .owned = true, .isMutable = true, .ids = s.ids});
    }
    std::string text(Object s) override { return s == nullptr ? "" : get(s, Obj::string).text; }
    void release(Object object) override {
        Obj& found = get(object, std::nullopt);
        EXPECT_TRUE(found.owned) << "released a borrowed object";
        ++found.releases;
    }
    long outstanding() const {
        return std::ranges::count_if(objects, [](auto& o) { return o.owned && o.releases == 0; });
    }

    bool present = true, isOpen = false;
    std::optional<EnergyReportSymbol> missing;
    std::vector<Chan> chans{E("CPU Energy"), E("GPU Energy"), E("ANE0"), E("DRAM0"), D()};
    std::set<std::string> nullGroups;
    bool copyFails = false, subscriptionFails = false, fillsOut = true;
    int failingSamples = 0, failingDeltas = 0; // the next this many fail

private:
    static Object handle(Obj* object) { return reinterpret_cast<Object>(object); }
    static bool released(const Obj* o) { return o != nullptr && (o->releases > 0 || released(o->parent)); }
    Obj* obj(Obj made) { return &objects.emplace_back(std::move(made)); }
    Object add(Obj made) { return handle(obj(std::move(made))); }
    /// The object if it may be used as a `kind` (any for nullopt); else a blank stand-in.
    Obj& get(Object object, std::optional<Obj::Kind> kind) {
        auto* found = reinterpret_cast<Obj*>(object);
        const bool usable = isOpen &&
                            std::ranges::any_of(objects, [&](const Obj& o) { return &o == found; }) &&
                            !released(found) && (!kind || found->kind == *kind);
        EXPECT_TRUE(usable) << "used a closed library, null, a stranger, a released object or the wrong kind";
        return usable ? *found : blank;
    }
    Object string(Object channel, std::optional<std::string> Chan::*field) {
        Obj& c = get(channel, Obj::channel);
        return c.chan.*field ? add({.kind = Obj::string, .parent = &c, .text = *(c.chan.*field)}) : nullptr;
    }
    Object item(Object parent, Obj::Kind kind, std::size_t index) {
        const Obj& found = get(parent, kind);
        EXPECT_LT(index, found.items.size()) << "read past the end of an array";
        return index < found.items.size() ? handle(found.items[index]) : nullptr;
    }

    std::deque<Obj> objects; // kept until the fake goes, so late uses are caught, not crashes
    Obj blank{.kind = Obj::set, .counts = std::vector<std::int64_t>(16)};
    Object handedBack = nullptr;
};

/// The sampler over a fake, with an uptime and a wall clock the test sets.
struct Rig {
    explicit Rig(void (*arrange)(Fake&)) {
        arrange(*fake);
        provider.emplace(
            std::unique_ptr<Fake>(fake), [this] { return uptime; }, [this] { return wall; });
    }
    ComponentPowerSnapshot read(double at, Date when = kAt) {
        std::tie(uptime, wall) = std::pair(at, when);
        return provider->readSnapshot();
    }

    double uptime = 0;
    Date wall = kAt;
    Fake* fake = new Fake; // owned by the provider
    std::optional<IOReportComponentPowerProvider> provider;
};

TEST(ComponentSamplerTest, MeasuresTheSubscribedChannelsOverTheUptimeSinceTheLastSampleTaken) {
    // Reads at 0 s, at `second` (the wall clock an hour back) after 1000 mJ of CPU and 3 J of display, a
    // second later after 2000 mJ more; `skip` applies before the second. A failed start holds nothing.
    using Arrange = void (*)(Fake&);
    enum Start { closed, open, sampling };
    const Arrange none = [](Fake&) {};
    const Date setBack = kAt - std::chrono::hours(1);
    const ComponentPowerSnapshot measured{.5, 0.0, 0.0, 0.0, 1.5, 2, true, setBack};
    const ComponentPowerSnapshot waits = ComponentPowerSnapshot::waiting(setBack),
                                 unavailable = ComponentPowerSnapshot::unavailable(setBack);
    // clang-format off
    for (const auto& [name, arrange, skip, second, atSecond, start, last] : std::vector<std::tuple<const char*, Arrange, Arrange, double, ComponentPowerSnapshot, Start, std::pair<Watts, double>>>{
        {"channels handed back", none, none, 2, measured, sampling, {2, 1}},
        {"none handed back: the merged copy", [](Fake& f) { f.fillsOut = false; }, none, 2, measured, sampling, {2, 1}},
        {"no display channels", [](Fake& f) { f.nullGroups = {"DCP"}; }, none, 2, {.5, 0.0, 0.0, 0.0, no, 2, true, setBack}, sampling, {2, 1}},
        {"too short", none, none, 0.05, waits, sampling, {2, 1}}, {"exactly the minimum", none, none, 0.1, waits, sampling, {2, 1}},
        {"failed delta", none, [](Fake& f) { f.failingDeltas = 1; }, 1, waits, sampling, {2, 1}},
        {"failed sample: the baseline stays", none, [](Fake& f) { f.failingSamples = 1; }, 1, unavailable, sampling, {1.5, 2}},
        {"no library", [](Fake& f) { f.present = false; }, none, 1, unavailable, closed, {}},
        {"a function missing", [](Fake& f) { f.missing = EnergyReportSymbol::channelGetUnitLabel; }, none, 1, unavailable, closed, {}},
        {"no Energy Model", [](Fake& f) { f.nullGroups = {"Energy Model"}; }, none, 1, unavailable, open, {}},
        {"no mutable copy", [](Fake& f) { f.copyFails = true; }, none, 1, unavailable, open, {}},
        {"no subscription", [](Fake& f) { f.subscriptionFails = true; }, none, 1, unavailable, open, {}},
        {"none, nothing handed back", [](Fake& f) { f.subscriptionFails = true, f.fillsOut = false; }, none, 1, unavailable, open, {}}}) {
        // clang-format on
        SCOPED_TRACE(name);
        Rig rig(arrange);
        EXPECT_EQ(std::pair(rig.fake->outstanding(), rig.fake->isOpen),
                  std::pair(start == sampling ? 2L : 0L, start != closed));
        EXPECT_EQ(rig.read(0),
                  (ComponentPowerSnapshot{.sourceAvailable = start == sampling, .sampledAt = kAt}));
        rig.fake->chans[0].count += 1'000;
        rig.fake->chans[4].count += 3'000'000;
        skip(*rig.fake);
        EXPECT_EQ(rig.read(second, setBack), atSecond);
        rig.fake->chans[0].count += 2'000;
        const ComponentPowerSnapshot third = rig.read(second + 1);
        EXPECT_EQ(std::pair(third.cpuWatts, third.sampleInterval), last);
    }
}

TEST(ComponentSamplerTest, ConvertsADeltaToWattsPerComponent) {
    const std::string mu = "\u00B5J";
    // clang-format off
    const std::vector<std::tuple<const char*, double, std::array<Watts, 5>, std::vector<Chan>>> rows{
        {"every component", 0.5, {2, 1, .5, .25, 8}, {E("EACC_CPU Energy", 1'000), E("GPU Energy", 500), E("ANE0", 250), E("DRAM0", 125), D(4e6)}},
        {"units", 2, {2.5, 1.5, 1.5, .25}, {E("CPU Energy", 5'000), E("GPU Energy", 3e6, "uJ"), E("ANE", 3e6, mu), E("DRAM", 5e8, "nJ")}},
        {"unknown units or names, other groups", 1, {}, {E("CPU Energy", 5, "J"), E("GPU0", 5, ""), E("ANE", 5e6, "\u03BCJ"), E("DRAM", 5, "mj"),
            E("ECPU", 1), E("PCPU0", 1), E("CPU Energy0", 1), E("GPU", 5), E("GPUX", 5), E("GPU0a", 5), E("GPU-1", 5), E("GPU:", 5),
            E("cpu energy", 5), E("gpu0", 5), E("ane", 5), E("Dram", 5), {"PMP", "", "CPU Energy", "mJ", 1'000}, {"energy model", "", "DRAM", "mJ", 1'000}}},
        {"CPU suffixes summed", 1, {.75}, {E("EACC_CPU Energy", 500), E("PACC0_CPU Energy", 250)}},
        {"GPU Energy over numbered GPUs", 1, {no, 1}, {E("GPU0", 500), E("GPU Energy", 1'000), E("GPU1", 9)}},
        {"numbered GPUs summed", 1, {no, .875}, {E("GPU0", 500), E("GPU9", 250), E("GPU12", 125)}},
        {"ANE and DRAM by prefix", 1, {no, no, .5, .625}, {E("ANE0", 250), E("ANE", 250), E("DRAM0", 500), E("DRAM", 125)}},
        {"backwards is zero", 1, {0.0}, {E("CPU Energy", -5'000), E("CPU Energy", -1)}},
        {"null strings", 1, {}, {{"Energy Model", "", no, "mJ", 1'000}, {no, "", "CPU Energy", "mJ", 1'000}, {"Energy Model", no, "DRAM", no, 1'000},
                                 {"DCP", no, "power", mu, 9'000'000}, {"DCP", "display stats", no, mu, 9'000'000}}},
        {"null subgroup outside the display", 1, {1}, {{"Energy Model", no, "CPU Energy", "mJ", 1'000}}},
        {"display at the floor", 1, {}, {D(50'000)}}, {"display just above the floor", 1, {no, no, no, no, .06}, {D(60'000)}},
        {"display in µJ whatever its label", 1, {no, no, no, no, 2}, {D(2e6, "nJ")}},
        {"later display overwrites", 1, {}, {D(2e6), D(10'000)}},
        {"later display overwrites with a figure", 1, {no, no, no, no, 3}, {D(10'000), D(3e6)}},
        {"display needs its group, subgroup and name", 1, {}, {{"DCP", "other", "power", mu, 9'000'000},
            {"DCP", "display stats", "Power", mu, 9'000'000}, {"Energy Model", "display stats", "power", mu, 9'000'000}}},
        {"no interval", 0, {}, {E("CPU Energy", 5'000), D(2e6)}}, {"empty channel array", 1.5, {}, {}}, {"no channel array", 1.5, {}, {}}};
    // clang-format on
    Fake api;
    api.open();
    for (const auto& [name, interval, watts, channels] : rows) {
        SCOPED_TRACE(name);
        const Object delta = api.delta(channels, name != std::string_view("no channel array"));
        const auto [cpu, gpu, ane, dram, shown] = watts;
        EXPECT_EQ(IOReportComponentPowerProvider::snapshot(delta, interval, kAt, api),
                  (ComponentPowerSnapshot{cpu, gpu, ane, dram, shown, interval, true, kAt}));
        api.release(delta);
    }
    api.close();
}

TEST(ComponentSamplerTest, UnitLabelsLoseExactlyTheUnicodeWhiteSpaceAroundThem) {
    const std::u32string blanks = U"\t\n\v\f\r \u0085\u00A0\u1680\u2028\u2029\u202F\u205F\u3000"
                                  U"\u2000\u2001\u2002\u2003\u2004\u2005\u2006\u2007\u2008\u2009\u200A";
    for (char32_t c = 0; c < 0x3100; ++c) {
        const std::string blank =
            c < 0x80 ? std::string{char(c)}
            : c < 0x800
                ? std::string{char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))}
                : std::string{char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
        for (const std::string& label : {blank + "mJ", "mJ" + blank, blank + blank + "mJ" + blank + blank}) {
            EXPECT_EQ(IOReportComponentPowerProvider::watts(1'000, label, 1) == Watts(1),
                      blanks.find(c) != blanks.npos)
                << "U+" << std::hex << unsigned(c);
        }
    }
}

} // namespace
} // namespace voltrane
