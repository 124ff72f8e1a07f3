// The repair dialog: its template, the method flags and what "Recovery " runs.
#include "RepairTestSupport.h"
#include "platform/DialogUnits.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "repair/H264Batch.h"
#include "repair/Recovery.h"
#include "repair/RepairPaths.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/stat.h>

namespace {

QApplication* App()
{
    static int argc = 1;
    static char name[] = "repair_dialog_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

class Recovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        g_bRepairMethodMp4v = g_bRepairMethodH264 = g_bRepairMethod3 = g_bRepairChoiceMade = 0;
        out_ = repairtest::Scratch(QStringLiteral("cwd"));
        ASSERT_TRUE(QDir::setCurrent(out_));
        QFile::remove(out_ + QStringLiteral("/Repair_Pomel.mp4"));
        QFile::remove(out_ + QStringLiteral("/Repair_MinaRove_case1.mp4"));
        SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& title, unsigned style) {
            boxes_ << text;
            EXPECT_FALSE(title.isEmpty()) << text.toStdString();
            styles_.push_back(style);
            return IDOK;
        });
        SetFileDialogHandler([this](const FileDialogRequest& request) {
            requests_.push_back(request);
            return answer_.isEmpty() ? QStringList() : QStringList{answer_};
        });
        dialog_ = std::make_unique<CRecovery>();
        dialog_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog_.get()));
    }
    void TearDown() override
    {
        dialog_.reset();
        SetMessageBoxHandler({});
        SetFileDialogHandler({});
    }

    void Click(int id)
    {
        QAbstractButton* b = dialog_->Button(id);
        ASSERT_NE(b, nullptr) << id;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    void Choose(const QString& path)
    {
        answer_ = path;
        Click(IDC_RECOVERY_OPEN);
    }
    std::vector<int> Flags() const
    {
        return {g_bRepairMethodMp4v, g_bRepairMethodH264, g_bRepairMethod3, g_bRepairChoiceMade};
    }

    std::unique_ptr<CRecovery> dialog_;
    QStringList boxes_;
    std::vector<unsigned> styles_;
    std::vector<FileDialogRequest> requests_;
    QString answer_;
    QString out_;
};

TEST_F(Recovery, TemplateHasItsControlsWhereTheDialogUnitsPutThem)
{
    EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("영상 복원"));
    const QFont font = dialog_->font();
    EXPECT_EQ(font.pointSize(), 8);
    EXPECT_EQ(dialog_->size(), DialogUnitsToPixels(QRect(0, 0, 261, 90), font).size());

    struct Control { int id; const char* kind; QString text; QRect du; } controls[] = {
        {IDC_RECOVERY_MP4V, "QRadioButton", "MP4V", {20, 21, 33, 10}},
        {IDC_RECOVERY_H264, "QRadioButton", "H.264", {80, 22, 35, 8}},
        {IDC_RECOVERY_OPEN, "QPushButton", "open", {125, 15, 62, 14}},
        {IDC_RECOVERY_RECOVER, "QPushButton", "Recovery ", {189, 15, 62, 14}},
        {IDC_RECOVERY_PROGRAM, "QPushButton", "Recovery", {189, 60, 62, 14}},
    };
    for (const Control& c : controls) {
        QAbstractButton* b = dialog_->Button(c.id);
        ASSERT_NE(b, nullptr) << c.id;
        EXPECT_STREQ(b->metaObject()->className(), c.kind);
        EXPECT_EQ(b->text(), c.text) << c.id;
        EXPECT_EQ(b->geometry(), DialogUnitsToPixels(c.du, font)) << c.id;
        EXPECT_TRUE(b->isVisible());
    }
    EXPECT_EQ(dialog_->Control(IDC_RECOVERY_METHOD3), nullptr);  // a command without a control

    const auto groups = dialog_->findChildren<QGroupBox*>();
    ASSERT_EQ(groups.size(), 3);
    const QRect groupDu[] = {{5, 7, 63, 35}, {70, 7, 184, 35}, {0, 45, 254, 38}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(groups[i]->title(), QStringLiteral("Method %1").arg(i + 1));
        EXPECT_EQ(groups[i]->geometry(), DialogUnitsToPixels(groupDu[i], font));
    }
    // The buttons of method 2 lie inside its group, the radio of method 1 inside its own.
    EXPECT_TRUE(groups[1]->geometry().contains(dialog_->Button(IDC_RECOVERY_RECOVER)->geometry()));
    EXPECT_TRUE(groups[0]->geometry().contains(dialog_->Button(IDC_RECOVERY_MP4V)->geometry()));

    // Something is drawn where "open" sits: its text is darker than the button face.
    const QImage shot = dialog_->grab().toImage();
    const QRect open = dialog_->Button(IDC_RECOVERY_OPEN)->geometry().intersected(shot.rect());
    int darkest = 255 * 3, lightest = 0;
    for (int y = open.top() + 3; y < open.bottom() - 3; ++y)
        for (int x = open.left() + 3; x < open.right() - 3; ++x) {
            const QRgb p = shot.pixel(x, y);
            darkest = std::min(darkest, qRed(p) + qGreen(p) + qBlue(p));
            lightest = std::max(lightest, qRed(p) + qGreen(p) + qBlue(p));
        }
    EXPECT_GT(lightest - darkest, 200);
}

