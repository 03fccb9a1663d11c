#include "common/platform_texts.h"
#include "ui/dashboard/dashboard_texts.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace voltrane {
namespace {

#ifdef __APPLE__
constexpr bool kBuiltForMacOS = true;
#else
constexpr bool kBuiltForMacOS = false;
#endif

// A text about the system speaks of a Mac exactly when built for one; elsewhere the note on
// missing component figures names the README's section on them.
TEST(PlatformFactsTest, TextsStateTheFactsOfThePlatformBuiltFor) {
    for (const std::string& text :
         {std::string(infoSourcesText()) + infoComponentsText() + infoFieldsText(),
          std::string(analyticsContentsText()), headlineDetail(PowerSnapshot::unavailable({}))}) {
        bool mac = false;
        for (const char* fact : {"Mac", "macOS", "Apple", "IOKit", "ANE"}) {
            mac = mac || text.find(fact) != std::string::npos;
        }
        EXPECT_EQ(mac, kBuiltForMacOS) << text;
    }
    std::ifstream file(VOLTRANE_README);
    const std::string readme{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string section = "Component power on Linux";
    EXPECT_NE(readme.find("\n## " + section + "\n"), std::string::npos);
    EXPECT_EQ(std::string(componentsUnavailableText()).find("“" + section + "”") != std::string::npos,
              !kBuiltForMacOS);
}

} // namespace
} // namespace voltrane
