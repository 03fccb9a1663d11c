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
using enum PowerState;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

/// The unsigned 64-bit pattern the registry uses for a negative reading.
PropertyValue unsignedPattern(std::int64_t value) {
    return PropertyValue(static_cast<std::uint64_t>(value));
}

PropertyValue nested(PropertyTable values) {
    return PropertyValue(std::move(values));
}

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

using O = std::optional<double>;

/// The power readings most rows are about, in field order; the flags mark the two estimates.
PowerSnapshot power(O volts, O milliamps, O battery, O system, O input, PowerState state,
                    bool external = false, bool currentEstimated = false, bool batteryEstimated = false) {
    return {.voltageVolts = volts,
            .currentMilliamps = milliamps,
            .currentMilliampsIsEstimated = currentEstimated,
            .batteryWatts = battery,
            .batteryWattsIsEstimated = batteryEstimated,
            .systemWatts = system,
            .inputWatts = input,
            .state = state,
            .isExternalConnected = external};
}

PropertyValue load(double milliwatts) {
    return nested({{"SystemLoad", milliwatts}});
}

PropertyValue batteryPower(double milliwatts) {
    return nested({{"BatteryPower", milliwatts}});
}

// Thresholds are strict: each "AtThreshold" row sits exactly on one.
INSTANTIATE_TEST_SUITE_P(
    Tables, DecodeTest,
    ::testing::Values(
        DecodeCase{"OnlySystemLoadIsUnavailableWithEstimate",
                   {{"PowerTelemetryData", load(9000)}},
                   power({}, {}, -9.0, 9.0, 9.0, unavailable, false, false, true)},
        DecodeCase{
            "UnsignedPatternCurrentOnBattery",
            {{"Voltage", 12000}, {"InstantAmperage", unsignedPattern(-1000)}, {"ExternalConnected", false}},
            power(12.0, -1000.0, -12.0, {}, {}, onBattery)},
        DecodeCase{"IdleBatteryEstimatedFromLoad",
                   {{"Voltage", 12000},
                    {"InstantAmperage", 0},
                    {"ExternalConnected", false},
                    {"PowerTelemetryData", load(15000)}},
                   power(12.0, -1250.0, -15.0, 15.0, 15.0, onBattery, false, true, true)},
        DecodeCase{"IdleLoadEstimatesNothing",
                   {{"Voltage", 12000},
                    {"InstantAmperage", 0},
                    {"ExternalConnected", false},
                    {"PowerTelemetryData", load(150)}},
                   power(12.0, 0.0, 0.0, 0.15, 0.15, onBattery)},
        DecodeCase{"LoadAtThresholdEstimatesNothing",
                   {{"Voltage", 12000}, {"ExternalConnected", false}, {"PowerTelemetryData", load(200)}},
                   power(12.0, {}, {}, 0.2, 0.2, onBattery)},
        DecodeCase{"FiguresAtThresholdAreReplaced",
                   {{"Voltage", 10000},
                    {"InstantAmperage", 20},
                    {"ExternalConnected", false},
                    {"PowerTelemetryData", nested({{"SystemLoad", 10000}, {"BatteryPower", 200}})}},
                   power(10.0, -1000.0, -10.0, 10.0, 10.0, onBattery, false, true, true)},
        DecodeCase{
            "PowerAboveThresholdIsCharging",
            {{"ExternalConnected", true}, {"FullyCharged", true}, {"PowerTelemetryData", batteryPower(300)}},
            power({}, {}, 0.3, {}, {}, charging, true)},
        DecodeCase{
            "PowerAtThresholdIsCharged",
            {{"ExternalConnected", true}, {"FullyCharged", true}, {"PowerTelemetryData", batteryPower(200)}},
            power({}, {}, 0.2, {}, {}, charged, true)},
        DecodeCase{
            "ReportedChargingWinsOverSmallPower",
            {{"ExternalConnected", "Yes"}, {"IsCharging", "1"}, {"PowerTelemetryData", batteryPower(10)}},
            power({}, {}, 0.01, {}, {}, charging, true)},
        DecodeCase{"ExternalAsCapitalisedText",
                   {{"ExternalConnected", "YES"}},
                   {.state = pluggedIn, .isExternalConnected = true}},
        DecodeCase{"UnreadableExternalDefersToRawKey",
                   {{"ExternalConnected", "maybe"}, {"AppleRawExternalConnected", true}},
                   {.state = pluggedIn, .isExternalConnected = true}},
        DecodeCase{"ReadableExternalIgnoresRawKey",
                   {{"ExternalConnected", false}, {"AppleRawExternalConnected", true}},
                   {.state = onBattery}},
        DecodeCase{"RawExternalAloneIsNoBatteryData",
                   {{"AppleRawExternalConnected", true}},
                   {.state = unavailable, .isExternalConnected = true}},
        DecodeCase{"UnparsableVoltageDoesNotFallBack",
                   {{"Voltage", "12 V"}, {"AppleRawBatteryVoltage", 11000}, {"CurrentCapacity", 50}},
                   {.chargePercent = 50, .state = onBattery}},
        DecodeCase{"MissingVoltageFallsBack",
                   {{"AppleRawBatteryVoltage", 11000}, {"Amperage", -500}},
                   power(11.0, -500.0, -5.5, {}, {}, onBattery)},
        DecodeCase{"UnreadableCurrentDoesNotFallBack",
                   {{"Voltage", 11000}, {"InstantAmperage", true}, {"Amperage", -500}},
                   power(11.0, {}, {}, {}, {}, onBattery)},
        DecodeCase{"UnreadableLoadFallsBackUnscaled",
                   {{"PowerTelemetryData", nested({{"SystemLoad", "n/a"}})},
                    {"BatteryData", nested({{"SystemPower", 7.5}, {"AdapterPower", 20.0}})},
                    {"ExternalConnected", true}},
                   power({}, {}, {}, 7.5, 20.0, pluggedIn, true)},
        DecodeCase{"TinyInputGivesWayToLoadPlusCharge",
                   {{"ExternalConnected", true},
                    {"PowerTelemetryData",
                     nested({{"SystemPowerIn", 40}, {"SystemLoad", 6000}, {"BatteryPower", 2500}})}},
                   power({}, {}, 2.5, 6.0, 8.5, charging, true)},
        DecodeCase{"TinyInputKeptWithoutLoad",
                   {{"ExternalConnected", true}, {"PowerTelemetryData", nested({{"SystemPowerIn", 40}})}},
                   power({}, {}, {}, {}, 0.04, pluggedIn, true)},
        DecodeCase{"SmallReportedPowerYieldsToCurrentTimesVoltage",
                   {{"Voltage", 12000},
                    {"InstantAmperage", 1000},
                    {"ExternalConnected", true},
                    {"PowerTelemetryData", batteryPower(40)}},
                   power(12.0, 1000.0, 12.0, {}, {}, charging, true)},
        DecodeCase{"OtherReadingsAndAdapterRating",
                   {{"BatteryInstalled", PropertyValue()},
                    {"Temperature", 3000},
                    {"CycleCount", 512.9},
                    {"TimeRemaining", 42.5},
                    {"AdapterDetails", nested({{"Watts", 96}})},
                    {"CurrentCapacity", 4000},
                    {"MaxCapacity", 5000}},
                   {.adapterRatedWatts = 96.0,
                    .chargePercent = 80,
                    .batteryTimeRemainingMinutes = 43,
                    .temperatureCelsius = 300.0 - 273.15,
                    .cycleCount = 512,
                    .state = onBattery}},
        DecodeCase{"NonFiniteCycleCountIsAbsent",
                   {{"CycleCount", nan}, {"CurrentCapacity", inf}, {"Temperature", nan}},
                   {.temperatureCelsius = nan, .state = onBattery}},
        DecodeCase{"WronglyTypedNestedTablesReadEmpty",
                   {{"PowerTelemetryData", 5}, {"AdapterDetails", "96"}, {"PowerOutDetails", nested({})}},
                   {}},
        DecodeCase{
            "PortsSumAndCountRealOutput",
            {{"PowerOutDetails", PropertyList{nested({{"FilteredPower", 4500}}), nested({{"Watts", 30}})}}},
            {.portOutputWatts = 4.53, .powerOutputPortCount = 1}},
        DecodeCase{"PortsWithoutReadableKeysCountZero",
                   {{"PowerOutDetails", PropertyList{nested({{"Name", "USB-C"}})}}},
                   {.powerOutputPortCount = 0}},
        DecodeCase{"EmptyPortListIsAbsent", {{"PowerOutDetails", PropertyList{}}}, {}},
        DecodeCase{"NegativePortPowerCountsAsZero",
                   {{"PowerOutDetails", PropertyList{nested({{"FilteredPower", -500}})}}},
                   {.portOutputWatts = 0.0, .powerOutputPortCount = 0}},
        DecodeCase{"PortListWithANonMapIsIgnored",
                   {{"PowerOutDetails", PropertyList{nested({{"FilteredPower", 4500}}), 7}}},
                   {}}),
    testing::ParamName());

