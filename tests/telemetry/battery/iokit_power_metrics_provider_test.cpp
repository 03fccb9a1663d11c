#include "snapshot_expectations.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using std::nullopt;
using testing::describe;
using testing::figure;
using testing::textTable;
using Provider = IOKitPowerMetricsProvider;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

/// The unsigned 64-bit pattern the registry uses for a negative reading.
PropertyValue unsignedPattern(std::int64_t value) {
    return PropertyValue(static_cast<std::uint64_t>(value));
}

// Thresholds (0.2 W for load, charge and estimates; 0.05 W for reported figures) are strict: each
// pair of rows puts a figure on one, then between it and twice it.
TEST(DecodeTest, GivesTheStatedSnapshot) {
    // clang-format off
    const std::vector<std::pair<const char*, const char*>> rows = {
        {R"("PowerTelemetryData"={"SystemLoad"=9000})", "unavailable W=-9~ sys=9 in=9"},
        {R"("Voltage"=12000,"InstantAmperage"=0,"PowerTelemetryData"={"SystemLoad"=15000})",
         "onBattery V=12 mA=-1250~ W=-15~ sys=15 in=15"},
        {R"("Voltage"=12000,"PowerTelemetryData"={"SystemLoad"=-200})", "onBattery V=12 sys=-0.2 in=-0.2"},
        {R"("Voltage"=10000,"PowerTelemetryData"={"SystemLoad"=-300})", "onBattery V=10 mA=-30~ W=-0.3~ sys=-0.3 in=-0.3"},
        {R"("Voltage"=10000,"InstantAmperage"=-20,"PowerTelemetryData"={"SystemLoad"=10000,"BatteryPower"=-200})",
         "onBattery V=10 mA=-1000~ W=-10~ sys=10 in=10"},
        {R"("Voltage"=10000,"InstantAmperage"=-20.01,"PowerTelemetryData"={"SystemLoad"=10000,"BatteryPower"=-300})",
         "onBattery V=10 mA=-20.01 W=-0.3 sys=10 in=10"},
        {R"("Voltage"=0,"PowerTelemetryData"={"SystemLoad"=5000})", "onBattery V=0 W=-5~ sys=5 in=5"},
        {R"("Voltage"=500,"PowerTelemetryData"={"SystemLoad"=5000})", "onBattery V=0.5 mA=-10000~ W=-5~ sys=5 in=5"},
        {R"("ExternalConnected"=Yes,"FullyCharged"=Yes,"PowerTelemetryData"={"BatteryPower"=200})", "charged external W=0.2"},
        {R"("ExternalConnected"=Yes,"FullyCharged"=Yes,"PowerTelemetryData"={"BatteryPower"=300})", "charging external W=0.3"},
        {R"("ExternalConnected"="Yes","IsCharging"="1","PowerTelemetryData"={"BatteryPower"=10})", "charging external W=0.01"},
        {R"("Voltage"=12000,"InstantAmperage"=1000,"ExternalConnected"=Yes,"PowerTelemetryData"={"BatteryPower"=-50})",
         "charging external V=12 mA=1000 W=12"},
        {R"("Voltage"=12000,"InstantAmperage"=1000,"ExternalConnected"=Yes,"PowerTelemetryData"={"BatteryPower"=-60})",
         "pluggedIn external V=12 mA=1000 W=-0.06"},
        {R"("ExternalConnected"="maybe","AppleRawExternalConnected"=Yes)", "pluggedIn external"},
        {R"("ExternalConnected"=No,"AppleRawExternalConnected"=Yes)", "onBattery"},
        {R"("AppleRawExternalConnected"=Yes)", "unavailable external"}, // no battery data
        {R"("Voltage"="12 V","AppleRawBatteryVoltage"=11000,"CurrentCapacity"=50)", "onBattery %=50"},
        {R"("AppleRawBatteryVoltage"=11000,"Amperage"=-500)", "onBattery V=11 mA=-500 W=-5.5"},
        {R"("Voltage"=11000,"InstantAmperage"=Yes,"Amperage"=-500)", "onBattery V=11"},
        {R"("PowerTelemetryData"={"SystemLoad"="n/a"},"BatteryData"={"SystemPower"=7.5,"AdapterPower"=20.0})",
         "unavailable W=-7.5~ sys=7.5 in=20"},
        {R"("ExternalConnected"=Yes,"PowerTelemetryData"={"SystemPowerIn"=-50,"SystemLoad"=6000,"BatteryPower"=500})",
         "charging external W=0.5 sys=6 in=6.5"},
        {R"("ExternalConnected"=Yes,"PowerTelemetryData"={"SystemPowerIn"=-60,"SystemLoad"=6000})",
         "pluggedIn external sys=6 in=-0.06"},
        {R"("ExternalConnected"=Yes,"PowerTelemetryData"={"SystemLoad"=6000,"BatteryPower"=-2500})",
         "pluggedIn external W=-2.5 sys=6 in=6"},
        {R"("ExternalConnected"=Yes,"PowerTelemetryData"={"SystemPowerIn"=40})", "pluggedIn external in=0.04"},
        {R"("BatteryInstalled"=<00>,"Temperature"=3000,"CycleCount"=512.9,"TimeRemaining"=42.5,)"
         R"("AdapterDetails"={"Watts"=96},"CurrentCapacity"=4000,"MaxCapacity"=5000)",
         "onBattery adapter=96 %=80 min=43 C=26.85 cycles=512"},
        {R"("CycleCount"=-9223372036854775808.0)", "unavailable cycles=-9223372036854775808"},
        {R"("CycleCount"=9223372036854775808.0,"CurrentCapacity"=1e400,"Temperature"=-1e400)", "onBattery C=-inf"},
        {R"("PowerTelemetryData"=5,"AdapterDetails"="96","PowerOutDetails"={"Watts"=1})", "unavailable"},
        {R"("PowerOutDetails"=({"FilteredPower"=4500},{"Watts"=50},{"Watts"=60},{"Name"="USB"}))",
         "unavailable portW=4.61 ports=2"},
        {R"("PowerOutDetails"=({"Name"="USB"}))", "unavailable ports=0"},
        {R"("PowerOutDetails"=())", "unavailable"},
        {R"("PowerOutDetails"=({"FilteredPower"=4500},7))", "unavailable"}}; // a list with a non-table is ignored
    // clang-format on
    for (const auto& [members, expected] : rows) {
        EXPECT_EQ(describe(Provider::snapshot(textTable(members), {})), expected) << members;
    }
}

