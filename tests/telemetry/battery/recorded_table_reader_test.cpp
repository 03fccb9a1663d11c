#include "snapshot_expectations.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"
#include "telemetry/battery/recorded_battery_registry.h"
#include "telemetry/battery/recorded_table_reader.h"
#include "telemetry/battery/typed_json_table_reader.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace voltrane {
namespace {

using testing::textTable;

QString dataFile(const std::string& name) {
    const char* root = std::getenv("VOLTRANE_TEST_DATA");
    return QString::fromStdString(std::string(root ? root : ".") + "/data/" + name);
}

QByteArray contents(const std::string& file) {
    QFile recording(dataFile(file));
    EXPECT_TRUE(recording.open(QIODevice::ReadOnly)) << file;
    return recording.readAll();
}

PropertyTable readOrFail(const QByteArray& bytes) {
    const auto result = RecordedTableReader::fromBytes(bytes);
    EXPECT_TRUE(result.ok() && result.entry) << result.error;
    return result.entry.value_or(PropertyTable{});
}

TEST(RecordedBatteryRegistryTest, DecodesEachRecordingToItsSituation) {
    // clang-format off
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"discharging.json", "onBattery V=11.52 mA=-1000 W=-11.52 sys=11.8 in=11.8 %=72 min=245 C=28.95 cycles=187"},
        {"charging.plist", "charging external V=12.75 mA=2450 W=31.237 sys=14.1 in=45.6 adapter=96 %=55 C=32.35 "
                           "cycles=88 portW=4.5 ports=1"},
        {"cut_off.plist", "onBattery mA=-1000 W=-10~ sys=10 in=10 %=64 portW=2.5 ports=1"}};
    // clang-format on
    for (const auto& [file, expected] : rows) {
        const auto table = RecordedBatteryRegistry(dataFile(file)).copyProperties();
        ASSERT_TRUE(table) << file;
        EXPECT_EQ(testing::describe(IOKitPowerMetricsProvider::snapshot(*table, Date{})), expected) << file;
    }
    for (const char* file : {"absent.json", "malformed.json", "no_battery.plist"}) {
        EXPECT_FALSE(RecordedBatteryRegistry(dataFile(file)).copyProperties()) << file;
    }
    // A machine without a battery is a valid recording; errors name the file.
    EXPECT_TRUE(RecordedTableReader::fromFile(dataFile("no_battery.plist")).ok());
    EXPECT_EQ(RecordedTableReader::fromFile(QStringLiteral("/nonexistent/t.json"))
                  .error.find("cannot read /nonexistent/t.json"),
              0u);
    EXPECT_NE(RecordedTableReader::fromFile(dataFile("malformed.json")).error.find("malformed.json: "),
              std::string::npos);
    // Read every second: a FIFO must not hang the tick, nor a huge file fill memory.
    const QTemporaryDir folder;
    const QString fifo = folder.filePath(QStringLiteral("fifo")),
                  huge = folder.filePath(QStringLiteral("huge"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QFile hugeFile(huge);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly) && hugeFile.resize(qint64{17} << 20));
    for (const QString& path : {fifo, huge, folder.path()}) {
        EXPECT_FALSE(RecordedTableReader::fromFile(path).ok()) << path.toStdString();
    }
    EXPECT_NE(RecordedTableReader::fromFile(huge).error.find("too large"), std::string::npos);
}

