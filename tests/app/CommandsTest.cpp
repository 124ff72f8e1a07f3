// The main window's smaller commands: snapshots, mute, the time labels, the windows made on
// first use, the thumbnail pages, and the drive monitor that reports cards coming and going.
#include "CardTestSupport.h"

#include "controls/BitSlider.h"
#include "controls/SkinButton.h"
#include "platform/DriveMonitor.h"
#include "platform/WaveOut.h"
#include "repair/Recovery.h"
#include "views/GSensorDlg.h"
#include "app/CardGlobals.h"
#include "settings/SetupDlg.h"

#include <QImage>

using namespace cardtest;

namespace {

class Commands : public MainWindowTest {
protected:
    // A recording playing from the list, with a card path as SD open leaves it.
    void PlayRecording(int tracks)
    {
        const QString path = Recording(Scratch() + QString("/snap/20170811_12345%1_NI.mp4").arg(tracks), tracks);
        CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", path);
        dlg->m_pListDlg->SetSelectionMark(0);
        dlg->m_strCardPath = "E:";
        dlg->OnBnClickedPlay();
        ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->m_player.LastFrame(0) != nullptr, 3000);
        if (tracks > 1) QTRY_VERIFY_WITH_TIMEOUT(dlg->m_player.LastFrame(1) != nullptr, 3000);
    }
    // The frame number the generator drew into a saved picture, -1 when unreadable.
    static int FrameNumberOf(const QImage& image)
    {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        return recgen::ReadFrameNumber(rgb.constBits(), rgb.width(), rgb.height(), int(rgb.bytesPerLine()));
    }
};

TEST_F(Commands, SnapshotSavesBothCamerasAndPlaysOn)
{
    Start();
    PlayRecording(2);
    const QString dir = FreshDir("shots");
    struct Case {
        QString chosen, front, rear;
    } cases[] = {
        {dir + "/drive.jpg", dir + "/drive_front.jpg", dir + "/drive_rear.jpg"},
        {dir + "/plain", dir + "/plain_front.jpg", dir + "/plain_rear.jpg"},
        {dir + "/a.b", dir + "/a_front.jpg", dir + "/a_rear.jpg"},  // the extension goes, not four characters
    };
    for (const Case& c : cases) {
        int stateDuringDialog = -9;
        onFileDialog = [&](const FileDialogRequest& r) {
            stateDuringDialog = dlg->m_player.GetState();
            EXPECT_EQ(r.kind, FileDialogKind::Save);
            EXPECT_EQ(r.startPath, "SamplePlayer.jpg");
            EXPECT_TRUE(r.filter.contains("*.jpg"));
            return QStringList{c.chosen};
        };
        dlg->OnBnClickedSnapshot();
        EXPECT_EQ(stateDuringDialog, kStatePaused) << c.chosen.toStdString();
        EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);

        QImage front(c.front, "JPEG"), rear(c.rear, "JPEG");
        ASSERT_FALSE(front.isNull()) << c.front.toStdString();
        ASSERT_FALSE(rear.isNull()) << c.rear.toStdString();
        EXPECT_EQ(front.size(), QSize(320, 240));
        EXPECT_EQ(rear.size(), QSize(160, 120));
        // The saved pictures are the recording's frames, not black.
        EXPECT_GE(FrameNumberOf(front), 0);
        EXPECT_GE(FrameNumberOf(rear), 0);
    }
    EXPECT_FALSE(QFile::exists(dir + "/drive.jpg"));

    // A cancelled dialog saves nothing and the recording runs on.
    const int filesBefore = int(QDir(dir).entryList(QDir::Files).size());
    onFileDialog = nullptr;
    dlg->OnBnClickedSnapshot();
    EXPECT_EQ(int(QDir(dir).entryList(QDir::Files).size()), filesBefore);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
}

