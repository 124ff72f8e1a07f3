// The MPEG-4 method: a damaged recording in, a playable 3GP file out.
#include "RepairTestSupport.h"
#include "repair/FrameCheck.h"
#include "repair/Mp4vRepair.h"
#include "repair/RepairPaths.h"
#include "repair/VolHeader.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// Pictures in the test recordings: intra only, or a key picture every 10.
constexpr int kIntraOnly = 1;
constexpr int kKeyEvery10 = 10;

class Mp4vRepair : public ::testing::Test {
protected:
    void SetUp() override
    {
        out_ = repairtest::Scratch(QStringLiteral("cwd"));
        ASSERT_TRUE(QDir::setCurrent(out_));
        QFile::remove(Output());
        messages_.clear();
    }

    int Repair(const QString& in)
    {
        return RepairMp4v(in, QStringLiteral("Repair_Pomel.mp4"), 30, [this](const QString& t) { messages_ << t; });
    }
    QString Output() const { return out_ + QStringLiteral("/Repair_Pomel.mp4"); }
    static QString Work() { return Paths() + QStringLiteral("/Recovery"); }
    static QString Paths() { return QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + QStringLiteral("/velmora-viewer"); }
    static bool NoWorkFilesLeft()
    {
        for (const char* name : {kTmpVops, kTmpChecked, kTmpWrapped})
            if (QFileInfo::exists(Work() + QLatin1Char('/') + QLatin1String(name))) return false;
        return true;
    }

    QString out_;
    QStringList messages_;
};

struct Damaged {
    QString path;
    int intactPictures = 0;  // pictures whose VOP lies wholly before the overwritten stretch
    int vops = 0;            // VOP start codes left in the damaged file
};

// Cuts off the container's header (and the start of the stream headers in AVI), drops the
// index at the end, and overwrites a stretch in the middle with noise.
Damaged Damage(const QString& original, const QString& path)
{
    QByteArray data = repairtest::ReadFile(original);
    const auto vops = repairtest::VopOffsets(data);
    Damaged d;
    d.path = path;
    if (vops.size() < 20) return d;
    qsizetype cut, end;
    if (original.endsWith(QStringLiteral(".avi"))) {
        cut = data.indexOf("movi") + 4 + 8 + 12;  // into the first chunk's VOL
        end = data.lastIndexOf("idx1");
    } else {
        cut = data.indexOf("mdat") + 4;
        end = data.lastIndexOf("moov") - 4;
    }
    if (cut <= 0 || cut >= vops.front() || end <= vops.back()) return d;
    data = data.mid(cut, end - cut);

    const qsizetype from = data.size() * 55 / 100, length = 20000;
    std::uint32_t seed = 12345;
    for (qsizetype i = from; i < from + length; ++i) {
        seed = seed * 1664525u + 1013904223u;
        data[i] = char(seed >> 24);
    }
    const auto left = repairtest::VopOffsets(data);
    d.vops = int(left.size());
    for (qsizetype at : left) {
        if (at >= from) break;
        ++d.intactPictures;
    }
    --d.intactPictures;  // the VOP the noise starts in
    repairtest::WriteFile(path, data);
    return d;
}

class Mp4vRepairOfRecording : public Mp4vRepair, public ::testing::WithParamInterface<std::pair<const char*, int>> {};

TEST_P(Mp4vRepairOfRecording, RebuildsAPlayableFileWhosePicturesBeforeTheDamageMatch)
{
    const auto [extension, gop] = GetParam();
    const QString dir = repairtest::Scratch(QStringLiteral("rec"));
    const QString original = dir + QStringLiteral("/orig_%1.%2").arg(gop).arg(QLatin1String(extension));
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(original, 2, gop));
    const Damaged damaged = Damage(original, dir + QStringLiteral("/damaged_%1.%2").arg(gop).arg(QLatin1String(extension)));
    ASSERT_GT(damaged.intactPictures, 20);
    std::string error;
    ASSERT_FALSE(repairtest::DecodeWithFfmpeg(damaged.path, &error).size() > 0) << "the damaged file still plays";

    ASSERT_EQ(Repair(damaged.path), 0) << messages_.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_TRUE(NoWorkFilesLeft());

    const auto want = repairtest::DecodeWithFfmpeg(original, &error);
    const auto got = repairtest::DecodeWithFfmpeg(Output(), &error);
    ASSERT_EQ(want.size(), 60u);
    EXPECT_LE(got.size(), std::size_t(damaged.vops));
    ASSERT_GE(got.size(), std::size_t(damaged.intactPictures)) << error;
    for (int i = 0; i < damaged.intactPictures; ++i) {
        EXPECT_EQ(got[i].width, 640);
        EXPECT_EQ(got[i].height, 480);
        EXPECT_GE(repairtest::Psnr(got[i], want[i]), 40.0) << "picture " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, Mp4vRepairOfRecording,
                         ::testing::Values(std::make_pair("avi", kIntraOnly), std::make_pair("mp4", kIntraOnly),
                                           std::make_pair("avi", kKeyEvery10), std::make_pair("mp4", kKeyEvery10)));

