#include "common/platform_texts.h"
#include "ui/dashboard/dashboard_texts.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace voltrane {
namespace {

#ifdef __APPLE__
constexpr bool kBuiltForMacOS = true;
#else
constexpr bool kBuiltForMacOS = false;
#endif

// A text about the system speaks of a Mac exactly when the program was built for one.
TEST(PlatformFactsTest, TextsStateTheFactsOfThePlatformBuiltFor) {
    for (const std::string& text :
         {std::string(infoSourcesText()), std::string(infoComponentsText()), std::string(infoFieldsText()),
          std::string(analyticsContentsText()), headlineDetail(PowerSnapshot::unavailable({}))}) {
        bool mentionsAMac = false;
        for (const char* fact : {"Mac", "macOS", "Apple", "IOKit", "ANE"}) {
            mentionsAMac = mentionsAMac || text.find(fact) != std::string::npos;
        }
        EXPECT_EQ(mentionsAMac, kBuiltForMacOS) << text;
    }
}

// The note on missing component figures names a section the README has.
TEST(PlatformFactsTest, ComponentNotePointsToTheReadmesSection) {
    const std::string note = componentsUnavailableText();
    if (kBuiltForMacOS) {
        EXPECT_EQ(note, "");
        return;
    }
    std::ifstream file(VOLTRANE_README);
    const std::string readme{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const std::string section = "Component power on Linux";
    EXPECT_NE(note.find("root"), std::string::npos);
    EXPECT_NE(note.find("“" + section + "”"), std::string::npos) << note;
    EXPECT_NE(readme.find("\n## " + section + "\n"), std::string::npos);
}

} // namespace
} // namespace voltrane
