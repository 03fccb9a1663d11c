#include "snapshot_expectations.h"
#include "support/param_name.h"
#include "support/temp_dir.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/recorded_battery_registry.h"
#include "telemetry/battery/recorded_table_reader.h"

#include <QFile>
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
                                                          .isExternalConnected = true}},
                                           RecordingCase{"IntelText",
                                                         "intel.txt",
                                                         {.voltageVolts = 11.416,
                                                          .currentMilliamps = -1231.0,
                                                          .batteryWatts = -1231 * 11.416 / 1000,
                                                          .chargePercent = 77,
                                                          .batteryTimeRemainingMinutes = 214,
                                                          .temperatureCelsius = 301.7 - 273.15,
                                                          .cycleCount = 412,
                                                          .state = PowerState::onBattery}},
                                           RecordingCase{"AppleSiliconTextWithTreePrefix",
                                                         "apple_silicon.txt",
                                                         {.voltageVolts = 12.766,
                                                          .currentMilliamps = 1843.0,
                                                          .batteryWatts = 23.527,
                                                          .systemWatts = 14.21,
                                                          .inputWatts = 39.85,
                                                          .adapterRatedWatts = 96.0,
                                                          .chargePercent = 81,
                                                          .batteryTimeRemainingMinutes = 52,
                                                          .temperatureCelsius = 304.2 - 273.15,
                                                          .cycleCount = 143,
                                                          .portOutputWatts = 4.48,
                                                          .powerOutputPortCount = 1,
                                                          .state = PowerState::charging,
                                                          .isExternalConnected = true}},
                                           // Another object with its own "Voltage" comes first; the
                                           // fallback watts are float bits (10 W, and 2.1e-8 W in).
                                           RecordingCase{"WholeTreeText",
                                                         "whole_tree.txt",
                                                         {.voltageVolts = 12.48,
                                                          .currentMilliamps = -1000.0,
                                                          .batteryWatts = -12.48,
                                                          .systemWatts = 10.0,
                                                          .inputWatts = 10.0,
                                                          .chargePercent = 64,
                                                          .state = PowerState::onBattery}},
                                           RecordingCase{"CutOffText",
                                                         "cut_off.txt",
                                                         {.voltageVolts = 12.766,
                                                          .currentMilliamps = -10 / 12.766 * 1000,
                                                          .currentMilliampsIsEstimated = true,
                                                          .batteryWatts = -10.0,
                                                          .batteryWattsIsEstimated = true,
                                                          .systemWatts = 10.0,
                                                          .inputWatts = 10.0,
                                                          .chargePercent = 64,
                                                          .state = PowerState::onBattery}},
                                           RecordingCase{"CutOffPlist",
                                                         "cut_off.plist",
                                                         {.currentMilliamps = -1000.0,
                                                          .batteryWatts = -10.0,
                                                          .batteryWattsIsEstimated = true,
                                                          .systemWatts = 10.0,
                                                          .inputWatts = 10.0,
                                                          .chargePercent = 64,
                                                          .portOutputWatts = 2.5,
                                                          .powerOutputPortCount = 1,
                                                          .state = PowerState::onBattery}}),
                         testing::ParamName());

QByteArray contents(const char* file) {
    QFile recording(dataFile(file));
    EXPECT_TRUE(recording.open(QIODevice::ReadOnly)) << file;
    return recording.readAll();
}

TEST(RecordedTableReaderTest, TextAndPlistOfOneDumpGiveOneTable) {
    for (const char* dump : {"intel", "apple_silicon"}) {
        SCOPED_TRACE(dump);
        const PropertyTable text = readOrFail(contents((std::string(dump) + ".txt").c_str()));
        EXPECT_GT(text.size(), 20u);
        EXPECT_EQ(text, readOrFail(contents((std::string(dump) + ".plist").c_str())));
    }
}

TEST(RecordedTableReaderTest, CutOffPlistNotesWhatItLost) {
    const auto result = RecordedTableReader::fromFile(dataFile("cut_off.plist"));
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.notes,
              (std::vector<std::string>{R"(line 5: "AppleSmartBattery" cut off; its complete members kept)",
                                        R"(line 19: "PowerOutDetails" cut off; its complete members kept)",
                                        R"(line 25: "PowerOutDetails[1]" cut off; its complete members kept)",
                                        R"(line 26: "PowerOutDetails[1].FilteredPower" cut off; dropped)"}));
}