TEST_F(Mp4vRepair, BadInputsGetTheirMessageAndLeaveNoWorkFiles)
{
    const QString dir = repairtest::Scratch(QStringLiteral("bad"));
    QDir().mkpath(dir + QStringLiteral("/a folder"));
    repairtest::WriteFile(dir + QStringLiteral("/few.mp4"), QByteArray("\x00\x00\x01", 3));
    repairtest::WriteFile(dir + QStringLiteral("/empty.mp4"), QByteArray());
    repairtest::WriteFile(dir + QStringLiteral("/zeros.mp4"), QByteArray(300000, '\0'));
    repairtest::WriteFile(dir + QStringLiteral("/text.mp4"), QByteArray(5000, 'x'));
    const QString longName = dir + QLatin1Char('/') + QString(120, QLatin1Char('n')) + QStringLiteral(".mp4");
    repairtest::WriteFile(longName, QByteArray(1000, '\0'));
    repairtest::WriteFile(Output(), "former repair");

    const QString noInfile = QStringLiteral("Error : can't open infile");
    const QString noVops = QStringLiteral("Error : can't extract mpeg4 bitstream from the infile");
    struct Case { QString path; QString message; } cases[] = {
        {QString(), noInfile},
        {dir + QStringLiteral("/missing.mp4"), noInfile},
        {dir + QStringLiteral("/a folder"), noInfile},
        {dir + QStringLiteral("/few.mp4"), noVops},
        {dir + QStringLiteral("/empty.mp4"), noVops},
        {dir + QStringLiteral("/zeros.mp4"), noVops},
        {dir + QStringLiteral("/text.mp4"), noVops},
        {longName, noVops},  // longer than any fixed path buffer, opened all the same
        {QStringLiteral("D:\\zeros.mp4"), noVops},  // a drive path, below the drive's root
        {QStringLiteral("Q:\\zeros.mp4"), noInfile},
    };
    qputenv("VIEWER_DRIVES", ("D=" + dir).toLocal8Bit());
    for (const Case& c : cases) {
        messages_.clear();
        EXPECT_EQ(Repair(c.path), 1) << c.path.toStdString();
        EXPECT_EQ(messages_, QStringList{c.message}) << c.path.toStdString();
        EXPECT_TRUE(NoWorkFilesLeft());
        EXPECT_FALSE(QFileInfo::exists(Work())) << "the work folder is removed when empty";
    }
    qunsetenv("VIEWER_DRIVES");
    EXPECT_EQ(repairtest::ReadFile(Output()), "former repair");
}

TEST_F(Mp4vRepair, WorkFileThatCannotBeMadeIsReported)
{
    const QString input = repairtest::Scratch(QStringLiteral("in")) + QStringLiteral("/vops.bin");
    repairtest::WriteFile(input, QByteArray("\x00\x00\x01\xB6\x10\x20", 6));
    struct Case { const char* blocked; const char* message; } cases[] = {
        {kTmpVops, "Error : can't open tmpfile wb"},
        {kTmpChecked, "Error : can't open tmp2file rb"},
    };
    for (const Case& c : cases) {
        const QString blocker = RepairWorkDir() + QLatin1Char('/') + QLatin1String(c.blocked);
        ASSERT_TRUE(QDir().mkpath(blocker));  // a folder where the work file should go
        messages_.clear();
        EXPECT_EQ(Repair(input), 1);
        EXPECT_EQ(messages_, QStringList{QString::fromLatin1(c.message)});
        QDir().rmdir(blocker);
        EXPECT_TRUE(NoWorkFilesLeft());
    }
    EXPECT_FALSE(QFileInfo::exists(Output()));
}

TEST_F(Mp4vRepair, FullDiskWhileExtractingIsReported)
{
    const QString input = repairtest::Scratch(QStringLiteral("in")) + QStringLiteral("/big.bin");
    QByteArray vops;
    for (int i = 0; i < 50; ++i) vops += QByteArray("\x00\x00\x01\xB6", 4) + QByteArray(4000, char(0x20 + i));
    repairtest::WriteFile(input, vops);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), RepairWorkDir() + QStringLiteral("/tmp.bin")));
    EXPECT_EQ(Repair(input), 1);
    EXPECT_EQ(messages_, QStringList{"Error : can't write tmpfile"});
    EXPECT_TRUE(NoWorkFilesLeft());
}