// --- float-coded fallback watts --------------------------------------------------------------

struct FallbackCase {
    const char* name;
    PropertyValue value;
    std::optional<double> watts;
};

class FallbackWattsTest : public ::testing::TestWithParam<FallbackCase> {};

// With nothing else in the table, "SystemPower" is the system load and "AdapterPower" the input
// figure, each exactly as the fallback reads it.
TEST_P(FallbackWattsTest, ReadsIntegerFloatBitsAndDropsImplausibleFigures) {
    const PropertyValue& value = GetParam().value;
    testing::expectFigure(
        "systemWatts",
        Provider::snapshot({{"BatteryData", nested({{"SystemPower", value}})}}, {}).systemWatts,
        GetParam().watts);
    testing::expectFigure(
        "inputWatts", Provider::snapshot({{"BatteryData", nested({{"AdapterPower", value}})}}, {}).inputWatts,
        GetParam().watts);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FallbackWattsTest,
    ::testing::Values(
        FallbackCase{"SmallIntegerAsRead", 12, 12.0}, FallbackCase{"LimitAsRead", 10000, 10000.0},
        FallbackCase{"NegativeLimitAsRead", -10000, -10000.0},
        FallbackCase{"UnsignedPatternOfNegativeAsRead", unsignedPattern(-100), -100.0},
        FallbackCase{"FloatBitsOfTen", 1092616192, 10.0},
        FallbackCase{"FloatBitsOfAlmostNothing", 850930859, 2.1440731856614548e-08},
        FallbackCase{"JustAboveLimitIsFloatBits", 10001, 1.4014385941712496e-41},
        FallbackCase{"UnsignedFloatBitsOfMinusOne", PropertyValue(std::uint64_t{0xBF800000}), -1.0},
        FallbackCase{"SignedFloatBitsOfMinusOne", PropertyValue(std::int64_t{-1082130432}), -1.0},
        FallbackCase{"LowestSigned32IsMinusZero", PropertyValue(std::int64_t{-2147483648}), -0.0},
        FallbackCase{"FloatBitsOfInfinity", PropertyValue(std::int64_t{0x7F800000}), nullopt},
        FallbackCase{"FloatBitsOfNaN", PropertyValue(std::int64_t{0xFFFFFFFF}), nullopt},
        FallbackCase{"FloatBitsTooLarge", PropertyValue(std::int64_t{0x461C4400}), nullopt}, // 10001.0f
        FallbackCase{"Beyond32Bits", PropertyValue(std::int64_t{1} << 32), nullopt},
        FallbackCase{"FarBeyond", PropertyValue(std::int64_t{1} << 40), nullopt},
        FallbackCase{"BelowSigned32", PropertyValue(std::int64_t{-2147483649}), nullopt},
        FallbackCase{"DoubleStaysAsRead", 850930859.0, 850930859.0},
        FallbackCase{"TextStaysAsRead", "850930859", 850930859.0}),
    testing::ParamName());

