// Other local users may create files in shared folders first: a launch neither hands itself
// over to a stranger's socket nor keeps its own where a stranger can reach it.
#include "app/single_instance.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace voltrane {
namespace {

const uid_t kMe = getuid();
const uid_t kStranger = getuid() + 4242; // owns nothing the test makes

TEST(SingleInstanceSquatting, OnlyAPrivateFolderOfTheUserHoldsTheSocket) {
    const QTemporaryDir base;
    const QString root = base.path() + QLatin1Char('/');
    const auto folder = [&root](const QString& name, mode_t mode) {
        const QByteArray path = QFile::encodeName(root + name);
        return ::mkdir(path.constData(), mode) == 0 && ::chmod(path.constData(), mode) == 0;
    };
    // The stranger's fallback name is taken first, by someone else.
    ASSERT_TRUE(folder(QStringLiteral("run"), 0700) && folder(QStringLiteral("open"), 0755) &&
                folder(QStringLiteral("voltrane-%1").arg(kStranger), 0700));
    ASSERT_TRUE(QFile::link(root + QStringLiteral("run"), root + QStringLiteral("link")));
    const QString fallback = root + QStringLiteral("voltrane-%1/voltrane.socket").arg(kMe);
    const std::tuple<const char*, uid_t, QString> cases[] = {
        {"run", kMe, root + QStringLiteral("run/voltrane.socket")},
        {"", kMe, fallback},
        {"open", kMe, fallback},
        {"link", kMe, fallback},
        {"run", kStranger, QString()}};
    for (const auto& [runtime, user, expected] : cases) {
        const QString runtimeDir = *runtime ? root + QLatin1String(runtime) : QString();
        EXPECT_EQ(SingleInstance::socketPathFor(runtimeDir, base.path(), user), expected) << runtime;
    }
    struct stat made {};
    ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(fallback).path()).constData(), &made), 0);
    EXPECT_EQ(made.st_mode & 0777, 0700u);
}

TEST(SingleInstanceSquatting, AStrangersSocketIsNeitherFollowedNorRemoved) {
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("voltrane.socket"));
    QLocalServer stranger;
    ASSERT_TRUE(stranger.listen(path));
    SingleInstance launch(path, kStranger); // the socket is not this launch's user's
    EXPECT_FALSE(launch.handOverToRunningInstance(200));
    EXPECT_FALSE(stranger.waitForNewConnection(100));
    EXPECT_FALSE(launch.listen());
    QLocalSocket probe; // still there, still answering
    probe.connectToServer(path);
    EXPECT_TRUE(probe.waitForConnected(1000));
}

} // namespace
} // namespace voltrane