TEST_F(Commands, SnapshotOfOneCameraWhilePausedStaysPaused)
{
    Start();
    PlayRecording(1);
    dlg->OnBnClickedPlay();  // pause
    ASSERT_EQ(dlg->m_player.GetState(), kStatePaused);
    const QString dir = FreshDir("shots_one");
    onFileDialog = [&](const FileDialogRequest&) { return QStringList{dir + "/one.jpg"}; };
    dlg->OnBnClickedSnapshot();
    EXPECT_TRUE(QFile::exists(dir + "/one_front.jpg"));
    EXPECT_FALSE(QFile::exists(dir + "/one_rear.jpg"));
    EXPECT_EQ(dlg->m_player.GetState(), kStatePaused);
}

TEST_F(Commands, SnapshotWithoutACardOrWithoutPlaybackDoesNothing)
{
    Start();
    dlg->OnBnClickedSnapshot();  // nothing open at all
    PlayRecording(1);
    dlg->m_strCardPath.clear();  // files opened with OPEN, no card
    dlg->OnBnClickedSnapshot();
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    dlg->m_strCardPath = "E:";
    dlg->OnBnClickedStop();
    dlg->OnBnClickedSnapshot();
    EXPECT_TRUE(requests.empty());
}

TEST_F(Commands, MuteSetsTheOutputLevel)
{
    Start();
    auto* mute = dlg->Item<CSkinButton>(IDC_BTN_MUTE);
    dlg->Item<CBitSlider>(IDC_SLIDER_VOLUME)->setValue(99);
    Click(IDC_BTN_MUTE);
    EXPECT_EQ(mute->GetCheck(), 1);
    EXPECT_EQ(WaveOutVolumeWord(), 0u);
    Click(IDC_BTN_MUTE);
    EXPECT_EQ(mute->GetCheck(), 0);
    EXPECT_EQ(WaveOutVolumeWord(), 64879u * 65536u + 64879u);
    EXPECT_EQ(dlg->m_nVolume, 50);  // the player's own volume is not touched
}

TEST_F(Commands, TimeLabels)
{
    Start();
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {{0, "00:00:00"}, {999, "00:00:00"}, {3599999, "00:59:59"}, {3723000, "01:02:03"}, {360000000, "100:00:00"}};
    for (const auto& c : cases) {
        dlg->UpdateTimeLabels(c.ms, c.ms + 1000);
        EXPECT_EQ(Label(IDC_LABEL_POSITION), c.text) << c.ms;
    }
    dlg->UpdateTimeLabels(3723000, 3599999);
    EXPECT_EQ(Label(IDC_LABEL_DURATION), "00:59:59");
}

TEST_F(Commands, WindowsAreMadeOnceAndShownAgain)
{
    Start();
    dlg->OnBnClickedRecovery();
    QWidget* recovery = dlg->m_pRecoveryDlg;
    ASSERT_NE(qobject_cast<CRecovery*>(recovery), nullptr);
    EXPECT_TRUE(recovery->isVisible());
    EXPECT_EQ(recovery->pos(), QPoint(380, 250));  // the dialog keeps the size of its own layout
    recovery->hide();
    dlg->OnBnClickedRecovery();
    EXPECT_EQ(dlg->m_pRecoveryDlg, recovery);
    EXPECT_TRUE(recovery->isVisible());

    // The G-sensor window is made on the first command, then shown again; its maker is a hook.
    dlg->OnBnClickedGSensor();
    QWidget* gsensor = dlg->m_pGSensorDlg;
    ASSERT_NE(qobject_cast<CGSensorDlg*>(gsensor), nullptr);
    EXPECT_TRUE(gsensor->isVisible());
    gsensor->hide();
    dlg->OnBnClickedGSensor();
    EXPECT_EQ(dlg->m_pGSensorDlg, gsensor);
    EXPECT_TRUE(gsensor->isVisible());
    delete dlg->m_pGSensorDlg;
    dlg->m_pGSensorDlg = nullptr;
    int made = 0;
    dlg->createGSensorDlg = [&] {
        ++made;
        return new QWidget;
    };
    dlg->OnBnClickedGSensor();
    dlg->m_pGSensorDlg->hide();
    dlg->OnBnClickedGSensor();
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(dlg->m_pGSensorDlg->isVisible());

    // The preferences window waits for an opened card.
    int setupMade = 0;
    dlg->createSetupDlg = [&] {
        ++setupMade;
        return new QWidget;
    };
    g_bCardOpened = 0;
    dlg->OnBnClickedSetupPanel();
    EXPECT_EQ(setupMade, 0);
    g_bCardOpened = 1;
    dlg->OnBnClickedSetupPanel();
    dlg->OnBnClickedSetupPanel();
    EXPECT_EQ(setupMade, 1);
    EXPECT_TRUE(dlg->m_pSetupDlg->isVisible());
}

