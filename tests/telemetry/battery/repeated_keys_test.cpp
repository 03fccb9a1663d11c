// A key repeated within one table keeps its first value, whichever form the table came in.
#include "telemetry/battery/recorded_table_reader.h"

#include <gtest/gtest.h>

namespace voltrane {
namespace {

TEST(RepeatedKeys, TheFirstValueCountsInEveryForm) {
    const PropertyTable firsts{{"Voltage", 12000}, {"Data", PropertyTable{{"A", 1}, {"B", true}}}};
    for (
        const char* recording :
        {"\"Voltage\" = 12000\n\"Data\" = {\"A\"=1,\"B\"=Yes,\"A\"=2}\n\"Voltage\" = 11000\n",
         "<plist><array><dict><key>Voltage</key><integer>12000</integer><key>Data</key><dict><key>A</key>"
         "<integer>1</integer><key>B</key><true/><key>A</key><integer>2</integer></dict><key>Voltage</key>"
         "<integer>11000</integer></dict></array></plist>",
         R"({"Voltage": 12000, "Data": {"A": 1, "B": true, "A" : 2}, "Voltage": 11000})",
         // Repeats inside a tagged number, and escapes that spell the same key.
         R"({"Voltage": {"$i64": 12000, "$i64": 5}, "Data": {"\u0041": 1, "B": true, "A": 2}, "Volt\u0061ge": 1})"}) {
        const RecordedTable table = RecordedTableReader::fromBytes(recording);
        EXPECT_TRUE(table.ok()) << table.error;
        EXPECT_EQ(table.entry, firsts) << recording;
    }
}

} // namespace
} // namespace voltrane
