#include "common/number_format.h"
#include "support/temp_dir.h"
#include "ui/dashboard/status_summary.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

namespace voltrane {
namespace {

bool numbersUseAComma() {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 12.0);
    return std::string(text) == "12,0";
}

// Under a user locale with a decimal comma, as a desktop session sets it and Qt applies it at
// start-up (setlocale(LC_ALL, "")), figures still use the point.
TEST(DecimalCommaTest, FiguresIgnoreTheUsersNumericLocale) {
    const testing::TempDir dir;
    std::string name = "de_DE.UTF-8";
    if (std::setlocale(LC_NUMERIC, name.c_str()) == nullptr) {
        // Without the German locale installed, build a locale that has only a decimal comma.
        dir.write("comma.def", "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\ngrouping 3;3\n"
                               "END LC_NUMERIC\n");
        const std::string build = "localedef -c -i '" + (dir.path() / "comma.def").string() + "' '" +
                                  (dir.path() / "comma").string() + "' >/dev/null 2>&1";
        static_cast<void>(std::system(build.c_str())); // warns, and so fails, about the categories it lacks
        ::setenv("LOCPATH", dir.path().c_str(), 1);
        name = "comma";
    }
    ::setenv("LC_ALL", name.c_str(), 1);
    std::setlocale(LC_ALL, "");
    const bool commaLocale = numbersUseAComma();

    const std::string whole = formatFixed(12.0, 1);
    const std::string volts = formatFixed(11.62, 2);
    const std::string sentence = StatusSummary::watts(-8.25, true);

    ::unsetenv("LC_ALL");
    ::unsetenv("LOCPATH");
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(commaLocale) << "no locale with a decimal comma could be set";
    EXPECT_EQ(whole, "12.0");
    EXPECT_EQ(volts, "11.62");
    EXPECT_EQ(sentence, "\u2248 8.2 W"); // an exact half goes to the even digit, as printf does
}

} // namespace
} // namespace voltrane