TEST_F(Commands, CardCommandsAreWiredToTheirButtons)
{
    Start();
    dlg->m_nLanguage = 1;
    const auto press = [&](int id) { qobject_cast<QAbstractButton*>(dlg->GetDlgItem(id))->click(); };
    press(IDC_BTN_FORMAT);  // no card
    press(IDC_BTN_DOWN);    // nothing listed
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "There is no device SD card.");
    EXPECT_EQ(boxes[1].text, "File is not selected.");

    // DOWN copies the row at the selection mark and opens the file again when next played.
    const QString dir = FreshDir("down");
    const QString source = dir + "/20170811_123456_NI.mp4";
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("recording");
    f.close();
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", source);
    CListDlg::AppendRow(Master(), "2017-08-11", "12:34:56", "Event", source);
    dlg->m_pListDlg->SetSelectionMark(0);
    const QString target = FreshDir("down_target");
    onFileDialog = [&](const FileDialogRequest&) { return QStringList{target}; };
    dlg->m_bReopen = 0;
    press(IDC_BTN_DOWN);
    EXPECT_TRUE(QFile::exists(target + "/20170811_123456_NI.mp4"));
    EXPECT_EQ(dlg->m_bReopen, 1);

    // The preferences window is the older preferences dialog, writing to the opened card's root.
    g_bCardOpened = 1;
    g_strCardDrive = "E:\\";
    dlg->OnBnClickedSetupPanel();
    EXPECT_NE(qobject_cast<CSetupDlg*>(dlg->m_pSetupDlg), nullptr);
    EXPECT_EQ(g_szSetupDrive, "E:\\");
    g_strCardDrive.clear();
}

TEST_F(Commands, ThumbnailPages)
{
    Start();
    int shown = 0;
    dlg->showFolderThumbnails = [&] { ++shown; };
    g_bThumbnailPaging = 1;
    g_strCurrentFolder = "E:";
    g_nThumbnailOffset = 0;
    g_nThumbnailPage = 0;
    dlg->OnBnClickedThumbPrev();  // the first page has no previous one
    EXPECT_EQ(shown, 0);
    dlg->OnBnClickedThumbNext();
    EXPECT_EQ(g_nThumbnailOffset, 10);
    EXPECT_EQ(g_nThumbnailPage, 1);
    dlg->OnBnClickedThumbPrev();
    EXPECT_EQ(g_nThumbnailOffset, 0);
    EXPECT_EQ(g_nThumbnailPage, 0);
    EXPECT_EQ(shown, 2);
    g_bThumbnailPaging = 0;
    dlg->OnBnClickedThumbNext();
    EXPECT_EQ(shown, 2);
}

TEST_F(Commands, HiddenListDoubleClickOpensTheRowOfTheListWindow)
{
    Start();
    const QString good = Recording(Scratch() + "/dbl/20170811_123456_NI.mp4");
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", Scratch() + "/dbl/missing.mp4");
    CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", good);
    // A file that is not there: the user is told once, and the next row plays.
    EXPECT_EQ(dlg->OnNMDblclkFileList(0), 0);
    EXPECT_EQ(dlg->m_nCurrentRow, -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(Scratch() + "/dbl/missing.mp4"));
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    dlg->OnBnClickedStop();
    EXPECT_LT(dlg->m_player.GetState(), 0);
    EXPECT_EQ(dlg->OnNMDblclkFileList(5), 0);  // no such row
    EXPECT_EQ(dlg->m_nCurrentRow, -1);

    dlg->m_pListDlg->SetSelectionMark(1);
    EXPECT_EQ(dlg->OnNMDblclkFileList(1), 0);
    EXPECT_EQ(dlg->m_nCurrentRow, 1);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(dlg->m_pListDlg->GetSelectionMark(), 1);
    EXPECT_FALSE(Visible()->topLevelItem(0)->isSelected());

    // Rows are drawn white; the list has no ninth column to mark them otherwise.
    unsigned text = 1, back = 7;
    dlg->OnNMCustomdrawFileList(1, &text, &back);
    EXPECT_EQ(text, 0xFFFFFFu);
    EXPECT_EQ(back, 7u);
}

