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

// Under a user locale with a decimal comma, as a desktop session sets it and Qt applies it at
// start-up (setlocale(LC_ALL, "")), figures still use the point.
TEST(DecimalCommaTest, FiguresIgnoreTheUsersNumericLocale) {
    const testing::TempDir dir;
    std::string name = "de_DE.UTF-8";
    if (std::setlocale(LC_NUMERIC, name.c_str()) == nullptr) {
        // Without the German locale installed, build one that has only a decimal comma.
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
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 12.0);
    const std::string figures = formatFixed(12.0, 1) + " " + formatFixed(11.62, 2) + " " +
                                StatusSummary::watts(-8.25, true); // a half goes to the even digit
    ::unsetenv("LC_ALL");
    ::unsetenv("LOCPATH");
    std::setlocale(LC_ALL, "C");
    ASSERT_EQ(std::string(printed), "12,0") << "no locale with a decimal comma could be set";
    EXPECT_EQ(figures, "12.0 11.62 \u2248 8.2 W");
}

} // namespace
} // namespace voltrane
