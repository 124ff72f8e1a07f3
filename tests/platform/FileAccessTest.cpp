// Names by the system's bytes and the regular-file test, over every kind of thing a card can
// hold under a file's name.
#include "TestScratch.h"
#include "platform/FileAccess.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Scratch()
{
    const QByteArray dir = QByteArray::fromStdString(TestScratchDir()) + "/access";
    // Qt's own removal cannot name every file left by an earlier run.
    EXPECT_EQ(std::system(("rm -rf '" + dir + "'").constData()), 0);
    QDir().mkpath(QString::fromLocal8Bit(dir));
    return dir;
}

void Write(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
    ::close(fd);
}

TEST(FileNames, EveryByteNameComesBackAsItsBytes)
{
    const QByteArray names[] = {
        "plain_20170811_123456.mp4",
        "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.mp4",  // Japanese, valid UTF-8
        "bad\xff\xfe.mp4",                           // bytes no UTF-8 text holds
        "\xed\xa0\x80surrogate.avi",                 // UTF-8 of a surrogate: not valid
        "\xc0\xafoverlong",                          // an overlong '/'
        "cut\xe6\x97",                               // a character cut short
        "\xf0\x90\x82\x80pair",                      // U+10080: its low surrogate is in the escape range
    };
    for (const QByteArray& n : names) {
        SCOPED_TRACE(n.toHex().constData());
        const QString name = FileNameFromBytes(n);
        EXPECT_EQ(FileNameToBytes(name), n);
        if (QString::fromUtf8(n).toUtf8() == n) {
            EXPECT_EQ(name, QFile::decodeName(n));
        }
    }
    // Distinct bytes never read as the same name.
    EXPECT_NE(FileNameFromBytes("a\xff"), FileNameFromBytes("a\xfe"));
    EXPECT_NE(FileNameFromBytes("a\xff"), QFile::decodeName("a\xff"));
}

TEST(FileCheck, OnlyARegularFileOpensAndNothingWaits)
{
    ::alarm(30);  // a named pipe opened for reading would wait here for ever
    const QByteArray dir = Scratch();
    Write(dir + "/good.mp4", QByteArray(4321, 'x'));
    Write(dir + "/empty.mp4", QByteArray());
    Write(dir + "/bad\xff.mp4", QByteArray(7, 'y'));
    ASSERT_EQ(::mkfifo((dir + "/pipe.mp4").constData(), 0644), 0);
    ASSERT_EQ(::mkdir((dir + "/folder.mp4").constData(), 0755), 0);
    ASSERT_EQ(::symlink("loop.mp4", (dir + "/loop.mp4").constData()), 0);
    ASSERT_EQ(::symlink("nowhere.mp4", (dir + "/dangling.mp4").constData()), 0);
    ASSERT_EQ(::symlink("good.mp4", (dir + "/link.mp4").constData()), 0);

    struct Case {
        QByteArray name;
        FileCheck expected;
        qint64 size;
    };
    const Case cases[] = {
        {dir + "/good.mp4", FileCheck::Ok, 4321},
        {dir + "/empty.mp4", FileCheck::Ok, 0},
        {dir + "/bad\xff.mp4", FileCheck::Ok, 7},
        {dir + "/link.mp4", FileCheck::Ok, 4321},
        {dir + "/pipe.mp4", FileCheck::NotRegular, -1},
        {dir + "/folder.mp4", FileCheck::NotRegular, -1},
        {dir + "/loop.mp4", FileCheck::NotRegular, -1},
        {"/dev/zero", FileCheck::NotRegular, -1},
        {dir + "/dangling.mp4", FileCheck::Missing, -1},
        {dir + "/no_such.mp4", FileCheck::Missing, -1},
        {dir + "/good.mp4/below", FileCheck::Missing, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.constData());
        const QString path = FileNameFromBytes(c.name);
        qint64 size = -1;
        EXPECT_EQ(CheckRegularFile(path, &size), c.expected);
        if (c.expected != FileCheck::Ok) continue;
        EXPECT_EQ(size, c.size);
        FileCheck check = FileCheck::Failed;
        const int fd = OpenRegularFile(path, &check);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(check, FileCheck::Ok);
        // Reads block as for any file: the open's no-wait flag is gone.
        EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        char b[8];
        EXPECT_EQ(::read(fd, b, sizeof b), std::min<qint64>(c.size, 8));
        ::close(fd);
    }
    EXPECT_EQ(CheckRegularFile(QString()), FileCheck::Missing);
    ::alarm(0);
}

TEST(FileCheck, AFileThatMayNotBeReadSaysSo)
{
    const QByteArray dir = Scratch();
    const QByteArray path = dir + "/locked.mp4";
    Write(path, QByteArray(100, 'z'));
    ASSERT_EQ(::chmod(path.constData(), 0), 0);
    if (::geteuid() == 0) {
        // Root reads any file; an ordinary user's rights show the refusal.
        ASSERT_EQ(::chmod(dir.constData(), 0755), 0);
        ASSERT_EQ(::seteuid(65534), 0);
    }
    const FileCheck check = CheckRegularFile(FileNameFromBytes(path));
    if (::getuid() == 0) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    EXPECT_EQ(check, FileCheck::NoAccess);
}

TEST(FileNames, FoldersListEveryNameByItsBytes)
{
    const QByteArray dir = Scratch();
    Write(dir + "/bad\xfe\xff.mp4", "a");
    Write(dir + "/\xe6\x97\xa5.mp4", "b");
    ASSERT_EQ(::mkdir((dir + "/sub\xff").constData(), 0755), 0);
    ASSERT_EQ(::symlink("sub\xff", (dir + "/to_sub").constData()), 0);
    ASSERT_EQ(::symlink("loop", (dir + "/loop").constData()), 0);

    std::vector<FolderEntry> entries = ListFolder(FileNameFromBytes(dir));
    std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 5u);
    struct Want {
        QByteArray name;
        bool folder;
    };
    std::vector<Want> want = {{"bad\xfe\xff.mp4", false}, {"\xe6\x97\xa5.mp4", false}, {"sub\xff", true},
                              {"to_sub", true}, {"loop", false}};
    for (const Want& w : want) {
        const auto it = std::find_if(entries.begin(), entries.end(),
                                     [&](const FolderEntry& e) { return FileNameToBytes(e.name) == w.name; });
        ASSERT_NE(it, entries.end()) << w.name.toHex().constData();
        EXPECT_EQ(it->folder, w.folder);
        EXPECT_EQ(it->file, !w.folder);
    }
    EXPECT_TRUE(ListFolder(FileNameFromBytes(dir + "/no_such")).empty());

    // A link to a folder resolves to the folder itself, by its bytes.
    const QString real = CanonicalFolder(FileNameFromBytes(dir + "/sub\xff"));
    ASSERT_FALSE(real.isEmpty());
    EXPECT_TRUE(FileNameToBytes(real).endsWith("/sub\xff"));
    EXPECT_EQ(CanonicalFolder(FileNameFromBytes(dir + "/to_sub")), real);
    EXPECT_TRUE(CanonicalFolder(FileNameFromBytes(dir + "/loop")).isEmpty());
}

}  // namespace