TEST_F(Mp4vRepair, FailedWrapKeepsTheFormerOutputAndSaysSo)
{
    const QString dir = repairtest::Scratch(QStringLiteral("rec"));
    const QString original = dir + QStringLiteral("/short.avi");
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(original, 1, kIntraOnly));
    repairtest::WriteFile(Output(), "former repair");

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", repairtest::Scratch(QStringLiteral("empty bin")).toLocal8Bit());
    EXPECT_EQ(Repair(original), 1);
    qputenv("PATH", path);
    EXPECT_EQ(messages_, QStringList{"Error : ffmpeg is not installed"});
    EXPECT_EQ(repairtest::ReadFile(Output()), "former repair");
    EXPECT_TRUE(NoWorkFilesLeft());

    // With the tool back the same call replaces it.
    messages_.clear();
    EXPECT_EQ(Repair(original), 0);
    EXPECT_TRUE(messages_.isEmpty());
    EXPECT_EQ(repairtest::DecodeWithFfmpeg(Output()).size(), 30u);
}

// Each picture is kept whole, its closing stuffing included, and what follows it (the
// stream headers a camera repeats before key pictures) is cut away.
TEST(CheckVops, KeepsEveryPictureWholeAndCutsWhatFollowsIt)
{
    const QString dir = repairtest::Scratch(QStringLiteral("check"));
    const QString stream = dir + QStringLiteral("/stream.m4v");
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(stream, 2, kKeyEvery10, 640, 480, false));
    const QByteArray data = repairtest::ReadFile(stream);
    const auto vops = repairtest::VopOffsets(data);
    ASSERT_EQ(vops.size(), 60u);
    ASSERT_EQ(BuildVolHeader(640, 480), 66);
    QByteArray expected(reinterpret_cast<const char*>(g_abVolHeader), 66);
    int endsOnByteBorder = 0;
    for (qsizetype at : vops) {
        qsizetype end = data.indexOf(QByteArray("\x00\x00\x01", 3), at + 4);
        if (end < 0) end = data.size();
        if (static_cast<unsigned char>(data[end - 1]) == 0x7F) ++endsOnByteBorder;
        expected += data.mid(at, end - at);
    }
    EXPECT_GT(endsOnByteBorder, 0) << "no picture of the fixture ends on a byte border";

    std::FILE* in = std::fopen(QFile::encodeName(stream).constData(), "rb");
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    const std::uint64_t written = CheckVops(in, out, 640, 480);
    std::fclose(in);
    QByteArray got(static_cast<qsizetype>(written) + 1, '\0');
    std::rewind(out);
    got.resize(static_cast<qsizetype>(std::fread(got.data(), 1, got.size(), out)));
    std::fclose(out);
    EXPECT_EQ(written, std::uint64_t(expected.size()));
    EXPECT_TRUE(got == expected);
}

// Noise between start codes, and pictures cut at random places: the check neither faults
// nor keeps more of a VOP than was there.
TEST(CheckVops, SurvivesNoiseAndCutPictures)
{
    const QString stream = repairtest::Scratch(QStringLiteral("check")) + QStringLiteral("/noise_src.m4v");
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(stream, 1, kKeyEvery10, 640, 480, false));
    const QByteArray real = repairtest::ReadFile(stream);
    const auto vops = repairtest::VopOffsets(real);
    ASSERT_GT(vops.size(), 10u);
    std::uint32_t seed = 7;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    QByteArray data;
    for (std::size_t i = 0; i + 1 < vops.size(); ++i) {
        QByteArray vop = real.mid(vops[i], vops[i + 1] - vops[i]);
        switch (i % 3) {
        case 0: vop.truncate(4 + qsizetype(next() % std::uint32_t(vop.size() - 4))); break;  // cut short
        case 1: for (qsizetype k = 5; k < vop.size(); k += 1 + next() % 64) vop[k] = char(next() >> 24); break;
        default: for (qsizetype k = 4; k < vop.size(); ++k) vop[k] = char(next() >> 24); break;  // all noise
        }
        data += vop;
    }
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    std::fwrite(data.constData(), 1, std::size_t(data.size()), in);
    std::rewind(in);
    const std::uint64_t written = CheckVops(in, out, 640, 480);
    std::fclose(in);
    std::fclose(out);
    EXPECT_GE(written, 66u);
    EXPECT_LE(written, 66u + std::uint64_t(data.size()));
}

}  // namespace
