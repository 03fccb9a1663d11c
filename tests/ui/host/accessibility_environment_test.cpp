#include "ui/host/accessibility_environment.h"
#include "ui/host/window_activity.h"

#include <QSignalSpy>
#include <QWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

TEST(AccessibilityEnvironment, WithoutADesktopAnswerBothAreOff) {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    std::unique_ptr<AccessibilityEnvironment> environment(AccessibilityEnvironment::fromDesktop());
    qputenv("PATH", path);
    EXPECT_FALSE(environment->reduceMotion() || environment->reduceTransparency());
}

void activate(QWidget& window) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

TEST(WindowActivity, FollowsActivationOfTheHoldingWindow) {
    QWidget window;
    WindowActivity activity(new QWidget(&window));
    QSignalSpy spy(&activity, &WindowActivity::activeChanged);
    activate(window);
    EXPECT_TRUE(activity.isActive());
    QWidget other;
    activate(other);
    EXPECT_FALSE(activity.isActive());
    ASSERT_GE(spy.count(), 2);
    EXPECT_FALSE(spy.last().front().toBool());
}

TEST(WindowActivity, FollowsTheWidgetOrAnAncestorIntoAnotherWindow) {
    QWidget first;
    QWidget active;
    first.show();
    activate(active);
    auto* moved = new QWidget(&first);
    WindowActivity direct(moved);
    EXPECT_FALSE(direct.isActive());
    moved->setParent(&active);
    EXPECT_TRUE(direct.isActive());

    // A section built on its own, then placed into the window by its container.
    auto section = std::make_unique<QWidget>();
    WindowActivity nested(new QWidget(new QWidget(section.get())));
    QSignalSpy spy(&nested, &WindowActivity::activeChanged);
    EXPECT_FALSE(nested.isActive());
    section.release()->setParent(&active);
    EXPECT_TRUE(nested.isActive());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.front().front().toBool());
}

} // namespace
} // namespace voltrane
