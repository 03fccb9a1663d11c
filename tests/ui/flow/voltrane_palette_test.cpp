#include "support/param_name.h"
#include "ui/flow/voltrane_palette.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace voltrane {
namespace {

struct PaletteCase {
    const char* name; // the entry's code name, also the row name
    PaletteColor entry;
    Color constant;
    double red;
    double green;
    double blue;
};

class PaletteTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(PaletteTest, EntryHasItsExactChannelsAndName) {
    const PaletteCase& row = GetParam();
    const Color color = VoltranePalette::color(row.entry);
    // Exact literals, compared exactly: 0.075 is not 0.08.
    EXPECT_EQ(color.red, row.red);
    EXPECT_EQ(color.green, row.green);
    EXPECT_EQ(color.blue, row.blue);
    EXPECT_EQ(color.opacity, 1.0);
    EXPECT_EQ(color, row.constant);
    EXPECT_EQ(std::string(VoltranePalette::name(row.entry)), row.name);
}

#define VOLTRANE_ENTRY(entry, r, g, b)                                                                       \
    PaletteCase {                                                                                            \
#entry, PaletteColor::entry, VoltranePalette::entry, r, g, b                                         \
    }

INSTANTIATE_TEST_SUITE_P(
    Entries, PaletteTest,
    ::testing::Values(
        VOLTRANE_ENTRY(canvas, 0.075, 0.095, 0.098), VOLTRANE_ENTRY(canvasTop, 0.125, 0.165, 0.16),
        VOLTRANE_ENTRY(surface, 0.175, 0.205, 0.195), VOLTRANE_ENTRY(stroke, 0.34, 0.39, 0.37),
        VOLTRANE_ENTRY(textPrimary, 0.95, 0.97, 0.96), VOLTRANE_ENTRY(textSecondary, 0.67, 0.71, 0.69),
        VOLTRANE_ENTRY(textMuted, 0.49, 0.54, 0.52), VOLTRANE_ENTRY(accent, 0.22, 0.9, 0.48),
        VOLTRANE_ENTRY(warning, 0.95, 0.7, 0.24), VOLTRANE_ENTRY(glassBlue, 0.25, 0.58, 0.76),
        VOLTRANE_ENTRY(flowSource, 0.31, 0.72, 0.91), VOLTRANE_ENTRY(flowBattery, 0.3, 0.78, 0.5),
        VOLTRANE_ENTRY(flowCPU, 0.35, 0.66, 0.94), VOLTRANE_ENTRY(flowGPU, 0.48, 0.49, 0.91),
        VOLTRANE_ENTRY(flowANE, 0.67, 0.43, 0.88), VOLTRANE_ENTRY(flowMemory, 0.87, 0.52, 0.3),
        VOLTRANE_ENTRY(flowDisplay, 0.93, 0.67, 0.24), VOLTRANE_ENTRY(flowPorts, 0.27, 0.68, 0.71),
        VOLTRANE_ENTRY(flowOther, 0.47, 0.54, 0.57)),
    voltrane::testing::ParamName());

#undef VOLTRANE_ENTRY

TEST(PaletteTest, NamesAndColoursAreDistinctAcrossAllEntries) {
    std::set<std::string> names;
    std::set<std::tuple<double, double, double>> colours;
    for (std::size_t i = 0; i < VoltranePalette::count; ++i) {
        const auto entry = static_cast<PaletteColor>(i);
        names.insert(VoltranePalette::name(entry));
        const Color color = VoltranePalette::color(entry);
        colours.insert({color.red, color.green, color.blue});
    }
    EXPECT_EQ(names.size(), VoltranePalette::count);
    EXPECT_EQ(colours.size(), VoltranePalette::count);
}

} // namespace
} // namespace voltrane
