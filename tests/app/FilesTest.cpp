// Recordings picked with OPEN, the painted seek band and the window drag, and the list panel.
#include "CardTestSupport.h"

#include "controls/BitSlider.h"
#include "views/RecordingTable.h"

#include <QFile>
#include <sys/stat.h>

using namespace cardtest;

namespace {

class Files : public MainWindowTest {
protected:
    static QString Sized(const QString& name, int bytes)
    {
        const QString path = Scratch() + "/" + name;
        WriteFile(path, QByteArray(bytes, 'a'));
        return path;
    }
    // A recording open and paused, its duration on the position slider, no timer running.
    std::int64_t OpenPaused()
    {
        const QString path = Recording(Scratch() + "/seek/20170811_123456_NI.mp4");
        EXPECT_EQ(dlg->m_player.OpenFile(path), 1);
        dlg->m_player.Play();
        QTest::qWait(200);
        dlg->m_player.Pause();
        const std::int64_t d = dlg->m_player.GetDurationMs();
        dlg->Item<CBitSlider>(IDC_SLIDER_POSITION)->setRange(0, int(d));
        return d;
    }
    int SliderValue() const { return dlg->Item<CBitSlider>(IDC_SLIDER_POSITION)->value(); }
    void ClickWindow(QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(dlg.get(), Qt::LeftButton, mods, at);
    }
};

TEST_F(Files, OpenListsRecordingsOverTenKilobytesThatCanBeReadAndSaysWhatItPassedOver)
{
    const QString mp4 = Recording(Scratch() + "/open/20170811_120000_NI.mp4");
    const QString small = Sized("20170811_120001_NI.avi", 10240);
    const QString big = Sized("20170811_123456_NI.avi", 11264);
    const QString readOnly = Sized("20170811_120003_NI.avi", 20000);
    ASSERT_EQ(::chmod(readOnly.toLocal8Bit().constData(), 0444), 0);  // as on a card with its lock on
    const QString real = Recording(Scratch() + "/open/20170812_080910_NI.avi", 1, recgen::Container::Avi);
    const QString upper = Recording(Scratch() + "/open/20170813_070000_NI.AVI", 1, recgen::Container::Avi);
    const QString text = Sized("20170813_070001_NI.txt", 20000);
    const QString pipe = Scratch() + "/20170813_070002_NI.mp4";
    QFile::remove(pipe);
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0644), 0);
    Start();
    dlg->m_nLanguage = 1;

    // An .mp4 recording alone lists and plays.
    onFileDialog = [&](const FileDialogRequest&) { return QStringList{mp4}; };
    Click(IDC_BTN_OPEN);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, FileDialogKind::OpenMany);
    EXPECT_EQ(requests[0].startPath, "*.avi");
    EXPECT_TRUE(requests[0].filter.contains("*.mp4 *.avi *.MP4 *.AVI"));
    EXPECT_EQ(Rows(Master()), (std::vector<Row>{{"2017-08-11", "12:00:00", "File", mp4}}));
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_TRUE(boxes.empty());

    g_nRecordingCount = 0;
    onFileDialog = [&](const FileDialogRequest&) { return QStringList{mp4, small, big, readOnly, real, upper, text, pipe}; };
    Click(IDC_BTN_OPEN);
    const std::vector<Row> rows = Rows(Master());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[1], (Row{"2017-08-11", "12:34:56", "File", big}));
    EXPECT_EQ(rows[2].path, readOnly);
    EXPECT_EQ(rows[3], (Row{"2017-08-12", "08:09:10", "File", real}));
    EXPECT_EQ(rows[4].path, upper);
    EXPECT_EQ(g_nRecordingCount, 5);
    EXPECT_EQ(g_aRecordings[1].m_strPath, big);
    EXPECT_EQ(g_aRecordings[1].m_strDateTime, "2017-08-11 12:34:56");
    EXPECT_EQ(g_aRecordings[3].m_strDateTime, "2017-08-12 08:09:10");
    ASSERT_EQ(boxes.size(), 1u);
    // Without a card the language is Japanese.
    EXPECT_EQ(boxes[0].text, QString::fromUtf8("選択したファイルのうち3個は一覧に入れませんでした。\n"
                                               ".mp4または.aviファイルではない：1個\n読み取れない：1個\n10KB以下：1個"));
    EXPECT_EQ(boxes[0].title, g_strVersionTitle);
    // "File" rows pass every filter; the newest is row 0 and plays.
    EXPECT_EQ(Visible()->topLevelItemCount(), 5);
    EXPECT_EQ(dlg->m_bListPanelShown, 1);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(CListDlg::GetItemText(Visible(), dlg->m_nCurrentRow, 3), upper);
    EXPECT_TRUE(dlg->m_strCardPath.isEmpty());  // chosen files are no card

    // Cancel changes nothing but pausing.
    onFileDialog = nullptr;
    Click(IDC_BTN_OPEN);
    EXPECT_EQ(Master()->topLevelItemCount(), 5);
    EXPECT_EQ(dlg->m_player.GetState(), kStatePaused);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(Files, SeekBandClicksInNormalMode)
{
    Start();
    const std::int64_t d = OpenPaused();
    ASSERT_GT(d, 1000);

    dlg->Item<CBitSlider>(IDC_SLIDER_POSITION)->setValue(777);
    ClickWindow(QPoint(104, 415));  // left of the band
    EXPECT_EQ(SliderValue(), 777);
    ClickWindow(QPoint(300, 414));  // above it
    EXPECT_EQ(SliderValue(), 777);

    ClickWindow(QPoint(105 + 537 / 2, 445));  // the middle, on the band's last row
    EXPECT_NEAR(SliderValue(), d / 2, 5);
    QTRY_VERIFY_WITH_TIMEOUT(std::llabs(dlg->m_player.GetPositionMs() - d / 2) < 150, 2000);

    ClickWindow(QPoint(642, 415));  // the right end: the duration
    EXPECT_NEAR(SliderValue(), d, 1);
    ClickWindow(QPoint(105, 415));  // the left end: 0
    EXPECT_EQ(SliderValue(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(dlg->m_player.GetPositionMs() < 150, 2000);
}

TEST_F(Files, DragOnTheBandSeeksOnlyWithTheLeftButtonAlone)
{
    Start();
    const std::int64_t d = OpenPaused();
    const QPoint at(105 + 400, 430);
    dlg->Item<CBitSlider>(IDC_SLIDER_POSITION)->setValue(5);
    Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(SliderValue(), 5);
    Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(SliderValue(), 5);
    Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(SliderValue(), 5);
    Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    EXPECT_NEAR(SliderValue(), d * 400 / 537, 5);
}

TEST_F(Files, TopStripDragsTheWindowInNormalModeOnly)
{
    Start();
    const QPoint before = dlg->pos();
    Mouse(QEvent::MouseButtonPress, QPoint(500, 20), Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(dlg->m_bWindowDragging);
    Mouse(QEvent::MouseMove, QPoint(500, 20), Qt::NoButton, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
    EXPECT_EQ(dlg->pos(), before + QPoint(20, 10));
    Mouse(QEvent::MouseButtonRelease, QPoint(500, 20), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(dlg->m_bWindowDragging);
    // A move after the release leaves the window where it is.
    Mouse(QEvent::MouseMove, QPoint(500, 20), Qt::NoButton, Qt::NoButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(dlg->pos(), before + QPoint(20, 10));
    // Below the strip nothing drags.
    Mouse(QEvent::MouseButtonPress, QPoint(500, 33), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(dlg->m_bWindowDragging);
    Mouse(QEvent::MouseButtonRelease, QPoint(500, 33), Qt::LeftButton, Qt::NoButton);

    dlg->m_nScreenMode = kScreenFull;
    Mouse(QEvent::MouseButtonPress, QPoint(500, 20), Qt::LeftButton, Qt::LeftButton);
    EXPECT_FALSE(dlg->m_bWindowDragging);
    Mouse(QEvent::MouseButtonRelease, QPoint(500, 20), Qt::LeftButton, Qt::NoButton);
    dlg->m_nScreenMode = kScreenNormal;
}

TEST_F(Files, SeekBandInFullScreen)
{
    Start();
    const std::int64_t d = OpenPaused();
    dlg->m_nScreenMode = kScreenFull;
    dlg->setGeometry(0, 0, 1920, 1080);
    dlg->ArrangeControls(kScreenFull);
    ASSERT_EQ(dlg->height(), 1080);
    EXPECT_EQ(dlg->SeekBand(), QRect(QPoint(25, 1010), QPoint(562, 1030)));

    dlg->Item<CBitSlider>(IDC_SLIDER_POSITION)->setValue(777);
    for (QPoint miss : {QPoint(300, 1009), QPoint(300, 1031), QPoint(24, 1020), QPoint(563, 1020), QPoint(300, 415)}) {
        dlg->OnLButtonDown(1, miss);
        EXPECT_EQ(SliderValue(), 777) << miss.x() << "," << miss.y();
    }
    // A real click below the slider, on the band.
    ClickWindow(QPoint(25 + 537 / 4, 1027));
    EXPECT_NEAR(SliderValue(), d / 4, 5);
    dlg->OnLButtonDown(1, QPoint(562, 1010));
    EXPECT_NEAR(SliderValue(), d, 1);
}

TEST_F(Files, ListPanelToggles)
{
    Start();
    auto* toggle = dlg->GetDlgItem(IDC_BTN_LIST_TOGGLE);
    ASSERT_TRUE(toggle->isVisible());
    dlg->move(40, 30);
    Click(IDC_BTN_LIST_TOGGLE);
    EXPECT_EQ(dlg->m_bListPanelShown, 1);
    EXPECT_TRUE(dlg->m_pListDlg->isVisible());
    // Docked at the right edge, top-aligned (the pair moved onto the small test screen first).
    EXPECT_EQ(dlg->m_pListDlg->geometry(), QRect(dlg->x() + dlg->width(), dlg->y(), 256, 720));
    Click(IDC_BTN_LIST_TOGGLE);
    EXPECT_EQ(dlg->m_bListPanelShown, 0);
    EXPECT_FALSE(dlg->m_pListDlg->isVisible());

    // The list window's own close button asks through the timer.
    dlg->ToggleFileListPanel();
    g_bListCloseRequest = 1;
    dlg->OnTimer(kPlaybackTimerId);
    EXPECT_EQ(dlg->m_bListPanelShown, 0);
    EXPECT_EQ(g_bListCloseRequest, 0);
    EXPECT_FALSE(dlg->m_pListDlg->isVisible());
}

}  // namespace

CARD_TEST_MAIN
