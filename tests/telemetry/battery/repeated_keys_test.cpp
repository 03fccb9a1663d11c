#include "support/param_name.h"
#include "telemetry/battery/recorded_table_reader.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

struct RepeatCase {
    const char* name;
    const char* recording;
    PropertyTable expected;
};

class RepeatedKeyTest : public ::testing::TestWithParam<RepeatCase> {};

// Each form repeats a key at the top and inside a nested table; the first value counts.
TEST_P(RepeatedKeyTest, TheFirstValueCounts) {
    const RecordedTable table = RecordedTableReader::fromBytes(GetParam().recording);
    ASSERT_TRUE(table.ok()) << table.error;
    EXPECT_EQ(table.entry, GetParam().expected);
}

const PropertyTable kFirsts{{"Voltage", 12000}, {"Data", PropertyTable{{"A", 1}, {"B", true}}}};

INSTANTIATE_TEST_SUITE_P(
    EveryForm, RepeatedKeyTest,
    ::testing::Values(
        RepeatCase{"Text",
                   "\"Voltage\" = 12000\n\"Data\" = {\"A\"=1,\"B\"=Yes,\"A\"=2}\n\"Voltage\" = 11000\n",
                   kFirsts},
        RepeatCase{
            "Plist",
            "<plist><array><dict><key>Voltage</key><integer>12000</integer><key>Data</key><dict>"
            "<key>A</key><integer>1</integer><key>B</key><true/><key>A</key><integer>2</integer></dict>"
            "<key>Voltage</key><integer>11000</integer></dict></array></plist>",
            kFirsts},
        RepeatCase{"TypedJson",
                   R"({"Voltage": 12000, "Data": {"A": 1, "B": true, "A" : 2}, "Voltage": 11000})", kFirsts},
        // Repeats inside a tagged number, and escapes that spell the same key.
        RepeatCase{"TypedJsonTagged",
                   R"({"Voltage": {"$i64": 12000, "$i64": 5}, "Data": {"\u0041": 1, "B": true, "A": 2},
                      "Volt\u0061ge": 11000})",
                   kFirsts}),
    testing::ParamName());

} // namespace
} // namespace voltrane
