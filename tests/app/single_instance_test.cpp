#include "app/single_instance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    QString uniqueName(const char* tag) const { return folder_.filePath(QLatin1String(tag)); }

private:
    QTemporaryDir folder_;
};

TEST_F(SingleInstanceTest, ASecondLaunchHandsOverAndTheFirstIsAskedToShow) {
    const QString name = uniqueName("handover");
    SingleInstance first(name);
    ASSERT_TRUE(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    EXPECT_TRUE(SingleInstance(name).handOverToRunningInstance());
    ASSERT_TRUE(activations.wait(2000));
    EXPECT_EQ(activations.count(), 1);
}

TEST_F(SingleInstanceTest, WithoutARunningInstanceTheLaunchListensItself) {
    const QString name = uniqueName("alone");
    for (int launch = 0; launch < 2; ++launch) { // the second finds the first one's socket gone
        SingleInstance alone(name);
        EXPECT_FALSE(alone.handOverToRunningInstance(100)) << launch;
        EXPECT_TRUE(alone.listen()) << launch;
    }
}

} // namespace
} // namespace voltrane
