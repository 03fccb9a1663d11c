#include "common/c_number.h"
#include "common/number_format.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>

namespace voltrane {
namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

TEST(FormatFixedTest, MatchesPrintfOrShowsADash) {
    // clang-format off
    const std::vector<std::tuple<double, int, const char*>> rows = {
        {9.87, 1, "9.9"}, {3.8, 2, "3.80"}, {2.5, 0, "2"}, {7.6, 0, "8"}, {-85.4, 0, "-85"},
        {-0.04, 1, "-0.0"},
        {nan, 1, "\u2014"}, {inf, 0, "\u2014"}, {-inf, 2, "\u2014"}};
    // clang-format on
    for (const auto& [value, decimals, expected] : rows) {
        EXPECT_EQ(formatFixed(value, decimals), expected) << value;
    }
    EXPECT_EQ(formatFixed(12.34, 1, "W"), "12.3 W");
    EXPECT_EQ(formatFixed(nan, 0, "W"), "\u2014 W");
    // Outputs of 511, 512 and more characters than the stack buffer holds print every digit.
    for (const int decimals : {209, 210, 300}) {
        std::string expected(1024, '\0');
        expected.resize(static_cast<std::size_t>(
            std::snprintf(expected.data(), expected.size(), "%.*f", decimals, 1e300)));
        EXPECT_EQ(formatFixed(1e300, decimals), expected) << decimals;
    }
}

TEST(CNumberTest, ReadsWholeCLocaleNumbersOnly) {
    // clang-format off
    const std::vector<std::pair<const char*, std::optional<double>>> numbers = {
        {"1.5", 1.5}, {"-2e3", -2000.0}, {"0x1p4", 16.0}, {"inf", inf}, {"1e400", inf}, {"7", 7.0},
        {"", std::nullopt}, {" 1", std::nullopt}, {"\t1", std::nullopt}, {"1 ", std::nullopt},
        {"1,5", std::nullopt}, {"1.5x", std::nullopt}, {"x", std::nullopt}};
    // clang-format on
    for (const auto& [text, value] : numbers) {
        EXPECT_EQ(parseCNumber(text), value) << text;
    }
    EXPECT_TRUE(std::isnan(parseCNumber("nan").value_or(0)));
    EXPECT_EQ(parseCNumber(std::string_view("2.5", 1)), 2.0); // a view into a longer text ends where it ends
    EXPECT_TRUE(std::isnan(parseNonFiniteWord("nan").value_or(0)) &&
                std::isnan(parseNonFiniteWord("-nan").value_or(0)));
    EXPECT_EQ(parseNonFiniteWord("inf"), inf);
    EXPECT_EQ(parseNonFiniteWord("-inf"), -inf);
    EXPECT_EQ(parseNonFiniteWord("Inf"), std::nullopt);
    EXPECT_EQ(parseNonFiniteWord("1"), std::nullopt);
}

TEST(CNumberTest, KnowsJsonNumberGrammar) {
    for (const char* json : {"0", "-0", "7", "-12", "10", "0.5", "-0.25", "1e5", "1E+5", "2.5e-3", "0e0"}) {
        EXPECT_TRUE(isJsonNumber(json)) << json;
    }
    for (const char* other :
         {"", "-", "01", "-01", "+1", "1.", ".5", "1e", "1e+", "1.e3", "0x1", "1 ", "1a", "--1"}) {
        EXPECT_FALSE(isJsonNumber(other)) << other;
    }
    // A view into a longer text ends where the view ends.
    for (const std::string_view cut :
         {std::string_view("12", 1), std::string_view("1.5", 1), std::string_view("1e5", 1)}) {
        EXPECT_TRUE(isJsonNumber(cut)) << cut;
    }
}

} // namespace
} // namespace voltrane