/// Every table and list of `part` holds only members of `whole`'s, and every scalar equals its own.
void expectPartOf(const PropertyValue& part, const PropertyValue& whole, const std::string& path) {
    SCOPED_TRACE(path);
    if (const PropertyTable* table = part.table()) {
        ASSERT_TRUE(whole.table());
        for (const auto& [key, value] : *table) {
            ASSERT_TRUE(whole.table()->contains(key)) << key;
            expectPartOf(value, whole.table()->at(key), path + "." + key);
        }
    } else if (const PropertyList* list = part.list()) {
        ASSERT_TRUE(whole.list());
        ASSERT_LE(list->size(), whole.list()->size());
        for (std::size_t i = 0; i < list->size(); ++i) {
            expectPartOf((*list)[i], (*whole.list())[i], path + "[" + std::to_string(i) + "]");
        }
    } else {
        EXPECT_EQ(part, whole);
    }
}

struct RecordingFile {
    const char* name;
    const char* file;
};

class EveryCutTest : public ::testing::TestWithParam<RecordingFile> {};

// Cut the recording after every byte: once a property is complete the cut decodes, and it never
// holds anything the whole recording does not.
TEST_P(EveryCutTest, KeepsOnlyWhatTheWholeRecordingHolds) {
    const QByteArray bytes = contents(GetParam().file);
    const PropertyTable whole = readOrFail(bytes);
    const bool isText = !bytes.startsWith('<');
    // The first property complete in either form.
    const qsizetype decodableFrom = isText ? bytes.indexOf("\"\n") + 1 : bytes.indexOf("</integer>") + 10;
    for (qsizetype length = 0; length < bytes.size(); ++length) {
        const QByteArray cut = bytes.left(length);
        SCOPED_TRACE(cut.right(40).toStdString());
        const auto result = RecordedTableReader::fromBytes(cut);
        if (!result.ok()) {
            ASSERT_LT(length, decodableFrom) << result.error;
            continue;
        }
        ASSERT_TRUE(result.entry);
        PropertyTable entry = *result.entry;
        if (isText) {
            // A top-level figure on the last line is taken as complete even when the paste cut it short.
            const QByteArray lastLine = cut.mid(cut.lastIndexOf('\n') + 1).trimmed();
            const QByteArray key =
                lastLine.mid(lastLine.indexOf('"') + 1,
                             lastLine.indexOf('"', lastLine.indexOf('"') + 1) - lastLine.indexOf('"') - 1);
            if (whole.contains(key.toStdString()) && !whole.at(key.toStdString()).table() &&
                !whole.at(key.toStdString()).list()) {
                entry.erase(key.toStdString());
            }
        }
        expectPartOf(PropertyValue(entry), PropertyValue(whole), "entry");
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, EveryCutTest,
                         ::testing::Values(RecordingFile{"Plist", "charging.plist"},
                                           RecordingFile{"Text", "apple_silicon.txt"}),
                         testing::ParamName());

TEST(RecordedTableReaderTest, TellsTheFormsApartByContent) {
    // The text form's own block may open with a brace, as typed JSON does.
    EXPECT_EQ(readOrFail("{\n  \"Voltage\" = 12766\n}\n"), (PropertyTable{{"Voltage", 12766}}));
    EXPECT_EQ(readOrFail("{\n  \"Voltage\": 12766\n}\n"), (PropertyTable{{"Voltage", 12766}}));
    EXPECT_EQ(readOrFail("\n <plist><dict><key>Voltage</key><integer>12766</integer></dict></plist>"),
              (PropertyTable{{"Voltage", 12766}}));
    EXPECT_EQ(RecordedTableReader::fromBytes("Voltage: 12766\n").error.substr(0, 14), "malformed JSON");
}

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
        MalformedCase{"DeepPlist",
                      "<plist><dict><key>a</key>" + deeplyNested("<array>", "</array>", 300) +
                          "</dict></plist>",
                      "nested too deeply"},
        MalformedCase{"MismatchedTagIsNoCut",
                      "<plist><array><dict><key>V</key><integer>1</integer></array></plist>",
                      "malformed plist"},
        MalformedCase{"CutBeforeAnyProperty", "<plist><array><dict><key>Volt", "no readable property"},
        MalformedCase{"CutInTheProlog", "<?xml version=\"1.0\" enc", "malformed plist"}),
    testing::ParamName());

} // namespace
} // namespace voltrane