TEST(RecordedTableReaderTest, EveryFormOfOneTableReadsTheSame) {
    for (const char* dump : {"intel", "apple_silicon"}) {
        const PropertyTable text = readOrFail(contents(std::string(dump) + ".txt"));
        EXPECT_GT(text.size(), 20u) << dump;
        EXPECT_EQ(text, readOrFail(contents(std::string(dump) + ".plist"))) << dump;
    }
    // Storage types: plain and tagged JSON numbers, plist elements and the text form's words agree.
    EXPECT_EQ(
        readOrFail(R"({"plain": 5, "fraction": 2.5, "flag": true, "text": "12", "other": null,
        "u": {"$u64": "18446744073709551615"}, "i": {"$i64": "-9223372036854775808"},
        "iNumber": {"$i64": -3}, "f": {"$f64": 4}, "integralFraction": 2.0, "exact": 9007199254740993,
        "huge": 1e400, "beyond64": 18446744073709551616, "exponent": -25E-1, "tagAmongOthers": {"$u64": "1", "x": 2},
        "list": [1, {"k": false}], "empty": {}})"),
        textTable(
            R"("plain"=5,"fraction"=2.5,"flag"=Yes,"text"="12","other"=<00>,"u"=18446744073709551615,)"
            R"("i"=-9223372036854775808,"iNumber"=-3,"f"=4.0,)"
            R"("integralFraction"=2.0,"exact"=9007199254740993,"huge"=1e400,"beyond64"=18446744073709551616,)"
            R"("exponent"=-2.5,"tagAmongOthers"={"$u64"="1","x"=2},"list"=(1,{"k"=No}),"empty"={})"));
    EXPECT_EQ(readOrFail(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict>
        <key>big</key><integer>18446744073709550616</integer><key>max</key><integer>9223372036854775807</integer>
        <key>negative</key><integer> -5 </integer><key>real</key><real>2.5</real><key>text</key><string>A &amp; B</string>
        <key>data</key><data>AAE=</data><key>flag</key><false/><key>empty</key><dict/><key>list</key><array><true/></array>
        </dict></plist>)"),
              textTable(R"("big"=18446744073709550616,"max"=9223372036854775807,"negative"=-5,"real"=2.5,)"
                        R"("text"="A & B","data"=<00>,"flag"=No,"empty"={},"list"=(Yes))"));
    const PropertyTable nonFinite = readOrFail(R"({"nan": {"$f64": "nan"}, "minusInf": {"$f64": "-inf"},
        "minusZero": -0.0, "escaped": "a\"1.5", "uNumber": {"$u64": 7}})");
    EXPECT_EQ(nonFinite.at("uNumber"), PropertyValue(std::uint64_t{7}));
    EXPECT_TRUE(std::isnan(*nonFinite.at("nan").real()));
    EXPECT_EQ(nonFinite.at("minusInf"), PropertyValue(-std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(std::signbit(*nonFinite.at("minusZero").real()));
    EXPECT_EQ(nonFinite.at("escaped"), PropertyValue("a\"1.5"));
    EXPECT_TRUE(
        std::isnan(*readOrFail("<plist><dict><key>n</key><real>nan</real></dict></plist>").at("n").real()));
    const PropertyTable infinite = readOrFail("<plist><dict><key>a</key><real>inf</real><key>b</"
                                              "key><real>+INF</real><key>c</key><real>Infinity</real>"
                                              "<key>d</key><real>+infinity</real><key>e</key><real>-inf</"
                                              "real><key>f</key><real>-Infinity</real></dict></plist>");
    for (const char* key : {"a", "b", "c", "d", "e", "f"}) {
        const double sign = key[0] < 'e' ? 1 : -1;
        EXPECT_EQ(infinite.at(key), PropertyValue(sign * std::numeric_limits<double>::infinity())) << key;
    }
    // The text form's own block may open with a brace, as typed JSON does.
    EXPECT_EQ(readOrFail("{\n  \"Voltage\" = 12766\n}\n"), readOrFail("{\n  \"Voltage\": 12766\n}\n"));
    EXPECT_EQ(RecordedTableReader::fromBytes("Voltage: 12766\n").error.substr(0, 14), "malformed JSON");
}

TEST(RecordedTableReaderTest, CutOffPlistNotesWhatItLost) {
    const auto result = RecordedTableReader::fromFile(dataFile("cut_off.plist"));
    EXPECT_EQ(result.notes,
              (std::vector<std::string>{R"(line 5: "AppleSmartBattery" cut off; its complete members kept)",
                                        R"(line 19: "PowerOutDetails" cut off; its complete members kept)",
                                        R"(line 25: "PowerOutDetails[1]" cut off; its complete members kept)",
                                        R"(line 26: "PowerOutDetails[1].FilteredPower" cut off; dropped)"}));
}

/// Every table and list of `part` holds only members of `whole`'s, and every scalar equals its own.
void expectPartOf(const PropertyValue& part, const PropertyValue& whole, const std::string& path) {
    if (const PropertyTable* table = part.table()) {
        ASSERT_TRUE(whole.table()) << path;
        for (const auto& [key, value] : *table) {
            ASSERT_TRUE(whole.table()->contains(key)) << path << "." << key;
            expectPartOf(value, whole.table()->at(key), path + "." + key);
        }
    } else if (const PropertyList* list = part.list()) {
        ASSERT_TRUE(whole.list() && list->size() <= whole.list()->size()) << path;
        for (std::size_t i = 0; i < list->size(); ++i) {
            expectPartOf((*list)[i], (*whole.list())[i], path + "[" + std::to_string(i) + "]");
        }
    } else {
        EXPECT_EQ(part, whole) << path;
    }
}

// Cut each recording after every byte: once a property is complete the cut decodes, and it never
// holds anything the whole recording does not (a figure on the text form's last line is taken as
// complete even when the paste cut it short).
TEST(RecordedTableReaderTest, EveryCutKeepsOnlyWhatTheWholeRecordingHolds) {
    for (const char* file : {"charging.plist", "apple_silicon.txt"}) {
        const QByteArray bytes = contents(file);
        const PropertyTable whole = readOrFail(bytes);
        const bool isText = !bytes.startsWith('<');
        const qsizetype decodableFrom = isText ? bytes.indexOf("\"\n") + 1 : bytes.indexOf("</integer>") + 10;
        for (qsizetype length = 0; length < bytes.size(); ++length) {
            const QByteArray cut = bytes.left(length);
            SCOPED_TRACE(cut.right(40).toStdString());
            const auto result = RecordedTableReader::fromBytes(cut);
            ASSERT_TRUE(result.ok() || length < decodableFrom) << result.error;
            PropertyTable entry = result.entry.value_or(PropertyTable{});
            const QByteArray lastLine = cut.mid(cut.lastIndexOf('\n') + 1).trimmed();
            const qsizetype open = lastLine.indexOf('"');
            const std::string key =
                lastLine.mid(open + 1, lastLine.indexOf('"', open + 1) - open - 1).toStdString();
            if (isText && whole.contains(key) && !whole.at(key).table() && !whole.at(key).list()) {
                entry.erase(key);
            }
            expectPartOf(PropertyValue(entry), PropertyValue(whole), "entry");
        }
    }
}

TEST(RecordedTableReaderTest, MalformedRecordingsGiveOneLineAndNoEntry) {
    const auto nested = [](const char* open, const char* close, int depth) {
        std::string text;
        for (int i = 0; i < depth; ++i) {
            text.insert(0, open).append(close);
        }
        return text;
    };
    // clang-format off
    const std::vector<std::pair<std::string, const char*>> rows = {
        {"", "malformed JSON"}, {R"({"Voltage": 12)", "malformed JSON"}, {"[1, 2]", "expected a JSON object"},
        {R"({"V": 012})", "\"V\" has the malformed number 012"}, {R"({"a": 1, "b": 2,})", "offset 17"},
        {R"({"I": {"$u64": "-1"}})", "\"I\" $u64"}, {R"({"a": {"b": {"$i64": 1.5}}})", "\"a.b\" $i64"},
        {R"({"T": {"$f64": "hot"}})", "$f64"}, {"{\"a\":" + nested("[", "]", 600) + "}", ""},
        {"<html><body/></html>", "expected a <plist>"}, {"<plist><dict><integer>1</integer></dict></plist>", "expected <key>"},
        {"<plist><dict><key>Voltage</key></dict></plist>", "has no value"},
        {"<plist><dict><key>V</key><number>1</number></dict></plist>", "<number>"},
        {"<plist><dict><key>V</key><integer>12abc</integer></dict></plist>", "not a 64-bit integer"},
        {"<plist><dict><key>V</key><integer>18446744073709551616</integer></dict></plist>", "not a 64-bit integer"},
        {"<plist><dict><key>V</key><real>1.2.3</real></dict></plist>", "not a number"},
        {"<plist><array><string>x</string></array></plist>", "first element"},
        {"<plist><dict><key>a</key>" + nested("<array>", "</array>", 300) + "</dict></plist>", "nested too deeply"},
        {"<plist><array><dict><key>V</key><integer>1</integer></array></plist>", "malformed plist"},
        {"<plist><array><dict><key>Volt", "no readable property"}, {"<?xml version=\"1.0\" enc", "malformed plist"}};
    // clang-format on
    // Typed JSON reads as deep as the other forms, and no deeper.
    const auto readsAtDepth = [&](int depth) {
        return RecordedTableReader::fromBytes(
                   QByteArray::fromStdString("{\"a\":" + nested("[", "]", depth) + "}"))
            .ok();
    };
    EXPECT_EQ(std::pair(readsAtDepth(128), readsAtDepth(129)), std::pair(true, false));
    for (const auto& [bytes, expected] : rows) {
        const auto result = RecordedTableReader::fromBytes(QByteArray::fromStdString(bytes));
        EXPECT_FALSE(result.ok() || result.entry) << bytes.substr(0, 60);
        EXPECT_NE(result.error.find(expected), std::string::npos) << result.error;
        EXPECT_EQ(result.error.find('\n'), std::string::npos) << result.error;
    }
}

TEST(RecordedTableReaderTest, TheDirectJsonReaderReadsWhatQtReadsAndLeavesTheRestToIt) {
    // clang-format off
    const std::pair<std::string, bool> rows[] = {
        {contents("discharging.json").toStdString(), true},
        {R"({"u": {"$u64": "18446744073709551615"}, "i": {"$i64": -3}, "f": {"$f64": "-inf"}, "z": -0.0,
            "e": -25E-1, "big": 18446744073709551616, "l": [1, {"k": null}, []], "t": true, "s": "x y", "o": {}})", true},
        {R"({"a": "\u0041"})", false}, {"{\"a\": \"\xc3\xa9\"}", false}, {R"({"a": 1, "a": 2})", false},
        {R"({"a": {"$u64": "-1"}})", false}, {R"({"a": {"$u64": "1", "x": 2}})", false}, {R"({"a": 012})", false},
        {R"({"a": 1} x)", false}, {R"({"a": tru})", false}, {"[1]", false}};
    // clang-format on
    for (const auto& [text, plain] : rows) {
        const auto direct = TypedJsonTableReader::readPlain(text);
        ASSERT_EQ(direct.has_value(), plain) << text;
        const RecordedTable throughQt = TypedJsonTableReader::readThroughQt(QByteArray::fromStdString(text));
        if (direct) {
            EXPECT_EQ(*direct, throughQt.entry.value_or(PropertyTable{})) << text;
        }
        EXPECT_EQ(TypedJsonTableReader::read(QByteArray::fromStdString(text)).error, throughQt.error) << text;
    }
    EXPECT_TRUE(std::signbit(*TypedJsonTableReader::readPlain(rows[1].first)->at("z").real()));
}

} // namespace
} // namespace voltrane