TEST_F(Recovery, MethodCommandsSetExactlyOneFlagAndTheChoice)
{
    Click(IDC_RECOVERY_MP4V);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 1}));
    Click(IDC_RECOVERY_H264);
    EXPECT_EQ(Flags(), (std::vector<int>{0, 1, 0, 1}));
    EXPECT_FALSE(dialog_->Button(IDC_RECOVERY_MP4V)->isChecked());
    dialog_->OnBnClickedMethod3();
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 1, 1}));
    Click(IDC_RECOVERY_MP4V);
    EXPECT_EQ(Flags(), (std::vector<int>{1, 0, 0, 1}));
    EXPECT_TRUE(boxes_.isEmpty());
}

TEST_F(Recovery, NoChoiceAsksForAFile)
{
    Click(IDC_RECOVERY_RECOVER);
    EXPECT_EQ(boxes_, QStringList{"Select File!!!"});
    EXPECT_EQ(styles_, std::vector<unsigned>{MB_OK});
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(Recovery, CancelledOpenThenRecoveryDoesNothing)
{
    Choose(QString());
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].kind, FileDialogKind::OpenOne);
    EXPECT_TRUE(requests_[0].filter.isEmpty());
    EXPECT_EQ(Flags(), (std::vector<int>{0, 0, 0, 1}));
    EXPECT_TRUE(dialog_->File().isEmpty());
    Click(IDC_RECOVERY_RECOVER);
    EXPECT_TRUE(boxes_.isEmpty());
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(Recovery, OpenKeepsTheChosenPathAndACancelKeepsTheFormerOne)
{
    Choose(QStringLiteral("/media/card/Event/a.mp4"));
    EXPECT_EQ(dialog_->File(), QStringLiteral("/media/card/Event/a.mp4"));
    Choose(QString());
    EXPECT_EQ(dialog_->File(), QStringLiteral("/media/card/Event/a.mp4"));
}

TEST_F(Recovery, Mp4vWithoutAFileReportsTheOpenFailureAndNoSuccess)
{
    Click(IDC_RECOVERY_MP4V);
    Click(IDC_RECOVERY_RECOVER);
    EXPECT_EQ(boxes_, QStringList{"Error : can't open infile"});
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(dialog_->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(out_ + QStringLiteral("/Repair_Pomel.mp4")));
}

TEST_F(Recovery, Mp4vRepairsTheChosenRecordingThenSaysSo)
{
    const QString input = repairtest::Scratch(QStringLiteral("in")) + QStringLiteral("/front.avi");
    ASSERT_TRUE(repairtest::MakeMpeg4Recording(input, 1, 10));
    Click(IDC_RECOVERY_MP4V);
    Choose(input);
    // The windows keep being served while the repair runs; the dialog takes no clicks then.
    bool servedWhileBusy = false;
    QTimer::singleShot(0, dialog_.get(), [&] {
        servedWhileBusy = dialog_->IsBusy() && !dialog_->isEnabled();
        dialog_->OnRecover();  // a second click meanwhile starts nothing
    });
    Click(IDC_RECOVERY_RECOVER);
    EXPECT_TRUE(servedWhileBusy);
    EXPECT_EQ(boxes_, QStringList{"Recovery VGA!!!"});
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(dialog_->isEnabled());
    EXPECT_FALSE(dialog_->IsBusy());
    EXPECT_EQ(repairtest::DecodeWithFfmpeg(out_ + QStringLiteral("/Repair_Pomel.mp4")).size(), 30u);
}

