#include "common/c_number.h"
#include "common/number_format.h"
#include "support/temp_dir.h"
#include "ui/dashboard/status_summary.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace voltrane {
namespace {

TEST(FormatFixedTest, MatchesPrintfOrShowsADash) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::tuple<double, int, const char*> rows[] = {
        {9.87, 1, "9.9"},    {3.8, 2, "3.80"},    {2.5, 0, "2"}, // a half goes to the even digit
        {7.6, 0, "8"},       {-85.4, 0, "-85"},   {-0.04, 1, "-0.0"},
        {kNaN, 1, "\u2014"}, {kInf, 0, "\u2014"}, {-kInf, 2, "\u2014"}};
    for (const auto& [value, decimals, expected] : rows) {
        EXPECT_EQ(formatFixed(value, decimals), expected) << value;
    }
    EXPECT_EQ(formatFixed(12.34, 1, "W") + ", " + formatFixed(kNaN, 0, "W"), "12.3 W, \u2014 W");
    const std::string huge = formatFixed(1e300, 1); // every digit: 301 before the point, one after
    EXPECT_EQ(huge.substr(0, 2) + huge.substr(huge.size() - 2) + std::to_string(huge.size()), "10.0303");
    // Outputs of 511, 512 and more characters than the stack buffer holds print every digit.
    for (const int decimals : {209, 210, 300}) {
        std::string expected(1024, '\0');
        expected.resize(static_cast<std::size_t>(
            std::snprintf(expected.data(), expected.size(), "%.*f", decimals, 1e300)));
        EXPECT_EQ(formatFixed(1e300, decimals), expected) << decimals;
    }
}

// Under a user locale with a decimal comma, as a desktop session sets it and Qt applies it at
// start-up (setlocale(LC_ALL, "")), figures still use the point.
TEST(FormatFixedTest, IgnoresTheUsersNumericLocale) {
    const testing::TempDir dir;
    std::string name = "de_DE.UTF-8";
    if (std::setlocale(LC_NUMERIC, name.c_str()) == nullptr) { // build a locale with only a decimal comma
        dir.write("comma.def",
                  "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\nEND LC_NUMERIC\n");
        const std::string build = "localedef -c -i '" + (dir.path() / "comma.def").string() + "' '" +
                                  (dir.path() / "comma").string() + "' >/dev/null 2>&1";
        static_cast<void>(std::system(build.c_str())); // fails on the categories it lacks, yet writes
        ::setenv("LOCPATH", dir.path().c_str(), 1);
        name = "comma";
    }
    ::setenv("LC_ALL", name.c_str(), 1);
    std::setlocale(LC_ALL, "");
    const std::string printed = std::to_string(0.5); // as printf writes under the user's locale
    const std::string figures =
        formatFixed(12.0, 1) + " " + formatFixed(11.62, 2) + " " + StatusSummary::watts(-8.25, true);
    ::unsetenv("LC_ALL"), ::unsetenv("LOCPATH"), std::setlocale(LC_ALL, "C");
    ASSERT_EQ(printed, "0,500000") << "no locale with a decimal comma could be set";
    EXPECT_EQ(figures, "12.0 11.62 \u2248 8.2 W");
}

constexpr double inf = std::numeric_limits<double>::infinity();

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
    EXPECT_EQ(std::tuple(parseNonFiniteWord("inf"), parseNonFiniteWord("-inf"), parseNonFiniteWord("Inf"),
                         parseNonFiniteWord("1")),
              std::tuple(inf, -inf, std::nullopt, std::nullopt));
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
