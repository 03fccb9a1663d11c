#include "support/param_name.h"
#include "telemetry/battery/registry_text_reader.h"

#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

using Kind = PropertyValue::Kind;
using Strings = std::vector<std::string>;

PropertyTable readOrFail(std::string_view text) {
    const RecordedTable result = RegistryTextReader::read(text);
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_TRUE(result.entry);
    return result.entry.value_or(PropertyTable{});
}

// --- values -----------------------------------------------------------------------------------

struct ValueCase {
    const char* name;
    const char* text; ///< what follows `"K" = `
    PropertyValue expected;
};

class TextValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(TextValueTest, ReadsTheValueWithItsKind) {
    // A line after it, so the value is not the end of the paste.
    const PropertyTable table = readOrFail(std::string("\"K\" = ") + GetParam().text + "\n\"Next\" = 1\n");
    ASSERT_TRUE(table.contains("K"));
    EXPECT_EQ(table.at("K").kind(), GetParam().expected.kind());
    EXPECT_EQ(table.at("K"), GetParam().expected);
}

const PropertyValue other;

INSTANTIATE_TEST_SUITE_P(
    Values, TextValueTest,
    ::testing::Values(
        ValueCase{"QuotedText", R"("bq40z651")", "bq40z651"},
        ValueCase{"TextKeepsDelimiters", R"("a = {1,(2)}")", "a = {1,(2)}"},
        ValueCase{"Integer", "12766", 12766}, ValueCase{"NegativeInteger", "-5", -5},
        ValueCase{"LargestSigned", "9223372036854775807", std::numeric_limits<std::int64_t>::max()},
        ValueCase{"AboveSignedIsUnsigned", "18446744073709550616",
                  PropertyValue(std::uint64_t{18446744073709550616u})},
        ValueCase{"BeyondUnsignedIsDouble", "18446744073709551616", 18446744073709551616.0},
        ValueCase{"Fraction", "2.5", 2.5}, ValueCase{"ExponentIsDouble", "-25E-1", -2.5},
        ValueCase{"IntegralFractionIsDouble", "2.0", 2.0}, ValueCase{"Yes", "Yes", true},
        ValueCase{"No", "No", false}, ValueCase{"LowerCaseYesIsAWord", "yes", other},
        ValueCase{"Data", "<0a1bff>", other}, ValueCase{"EmptyData", "<>", other},
        ValueCase{"BareWord", "IOService:/AppleARMPE/arm-io", other}, ValueCase{"HexIsAWord", "0x1f4", other},
        ValueCase{"LeadingZeros", "0012", 12}, ValueCase{"LeadingZerosBeforeAFraction", "-00.5", -0.5},
        ValueCase{"MinusAloneIsAWord", "-", other}, ValueCase{"PlusSignIsAWord", "+5", other},
        ValueCase{"EmptyValueBeforeMoreLines", "", other},
        ValueCase{"Table", R"({"A"=1,"B"=(1,2)})", PropertyTable{{"A", 1}, {"B", PropertyList{1, 2}}}},
        ValueCase{"BlanksInsideContainers", R"({ "A" = 1 , "B" = ( 1 , 2 ) })",
                  PropertyTable{{"A", 1}, {"B", PropertyList{1, 2}}}},
        ValueCase{"EmptyTable", "{}", PropertyTable{}}, ValueCase{"EmptyList", "()", PropertyList{}},
        ValueCase{"ListOfTables", R"(({"P"=1},{"P"=2,"Q"=Yes}))",
                  PropertyList{PropertyTable{{"P", 1}}, PropertyTable{{"P", 2}, {"Q", true}}}},
        ValueCase{
            "DeepNesting", R"(({"A"=(({"B"=No}))}))",
            PropertyList{PropertyTable{{"A", PropertyList{PropertyList{PropertyTable{{"B", false}}}}}}}},
        ValueCase{"EmptyMemberValues", R"({"AdapterPower"=,"X"=1,"Y"=})",
                  PropertyTable{{"AdapterPower", other}, {"X", 1}, {"Y", other}}},
        ValueCase{"DataAndWordsInsideContainers", R"(({"D"=<00>},word,-1e3))",
                  PropertyList{PropertyTable{{"D", other}}, other, -1000.0}},
        ValueCase{"RepeatedMemberKeepsFirst", R"({"A"=1,"A"=2})", PropertyTable{{"A", 1}}}),
    testing::ParamName());