TEST_F(Recovery, Mp4vThenH264RunsOnlyTheH264Method)
{
    const QString input = repairtest::Scratch(QStringLiteral("in")) + QStringLiteral("/front rec.avi");
    ASSERT_TRUE(repairtest::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-t", "1",
                                       "-pix_fmt", "yuv420p", "-c:v", "libx264", input}));
    Choose(input);
    Click(IDC_RECOVERY_MP4V);
    Click(IDC_RECOVERY_H264);
    // ffmpeg runs while the windows are served; a progress box shows, and no other window
    // takes input meanwhile.
    bool progressShown = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, dialog_.get(), [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QProgressDialog*>(w);
            if (box && box->isVisible() && box->isModal() && dialog_->IsBusy() && !dialog_->isEnabled())
                progressShown = true;
        }
    });
    poll.start(1);
    Click(IDC_RECOVERY_RECOVER);
    poll.stop();
    EXPECT_TRUE(progressShown);
    EXPECT_EQ(boxes_, QStringList{"Recovery H.264_1!!!"});
    EXPECT_FALSE(dialog_->isVisible());
    EXPECT_TRUE(dialog_->isEnabled());
    EXPECT_FALSE(QFileInfo::exists(H264BatchPath()));
    EXPECT_EQ(repairtest::DecodeWithFfmpeg(out_ + QStringLiteral("/Repair_MinaRove_case1.mp4")).size(), 30u);
    EXPECT_FALSE(QFileInfo::exists(out_ + QStringLiteral("/Repair_Pomel.mp4")));
}

TEST_F(Recovery, H264WithAMissingFileOrWithoutFfmpegSaysSoInsteadOfSuccess)
{
    Choose(QStringLiteral("/nowhere/a.mp4"));
    Click(IDC_RECOVERY_H264);
    Click(IDC_RECOVERY_RECOVER);
    EXPECT_EQ(boxes_, QStringList{"Error : can't open infile"});

    const QString input = repairtest::Scratch(QStringLiteral("in")) + QStringLiteral("/a.mp4");
    ASSERT_TRUE(repairtest::WriteFile(input, "not much"));
    Choose(input);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", repairtest::Scratch(QStringLiteral("empty bin")).toLocal8Bit());
    boxes_.clear();
    Click(IDC_RECOVERY_RECOVER);
    qputenv("PATH", path);
    EXPECT_EQ(boxes_, QStringList{"Error : ffmpeg is not installed"});
    EXPECT_FALSE(QFileInfo::exists(H264BatchPath()));
}

struct FailureCase {
    const char* name;
    int method;  // IDC_RECOVERY_MP4V or IDC_RECOVERY_H264
    const char* input;
};

class RecoveryFailures : public Recovery, public ::testing::WithParamInterface<FailureCase> {};

