#include "ui/host/accessibility_environment.h"
#include "ui/host/window_activity.h"

#include <QApplication>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>
#include <memory>

namespace voltrane {
namespace {

TEST(AccessibilityEnvironment, AnnouncesOnlyRealChanges) {
    AccessibilityEnvironment environment;
    EXPECT_FALSE(environment.reduceMotion());
    EXPECT_FALSE(environment.reduceTransparency());
    QSignalSpy spy(&environment, &AccessibilityEnvironment::changed);
    environment.setReduceMotion(true);
    environment.setReduceMotion(true);
    environment.setReduceTransparency(true);
    environment.setReduceTransparency(false);
    EXPECT_EQ(spy.count(), 3);
    EXPECT_TRUE(environment.reduceMotion());
    EXPECT_FALSE(environment.reduceTransparency());
}

TEST(AccessibilityEnvironment, WithoutADesktopAnswerBothAreOff) {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    std::unique_ptr<AccessibilityEnvironment> environment(AccessibilityEnvironment::fromDesktop());
    qputenv("PATH", path);
    EXPECT_FALSE(environment->reduceMotion());
    EXPECT_FALSE(environment->reduceTransparency());
}

TEST(WindowActivity, FollowsActivationOfTheHoldingWindow) {
    QWidget window;
    auto* child = new QWidget(&window);
    WindowActivity activity(child);
    QSignalSpy spy(&activity, &WindowActivity::activeChanged);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(activity.isActive());

    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_FALSE(activity.isActive());
    ASSERT_GE(spy.count(), 2);
    EXPECT_FALSE(spy.last().front().toBool());
}

TEST(WindowActivity, FollowsTheWidgetIntoAnotherWindow) {
    QWidget first;
    QWidget second;
    auto* child = new QWidget(&first);
    WindowActivity activity(child);
    first.show();
    second.show();
    second.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&second));
    EXPECT_FALSE(activity.isActive());
    child->setParent(&second);
    EXPECT_TRUE(activity.isActive());
}

TEST(WindowActivity, FollowsAnAncestorIntoAnotherWindow) {
    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // A section built on its own, then placed into the window by its container.
    auto section = std::make_unique<QWidget>();
    auto* inner = new QWidget(section.get());
    auto* leaf = new QWidget(inner);
    WindowActivity activity(leaf);
    QSignalSpy spy(&activity, &WindowActivity::activeChanged);
    EXPECT_FALSE(activity.isActive());
    section.release()->setParent(&window);
    EXPECT_TRUE(activity.isActive());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_TRUE(spy.front().front().toBool());
}

} // namespace
} // namespace voltrane
