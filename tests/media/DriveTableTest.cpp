// The drive table: letters for folders named in VIEWER_DRIVES or for mounted volumes,
// "E:\..." paths to native paths with names matched in any case, and back.
#include "platform/DriveTable.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <set>

namespace {

class DriveTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        card = dir.path() + QStringLiteral("/card");
        other = dir.path() + QStringLiteral("/other");
        ASSERT_TRUE(QDir().mkpath(card + QStringLiteral("/Event")));
        ASSERT_TRUE(QDir().mkpath(other));
        QFile f(card + QStringLiteral("/Event/20240131_120000_E.mp4"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        Set(QStringLiteral("e=%1/;G=%2;E=/elsewhere;A=/a;Z=/z;QQ=/q;=/r;H=").arg(card, other));
    }
    void TearDown() override { unsetenv("VIEWER_DRIVES"); }

    static void Set(const QString& spec) { setenv("VIEWER_DRIVES", spec.toLocal8Bit().constData(), 1); }

    QTemporaryDir dir;
    QString card;
    QString other;
};

TEST_F(DriveTableTest, ExplicitEntries)
{
    const std::vector<DriveInfo> drives = DriveTable::Drives();
    ASSERT_EQ(2u, drives.size());  // letters D..Y only, each once, the first entry wins
    EXPECT_EQ(QLatin1Char('E'), drives[0].letter);
    EXPECT_EQ(card, drives[0].root);
    EXPECT_TRUE(drives[0].removable);
    EXPECT_EQ(QLatin1Char('G'), drives[1].letter);
    EXPECT_EQ(other, DriveTable::Find(QLatin1Char('g'))->root);
    EXPECT_FALSE(DriveTable::Find(QLatin1Char('A')).has_value());
    EXPECT_FALSE(DriveTable::Find(QLatin1Char('F')).has_value());
}

TEST_F(DriveTableTest, NativePathMatchesAnyCase)
{
    EXPECT_EQ(card + QStringLiteral("/Event/20240131_120000_E.mp4"),
              DriveTable::NativePath(QStringLiteral("E:\\EVENT\\20240131_120000_e.MP4")));
    EXPECT_EQ(card + QStringLiteral("/Event"), DriveTable::NativePath(QStringLiteral("e:/event")));
    EXPECT_EQ(card, DriveTable::NativePath(QStringLiteral("E:")));
    EXPECT_EQ(card, DriveTable::NativePath(QStringLiteral("E:\\")));
    // What does not exist yet keeps its spelling, below the part that does.
    EXPECT_EQ(card + QStringLiteral("/Event/New/Sub.bin"), DriveTable::NativePath(QStringLiteral("E:\\EVENT\\New\\Sub.bin")));
    EXPECT_EQ(card + QStringLiteral("/SETUP/data_setup.cfg"),
              DriveTable::NativePath(QStringLiteral("E:\\SETUP\\data_setup.cfg")));
    EXPECT_EQ(QString(), DriveTable::NativePath(QStringLiteral("F:\\EVENT")));
    EXPECT_EQ(QString(), DriveTable::NativePath(QStringLiteral("EVENT")));
    EXPECT_EQ(QString(), DriveTable::NativePath(QString()));
}

TEST_F(DriveTableTest, DrivePathIsTheInverse)
{
    EXPECT_EQ(QStringLiteral("E:\\Event\\20240131_120000_E.mp4"),
              DriveTable::DrivePath(card + QStringLiteral("/Event/20240131_120000_E.mp4")));
    EXPECT_EQ(QStringLiteral("E:\\"), DriveTable::DrivePath(card));
    EXPECT_EQ(QStringLiteral("G:\\x"), DriveTable::DrivePath(other + QStringLiteral("/./x")));
    // A folder whose name only begins like a root is not below it.
    EXPECT_EQ(QString(), DriveTable::DrivePath(card + QStringLiteral("2/x")));
    EXPECT_EQ(QString(), DriveTable::DrivePath(dir.path()));
    EXPECT_EQ(QString(), DriveTable::DrivePath(QString()));
}

TEST_F(DriveTableTest, TypeAndSpace)
{
    EXPECT_EQ(DriveTable::DRIVE_REMOVABLE, DriveTable::GetDriveType(QStringLiteral("E:")));
    EXPECT_EQ(DriveTable::DRIVE_REMOVABLE, DriveTable::GetDriveType(QStringLiteral("G:\\")));
    EXPECT_EQ(DriveTable::DRIVE_NO_ROOT_DIR, DriveTable::GetDriveType(QStringLiteral("F:")));
    EXPECT_EQ(DriveTable::DRIVE_NO_ROOT_DIR, DriveTable::GetDriveType(QString()));

    std::uint64_t freeBytes = 0, totalBytes = 0;
    ASSERT_TRUE(DriveTable::GetDiskFreeSpace(QStringLiteral("E:"), &freeBytes, &totalBytes));
    EXPECT_GT(totalBytes, 0u);
    EXPECT_LE(freeBytes, totalBytes);
    EXPECT_FALSE(DriveTable::GetDiskFreeSpace(QStringLiteral("F:"), &freeBytes, &totalBytes));

    // A named folder that is gone is no drive any more.
    Set(QStringLiteral("K=%1/gone").arg(dir.path()));
    EXPECT_EQ(DriveTable::DRIVE_NO_ROOT_DIR, DriveTable::GetDriveType(QStringLiteral("K:")));
    EXPECT_FALSE(DriveTable::GetDiskFreeSpace(QStringLiteral("K:"), &freeBytes, &totalBytes));
}

TEST_F(DriveTableTest, MountedVolumesGetLettersFromD)
{
    unsetenv("VIEWER_DRIVES");
    const std::vector<DriveInfo> drives = DriveTable::Drives();
    std::set<QString> roots;
    char expected = 'D';
    for (const DriveInfo& d : drives) {
        EXPECT_EQ(QLatin1Char(expected), d.letter);
        EXPECT_TRUE(QFileInfo(d.root).isDir()) << d.root.toStdString();
        EXPECT_NE(QStringLiteral("/"), d.root);
        EXPECT_TRUE(d.device.startsWith(QStringLiteral("/dev/"))) << d.device.toStdString();
        EXPECT_TRUE(roots.insert(d.root).second);
        ++expected;
    }
    EXPECT_LE(drives.size(), 22u);
    // Removable volumes come first.
    bool fixedSeen = false;
    for (const DriveInfo& d : drives) {
        EXPECT_FALSE(fixedSeen && d.removable);
        fixedSeen = fixedSeen || !d.removable;
    }
    // The same table each time.
    const std::vector<DriveInfo> again = DriveTable::Drives();
    ASSERT_EQ(drives.size(), again.size());
    for (std::size_t i = 0; i < drives.size(); ++i)
        EXPECT_EQ(drives[i].root, again[i].root);
}

TEST_F(DriveTableTest, MountTableGivesLettersToRealVolumesOnly)
{
    const QString spaced = dir.path() + QStringLiteral("/my card");
    ASSERT_TRUE(QDir().mkpath(spaced));
    const QString table = QStringLiteral(
                              "proc /proc proc rw 0 0\n"
                              "/dev/vda / ext4 rw 0 0\n"
                              "tmpfs %1 tmpfs rw 0 0\n"
                              "/dev/sdz1 %2 vfat rw 0 0\n"
                              "/dev/sdz1 %3 vfat rw 0 0\n"
                              "/dev/sdy1 %4 vfat rw 0 0\n"
                              "/dev/loop9 %5/missing squashfs ro 0 0\n"
                              "/dev/sdx1 %5/missing ext4 rw 0 0\n"
                              "garbage\n\n")
                              .arg(other, card, other, QString(spaced).replace(QLatin1Char(' '), QStringLiteral("\\040")),
                                   dir.path());
    const std::vector<DriveInfo> drives = DriveTable::DrivesFromMountTable(table.toLocal8Bit());
    // Sorted by mount folder when none is removable; a device mounted twice counts once.
    ASSERT_EQ(2u, drives.size());
    EXPECT_EQ(QLatin1Char('D'), drives[0].letter);
    EXPECT_EQ(card, drives[0].root);
    EXPECT_EQ(QStringLiteral("/dev/sdz1"), drives[0].device);
    EXPECT_EQ(QLatin1Char('E'), drives[1].letter);
    EXPECT_EQ(spaced, drives[1].root);
    EXPECT_FALSE(drives[1].removable);
}

}  // namespace