// Inputs that hold nothing to repair: each method says what went wrong, leaves no output
// and no work file, and never says it succeeded.
TEST_P(RecoveryFailures, SayWhatWentWrongAndLeaveNoOutput)
{
    const FailureCase& c = GetParam();
    const QString dir = repairtest::Scratch(QStringLiteral("in"));
    QString input = dir + QLatin1Char('/') + QLatin1String(c.name) + QStringLiteral(".avi");
    const std::string kind = c.input;
    if (kind == "empty") {
        ASSERT_TRUE(repairtest::WriteFile(input, QByteArray()));
    } else if (kind == "random") {
        // Noise with a VOP start code every 4 KB, so it gets past the extraction.
        QByteArray noise(180 * 1024, 0);
        std::uint32_t x = 12345;
        for (qsizetype i = 0; i < noise.size(); ++i) noise[i] = char((x = x * 1103515245u + 12345u) >> 24);
        for (qsizetype at = 100; at + 4 < noise.size(); at += 4096) noise.replace(at, 4, QByteArray("\x00\x00\x01\xB6", 4));
        ASSERT_TRUE(repairtest::WriteFile(input, noise));
    } else if (kind == "pipe") {
        QFile::remove(input);
        ASSERT_EQ(mkfifo(QFile::encodeName(input).constData(), 0600), 0);  // nothing ever writes it
    } else if (kind == "unreadable") {
        input = QStringLiteral("/proc/self/mem");  // opens, then every read fails
    } else if (kind == "h264") {
        ASSERT_TRUE(repairtest::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=30", "-t", "1",
                                           "-pix_fmt", "yuv420p", "-c:v", "libx264", input}));
    }
    Click(c.method);
    Choose(input);
    Click(IDC_RECOVERY_RECOVER);

    ASSERT_FALSE(boxes_.isEmpty());
    for (const QString& text : boxes_) EXPECT_TRUE(text.startsWith(QStringLiteral("Error : "))) << text.toStdString();
    EXPECT_FALSE(boxes_.contains(QStringLiteral("Recovery VGA!!!")));
    EXPECT_FALSE(boxes_.contains(QStringLiteral("Recovery H.264_1!!!")));
    EXPECT_FALSE(QFileInfo::exists(out_ + QStringLiteral("/Repair_Pomel.mp4")));
    EXPECT_FALSE(QFileInfo::exists(out_ + QStringLiteral("/Repair_MinaRove_case1.mp4")));
    EXPECT_TRUE(QDir(RepairWorkDir()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_TRUE(dialog_->isEnabled());
    EXPECT_FALSE(dialog_->IsBusy());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RecoveryFailures,
    ::testing::Values(FailureCase{"Mp4vEmpty", IDC_RECOVERY_MP4V, "empty"},
                      FailureCase{"Mp4vRandom", IDC_RECOVERY_MP4V, "random"},
                      FailureCase{"Mp4vUnreadable", IDC_RECOVERY_MP4V, "unreadable"},
                      FailureCase{"Mp4vOfAnH264Recording", IDC_RECOVERY_MP4V, "h264"},
                      FailureCase{"H264Empty", IDC_RECOVERY_H264, "empty"},
                      FailureCase{"H264Random", IDC_RECOVERY_H264, "random"},
                      FailureCase{"H264Unreadable", IDC_RECOVERY_H264, "unreadable"},
                      FailureCase{"Mp4vPipe", IDC_RECOVERY_MP4V, "pipe"},
                      FailureCase{"H264Pipe", IDC_RECOVERY_H264, "pipe"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(Recovery, Method3RunsNothingFromRecovery)
{
    dialog_->OnBnClickedMethod3();
    Click(IDC_RECOVERY_RECOVER);
    EXPECT_TRUE(boxes_.isEmpty());
    EXPECT_TRUE(dialog_->isVisible());
}

TEST_F(Recovery, RepairProgramStartsFromTheConfiguredPathThenCloses)
{
    const QString dir = repairtest::Scratch(QStringLiteral("tools"));
    const QString marker = dir + QStringLiteral("/started");
    const QString program = dir + QStringLiteral("/Clip Mender");
    ASSERT_TRUE(repairtest::WriteFile(program, ("#!/bin/sh\ntouch '" + marker + "'\n").toUtf8()));
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(marker);
    ASSERT_TRUE(Registry::SetString(QString::fromLatin1(kRepairProgramKey), QString::fromLatin1(kRepairProgramValue), program));

    Click(IDC_RECOVERY_PROGRAM);
    EXPECT_TRUE(boxes_.isEmpty());
    EXPECT_FALSE(dialog_->isVisible());
    QDeadlineTimer deadline(10000);
    while (!QFileInfo::exists(marker) && !deadline.hasExpired()) QTest::qWait(20);
    EXPECT_TRUE(QFileInfo::exists(marker));
}

TEST_F(Recovery, RepairProgramThatIsNotInstalledIsReported)
{
    ASSERT_TRUE(Registry::SetString(QString::fromLatin1(kRepairProgramKey), QString::fromLatin1(kRepairProgramValue),
                                    QStringLiteral("/opt/none/ClipMender")));
    Click(IDC_RECOVERY_PROGRAM);
    EXPECT_EQ(boxes_, QStringList{"Error : ClipMender is not installed"});
    EXPECT_FALSE(dialog_->isVisible());
}

}  // namespace
