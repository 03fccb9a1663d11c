#include "snapshot_expectations.h"
#include "support/param_name.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"

#include <gtest/gtest.h>
#include <limits>

// Expected snapshots name only the fields they set; the rest keep their defaults (absent).
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace voltrane {
namespace {

using std::nullopt;
using Provider = IOKitPowerMetricsProvider;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

/// The unsigned 64-bit pattern the registry uses for a negative reading.
PropertyValue unsignedPattern(std::int64_t value) {
    return PropertyValue(static_cast<std::uint64_t>(value));
}

// --- whole tables ---------------------------------------------------------------------------

struct DecodeCase {
    const char* name;
    PropertyTable table;
    PowerSnapshot expected;
};

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, GivesTheStatedSnapshot) {
    const Date at = Date(std::chrono::milliseconds(1'700'000'000'123));
    const PowerSnapshot actual = Provider::snapshot(GetParam().table, at);
    testing::expectSameReadings(actual, GetParam().expected);
    EXPECT_EQ(actual.sampledAt, at);
}

PropertyValue telemetry(PropertyTable values) {
    return PropertyValue(std::move(values));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DecodeTest,
    ::testing::Values(
        DecodeCase{
            "OnlySystemLoadIsUnavailableWithEstimate",
            {{"PowerTelemetryData", telemetry({{"SystemLoad", 9000}})}},
            {.batteryWatts = -9.0, .batteryWattsIsEstimated = true, .systemWatts = 9.0, .inputWatts = 9.0}},
        DecodeCase{
            "UnsignedPatternCurrentOnBattery",
            {{"Voltage", 12000}, {"InstantAmperage", unsignedPattern(-1000)}, {"ExternalConnected", false}},
            {.voltageVolts = 12.0,
             .currentMilliamps = -1000.0,
             .batteryWatts = -12.0,
             .state = PowerState::onBattery}},
        DecodeCase{"IdleBatteryEstimatedFromLoad",
                   {{"Voltage", 12000},
                    {"InstantAmperage", 0},
                    {"ExternalConnected", false},
                    {"PowerTelemetryData", telemetry({{"SystemLoad", 15000}})}},
                   {.voltageVolts = 12.0,
                    .currentMilliamps = -1250.0,
                    .currentMilliampsIsEstimated = true,
                    .batteryWatts = -15.0,
                    .batteryWattsIsEstimated = true,
                    .systemWatts = 15.0,
                    .inputWatts = 15.0,
                    .state = PowerState::onBattery}},
        DecodeCase{"IdleLoadEstimatesNothing",
                   {{"Voltage", 12000},
                    {"InstantAmperage", 0},
                    {"ExternalConnected", false},
                    {"PowerTelemetryData", telemetry({{"SystemLoad", 150}})}},
                   {.voltageVolts = 12.0,
                    .currentMilliamps = 0.0,
                    .batteryWatts = 0.0,
                    .systemWatts = 0.15,
                    .inputWatts = 0.15,
                    .state = PowerState::onBattery}},
        DecodeCase{
            "LoadAtThresholdEstimatesNothing",
            {{"Voltage", 12000},
             {"ExternalConnected", false},
             {"PowerTelemetryData", telemetry({{"SystemLoad", 200}})}},
            {.voltageVolts = 12.0, .systemWatts = 0.2, .inputWatts = 0.2, .state = PowerState::onBattery}},
        DecodeCase{"FiguresAtThresholdAreReplaced",
                   {{"Voltage", 10000},
                    {"InstantAmperage", 20},
                    {"ExternalConnected", false},
                    {"PowerTelemetryData", telemetry({{"SystemLoad", 10000}, {"BatteryPower", 200}})}},
                   {.voltageVolts = 10.0,
                    .currentMilliamps = -1000.0,
                    .currentMilliampsIsEstimated = true,
                    .batteryWatts = -10.0,
                    .batteryWattsIsEstimated = true,
                    .systemWatts = 10.0,
                    .inputWatts = 10.0,
                    .state = PowerState::onBattery}},
        DecodeCase{"PowerAboveThresholdIsCharging",
                   {{"ExternalConnected", true},
                    {"IsCharging", false},
                    {"FullyCharged", true},
                    {"PowerTelemetryData", telemetry({{"BatteryPower", 300}})}},
                   {.batteryWatts = 0.3, .state = PowerState::charging, .isExternalConnected = true}},
        DecodeCase{"PowerAtThresholdIsCharged",
                   {{"ExternalConnected", true},
                    {"IsCharging", false},
                    {"FullyCharged", true},
                    {"PowerTelemetryData", telemetry({{"BatteryPower", 200}})}},
                   {.batteryWatts = 0.2, .state = PowerState::charged, .isExternalConnected = true}},
        DecodeCase{"ReportedChargingWinsOverSmallPower",
                   {{"ExternalConnected", "Yes"},
                    {"IsCharging", "1"},
                    {"PowerTelemetryData", telemetry({{"BatteryPower", 10}})}},
                   {.batteryWatts = 0.01, .state = PowerState::charging, .isExternalConnected = true}},
        DecodeCase{"ExternalAsCapitalisedText",
                   {{"ExternalConnected", "YES"}},
                   {.state = PowerState::pluggedIn, .isExternalConnected = true}},
        DecodeCase{"UnreadableExternalDefersToRawKey",
                   {{"ExternalConnected", "maybe"}, {"AppleRawExternalConnected", true}},
                   {.state = PowerState::pluggedIn, .isExternalConnected = true}},
        DecodeCase{"ReadableExternalIgnoresRawKey",
                   {{"ExternalConnected", false}, {"AppleRawExternalConnected", true}},
                   {.state = PowerState::onBattery}},
        DecodeCase{"RawExternalAloneIsNoBatteryData",
                   {{"AppleRawExternalConnected", true}},
                   {.state = PowerState::unavailable, .isExternalConnected = true}},
        DecodeCase{"UnparsableVoltageDoesNotFallBack",
                   {{"Voltage", "12 V"}, {"AppleRawBatteryVoltage", 11000}, {"CurrentCapacity", 50}},
                   {.chargePercent = 50, .state = PowerState::onBattery}},
        DecodeCase{"MissingVoltageFallsBack",
                   {{"AppleRawBatteryVoltage", 11000}, {"Amperage", -500}},
                   {.voltageVolts = 11.0,
                    .currentMilliamps = -500.0,
                    .batteryWatts = -5.5,
                    .state = PowerState::onBattery}},
        DecodeCase{"UnreadableCurrentDoesNotFallBack",
                   {{"Voltage", 11000}, {"InstantAmperage", true}, {"Amperage", -500}},
                   {.voltageVolts = 11.0, .state = PowerState::onBattery}},
        DecodeCase{"UnreadableLoadFallsBackUnscaled",
                   {{"PowerTelemetryData", telemetry({{"SystemLoad", "n/a"}})},
                    {"BatteryData", telemetry({{"SystemPower", 7.5}, {"AdapterPower", 20.0}})},
                    {"ExternalConnected", true}},
                   {.systemWatts = 7.5,
                    .inputWatts = 20.0,
                    .state = PowerState::pluggedIn,
                    .isExternalConnected = true}},
        DecodeCase{"TinyInputGivesWayToLoadPlusCharge",
                   {{"ExternalConnected", true},
                    {"PowerTelemetryData",
                     telemetry({{"SystemPowerIn", 40}, {"SystemLoad", 6000}, {"BatteryPower", 2500}})}},
                   {.batteryWatts = 2.5,
                    .systemWatts = 6.0,
                    .inputWatts = 8.5,
                    .state = PowerState::charging,
                    .isExternalConnected = true}},
        DecodeCase{"TinyInputKeptWithoutLoad",
                   {{"ExternalConnected", true}, {"PowerTelemetryData", telemetry({{"SystemPowerIn", 40}})}},
                   {.inputWatts = 0.04, .state = PowerState::pluggedIn, .isExternalConnected = true}},
        DecodeCase{"SmallReportedPowerYieldsToCurrentTimesVoltage",
                   {{"Voltage", 12000},
                    {"InstantAmperage", 1000},
                    {"ExternalConnected", true},
                    {"PowerTelemetryData", telemetry({{"BatteryPower", 40}})}},
                   {.voltageVolts = 12.0,
                    .currentMilliamps = 1000.0,
                    .batteryWatts = 12.0,
                    .state = PowerState::charging,
                    .isExternalConnected = true}},
        DecodeCase{"OtherReadingsAndAdapterRating",
                   {{"BatteryInstalled", PropertyValue()},
                    {"Temperature", 3000},
                    {"CycleCount", 512.9},
                    {"TimeRemaining", 42.5},
                    {"AdapterDetails", telemetry({{"Watts", 96}})},
                    {"CurrentCapacity", 4000},
                    {"MaxCapacity", 5000}},
                   {.adapterRatedWatts = 96.0,
                    .chargePercent = 80,
                    .batteryTimeRemainingMinutes = 43,
                    .temperatureCelsius = 300.0 - 273.15,
                    .cycleCount = 512,
                    .state = PowerState::onBattery}},
        DecodeCase{"NonFiniteCycleCountIsAbsent",
                   {{"CycleCount", nan}, {"CurrentCapacity", inf}, {"Temperature", nan}},
                   {.temperatureCelsius = nan, .state = PowerState::onBattery}},
        DecodeCase{"WronglyTypedNestedTablesReadEmpty",
                   {{"PowerTelemetryData", 5}, {"AdapterDetails", "96"}, {"PowerOutDetails", telemetry({})}},
                   {}},
        DecodeCase{"PortsSumAndCountRealOutput",
                   {{"PowerOutDetails",
                     PropertyList{telemetry({{"FilteredPower", 4500}}), telemetry({{"Watts", 30}})}}},
                   {.portOutputWatts = 4.53, .powerOutputPortCount = 1}},
        DecodeCase{"PortsWithoutReadableKeysCountZero",
                   {{"PowerOutDetails", PropertyList{telemetry({{"Name", "USB-C"}})}}},
                   {.powerOutputPortCount = 0}},
        DecodeCase{"EmptyPortListIsAbsent", {{"PowerOutDetails", PropertyList{}}}, {}},
        DecodeCase{"NegativePortPowerCountsAsZero",
                   {{"PowerOutDetails", PropertyList{telemetry({{"FilteredPower", -500}})}}},
                   {.portOutputWatts = 0.0, .powerOutputPortCount = 0}},
        DecodeCase{"PortListWithANonMapIsIgnored",
                   {{"PowerOutDetails", PropertyList{telemetry({{"FilteredPower", 4500}}), 7}}},
                   {}}),
    testing::ParamName());

// --- value readers --------------------------------------------------------------------------

struct NumberCase {
    const char* name;
    PropertyValue value;
    std::optional<double> expected;
};

class SignedNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(SignedNumberTest, ReadsTheValue) {
    testing::expectFigure("signedNumber", Provider::signedNumber(&GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, SignedNumberTest,
    ::testing::Values(
        NumberCase{"SignedInteger", PropertyValue(std::int64_t{-42}), -42.0},
        NumberCase{"UnsignedPatternOfNegative", unsignedPattern(-100), -100.0},
        NumberCase{"UnsignedPlain", PropertyValue(std::uint64_t{65535}), 65535.0},
        NumberCase{"Double", 2.5, 2.5}, NumberCase{"DoubleNaNStaysNaN", nan, nan},
        NumberCase{"Text", "12.5", 12.5}, NumberCase{"TextWithExponent", "-1e3", -1000.0},
        NumberCase{"TextInfinity", "inf", inf}, NumberCase{"TextWithLeadingBlank", " 12", nullopt},
        NumberCase{"TextWithTrailingBlank", "12 ", nullopt}, NumberCase{"TextWithUnit", "12mV", nullopt},
        NumberCase{"TextWithDecimalComma", "1,5", nullopt}, NumberCase{"EmptyText", "", nullopt},
        NumberCase{"Boolean", true, nullopt}, NumberCase{"OtherKind", PropertyValue(), nullopt},
        NumberCase{"Table", PropertyTable{{"a", 1}}, nullopt}),
    testing::ParamName());

TEST(SignedNumberTest, MissingKeyIsAbsent) {
    EXPECT_EQ(Provider::signedNumber(nullptr), nullopt);
}

struct BooleanCase {
    const char* name;
    PropertyValue value;
    std::optional<bool> expected;
};

class BooleanTest : public ::testing::TestWithParam<BooleanCase> {};

TEST_P(BooleanTest, ReadsTheValue) {
    EXPECT_EQ(Provider::boolean(&GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BooleanTest,
    ::testing::Values(BooleanCase{"True", true, true}, BooleanCase{"False", false, false},
                      BooleanCase{"ZeroInteger", 0, false}, BooleanCase{"NonZeroInteger", -3, true},
                      BooleanCase{"UnsignedNonZero", PropertyValue(std::uint64_t{1}), true},
                      BooleanCase{"DoubleZero", 0.0, false}, BooleanCase{"DoubleFraction", 0.5, true},
                      BooleanCase{"YesInCapitals", "YES", true},
                      BooleanCase{"MixedCaseFalse", "FaLsE", false}, BooleanCase{"TextOne", "1", true},
                      BooleanCase{"TextZero", "0", false}, BooleanCase{"TextNo", "no", false},
                      BooleanCase{"OtherWord", "on", nullopt}, BooleanCase{"PaddedWord", " yes", nullopt},
                      BooleanCase{"EmptyText", "", nullopt},
                      BooleanCase{"OtherKind", PropertyValue(), nullopt},
                      BooleanCase{"List", PropertyList{true}, nullopt}),
    testing::ParamName());

struct IntegerCase {
    const char* name;
    PropertyTable table;
    std::optional<int> expected;
};

class ChargePercentTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ChargePercentTest, RoundsAndClamps) {
    EXPECT_EQ(Provider::chargePercent(GetParam().table), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ChargePercentTest,
    ::testing::Values(
        IntegerCase{"PercentOfHundred", {{"CurrentCapacity", 87}, {"MaxCapacity", 100}}, 87},
        IntegerCase{"CapacityUnits", {{"CurrentCapacity", 4000}, {"MaxCapacity", 5000}}, 80},
        IntegerCase{"ClampedAboveWithoutMax", {{"CurrentCapacity", 120}}, 100},
        IntegerCase{"HalfRoundsAwayWithZeroMax", {{"CurrentCapacity", 62.5}, {"MaxCapacity", 0}}, 63},
        IntegerCase{"FractionOfHundredRoundsUp", {{"CurrentCapacity", 0.5}, {"MaxCapacity", 100}}, 1},
        IntegerCase{"NegativeClampedToZero", {{"CurrentCapacity", -5}, {"MaxCapacity", 100}}, 0},
        IntegerCase{"NegativeMaxIgnored", {{"CurrentCapacity", 55}, {"MaxCapacity", -10}}, 55},
        IntegerCase{"UnreadableMaxIgnored", {{"CurrentCapacity", 55}, {"MaxCapacity", "x"}}, 55},
        IntegerCase{"InfiniteMaxIgnored", {{"CurrentCapacity", 55}, {"MaxCapacity", inf}}, 55},
        IntegerCase{"RatioRounds", {{"CurrentCapacity", 1}, {"MaxCapacity", 3}}, 33},
        IntegerCase{"NaNIsAbsent", {{"CurrentCapacity", nan}}, nullopt},
        IntegerCase{"InfinityIsAbsent", {{"CurrentCapacity", inf}}, nullopt},
        IntegerCase{"MissingIsAbsent", {{"MaxCapacity", 100}}, nullopt}),
    testing::ParamName());

class TimeRemainingTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(TimeRemainingTest, KeepsOnlyRealEstimates) {
    EXPECT_EQ(Provider::timeRemainingMinutes(GetParam().table), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, TimeRemainingTest,
    ::testing::Values(IntegerCase{"NoEstimateMarker", {{"TimeRemaining", 65535}}, nullopt},
                      IntegerCase{"Zero", {{"TimeRemaining", 0}}, nullopt},
                      IntegerCase{"Negative", {{"TimeRemaining", -1}}, nullopt},
                      IntegerCase{"HalfRoundsAway", {{"TimeRemaining", 42.5}}, 43},
                      IntegerCase{"JustBelowMarker", {{"TimeRemaining", 65534.4}}, 65534},
                      IntegerCase{"Text", {{"TimeRemaining", "90"}}, 90},
                      IntegerCase{"NaN", {{"TimeRemaining", nan}}, nullopt},
                      IntegerCase{"Infinity", {{"TimeRemaining", inf}}, nullopt}),
    testing::ParamName());

struct PortCase {
    const char* name;
    PropertyTable port;
    std::optional<double> expected;
};

class PowerOutputTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(PowerOutputTest, ReadsOnePort) {
    testing::expectFigure("powerOutputWatts", Provider::powerOutputWatts(GetParam().port),
                          GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PowerOutputTest,
    ::testing::Values(
        PortCase{"FilteredPower", {{"FilteredPower", 4500}, {"Watts", 9000}}, 4.5},
        PortCase{"WattsWhenFilteredMissing", {{"Watts", 9000}}, 9.0},
        PortCase{"UnreadableFilteredFallsToCurrent",
                 {{"FilteredPower", "?"}, {"Watts", 9000}, {"Current", 3000}, {"AdapterVoltage", 5000}},
                 15.0},
        PortCase{"NegativeProductRaisedToZero", {{"Current", -3000}, {"AdapterVoltage", 5000}}, 0.0},
        PortCase{"NaNBecomesZero", {{"FilteredPower", nan}}, 0.0},
        PortCase{"CurrentWithoutVoltage", {{"Current", 3000}}, nullopt}),
    testing::ParamName());

// --- the provider -----------------------------------------------------------------------------

class ScriptedRegistry final : public BatteryRegistry {
public:
    ScriptedRegistry(std::optional<PropertyTable> table, const int& clockReads, int& clockReadsAtCopy)
        : table_(std::move(table)), clockReads_(clockReads), clockReadsAtCopy_(clockReadsAtCopy) {}

    std::optional<PropertyTable> copyProperties() override {
        clockReadsAtCopy_ = clockReads_;
        return table_;
    }

private:
    std::optional<PropertyTable> table_;
    const int& clockReads_;
    int& clockReadsAtCopy_;
};

struct ProviderFixture {
    int clockReads = 0;
    int clockReadsAtCopy = -1;
    Date now = Date(std::chrono::seconds(1'800'000'000));

    IOKitPowerMetricsProvider make(std::optional<PropertyTable> table) {
        return IOKitPowerMetricsProvider(
            std::make_unique<ScriptedRegistry>(std::move(table), clockReads, clockReadsAtCopy), [this] {
                ++clockReads;
                return now;
            });
    }
};

TEST(IOKitPowerMetricsProviderTest, NoEntryGivesTheUnavailableSnapshotAtTheReadsStart) {
    ProviderFixture fixture;
    auto provider = fixture.make(nullopt);
    EXPECT_EQ(provider.readSnapshot(), PowerSnapshot::unavailable(fixture.now));
    EXPECT_EQ(fixture.clockReadsAtCopy, 1);
}

TEST(IOKitPowerMetricsProviderTest, DecodesTheCopiedTableWithTheTimeTakenFirst) {
    ProviderFixture fixture;
    const PropertyTable table{{"Voltage", 12000}, {"InstantAmperage", -1000}, {"ExternalConnected", false}};
    auto provider = fixture.make(table);
    const PowerSnapshot snapshot = provider.readSnapshot();
    EXPECT_EQ(fixture.clockReadsAtCopy, 1);
    EXPECT_EQ(snapshot, Provider::snapshot(table, fixture.now));
    EXPECT_EQ(snapshot.state, PowerState::onBattery);
}

TEST(PropertyValueTest, CopiesShareNestedTablesAndCompareDeeply) {
    const PropertyValue original(PropertyTable{{"BatteryPower", -1500}, {"List", PropertyList{1, 2.0}}});
    const PropertyValue copy = original;
    EXPECT_EQ(copy.table(), original.table()); // same storage, not a deep copy
    EXPECT_EQ(copy, PropertyValue(PropertyTable{{"BatteryPower", -1500}, {"List", PropertyList{1, 2.0}}}));
    EXPECT_NE(copy, PropertyValue(PropertyTable{{"BatteryPower", -1500}, {"List", PropertyList{1, 2}}}));
    EXPECT_NE(PropertyValue(nan), PropertyValue(nan));
    EXPECT_NE(PropertyValue(std::uint64_t{5}), PropertyValue(std::int64_t{5}));
}

} // namespace
} // namespace voltrane
