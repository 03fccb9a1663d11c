#include "snapshot_expectations.h"
#include "support/param_name.h"
#include "support/temp_dir.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/recorded_battery_registry.h"
#include "telemetry/battery/recorded_table_reader.h"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

// Expected snapshots name only the fields they set; the rest keep their defaults (absent).
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace voltrane {
namespace {

QString dataFile(const char* name) {
    const char* root = std::getenv("VOLTRANE_TEST_DATA");
    return QString::fromUtf8(root ? root : ".") + QStringLiteral("/data/") + QString::fromUtf8(name);
}

PropertyTable readOrFail(const QByteArray& bytes) {
    const auto result = RecordedTableReader::fromBytes(bytes);
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_TRUE(result.entry);
    return result.entry.value_or(PropertyTable{});
}

struct RecordingCase {
    const char* name;
    const char* file;
    PowerSnapshot expected;
};

class RecordingTest : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(RecordingTest, DecodesToTheRecordedSituation) {
    RecordedBatteryRegistry registry(dataFile(GetParam().file));
    const auto table = registry.copyProperties();
    ASSERT_TRUE(table);
    testing::expectSameReadings(IOKitPowerMetricsProvider::snapshot(*table, Date{}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Samples, RecordingTest,
                         ::testing::Values(RecordingCase{"TypedJsonDischarging",
                                                         "discharging.json",
                                                         {.voltageVolts = 11.52,
                                                          .currentMilliamps = -1000.0,
                                                          .batteryWatts = -11.52,
                                                          .systemWatts = 11.8,
                                                          .inputWatts = 11.8,
                                                          .chargePercent = 72,
                                                          .batteryTimeRemainingMinutes = 245,
                                                          .temperatureCelsius = 302.1 - 273.15,
                                                          .cycleCount = 187,
                                                          .state = PowerState::onBattery}},
                                           RecordingCase{"PlistCharging",
                                                         "charging.plist",
                                                         {.voltageVolts = 12.75,
                                                          .currentMilliamps = 2450.0,
                                                          .batteryWatts = 31.237,
                                                          .systemWatts = 14.1,
                                                          .inputWatts = 45.6,
                                                          .adapterRatedWatts = 96.0,
                                                          .chargePercent = 55,
                                                          .temperatureCelsius = 305.5 - 273.15,
                                                          .cycleCount = 88,
                                                          .portOutputWatts = 4.5,
                                                          .powerOutputPortCount = 1,
                                                          .state = PowerState::charging,
                                                          .isExternalConnected = true}}),
                         testing::ParamName());

TEST(RecordedBatteryRegistryTest, MissingMalformedOrEmptyRecordingsHaveNoEntry) {
    for (const char* file : {"absent.json", "malformed.json", "no_battery.plist"}) {
        EXPECT_FALSE(RecordedBatteryRegistry(dataFile(file)).copyProperties()) << file;
    }
    const auto empty = RecordedTableReader::fromFile(dataFile("no_battery.plist"));
    EXPECT_TRUE(empty.ok()) << empty.error; // a recording of a machine without a battery is valid
    // Errors name the file.
    const auto missing = RecordedTableReader::fromFile(QStringLiteral("/nonexistent/table.json"));
    EXPECT_NE(missing.error.find("/nonexistent/table.json"), std::string::npos) << missing.error;
    const auto malformed = RecordedTableReader::fromFile(dataFile("malformed.json"));
    EXPECT_NE(malformed.error.find("malformed.json: "), std::string::npos) << malformed.error;
}

TEST(RecordedTableReaderTest, TypedJsonKeepsStorageTypes) {
    const PropertyTable table = readOrFail(R"({
        "plain": 5, "fraction": 2.5, "flag": true, "text": "12", "other": null,
        "u": {"$u64": "18446744073709551615"}, "uNumber": {"$u64": 7},
        "i": {"$i64": "-9223372036854775808"}, "iNumber": {"$i64": -3},
        "f": {"$f64": 4}, "nan": {"$f64": "nan"}, "minusInf": {"$f64": "-inf"},
        "integralFraction": 2.0, "minusZero": -0.0, "exact": 9007199254740993, "huge": 1e400,
        "beyond64": 18446744073709551616, "exponent": -25E-1, "escaped": "a\"1.5",
        "tagAmongOthers": {"$u64": "1", "x": 2}, "list": [1, {"k": false}]})");
    EXPECT_EQ(table.at("plain"), PropertyValue(std::int64_t{5}));
    EXPECT_EQ(table.at("fraction"), PropertyValue(2.5));
    EXPECT_EQ(table.at("flag"), PropertyValue(true));
    EXPECT_EQ(table.at("text"), PropertyValue("12"));
    EXPECT_EQ(table.at("other").kind(), PropertyValue::Kind::other);
    EXPECT_EQ(table.at("u"), PropertyValue(std::uint64_t{18446744073709551615u}));
    EXPECT_EQ(table.at("uNumber"), PropertyValue(std::uint64_t{7}));
    EXPECT_EQ(table.at("i"), PropertyValue(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(table.at("iNumber"), PropertyValue(std::int64_t{-3}));
    EXPECT_EQ(table.at("f"), PropertyValue(4.0));
    ASSERT_TRUE(table.at("nan").real());
    EXPECT_TRUE(std::isnan(*table.at("nan").real()));
    EXPECT_EQ(table.at("minusInf"), PropertyValue(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(table.at("tagAmongOthers"), PropertyValue(PropertyTable{{"$u64", "1"}, {"x", 2}}));
    EXPECT_EQ(table.at("integralFraction"), PropertyValue(2.0));
    ASSERT_TRUE(table.at("minusZero").real());
    EXPECT_TRUE(std::signbit(*table.at("minusZero").real()));
    EXPECT_EQ(table.at("exact"), PropertyValue(std::int64_t{9007199254740993}));
    EXPECT_EQ(table.at("huge"), PropertyValue(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(table.at("beyond64"), PropertyValue(18446744073709551616.0));
    EXPECT_EQ(table.at("exponent"), PropertyValue(-2.5));
    EXPECT_EQ(table.at("escaped"), PropertyValue("a\"1.5"));
    EXPECT_EQ(table.at("list"), PropertyValue(PropertyList{1, PropertyTable{{"k", false}}}));
}

TEST(RecordedTableReaderTest, PlistKeepsStorageTypes) {
    const PropertyTable table = readOrFail(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>big</key><integer>18446744073709550616</integer>
  <key>max</key><integer>9223372036854775807</integer>
  <key>negative</key><integer> -5 </integer>
  <key>real</key><real>2.5</real>
  <key>nan</key><real>nan</real>
  <key>text</key><string>A &amp; B</string>
  <key>data</key><data>AAE=</data>
  <key>flag</key><false/>
  <key>empty</key><dict/>
</dict></plist>)");
    EXPECT_EQ(table.at("big"), PropertyValue(std::uint64_t{18446744073709550616u}));
    EXPECT_EQ(IOKitPowerMetricsProvider::signedNumber(&table.at("big")), -1000.0);
    EXPECT_EQ(table.at("max"), PropertyValue(std::numeric_limits<std::int64_t>::max()));
    EXPECT_EQ(table.at("negative"), PropertyValue(std::int64_t{-5}));
    EXPECT_EQ(table.at("real"), PropertyValue(2.5));
    ASSERT_TRUE(table.at("nan").real());
    EXPECT_TRUE(std::isnan(*table.at("nan").real()));
    EXPECT_EQ(table.at("text"), PropertyValue("A & B"));
    EXPECT_EQ(table.at("data").kind(), PropertyValue::Kind::other);
    EXPECT_EQ(table.at("flag"), PropertyValue(false));
    EXPECT_EQ(table.at("empty"), PropertyValue(PropertyTable{}));
}

struct MalformedCase {
    const char* name;
    std::string bytes;
    const char* expectedInError;
};

class MalformedRecordingTest : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedRecordingTest, GivesOneLineAndNoEntry) {
    const auto result = RecordedTableReader::fromBytes(QByteArray::fromStdString(GetParam().bytes));
    EXPECT_FALSE(result.ok());
    EXPECT_FALSE(result.entry);
    EXPECT_NE(result.error.find(GetParam().expectedInError), std::string::npos) << result.error;
    EXPECT_EQ(result.error.find('\n'), std::string::npos) << result.error;
}

std::string deeplyNested(const char* open, const char* close, int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) {
        text += open;
    }
    for (int i = 0; i < depth; ++i) {
        text += close;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MalformedRecordingTest,
    ::testing::Values(
        MalformedCase{"EmptyFile", "", "malformed JSON"},
        MalformedCase{"TruncatedJson", R"({"Voltage": 12)", "malformed JSON"},
        MalformedCase{"JsonArrayAtTop", "[1, 2]", "expected a JSON object"},
        MalformedCase{"LeadingZero", R"({"V": 012})", "\"V\" has the malformed number 012"},
        MalformedCase{"ErrorOffsetIsTheOriginal", R"({"a": 1, "b": 2,})", "offset 17"},
        MalformedCase{"NegativeUnsigned", R"({"I": {"$u64": "-1"}})", "\"I\" $u64"},
        MalformedCase{"SignedWithFraction", R"({"a": {"b": {"$i64": 1.5}}})", "\"a.b\" $i64"},
        MalformedCase{"DoubleFromWord", R"({"T": {"$f64": "hot"}})", "$f64"},
        MalformedCase{"DeepJson", "{\"a\":" + deeplyNested("[", "]", 600) + "}", ""},
        MalformedCase{"NotAPlist", "<html><body/></html>", "expected a <plist>"},
        MalformedCase{"ValueWithoutKey", "<plist><dict><integer>1</integer></dict></plist>",
                      "expected <key>"},
        MalformedCase{"KeyWithoutValue", "<plist><dict><key>Voltage</key></dict></plist>", "has no value"},
        MalformedCase{"UnknownElement", "<plist><dict><key>V</key><number>1</number></dict></plist>",
                      "<number>"},
        MalformedCase{"GarbageInteger", "<plist><dict><key>V</key><integer>12abc</integer></dict></plist>",
                      "not a 64-bit integer"},
        MalformedCase{"IntegerOverflow",
                      "<plist><dict><key>V</key><integer>18446744073709551616</integer></dict></plist>",
                      "not a 64-bit integer"},
        MalformedCase{"GarbageReal", "<plist><dict><key>V</key><real>1.2.3</real></dict></plist>",
                      "not a number"},
        MalformedCase{"FirstElementNotADict", "<plist><array><string>x</string></array></plist>",
                      "first element"},
        MalformedCase{"DeepPlist", "<plist>" + deeplyNested("<array>", "</array>", 300) + "</plist>",
                      "nested too deeply"}),
    testing::ParamName());

} // namespace
} // namespace voltrane
