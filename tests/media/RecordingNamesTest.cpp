// Recording-name rules: sort order, the split of a file name, the card search over
// the drive table, the map-provider query and the program's own path.
#include "media/ExeFileName.h"
#include "media/RecordingNames.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct CompareCase {
    const char* a;
    const char* b;
    bool aFirst;
    bool bFirst;
};

class CompareTable : public ::testing::TestWithParam<CompareCase> {};

TEST_P(CompareTable, Order)
{
    const CompareCase& c = GetParam();
    EXPECT_EQ(c.aFirst, CompareRecordingNames(QString::fromUtf8(c.a), QString::fromUtf8(c.b)));
    EXPECT_EQ(c.bFirst, CompareRecordingNames(QString::fromUtf8(c.b), QString::fromUtf8(c.a)));
}

INSTANTIATE_TEST_SUITE_P(
    Names, CompareTable,
    ::testing::Values(
        CompareCase{"20240131_120000_NI.mp4", "20240131_120001_NI.mp4", true, false},
        // Underscores, "_I" and ".mp4" do not count.
        CompareCase{"20240131_120000_I.mp4", "20240131120000", false, false},
        CompareCase{"2024_0131_1200", "202401311200", false, false},
        CompareCase{"20240131_120000_I.mp4", "20240131_120000.mp4", false, false},
        // ".MP4" in upper case stays and sorts behind the bare digits.
        CompareCase{"20240131120000", "20240131120000.MP4", true, false},
        // Byte order: a later day sorts after whatever the time.
        CompareCase{"20240130_235959_NI.mp4", "20240131_000000_E.mp4", true, false},
        CompareCase{"", "0", true, false}, CompareCase{"", "", false, false}));

struct Fields {
    std::string dateTime, field2, field3, field4, last;
};

Fields Split(const QString& path)
{
    QString f[5];
    for (QString& s : f)
        s = QStringLiteral("untouched");
    SplitRecordingName(path, &f[0], &f[1], &f[2], &f[3], &f[4]);
    return {f[0].toStdString(), f[1].toStdString(), f[2].toStdString(), f[3].toStdString(), f[4].toStdString()};
}

TEST(SplitRecordingName, FieldsBetweenMarks)
{
    const Fields f = Split(QStringLiteral("E:\\Event\\^20240131_123456AB^CD^EF^GHNI.mp4"));
    EXPECT_EQ("20240131_123456", f.dateTime);
    EXPECT_EQ("AB", f.field2);
    EXPECT_EQ("CD", f.field3);
    EXPECT_EQ("EF", f.field4);
    EXPECT_EQ("GHN", f.last);  // the last five characters are cut
}

TEST(SplitRecordingName, NativeFolderAndMarkInTheFolder)
{
    // Only the file name counts: a '^' in a folder is not looked at.
    const Fields f = Split(QStringLiteral("/media/card^x/Normal/^20240131_123456W^^LONGER^ZZZE.mp4"));
    EXPECT_EQ("20240131_123456", f.dateTime);
    EXPECT_EQ("W", f.field2);
    EXPECT_EQ("", f.field3);
    EXPECT_EQ("LONGER", f.field4);
    EXPECT_EQ("ZZZ", f.last);
}

TEST(SplitRecordingName, LastKeptOnlyForKnownSuffixes)
{
    EXPECT_EQ("", Split(QStringLiteral("^20240131_123456A^B^C^DDQ.mp4")).last);
    EXPECT_EQ("", Split(QStringLiteral("^20240131_123456A^B^C^DDNI.avi")).last);
    EXPECT_EQ("B", Split(QStringLiteral("^20240131_123456A^B^C^DDNI.avi")).field3);
    for (const char* suffix : {"T1", "C", "G", "X"})
        EXPECT_EQ("DD" + std::string(suffix).substr(0, std::strlen(suffix) - 1),
                  Split(QStringLiteral("^20240131_123456A^B^C^DD%1.mp4").arg(QLatin1String(suffix))).last)
            << suffix;
}

TEST(SplitRecordingName, NoMarks)
{
    const Fields f = Split(QStringLiteral("/card/Normal/20240131_123456_NI.mp4"));
    EXPECT_EQ("20240131_123456", f.dateTime);
    EXPECT_EQ("", f.field2);
    EXPECT_EQ("", f.field3);
    EXPECT_EQ("", f.field4);
    // With no marks the rest starts right behind the date and time.
    EXPECT_EQ("_N", f.last);
}

