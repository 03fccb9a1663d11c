// Another local user may create files in shared folders first; a launch must neither hand
// itself over to a stranger's socket nor put its own socket where a stranger can reach it.
#include "app/single_instance.h"
#include "support/param_name.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace voltrane {
namespace {

const uid_t kMe = getuid();
const uid_t kStranger = getuid() + 4242; // here: anyone who is not the owner of the test's files

struct FolderCase {
    const char* name;
    const char* runtime; ///< under the test folder; "" for unset
    uid_t user;
    const char* expected; ///< folder of the socket under the test folder; "" for none
};

class SocketFolderTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(SocketFolderTest, OnlyAPrivateFolderOfTheUserHoldsTheSocket) {
    QTemporaryDir base;
    const QString root = base.path();
    ASSERT_EQ(::mkdir(QFile::encodeName(root + QStringLiteral("/run")).constData(), 0700), 0);
    ASSERT_EQ(::mkdir(QFile::encodeName(root + QStringLiteral("/open")).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(root + QStringLiteral("/open")).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(root + QStringLiteral("/run"), root + QStringLiteral("/link")));
    // A folder under the stranger's fallback name, made first by someone else (us).
    ASSERT_TRUE(QDir(root).mkdir(QStringLiteral("voltrane-%1").arg(kStranger)));
    const QString runtime =
        *GetParam().runtime ? root + QLatin1Char('/') + QLatin1String(GetParam().runtime) : QString();

    const QString path = SingleInstance::socketPathFor(runtime, root, GetParam().user);

    const QString expected =
        QString::fromUtf8(GetParam().expected).replace(QStringLiteral("ME"), QString::number(kMe));
    EXPECT_EQ(path, expected.isEmpty()
                        ? QString()
                        : root + QLatin1Char('/') + expected + QStringLiteral("/voltrane.socket"));
    if (!path.isEmpty()) {
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(QFileInfo(path).path()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SocketFolderTest,
    ::testing::Values(FolderCase{"PrivateRuntimeFolder", "run", kMe, "run"},
                      FolderCase{"UnsetMakesAPrivateFallback", "", kMe, "voltrane-ME"},
                      FolderCase{"OpenRuntimeFolderFallsBack", "open", kMe, "voltrane-ME"},
                      FolderCase{"LinkedRuntimeFolderFallsBack", "link", kMe, "voltrane-ME"},
                      FolderCase{"SomeoneElsesFolderIsNotUsed", "run", kStranger, ""}),
    testing::ParamName());

TEST(SingleInstanceSquatting, AStrangersSocketIsNeitherFollowedNorRemoved) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("voltrane.socket"));
    QLocalServer stranger;
    ASSERT_TRUE(stranger.listen(path));

    SingleInstance launch(path, kStranger); // the socket's owner is not this launch's user
    EXPECT_FALSE(launch.handOverToRunningInstance(200));
    EXPECT_FALSE(stranger.waitForNewConnection(100));
    EXPECT_FALSE(launch.listen());

    QLocalSocket probe; // the stranger's socket is still there and still answers
    probe.connectToServer(path);
    EXPECT_TRUE(probe.waitForConnected(1000));
}

} // namespace
} // namespace voltrane