// With nothing else in the table, "SystemPower" is the system load and "AdapterPower" the input
// figure, each exactly as the fallback reads it: small integers as they are, other 32-bit ones as
// the bits of a float (0x461C4000 is 10000.0f, 0x461C4400 10001.0f; -3202351104 has 10.0f in its
// low 32 bits), and nothing for a figure no machine draws. The preferred keys are milliwatts.
TEST(FallbackWattsTest, ReadsIntegerFloatBitsAndDropsImplausibleFigures) {
    // clang-format off
    const std::vector<std::pair<PropertyValue, const char*>> rows = {
        {12, "12"}, {10000, "10000"}, {-10000, "-10000"}, {unsignedPattern(-100), "-100"}, {1092616192, "10"},
        {850930859, "2.144073186e-08"}, {10001, "1.401438594e-41"}, {std::int64_t{0x461C4000}, "10000"},
        {std::uint64_t{0xBF800000}, "-1"}, {std::int64_t{-1082130432}, "-1"}, {std::int64_t{-2147483648}, "-0"},
        {std::int64_t{0x7F800000}, "-"}, {std::int64_t{0xFFFFFFFF}, "-"}, {std::int64_t{0x461C4400}, "-"},
        {std::int64_t{1} << 32, "-"}, {std::int64_t{-2147483649}, "-"}, {std::int64_t{-3202351104}, "-"},
        {850930859.0, "850930859"}, {"850930859", "850930859"}};
    // clang-format on
    for (const auto& [value, watts] : rows) {
        const auto read = [&](const char* key) {
            return Provider::snapshot({{"BatteryData", PropertyTable{{key, value}}}}, {});
        };
        EXPECT_EQ(figure(read("SystemPower").systemWatts), watts);
        EXPECT_EQ(figure(read("AdapterPower").inputWatts), watts);
    }
    const PowerSnapshot preferred = Provider::snapshot(
        textTable(R"("PowerTelemetryData"={"SystemLoad"=20000000,"SystemPowerIn"=850930859},)"
                  R"("BatteryData"={"SystemPower"=1092616192,"AdapterPower"=1092616192})"),
        {});
    EXPECT_EQ(describe(preferred), "unavailable W=-20000~ sys=20000 in=850930.859");
}

TEST(ValueReaderTest, ReadsNumbersAndBooleansOfEveryKind) {
    // clang-format off
    const std::vector<std::tuple<PropertyValue, const char*, std::optional<bool>>> rows = {
        {std::int64_t{-42}, "-42", true}, {unsignedPattern(-100), "-100", true}, {std::uint64_t{0}, "0", false},
        {0, "0", false}, {2.5, "2.5", true}, {0.0, "0", false}, {nan, "nan", true}, {true, "-", true},
        {false, "-", false}, {"12.5", "12.5", nullopt}, {"-1e3", "-1000", nullopt}, {" 12", "-", nullopt},
        {"12 ", "-", nullopt}, {"1,5", "-", nullopt}, {"", "-", nullopt}, {"1", "1", true}, {"0", "0", false},
        {"YES", "-", true}, {"FaLsE", "-", false}, {"no", "-", false}, {"True", "-", true}, {"on", "-", nullopt},
        {PropertyValue(), "-", nullopt}, {PropertyTable{{"a", 1}}, "-", nullopt}};
    // clang-format on
    for (const auto& [value, number, flag] : rows) {
        EXPECT_EQ(figure(Provider::signedNumber(&value)), number) << figure(flag);
        EXPECT_EQ(Provider::boolean(&value), flag) << number;
    }
    EXPECT_FALSE(Provider::signedNumber(nullptr) || Provider::boolean(nullptr));
}

