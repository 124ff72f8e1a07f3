// The H.264 method: the one-line script and what ffmpeg makes of it.
#include "RepairTestSupport.h"
#include "repair/H264Batch.h"
#include "repair/RepairPaths.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

const QByteArray kTail = "  -r 30 -vcodec copy  Repair_MinaRove_case1.mp4";

class H264Batch : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "repair_h264_batch_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* app = new QCoreApplication(argc, argv);  // ffmpeg runs beside its loop
        (void)app;
        root_ = repairtest::Scratch(QStringLiteral("card"));
        qputenv("VIEWER_DRIVES", ("D=" + root_).toLocal8Bit());
        out_ = repairtest::Scratch(QStringLiteral("out dir"));
        ASSERT_TRUE(QDir::setCurrent(out_));
        QFile::remove(out_ + QStringLiteral("/Repair_MinaRove_case1.mp4"));
    }
    void TearDown() override { qunsetenv("VIEWER_DRIVES"); }

    int Repair(const QString& path)
    {
        return MakeH264Batch(path, [this](const QString& text) { messages_ << text; },
                             [this](int percent) { progress_.push_back(percent); });
    }
    // What the repair leaves in its work folder: nothing.
    static QStringList WorkFiles()
    {
        return QDir(RepairWorkDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
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
    QStringList messages_;
    std::vector<int> progress_;
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
    ASSERT_TRUE(repairtest::WriteFile(root_ + QStringLiteral("/a.mp4"), "recording"));
    EXPECT_FALSE(WriteH264Batch(QStringLiteral("D:\\a.mp4")));
    EXPECT_EQ(Repair(QStringLiteral("D:\\a.mp4")), 1);
    EXPECT_EQ(messages_, QStringList{QStringLiteral("Error : can't write ") + H264BatchPath()});
    EXPECT_TRUE(QFileInfo(H264BatchPath()).isDir());
    EXPECT_EQ(QDir(RepairWorkDir()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QDir().rmdir(H264BatchPath());
}

TEST_F(H264Batch, FfmpegRewrapsARecordingWithABrokenIndexIntoAPlayableFile)
{
    const QString folder = repairtest::Scratch(QStringLiteral("card/My Recordings"));
    const QString input = MakeBrokenH264(folder + QStringLiteral("/20170811 123456 NI.avi"));
    ASSERT_EQ(Repair(input), 0);
    EXPECT_TRUE(messages_.isEmpty()) << messages_.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(WorkFiles(), QStringList());
    // ffmpeg's way through the input, in order, up to its end.
    ASSERT_FALSE(progress_.empty());
    EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end()));
    EXPECT_GE(progress_.back(), 90);
    EXPECT_LE(progress_.back(), 100);

    const QString output = out_ + QStringLiteral("/Repair_MinaRove_case1.mp4");
    ASSERT_TRUE(QFileInfo::exists(output));
    std::string error;
    const auto want = repairtest::DecodeWithFfmpeg(input, &error);
    const auto got = repairtest::DecodeWithFfmpeg(output, &error);
    ASSERT_EQ(want.size(), 60u);
    ASSERT_EQ(got.size(), want.size()) << error;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_GE(repairtest::Psnr(got[i], want[i]), 99) << i;
}

TEST_F(H264Batch, DriveLetterPathIsFoundBelowTheDriveRootAndItsRepairReplacesAFormerOne)
{
    MakeBrokenH264(root_ + QStringLiteral("/a.avi"));
    const QString output = out_ + QStringLiteral("/Repair_MinaRove_case1.mp4");
    ASSERT_TRUE(repairtest::WriteFile(output, "former repair"));
    ASSERT_EQ(Repair(QStringLiteral("D:\\a.avi")), 0);
    EXPECT_EQ(repairtest::DecodeWithFfmpeg(output).size(), 60u);
}

// Inputs that hold no H.264 pictures: ffmpeg's own reason is passed on, the former output
// stays and nothing is left behind.
TEST_F(H264Batch, FailureSaysWhyAndLeavesTheFormerOutput)
{
    const QString output = out_ + QStringLiteral("/Repair_MinaRove_case1.mp4");
    ASSERT_TRUE(repairtest::WriteFile(output, "former repair"));
    const QString empty = root_ + QStringLiteral("/empty.mp4");
    const QString random = root_ + QStringLiteral("/random.mp4");
    ASSERT_TRUE(repairtest::WriteFile(empty, QByteArray()));
    QByteArray noise(200000, 0);
    for (qsizetype i = 0; i < noise.size(); ++i) noise[i] = char((i * 2654435761u) >> 13);
    ASSERT_TRUE(repairtest::WriteFile(random, noise));
    for (const QString& input : {empty, random}) {
        messages_.clear();
        EXPECT_EQ(Repair(input), 1) << input.toStdString();
        ASSERT_EQ(messages_.size(), 1) << input.toStdString();
        EXPECT_TRUE(messages_[0].startsWith(QStringLiteral("Error : ffmpeg could not rewrap the infile\n")))
            << messages_[0].toStdString();
        EXPECT_TRUE(messages_[0].contains(QFileInfo(input).fileName())) << messages_[0].toStdString();
        EXPECT_EQ(repairtest::ReadFile(output), "former repair");
        EXPECT_FALSE(QFileInfo::exists(H264BatchPath()));
        EXPECT_EQ(WorkFiles(), QStringList());
    }
}

TEST_F(H264Batch, WithoutFfmpegNothingIsWrittenOrStarted)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", repairtest::Scratch(QStringLiteral("empty bin")).toLocal8Bit());
    ASSERT_TRUE(repairtest::WriteFile(root_ + QStringLiteral("/a.mp4"), "recording"));
    const int result = Repair(QStringLiteral("D:\\a.mp4"));
    qputenv("PATH", path);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(messages_, QStringList{"Error : ffmpeg is not installed"});
    EXPECT_FALSE(QFileInfo::exists(H264BatchPath()));
}

}  // namespace
