// Setting changes that the desktop portal announces on the session bus are followed.
#include "ui/host/accessibility_environment.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

TEST(DesktopPortal, AnnouncedChangesAreFollowed) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
    const auto announce = [&bus](const char* schema, const char* key, const QVariant& value) {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/portal/desktop"),
                                                         QStringLiteral("org.freedesktop.portal.Settings"),
                                                         QStringLiteral("SettingChanged"));
        signal << QLatin1String("org.gnome.desktop.") + QLatin1String(schema) << QString::fromLatin1(key)
               << QVariant::fromValue(QDBusVariant(value));
        bus.send(signal);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent"); // no gsettings: the portal alone speaks
    const std::unique_ptr<AccessibilityEnvironment> environment(AccessibilityEnvironment::fromDesktop());
    qputenv("PATH", path);

    // The reader subscribes on its own thread; announce until it listens.
    QTRY_VERIFY_WITH_TIMEOUT((announce("interface", "enable-animations", false), environment->reduceMotion()),
                             5000);
    announce("interface", "enable-animations", QStringLiteral("true")); // not a boolean: ignored
    announce("a11y.interface", "high-contrast", true);
    QTRY_VERIFY_WITH_TIMEOUT(environment->reduceTransparency(), 5000);
    EXPECT_TRUE(environment->reduceMotion());
}

} // namespace
} // namespace voltrane
