#include "app/autostart_entry.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace voltrane {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(AutostartEntryTest, TheSwitchWritesTheWholeEntryOrRemovesIt) {
    const testing::TempDir dir;
    const QString root = QString::fromStdString(dir.path().string());
    // A folder not made yet, and an entry a user edited by hand: both give the installed entry.
    for (const QString& folder :
         {root + QStringLiteral("/new/autostart"), root + QStringLiteral("/edited")}) {
        dir.write("edited/voltrane.desktop", "[Desktop Entry]\nHidden=true\n");
        AutostartEntry entry(folder);
        ASSERT_TRUE(entry.setEnabled(true));
        EXPECT_TRUE(entry.isEnabled());
        EXPECT_EQ(readAll(entry.path()), AutostartEntry::contents());
        EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("voltrane.desktop")});
        ASSERT_TRUE(entry.setEnabled(false));
        EXPECT_FALSE(entry.isEnabled());
        EXPECT_TRUE(entry.setEnabled(false)); // already off
    }
    EXPECT_TRUE(AutostartEntry::contents().contains("\nX-GNOME-Autostart-enabled=true"));

    // A file where the folder should be: the switch reports failure and nothing appears.
    dir.write("blocked", "");
    AutostartEntry blocked(root + QStringLiteral("/blocked"));
    EXPECT_FALSE(blocked.setEnabled(true));
    EXPECT_FALSE(blocked.isEnabled());
}

} // namespace
} // namespace voltrane