// --- cut-off pastes ---------------------------------------------------------------------------

struct CutCase {
    const char* name;
    const char* lastLine;              ///< the paste ends with it, without a newline
    std::optional<PropertyValue> kept; ///< what key "K" holds afterwards; nothing when dropped
    Strings notes;
};

class CutOffTextTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutOffTextTest, KeepsCompleteMembersAndNotesEachLoss) {
    const RecordedTable result =
        RegistryTextReader::read(std::string("\"CycleCount\" = 1\n") + GetParam().lastLine);
    ASSERT_TRUE(result.ok()) << result.error;
    ASSERT_TRUE(result.entry);
    EXPECT_EQ(result.entry->at("CycleCount"), PropertyValue(1));
    if (GetParam().kept) {
        ASSERT_TRUE(result.entry->contains("K"));
        EXPECT_EQ(result.entry->at("K"), *GetParam().kept);
    } else {
        EXPECT_FALSE(result.entry->contains("K"));
    }
    EXPECT_EQ(result.notes, GetParam().notes);
}

INSTANTIATE_TEST_SUITE_P(
    Pastes, CutOffTextTest,
    ::testing::Values(
        CutCase{"TopLevelNumberIsComplete", R"("K" = 1276)", PropertyValue(1276), {}},
        CutCase{"TopLevelWordIsComplete", R"("K" = Ye)", other, {}},
        CutCase{"TextWithoutItsQuote", R"("K" = "F5D12)", std::nullopt, {R"(line 2: "K" cut off; dropped)"}},
        CutCase{"DataWithoutItsBracket", R"("K" = <0a1b)", std::nullopt, {R"(line 2: "K" cut off; dropped)"}},
        CutCase{"KeyWithoutValue", R"("K" = )", std::nullopt, {R"(line 2: "K" cut off; dropped)"}},
        CutCase{"KeyWithoutEquals", R"("K")", std::nullopt, {R"(line 2: "K" cut off; dropped)"}},
        CutCase{"KeyItselfCut", R"("Ke)", std::nullopt, {R"(line 2: "Ke" cut off; dropped)"}},
        CutCase{"NestedListNumber",
                R"("K" = {"A"=1,"B"=(1,2)",
                PropertyTable{{"A", 1}, {"B", PropertyList{1}}},
                {R"(line 2: "K" cut off; its complete members kept)",
                 R"(line 2: "K.B" cut off; its complete members kept)",
                 R"(line 2: "K.B[1]" cut off; dropped)"}},
        CutCase{"NestedWordAtTheEnd",
                R"("K" = {"A"=Yes,"B"=N)",
                PropertyTable{{"A", true}},
                {R"(line 2: "K" cut off; its complete members kept)", R"(line 2: "K.B" cut off; dropped)"}},
        CutCase{"NestedKeyWithoutValue",
                R"("K" = {"A"=1,"B")",
                PropertyTable{{"A", 1}},
                {R"(line 2: "K" cut off; its complete members kept)", R"(line 2: "K.B" cut off; dropped)"}},
        CutCase{"NestedKeyItselfCut",
                R"("K" = {"A"=1,"Bat)",
                PropertyTable{{"A", 1}},
                {R"(line 2: "K" cut off; its complete members kept)", R"(line 2: "K.Bat" cut off; dropped)"}},
        CutCase{"AfterACompleteText",
                R"("K" = {"A"="x")",
                PropertyTable{{"A", "x"}},
                {R"(line 2: "K" cut off; its complete members kept)"}},
        CutCase{"AfterASeparator",
                R"("K" = ({"A"=1},)",
                PropertyList{PropertyTable{{"A", 1}}},
                {R"(line 2: "K" cut off; its complete members kept)"}},
        CutCase{"JustOpened",
                R"("K" = {)",
                PropertyTable{},
                {R"(line 2: "K" cut off; its complete members kept)"}},
        CutCase{"TableInAList",
                R"("K" = ({"A"=1},{"B"=2)",
                PropertyList{PropertyTable{{"A", 1}}, PropertyTable{}},
                {R"(line 2: "K" cut off; its complete members kept)",
                 R"(line 2: "K[1]" cut off; its complete members kept)",
                 R"(line 2: "K[1].B" cut off; dropped)"}}),
    testing::ParamName());

