// The desktop's accessibility settings are read off the UI thread.
#include "support/temp_dir.h"
#include "ui/host/accessibility_environment.h"

#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

TEST(DesktopSettings, AreReadWithoutWaitingAndArriveWhenTheDesktopAnswers) {
    // A gsettings that answers only once the test lets it.
    const testing::TempDir bin;
    std::filesystem::permissions(
        bin.write("gsettings",
                  "#!/bin/sh\nPATH=/usr/bin:/bin\n"
                  "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.02; done\n"
                  "case \"$3\" in enable-animations) echo false;; high-contrast) echo true;; esac\n"),
        std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().c_str());
    const std::unique_ptr<AccessibilityEnvironment> environment(AccessibilityEnvironment::fromDesktop());
    qputenv("PATH", path);
    EXPECT_FALSE(environment->reduceMotion() || environment->reduceTransparency());
    bin.write("go", "");
    QTRY_VERIFY_WITH_TIMEOUT(environment->reduceMotion() && environment->reduceTransparency(), 5000);
}

} // namespace
} // namespace voltrane
