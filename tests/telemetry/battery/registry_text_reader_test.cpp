#include "snapshot_expectations.h"
#include "telemetry/battery/iokit_power_metrics_provider.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <regex>

namespace voltrane {
namespace {

using Strings = std::vector<std::string>;
using testing::textTable;

PropertyTable readOrFail(std::string_view text) {
    const RecordedTable result = RegistryTextReader::read(text);
    EXPECT_TRUE(result.ok() && result.entry) << result.error;
    return result.entry.value_or(PropertyTable{});
}

const PropertyValue other;

TEST(TextValueTest, ReadsEachValueWithItsKind) {
    // clang-format off
    const std::vector<std::pair<const char*, PropertyValue>> rows = {
        {R"("bq40z651")", "bq40z651"}, {R"("a = {1,(2)}")", "a = {1,(2)}"}, {"12766", 12766}, {"-5", -5},
        {"9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        {"18446744073709550616", std::uint64_t{18446744073709550616u}},
        {"18446744073709551616", 18446744073709551616.0}, {"2.5", 2.5}, {"-25E-1", -2.5}, {"2.0", 2.0},
        {"1e2", 100.0}, {"Yes", true}, {"No", false}, {"yes", other}, {"<0a1bff>", other}, {"<>", other},
        {"IOService:/AppleARMPE/arm-io", other}, {"0x1f4", other}, {"0012", 12}, {"05", 5}, {"09", 9}, {"0e5", 0.0},
        {"-00.5", -0.5}, {"-", other}, {"+5", other}, {"", other}, {"{}", PropertyTable{}}, {"()", PropertyList{}},
        {R"({ "A" = 1 , "B" = ( 1 , 2 ) })", PropertyTable{{"A", 1}, {"B", PropertyList{1, 2}}}},
        {R"(({"P"=1},{"P"=2,"Q"=Yes}))", PropertyList{PropertyTable{{"P", 1}}, PropertyTable{{"P", 2}, {"Q", true}}}},
        {R"(({"A"=(({"B"=No}))}))", PropertyList{PropertyTable{{"A", PropertyList{PropertyList{PropertyTable{{"B", false}}}}}}}},
        {R"({"AdapterPower"=,"X"=1,"Y"=})", PropertyTable{{"AdapterPower", other}, {"X", 1}, {"Y", other}}},
        {R"(({"D"=<00>},word,-1e3))", PropertyList{PropertyTable{{"D", other}}, other, -1000.0}},
        {R"({"A"=1,"A"=2})", PropertyTable{{"A", 1}}}};
    // clang-format on
    for (const auto& [text, expected] : rows) {
        // A line after it, so the value is not the end of the paste.
        const PropertyTable table = readOrFail(std::string("\"K\" = ") + text + "\n\"Next\" = 1\n");
        ASSERT_TRUE(table.contains("K")) << text; // equal values are of one kind
        EXPECT_EQ(table.at("K"), expected) << text;
    }
}

/// The notes of a paste cut on its line 2, shortened to "K+ K.B-": each path, with "+" when its
/// complete members were kept and "-" when it was dropped.
std::string cutNotes(const Strings& notes) {
    static const std::regex note(R"re(line 2: "(.*)" cut off; (its complete members kept|dropped))re");
    std::string out;
    for (const std::string& line : notes) {
        std::smatch match;
        out += (out.empty() ? "" : " ") + (std::regex_match(line, match, note)
                                               ? match[1].str() + (match[2] == "dropped" ? "-" : "+")
                                               : line);
    }
    return out;
}

TEST(CutOffTextTest, KeepsCompleteMembersAndNotesEachLoss) {
    // The paste's last line (without a newline), what "K" then holds in the text form (nothing when
    // dropped), and the notes.
    // clang-format off
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {R"("K" = 1276)", "1276", ""}, {R"("K" = Ye)", "Ye", ""}, {R"("K" = "F5D12)", nullptr, "K-"},
        {R"("K" = <0a1b)", nullptr, "K-"}, {R"("K" = )", nullptr, "K-"}, {R"("K")", nullptr, "K-"},
        {R"("Ke)", nullptr, "Ke-"}, {R"("K" = {"A"=1,"B"=(1,2)", R"({"A"=1,"B"=(1)})", "K+ K.B+ K.B[1]-"},
        {R"("K" = {"A"=Yes,"B"=N)", R"({"A"=Yes})", "K+ K.B-"}, {R"("K" = {"A"=1,"B")", R"({"A"=1})", "K+ K.B-"},
        {R"("K" = {"A"=1,"Bat)", R"({"A"=1})", "K+ K.Bat-"}, {R"("K" = {"A"="x")", R"({"A"="x"})", "K+"},
        {R"("K" = ({"A"=1},)", R"(({"A"=1}))", "K+"}, {R"("K" = {)", "{}", "K+"},
        {R"("K" = ({"A"=1},{"B"=2)", R"(({"A"=1},{}))", "K+ K[1]+ K[1].B-"}};
    // clang-format on
    for (const auto& [lastLine, kept, notes] : rows) {
        const RecordedTable result = RegistryTextReader::read(std::string("\"CycleCount\" = 1\n") + lastLine);
        ASSERT_TRUE(result.ok() && result.entry) << lastLine;
        EXPECT_EQ(result.entry->at("CycleCount"), PropertyValue(1));
        EXPECT_EQ(result.entry->contains("K"), kept != nullptr) << lastLine;
        if (kept && result.entry->contains("K")) {
            EXPECT_EQ(result.entry->at("K"), textTable(std::string(R"("K"=)") + kept).at("K")) << lastLine;
        }
        EXPECT_EQ(cutNotes(result.notes), notes) << lastLine;
    }
    // An empty value followed by its newline was printed whole, even as the paste's only property.
    EXPECT_EQ(readOrFail("\"BatteryInstalled\" = \n"), (PropertyTable{{"BatteryInstalled", other}}));
    EXPECT_EQ(readOrFail("\"A\" = 1\r\n  |   \"BatteryInstalled\" =\r\n  | \r\n"),
              (PropertyTable{{"A", 1}, {"BatteryInstalled", other}}));
}

// Pasted dumps: an Intel machine's, an Apple-silicon one's with the tree prefix, a whole tree in
// which another object with its own "Voltage" comes first, and a paste cut off mid-line.
TEST(RegistryTextScopeTest, DecodesPastedDumpsFromTheFirstBatteryObject) {
    // clang-format off
    const std::vector<std::pair<const char*, const char*>> rows = {
        {"intel.txt", "onBattery V=11.416 mA=-1231 W=-14.053096 %=77 min=214 C=28.55 cycles=412"},
        {"apple_silicon.txt", "charging external V=12.766 mA=1843 W=23.527 sys=14.21 in=39.85 adapter=96 %=81 min=52 "
                              "C=31.05 cycles=143 portW=4.48 ports=1"},
        {"whole_tree.txt", "onBattery V=12.48 mA=-1000 W=-12.48 sys=10 in=10 %=64"},
        {"cut_off.txt", "onBattery V=12.766 mA=-783.3307222~ W=-10~ sys=10 in=10 %=64"}};
    // clang-format on
    for (const auto& [file, expected] : rows) {
        const char* root = std::getenv("VOLTRANE_TEST_DATA");
        std::ifstream in(std::string(root ? root : ".") + "/data/" + file);
        const std::string dump((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const RecordedTable read = RegistryTextReader::read(dump);
        ASSERT_TRUE(read.entry) << file;
        EXPECT_EQ(testing::describe(IOKitPowerMetricsProvider::snapshot(*read.entry, {})), expected) << file;
    }
    // Without headers every property line counts, whatever surrounds it; a tree without a battery has none.
    EXPECT_EQ(
        readOrFail("$ ioreg | grep Volt\r\n```\r\n  |   \"Voltage\" = 1\r\n}\r\n{\r\n\"CycleCount\" = 3\r\n"),
        (PropertyTable{{"Voltage", 1}, {"CycleCount", 3}}));
    EXPECT_EQ(readOrFail("+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n  }\n"),
              PropertyTable{});
    const RecordedTable tree =
        RegistryTextReader::read("+-o Root  <class IORegistryEntry>\n  {\n\"V\" = \n  }\n");
    EXPECT_TRUE(tree.ok() && !tree.entry) << tree.error;
}

TEST(RegistryTextScopeTest, NotesUnclosedBlocksAndDropsUnreadableLines) {
    const RecordedTable unclosed =
        RegistryTextReader::read("\n+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n    "
                                 "\"Voltage\" = 12766\n    \"CycleCount\" = 1");
    EXPECT_EQ(unclosed.entry, (PropertyTable{{"Voltage", 12766}, {"CycleCount", 1}}));
    EXPECT_EQ(unclosed.notes, Strings{R"(line 2: "AppleSmartBattery" cut off; its complete members kept)"});
    const RecordedTable unreadable =
        RegistryTextReader::read("\"A\" = {\"x\"=\"1\" junk}\n\"B\" = (\"x\")tail\n"
                                 "\"C\" = {\"x\"=1,2}\n\"D\" = " +
                                 std::string(129, '(') + "\n\"E\" = 2 apples\n\"F\" = 3\n");
    EXPECT_EQ(unreadable.entry, (PropertyTable{{"E", other}, {"F", 3}}));
    EXPECT_EQ(unreadable.notes,
              (Strings{R"(line 1: "A" unreadable; dropped)", R"(line 2: "B" unreadable; dropped)",
                       R"(line 3: "C" unreadable; dropped)", R"(line 4: "D" unreadable; dropped)"}));
    // 128 levels of lists or tables are read; one more is unreadable.
    const auto nested = [](int depth, const char* open, const char* close) {
        std::string text = "\"D\" = ";
        for (int i = 0; i < depth; ++i) {
            text.insert(6, open).append(close);
        }
        return RegistryTextReader::read(text + "\n").entry.value_or(PropertyTable{}).contains("D");
    };
    EXPECT_TRUE(nested(128, "(", ")") && nested(127, "{\"a\"=", "}") && !nested(128, "{\"a\"=", "}"));
}

TEST(RegistryTextReaderTest, WithoutAnyPropertyIsAnError) {
    for (const char* text :
         {"", "my battery is broken\n", R"("Volta)", R"("Serial" = "F5D1)", "+-o AppleSmartBat",
          "+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n",
          "+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n    \"Volt",
          "\"A\" = {\"x\"=\"1\" junk}\n"}) {
        const RecordedTable result = RegistryTextReader::read(text);
        EXPECT_EQ(result.error, "no readable property line") << text;
        EXPECT_TRUE(!result.entry && result.notes.empty()) << text;
    }
}

TEST(RegistryTextReaderTest, RecognizesHeadersAndPropertyLinesOnly) {
    for (const char* text : {"+-o AppleSmartBattery  <class AppleSmartBattery>", "{\n  |   \"Voltage\" = 1\n",
                             "\"Voltage\"=1", "\"\" = 1", "\"Voltage\" \t= 1", "+-o"}) {
        EXPECT_TRUE(RegistryTextReader::recognizes(text)) << text;
    }
    for (const char* text :
         {"{\n  \"Voltage\": 1,\n  \"a=b\": 2\n}\n", "<plist><dict><key>Voltage</key></dict></plist>",
          "\"unterminated = 1", "\"Voltage\"", "+-oops", "x = 1"}) {
        EXPECT_FALSE(RegistryTextReader::recognizes(text)) << text;
    }
}

} // namespace
} // namespace voltrane