TEST(CutOffTextTest, EmptyValueWithItsNewlineWasPrintedWhole) {
    EXPECT_EQ(readOrFail("\"BatteryInstalled\" = \n"), (PropertyTable{{"BatteryInstalled", other}}));
    EXPECT_EQ(readOrFail("\"A\" = 1\r\n  |   \"BatteryInstalled\" =\r\n  | \r\n"),
              (PropertyTable{{"A", 1}, {"BatteryInstalled", other}}));
}

TEST(CutOffTextTest, EveryCutOfANestedLineKeepsOnlyWhatItRead) {
    const std::string line =
        R"("BatteryData" = {"Voltage"=12766,"Serial"="F8Y2","CellVoltage"=(4255,4256),"Chem"=<0a>,"Ok"=Yes})";
    const PropertyTable entry = readOrFail(line + "\n");
    const PropertyTable& whole = *entry.at("BatteryData").table();
    for (std::size_t length = line.find('{') + 1; length < line.size(); ++length) {
        SCOPED_TRACE(line.substr(0, length));
        const RecordedTable cut = RegistryTextReader::read("\"CycleCount\" = 1\n" + line.substr(0, length));
        ASSERT_TRUE(cut.entry);
        ASSERT_FALSE(cut.notes.empty());
        const PropertyTable& kept = *cut.entry->at("BatteryData").table();
        for (const auto& [key, value] : kept) {
            if (const PropertyList* list = value.list()) {
                const PropertyList& full = *whole.at(key).list();
                ASSERT_LE(list->size(), full.size());
                EXPECT_TRUE(std::equal(list->begin(), list->end(), full.begin())) << key;
            } else {
                EXPECT_EQ(value, whole.at(key)) << key;
            }
        }
    }
}

// --- which lines make the entry ---------------------------------------------------------------

TEST(RegistryTextScopeTest, FirstBatteryObjectOfAWholeTreeUpToItsClosingBrace) {
    const PropertyTable table = readOrFail(R"(+-o Root  <class IORegistryEntry, id 0x100000100, retain 23>
  {
    "Voltage" = 5000
  }
  
  +-o AppleSmartBatteryManager  <class AppleSmartBatteryManager, id 0x1000002a0, registered>
  | {
  |   "Voltage" = 6000
  | }
  | 
  +-o AppleSmartBattery  <class AppleSmartBattery, id 0x1000002a5, registered, matched, active>
  | {
  |   "Voltage" = 12480
  |   "Voltage" = 1
  | }
  | 
  +-o AppleSmartBatteryManagerUserClient  <class AppleSmartBatteryManagerUserClient, id 0x1000009f1>
      {
        "IOUserClientCreator" = "pid 412, powerd"
      }
+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1000002a9>
  {
    "CycleCount" = 9
  }
)");
    EXPECT_EQ(table, (PropertyTable{{"Voltage", 12480}}));
}

TEST(RegistryTextScopeTest, WithoutHeadersEveryPropertyLineCounts) {
    const PropertyTable table = readOrFail("$ ioreg -r -c AppleSmartBattery | grep Volt\r\n"
                                           "```\r\n"
                                           "  |   \"Voltage\" = 12766\r\n"
                                           "\t\"ExternalConnected\" = Yes\r\n"
                                           "}\r\n"
                                           "{\r\n"
                                           "    \"CycleCount\" = 3\r\n");
    EXPECT_EQ(table, (PropertyTable{{"Voltage", 12766}, {"ExternalConnected", true}, {"CycleCount", 3}}));
}