TEST(SplitRecordingName, OtherExtensionsWriteNothing)
{
    for (const char* path : {"^20240131_123456A^B^C^DDNI.MP4", "^20240131_123456A^B^C^DDNI.mov", "", "x"}) {
        const Fields f = Split(QString::fromUtf8(path));
        EXPECT_EQ("untouched", f.dateTime) << path;
        EXPECT_EQ("untouched", f.last) << path;
    }
    // Null outputs are skipped.
    SplitRecordingName(QStringLiteral("^20240131_123456A^B^C^DDNI.mp4"), nullptr, nullptr, nullptr, nullptr,
                       nullptr);
}

TEST(SplitRecordingName, ShortAndOddNames)
{
    for (const char* path : {".mp4", "^.mp4", "^^^^.mp4", "^2024.avi", "a^b^c^d^e^f.mp4", "\\.avi"}) {
        const Fields f = Split(QString::fromUtf8(path));
        EXPECT_NE("untouched", f.dateTime) << path;
    }
    EXPECT_EQ("2024", Split(QStringLiteral("^2024.avi")).dateTime.substr(0, 4));
}

// Card folders made in a scratch folder and named as drives through VIEWER_DRIVES.
class EventDrive : public ::testing::Test {
protected:
    void TearDown() override { unsetenv("VIEWER_DRIVES"); }

    QString Card(const QString& name, const QString& event)
    {
        const QString root = dir.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(QDir().mkpath(event.isEmpty() ? root : root + QLatin1Char('/') + event));
        return root;
    }

    static void Drives(const QString& spec) { setenv("VIEWER_DRIVES", spec.toLocal8Bit().constData(), 1); }

    QTemporaryDir dir;
};

TEST_F(EventDrive, FirstCardFromD)
{
    const QString e = Card(QStringLiteral("e"), QStringLiteral("Event"));  // FAT names match in any case
    const QString g = Card(QStringLiteral("g"), QStringLiteral("EVENT"));
    const QString d = Card(QStringLiteral("d"), QString());
    Drives(QStringLiteral("G=%1;E=%2;D=%3").arg(g, e, d));
    QString drive;
    EXPECT_TRUE(FindEventDrive(&drive));
    EXPECT_EQ(QStringLiteral("E:"), drive);

    Drives(QStringLiteral("G=%1;D=%2").arg(g, d));
    EXPECT_TRUE(FindEventDrive(&drive));
    EXPECT_EQ(QStringLiteral("G:"), drive);
}

TEST_F(EventDrive, NoneFound)
{
    const QString c = Card(QStringLiteral("c"), QStringLiteral("EVENT"));
    const QString z = Card(QStringLiteral("z"), QStringLiteral("EVENT"));
    const QString f = Card(QStringLiteral("f"), QString());
    // "EVENT" as a file is no card.
    QFile file(f + QStringLiteral("/EVENT"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // C: and Z: are never tried; a missing folder is no drive.
    Drives(QStringLiteral("C=%1;Z=%2;F=%3;H=%4/missing").arg(c, z, f, dir.path()));
    QString drive;
    EXPECT_FALSE(FindEventDrive(&drive));
    EXPECT_EQ(QStringLiteral("Y:\\EVENT"), drive);

    Drives(QString());
    EXPECT_FALSE(FindEventDrive(&drive));
    EXPECT_FALSE(FindEventDrive(nullptr));
}

TEST(GetMapProvider, AlwaysEmpty)
{
    QString out = QStringLiteral("previous");
    EXPECT_TRUE(GetMapProvider(&out, 2, QStringLiteral("Google")).isEmpty());
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(GetMapProvider(&out, 0, QString()).isEmpty());
}

TEST(ExeFileName, SplitsPath)
{
    ExeFileName named("/opt/velmora/bin/viewer.tar.gz");
    EXPECT_STREQ("", g_szExeDrive);
    EXPECT_STREQ("/opt/velmora/bin/", g_szExeDir);
    EXPECT_STREQ("viewer.tar", g_szExeFName);
    EXPECT_STREQ(".gz", g_szExeExt);

    ExeFileName bare("viewer");
    EXPECT_STREQ("", g_szExeDir);
    EXPECT_STREQ("viewer", g_szExeFName);
    EXPECT_STREQ("", g_szExeExt);

    ExeFileName dotted("/a.b/c");
    EXPECT_STREQ("/a.b/", g_szExeDir);
    EXPECT_STREQ("c", g_szExeFName);
    EXPECT_STREQ("", g_szExeExt);

    const std::string huge(10000, 'x');
    ExeFileName tooLong(("/" + huge).c_str());
    EXPECT_EQ(kExePathPartSize - 1, std::strlen(g_szExeFName));

    // The running program, as at start-up.
    ExeFileName self;
    EXPECT_STREQ("media_recording_names_test", g_szExeFName);
    EXPECT_EQ('/', g_szExeDir[0]);
}

}  // namespace