TEST(FallbackWattsTest, PreferredKeysStayDividedAndUnbounded) {
    const PowerSnapshot snapshot = Provider::snapshot(
        {{"PowerTelemetryData", nested({{"SystemLoad", 20000000}, {"SystemPowerIn", 850930859}})},
         {"BatteryData", nested({{"SystemPower", 1092616192}, {"AdapterPower", 1092616192}})}},
        {});
    testing::expectFigure("systemWatts", snapshot.systemWatts, 20000.0);
    testing::expectFigure("inputWatts", snapshot.inputWatts, 850930.859);
}

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
    ::testing::Values(NumberCase{"SignedInteger", PropertyValue(std::int64_t{-42}), -42.0},
                      NumberCase{"UnsignedPatternOfNegative", unsignedPattern(-100), -100.0},
                      NumberCase{"UnsignedPlain", PropertyValue(std::uint64_t{65535}), 65535.0},
                      NumberCase{"Double", 2.5, 2.5}, NumberCase{"DoubleNaNStaysNaN", nan, nan},
                      NumberCase{"Text", "12.5", 12.5}, NumberCase{"TextWithExponent", "-1e3", -1000.0},
                      NumberCase{"TextWithLeadingBlank", " 12", nullopt},
                      NumberCase{"TextWithTrailingBlank", "12 ", nullopt},
                      NumberCase{"TextWithDecimalComma", "1,5", nullopt},
                      NumberCase{"EmptyText", "", nullopt}, NumberCase{"Boolean", true, nullopt},
                      NumberCase{"Table", PropertyTable{{"a", 1}}, nullopt}),
    testing::ParamName());

