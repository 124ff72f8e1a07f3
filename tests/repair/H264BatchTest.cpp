// The H.264 method: the one-line script and what ffmpeg makes of it.
#include "RepairTestSupport.h"
#include "repair/H264Batch.h"
#include "repair/RepairPaths.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace {

const QByteArray kTail = "  -r 30 -vcodec copy  Repair_MinaRove_case1.mp4";

class H264Batch : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = repairtest::Scratch(QStringLiteral("card"));
        qputenv("VIEWER_DRIVES", ("D=" + root_).toLocal8Bit());
        out_ = repairtest::Scratch(QStringLiteral("out dir"));
        ASSERT_TRUE(QDir::setCurrent(out_));
        QFile::remove(out_ + QStringLiteral("/Repair_MinaRove_case1.mp4"));
    }
    void TearDown() override { qunsetenv("VIEWER_DRIVES"); }

    // The script removes itself when ffmpeg is done.
    static bool WaitForScriptToGo()
    {
        QDeadlineTimer deadline(60000);
        while (QFileInfo::exists(H264BatchPath())) {
            if (deadline.hasExpired()) return false;
            QThread::msleep(20);
        }
        return true;
    }

    // An H.264 recording whose index at the end is overwritten.
    QString MakeBrokenH264(const QString& path)
    {
        EXPECT_TRUE(repairtest::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-f", "lavfi", "-i",
                                           "sine=frequency=440:sample_rate=16000", "-t", "2", "-pix_fmt", "yuv420p",
                                           "-c:v", "libx264", "-g", "15", "-c:a", "pcm_s16le", path}));
        QByteArray data = repairtest::ReadFile(path);
        const qsizetype index = data.lastIndexOf("idx1");
        EXPECT_GT(index, 0);
        for (qsizetype i = index + 8; i < data.size(); ++i) data[i] = char(0xFF);
        EXPECT_TRUE(repairtest::WriteFile(path, data));
        return path;
    }

    QString root_, out_;
};

TEST_F(H264Batch, LineNamesTheChosenFileQuotedWithTwoBlanksBeforeOptionsAndOutput)
{
    struct Case { QString path; QByteArray file; } cases[] = {
        {QStringLiteral("D:\\a.mp4"), QFile::encodeName(root_) + "/a.mp4"},
        {QStringLiteral("d:\\Event\\b.avi"), QFile::encodeName(root_) + "/Event/b.avi"},
        {QStringLiteral("/media/card/a.mp4"), "/media/card/a.mp4"},
        {QStringLiteral("/home/u/my recordings/2017 08 11.mp4"), "/home/u/my recordings/2017 08 11.mp4"},
        {QStringLiteral("/home/u/it's $HOME `x`.mp4"), "/home/u/it'\\''s $HOME `x`.mp4"},
        {QStringLiteral("/home/u/カメラ.mp4"), "/home/u/\xE3\x82\xAB\xE3\x83\xA1\xE3\x83\xA9.mp4"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(H264BatchLine(c.path), "ffmpeg -i '" + c.file + "'" + kTail) << c.path.toStdString();
}

TEST_F(H264Batch, ScriptHoldsExactlyTheLineWithoutLineEnd)
{
    const QString longPath = QStringLiteral("/media/card/") + QString(150, QLatin1Char('x')) + QStringLiteral(".mp4");
    ASSERT_TRUE(WriteH264Batch(longPath));
    ASSERT_TRUE(WriteH264Batch(QStringLiteral("D:\\a.mp4")));  // truncates the longer one
    EXPECT_EQ(QFileInfo(H264BatchPath()).fileName(), QStringLiteral("make_h264_use_ffmpeg.sh"));
    EXPECT_TRUE(H264BatchPath().startsWith(RepairWorkDir()));
    EXPECT_EQ(repairtest::ReadFile(H264BatchPath()), "ffmpeg -i '" + QFile::encodeName(root_) + "/a.mp4'" + kTail);
    QFile::remove(H264BatchPath());
}

TEST_F(H264Batch, ScriptThatCannotBeWrittenLeavesNothing)
{
    ASSERT_TRUE(QDir().mkpath(H264BatchPath()));  // a folder in the script's place
    EXPECT_FALSE(WriteH264Batch(QStringLiteral("D:\\a.mp4")));
    EXPECT_EQ(MakeH264Batch(QStringLiteral("D:\\a.mp4")), H264BatchResult::CannotWrite);
    EXPECT_TRUE(QFileInfo(H264BatchPath()).isDir());
    EXPECT_EQ(QDir(RepairWorkDir()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QDir().rmdir(H264BatchPath());
}

TEST_F(H264Batch, FfmpegRewrapsARecordingWithABrokenIndexIntoAPlayableFile)
{
    const QString folder = repairtest::Scratch(QStringLiteral("card/My Recordings"));
    const QString input = MakeBrokenH264(folder + QStringLiteral("/20170811 123456 NI.avi"));
    ASSERT_EQ(MakeH264Batch(input), H264BatchResult::Started);
    ASSERT_TRUE(WaitForScriptToGo());

    const QString output = out_ + QStringLiteral("/Repair_MinaRove_case1.mp4");
    ASSERT_TRUE(QFileInfo::exists(output));
    std::string error;
    const auto want = repairtest::DecodeWithFfmpeg(input, &error);
    const auto got = repairtest::DecodeWithFfmpeg(output, &error);
    ASSERT_EQ(want.size(), 60u);
    ASSERT_EQ(got.size(), want.size()) << error;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_GE(repairtest::Psnr(got[i], want[i]), 99) << i;
}

TEST_F(H264Batch, DriveLetterPathIsFoundBelowTheDriveRootAndAFormerOutputIsKept)
{
    MakeBrokenH264(root_ + QStringLiteral("/a.avi"));
    const QString output = out_ + QStringLiteral("/Repair_MinaRove_case1.mp4");
    ASSERT_TRUE(repairtest::WriteFile(output, "former repair"));
    ASSERT_EQ(MakeH264Batch(QStringLiteral("D:\\a.avi")), H264BatchResult::Started);
    ASSERT_TRUE(WaitForScriptToGo());
    // Nobody is there to answer ffmpeg's question before overwriting: the file stays.
    EXPECT_EQ(repairtest::ReadFile(output), "former repair");
}

TEST_F(H264Batch, WithoutFfmpegNothingIsWrittenOrStarted)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", repairtest::Scratch(QStringLiteral("empty bin")).toLocal8Bit());
    const auto result = MakeH264Batch(QStringLiteral("D:\\a.mp4"));
    qputenv("PATH", path);
    EXPECT_EQ(result, H264BatchResult::NoFfmpeg);
    EXPECT_FALSE(QFileInfo::exists(H264BatchPath()));
}

}  // namespace