TEST_F(Commands, RowsMarkedResetOrFinishedAreDrawnBlackOnBlack)
{
    Start();
    struct Case {
        const char* mark;
        unsigned text, back;  // 1 and 7 when left as they were
    } cases[] = {{"RST", 0, 0},           {"FIN", 0, 0},       {"12RST34", 0, 0}, {"xFIN", 0, 0},
                 {"", 0xFFFFFF, 7},        {"rst", 0xFFFFFF, 7}, {"FI N", 0xFFFFFF, 7}, {"RS", 0xFFFFFF, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mark);
        Visible()->clear();
        CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Event", "a.mp4");
        const int row = CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:57", "Event", "b.mp4");
        Visible()->topLevelItem(row)->setText(9, QString::fromLatin1(c.mark));
        unsigned text = 1, back = 7;
        dlg->OnNMCustomdrawFileList(row, &text, &back);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(back, c.back);
        // The row above keeps the ordinary colours.
        text = 1, back = 7;
        dlg->OnNMCustomdrawFileList(0, &text, &back);
        EXPECT_EQ(text, 0xFFFFFFu);
        EXPECT_EQ(back, 7u);
    }
}

TEST(DriveMonitorTest, ReportsDrivesGoneAndComeThroughTheQueue)
{
    const QString a = FreshDir("drive_a"), b = FreshDir("drive_b"), c = FreshDir("drive_new");
    UseDrives("E=" + a + ";G=" + b);
    QObject receiver;
    std::vector<std::pair<QString, int>> events;
    DriveMonitor monitor(&receiver, [&](const QString& path, int event) { events.push_back({path, event}); }, 60000);
    EXPECT_TRUE(monitor.IsRunning());
    EXPECT_EQ(monitor.Poll(), 0);

    UseDrives("E=" + a + ";H=" + c);
    EXPECT_EQ(monitor.Poll(), 2);
    EXPECT_TRUE(events.empty());  // delivered by the receiver's event loop
    QCoreApplication::processEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], std::make_pair(QString("G:\\"), SHCNE_DRIVEREMOVED));
    EXPECT_EQ(events[1], std::make_pair(QString("H:\\"), SHCNE_DRIVEADD));

    // Letters given out again while the volumes stay mounted remove nothing; a volume that
    // goes is reported under the letter it had.
    events.clear();
    UseDrives("E=" + b + ";F=" + a + ";H=" + c);
    EXPECT_EQ(monitor.Poll(), 1);
    QCoreApplication::processEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], std::make_pair(QString("E:\\"), SHCNE_DRIVEADD));
    events.clear();
    UseDrives("E=" + b + ";H=" + c);
    EXPECT_EQ(monitor.Poll(), 1);
    QCoreApplication::processEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], std::make_pair(QString("F:\\"), SHCNE_DRIVEREMOVED));
    UseDrives("");
}

TEST(DriveMonitorTest, PollsByItselfAndNeverCallsAGoneReceiver)
{
    const QString a = FreshDir("drive_c");
    UseDrives("E=" + a);
    int calls = 0;
    {
        auto receiver = std::make_unique<QObject>();
        new DriveMonitor(receiver.get(), [&](const QString&, int) { ++calls; }, 20);
        UseDrives("");
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 2000);
        UseDrives("E=" + a);
        auto* monitor = receiver->findChild<DriveMonitor*>();
        ASSERT_NE(monitor, nullptr);
        monitor->Stop();
        monitor->Poll();  // queued for the receiver...
    }  // ...which goes before the event loop runs
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 1);
    UseDrives("");
}

}  // namespace

CARD_TEST_MAIN