TEST(SignedNumberTest, MissingKeyIsAbsent) {
    EXPECT_EQ(Provider::signedNumber(nullptr), nullopt);
    EXPECT_EQ(Provider::boolean(nullptr), nullopt);
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
                      BooleanCase{"DoubleFraction", 0.5, true}, BooleanCase{"YesInCapitals", "YES", true},
                      BooleanCase{"MixedCaseFalse", "FaLsE", false}, BooleanCase{"TextOne", "1", true},
                      BooleanCase{"TextZero", "0", false}, BooleanCase{"TextNo", "no", false},
                      BooleanCase{"OtherWord", "on", nullopt}, BooleanCase{"PaddedWord", " yes", nullopt},
                      BooleanCase{"OtherKind", PropertyValue(), nullopt}),
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
        IntegerCase{"NegativeClampedToZero", {{"CurrentCapacity", -5}, {"MaxCapacity", 100}}, 0},
        IntegerCase{"NegativeMaxIgnored", {{"CurrentCapacity", 55}, {"MaxCapacity", -10}}, 55},
        IntegerCase{"UnreadableMaxIgnored", {{"CurrentCapacity", 55}, {"MaxCapacity", "x"}}, 55},
        IntegerCase{"InfiniteMaxIgnored", {{"CurrentCapacity", 55}, {"MaxCapacity", inf}}, 55},
        IntegerCase{"NaNIsAbsent", {{"CurrentCapacity", nan}}, nullopt},
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
                      IntegerCase{"HalfRoundsAway", {{"TimeRemaining", 42.5}}, 43},
                      IntegerCase{"JustBelowMarker", {{"TimeRemaining", 65534.4}}, 65534},
                      IntegerCase{"Text", {{"TimeRemaining", "90"}}, 90},
                      IntegerCase{"NaN", {{"TimeRemaining", nan}}, nullopt}),
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

/// Records how many clock reads had happened when the table was copied.
class ScriptedRegistry final : public BatteryRegistry {
public:
    ScriptedRegistry(std::optional<PropertyTable> table, const int& reads, int& readsAtCopy)
        : table_(std::move(table)), reads_(reads), readsAtCopy_(readsAtCopy) {}
    std::optional<PropertyTable> copyProperties() override {
        readsAtCopy_ = reads_;
        return table_;
    }

private:
    std::optional<PropertyTable> table_;
    const int& reads_;
    int& readsAtCopy_;
};

TEST(IOKitPowerMetricsProviderTest, TakesTheTimeFirstAndDecodesTheCopyOrGivesUnavailable) {
    const Date now = Date(std::chrono::seconds(1'800'000'000));
    const PropertyTable table{{"Voltage", 12000}, {"InstantAmperage", -1000}, {"ExternalConnected", false}};
    for (const auto& copied : {std::optional<PropertyTable>(table), std::optional<PropertyTable>()}) {
        int reads = 0;
        int readsAtCopy = -1;
        IOKitPowerMetricsProvider provider(std::make_unique<ScriptedRegistry>(copied, reads, readsAtCopy),
                                           [&] {
                                               ++reads;
                                               return now;
                                           });
        EXPECT_EQ(provider.readSnapshot(),
                  copied ? Provider::snapshot(table, now) : PowerSnapshot::unavailable(now));
        EXPECT_EQ(readsAtCopy, 1);
    }
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