TEST(RegistryTextScopeTest, TreeWithoutABatteryHasNoEntry) {
    const RecordedTable result =
        RegistryTextReader::read("+-o Root  <class IORegistryEntry, id 0x100000100>\n"
                                 "  {\n    \"Voltage\" = 5000\n  }\n");
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_FALSE(result.entry);
}

TEST(RegistryTextScopeTest, EmptyClosedBlockIsAnEmptyEntry) {
    const PropertyTable table =
        readOrFail("+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n  }\n");
    EXPECT_TRUE(table.empty());
}

TEST(RegistryTextScopeTest, UnclosedBlockIsNotedAsCutOff) {
    const RecordedTable result =
        RegistryTextReader::read("\n+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n"
                                 "  {\n    \"Voltage\" = 12766\n    \"CycleCount\" = 1");
    ASSERT_TRUE(result.entry);
    EXPECT_EQ(*result.entry, (PropertyTable{{"Voltage", 12766}, {"CycleCount", 1}}));
    EXPECT_EQ(result.notes, Strings{R"(line 2: "AppleSmartBattery" cut off; its complete members kept)"});
}

TEST(RegistryTextScopeTest, UnreadableLinesAreDroppedAndTheRestKept) {
    const RecordedTable result = RegistryTextReader::read("\"A\" = {\"x\"=\"1\" junk}\n"
                                                          "\"B\" = (\"x\")tail\n"
                                                          "\"C\" = {\"x\"=1,2}\n"
                                                          "\"D\" = " +
                                                          std::string(600, '(') +
                                                          "\n"
                                                          "\"E\" = 2 apples\n"
                                                          "\"F\" = 3\n");
    ASSERT_TRUE(result.entry);
    EXPECT_EQ(*result.entry, (PropertyTable{{"E", other}, {"F", 3}}));
    EXPECT_EQ(result.notes,
              (Strings{R"(line 1: "A" unreadable; dropped)", R"(line 2: "B" unreadable; dropped)",
                       R"(line 3: "C" unreadable; dropped)", R"(line 4: "D" unreadable; dropped)"}));
}

struct FailureCase {
    const char* name;
    const char* text;
};

class NoPropertyTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(NoPropertyTest, IsAnErrorWithoutAnEntry) {
    const RecordedTable result = RegistryTextReader::read(GetParam().text);
    EXPECT_EQ(result.error, "no readable property line");
    EXPECT_FALSE(result.entry);
    EXPECT_TRUE(result.notes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pastes, NoPropertyTest,
    ::testing::Values(FailureCase{"Empty", ""}, FailureCase{"Prose", "my battery is broken\n"},
                      FailureCase{"OnlyACutKey", R"("Volta)"},
                      FailureCase{"HeaderAndOpenBrace",
                                  "+-o AppleSmartBattery  <class AppleSmartBattery, id 0x1>\n  {\n"},
                      FailureCase{"CutInTheFirstHeader", "+-o AppleSmartBat"},
                      FailureCase{"OnlyUnreadable", "\"A\" = {\"x\"=\"1\" junk}\n"}),
    testing::ParamName());

TEST(RegistryTextReaderTest, RecognizesHeadersAndPropertyLinesOnly) {
    EXPECT_TRUE(RegistryTextReader::recognizes("+-o AppleSmartBattery  <class AppleSmartBattery>"));
    EXPECT_TRUE(RegistryTextReader::recognizes("{\n  |   \"Voltage\" = 1\n"));
    EXPECT_TRUE(RegistryTextReader::recognizes("\"Voltage\"=1"));
    EXPECT_FALSE(RegistryTextReader::recognizes("{\n  \"Voltage\": 1,\n  \"a=b\": 2\n}\n"));
    EXPECT_FALSE(RegistryTextReader::recognizes("<plist><dict><key>Voltage</key></dict></plist>"));
    EXPECT_FALSE(RegistryTextReader::recognizes("\"unterminated = 1"));
}

} // namespace
} // namespace voltrane