TEST(ValueReaderTest, ChargeRoundsAndClampsTimeKeepsRealEstimatesPortsNeverNegative) {
    // clang-format off
    const std::vector<std::pair<const char*, const char*>> charges = {
        {R"("CurrentCapacity"=87,"MaxCapacity"=100)", "87"}, {R"("CurrentCapacity"=4000,"MaxCapacity"=5000)", "80"},
        {R"("CurrentCapacity"=120)", "100"}, {R"("CurrentCapacity"=62.5,"MaxCapacity"=0)", "63"},
        {R"("CurrentCapacity"=-5,"MaxCapacity"=100)", "0"}, {R"("CurrentCapacity"=55,"MaxCapacity"=-10)", "55"},
        {R"("CurrentCapacity"=55,"MaxCapacity"="x")", "55"}, {R"("CurrentCapacity"=55,"MaxCapacity"=1e400)", "55"},
        {R"("CurrentCapacity"=0.5,"MaxCapacity"=1)", "50"}, {R"("CurrentCapacity"=60,"MaxCapacity"=101)", "59"},
        {R"("MaxCapacity"=100)", "-"}};
    // clang-format on
    for (const auto& [members, percent] : charges) {
        EXPECT_EQ(figure(Provider::chargePercent(textTable(members))), percent) << members;
    }
    const std::vector<std::pair<PropertyValue, const char*>> times = {
        {65535, "-"}, {0, "-"}, {1, "1"}, {42.5, "43"}, {65534.4, "65534"}, {"90", "90"}, {nan, "-"}};
    for (const auto& [minutes, expected] : times) {
        EXPECT_EQ(figure(Provider::timeRemainingMinutes({{"TimeRemaining", minutes}})), expected);
    }
    EXPECT_EQ(figure(Provider::chargePercent({{"CurrentCapacity", nan}})), "-");
    // clang-format off
    const std::vector<std::pair<const char*, const char*>> ports = {
        {R"("FilteredPower"=4500,"Watts"=9000)", "4.5"}, {R"("Watts"=9000)", "9"}, {R"("Current"=3000)", "-"},
        {R"("FilteredPower"="?","Watts"=9000,"Current"=3000,"AdapterVoltage"=5000)", "15"},
        {R"("Current"=-3000,"AdapterVoltage"=5000)", "0"}, {R"("AdapterVoltage"=5000)", "-"}};
    // clang-format on
    for (const auto& [members, watts] : ports) {
        EXPECT_EQ(figure(Provider::powerOutputWatts(textTable(members))), watts) << members;
    }
    EXPECT_EQ(figure(Provider::powerOutputWatts({{"FilteredPower", nan}})), "0");
}

/// Notes how many clock reads had happened when the table was copied.
struct ScriptedRegistry final : BatteryRegistry {
    ScriptedRegistry(std::optional<PropertyTable> table, int& clockReads)
        : copy(std::move(table)), reads(clockReads) {}
    std::optional<PropertyTable> copyProperties() override {
        readsAtCopy = reads;
        return copy;
    }
    std::optional<PropertyTable> copy;
    int& reads;
    int readsAtCopy = -1;
};

TEST(IOKitPowerMetricsProviderTest, TakesTheTimeFirstAndDecodesTheCopyOrGivesUnavailable) {
    const Date now = Date(std::chrono::seconds(1'800'000'000));
    for (const auto& copy : {std::optional(textTable(R"("Voltage"=12000,"InstantAmperage"=-1000)")),
                             std::optional<PropertyTable>()}) {
        int reads = 0;
        auto registry = std::make_unique<ScriptedRegistry>(copy, reads);
        const ScriptedRegistry& copied = *registry;
        Provider provider(std::move(registry), [&] { return ++reads, now; });
        EXPECT_EQ(provider.readSnapshot(),
                  copy ? Provider::snapshot(*copy, now) : PowerSnapshot::unavailable(now));
        EXPECT_EQ(copied.readsAtCopy, 1);
    }
}

TEST(PropertyValueTest, CopiesShareNestedTablesAndCompareDeeply) {
    const PropertyValue original(textTable(R"("P"=-1500,"L"=(1,2.0,"a",Yes,<00>))")), copy = original;
    EXPECT_EQ(copy.table(), original.table()); // same storage, not a deep copy
    for (const char* members :
         {R"("P"=-1500,"L"=(1,2,"a",Yes,<00>))", R"("P"=-1500,"L"=(1,2.0,"a",No,<00>))",
          R"("P"=-1500,"L"=(1,2.0,"b",Yes,<00>))", R"("P"=-1500,"L"={})", R"("P"=-1500)"}) {
        EXPECT_NE(copy, PropertyValue(textTable(members))) << members;
    }
    EXPECT_NE(PropertyValue(nan), PropertyValue(nan));
    EXPECT_NE(PropertyValue(std::uint64_t{5}), PropertyValue(std::int64_t{5}));
}

} // namespace
} // namespace voltrane
