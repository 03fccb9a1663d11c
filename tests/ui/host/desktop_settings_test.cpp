// The desktop's accessibility settings are read off the UI thread and followed as they change.
#include "support/temp_dir.h"
#include "ui/host/accessibility_environment.h"

#include <QSignalSpy>
#include <QtTest/QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

TEST(DesktopSettings, AreReadWithoutWaitingAndArriveWhenTheDesktopAnswers) {
    // A gsettings that answers only once the test lets it: a reader on the UI thread would
    // give up on it, or block the test for good.
    const testing::TempDir bin;
    const auto gsettings =
        bin.write("gsettings", "#!/bin/sh\nPATH=/usr/bin:/bin\n"
                               "while [ ! -e \"$(dirname \"$0\")/go\" ]; do sleep 0.02; done\n"
                               "case \"$3\" in enable-animations) echo false;; "
                               "high-contrast) echo true;; esac\n");
    std::filesystem::permissions(gsettings, std::filesystem::perms::owner_all);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().c_str());
    std::unique_ptr<AccessibilityEnvironment> environment(AccessibilityEnvironment::fromDesktop());
    qputenv("PATH", path);
    QSignalSpy changes(environment.get(), &AccessibilityEnvironment::changed);
    EXPECT_FALSE(environment->reduceMotion());
    EXPECT_FALSE(environment->reduceTransparency());

    bin.write("go", "");
    QTRY_VERIFY_WITH_TIMEOUT(environment->reduceMotion() && environment->reduceTransparency(), 5000);
    EXPECT_EQ(changes.count(), 2);
}

TEST(DesktopSettings, AnnouncedChangesAreFollowed) {
    const QString interface = QStringLiteral("org.gnome.desktop.interface");
    const QString a11y = QStringLiteral("org.gnome.desktop.a11y.interface");
    const struct {
        QString schema;
        const char* key;
        QVariant value;
        bool motion;
        bool transparency;
    } steps[] = {
        {interface, "enable-animations", false, true, false},
        {a11y, "high-contrast", true, true, true},
        {interface, "enable-animations", true, false, true},
        {interface, "high-contrast", false, false, true},              // another schema's key
        {a11y, "high-contrast", QStringLiteral("false"), false, true}, // not a boolean
        {a11y, "high-contrast", false, false, false},
    };
    AccessibilityEnvironment environment;
    for (const auto& step : steps) {
        environment.applyDesktopSetting(step.schema, QLatin1String(step.key), step.value);
        EXPECT_EQ(environment.reduceMotion(), step.motion) << step.key;
        EXPECT_EQ(environment.reduceTransparency(), step.transparency) << step.key;
    }
}

} // namespace
} // namespace voltrane
