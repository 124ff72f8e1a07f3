// The main window end to end: start-up layout, screen modes, and recordings from the
// generator playing one after another through the list window.
#include "TestScratch.h"
#include "app/ControlIds.h"
#include "app/SamplePlayerDlg.h"
#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/WaveOut.h"
#include "settings/SetupRecord.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/ListDlg.h"
#include "views/RearViewDlg.h"
#include "views/ZoomDlg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <utility>

namespace {

QString Scratch()
{
    return QString::fromStdString(TestScratchDir());
}

struct Box {
    QString text, title;
};

class MainDlg : public ::testing::Test {
protected:
    void SetUp() override
    {
        qputenv("VIEWER_DRIVES", "");  // no card unless a test makes one
        SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& title, unsigned) {
            boxes.push_back({text, title});
            return IDOK;
        });
    }
    void TearDown() override
    {
        dlg.reset();
        SetMessageBoxHandler({});
    }

    void Start()
    {
        dlg = std::make_unique<CSamplePlayerDlg>();
        dlg->OnInitDialog();
        dlg->show();
        QCoreApplication::processEvents();
    }

    // A recording made by the generator, 2 s at 320 x 240 unless told otherwise.
    static QString Recording(const QString& name, int tracks, bool data, int ms = 2000)
    {
        const QString path = Scratch() + "/" + name;
        if (QFile::exists(path)) return path;
        recgen::RecordingSpec spec;
        spec.durationMs = ms;
        spec.videoTracks = tracks;
        spec.rearWidth = 160;
        spec.rearHeight = 120;
        spec.dataTrack = data;
        std::string error;
        EXPECT_TRUE(recgen::WriteRecording(path.toStdString(), spec, nullptr, &error)) << error;
        return path;
    }

    void AddRows(const QStringList& paths)
    {
        QTreeWidget* list = dlg->m_pListDlg->GetVisibleList();
        for (const QString& p : paths) CListDlg::AppendRow(list, "2017-08-11", "12:34:56", "Normal", p);
        dlg->m_pListDlg->SetSelectionMark(0);
        // As the card and file roads leave them: front pane large, rear hidden.
        dlg->m_nFrontPane = kPaneLarge;
        dlg->m_nRearPane = kPaneHidden;
    }

    QString Label(int id) const { return dlg->Item<QLabel>(id)->text(); }

    std::unique_ptr<CSamplePlayerDlg> dlg;
    std::vector<Box> boxes;
};

struct Place {
    int id, x, y, w, h;
    int visible;  // 1 shown, 0 hidden, -1 not checked
};

TEST_F(MainDlg, StartsAsTheSkinWithEveryControlInPlace)
{
    Start();
    EXPECT_EQ(dlg->size(), QSize(1020, 720));
    EXPECT_FALSE(dlg->m_bmpSkin.isNull());
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("ベルモラ-21K"));  // no card: Japanese
    EXPECT_EQ(g_strVersionTitle, "VELMORA21 v.1.0.8");
    const int W = 1020;
    const Place places[] = {
        {1002, 105, 420, -1, -1, 1}, {1014, 32, 420, 50, 12, 1},   {1015, 595, 420, 64, 12, 0},
        {1004, 50, 462, 92, 20, -1},  {5005, 17, 495, 180, 165, 1}, {1000, W - 85, 1, 26, 24, 1},
        {1018, W - 57, 1, 26, 24, 1}, {1001, W - 29, 1, 26, 24, 1}, {1194, 15, 674, 40, 39, 1},
        {1012, 60, 674, 40, 39, 1},   {1121, 135, 674, 40, 39, 1},  {3021, 180, 674, 40, 39, 1},
        {1041, 225, 674, 40, 39, 1},  {1201, 270, 674, 40, 39, 1},  {1195, 315, 674, 40, 39, 1},
        {1198, 360, 674, 40, 39, 1},  {1196, 435, 674, 40, 39, 1},  {1020, 480, 674, 40, 39, 1},
        {1197, 555, 674, 40, 39, 1},  {1199, 600, 674, 40, 39, 1},  {1007, 680, 297, 40, 39, 1},
        {1005, 725, 297, 40, 39, 1},  {1006, 770, 297, 40, 39, 1},  {1008, 815, 297, 40, 39, 1},
        {1206, 860, 297, 40, 39, 1},  {1019, 950, 297, -1, -1, 0},  {1193, 1009, 281, 12, 145, 1},
        {1154, 490, 570, -1, -1, 0},  {1016, 20, 537, -1, -1, 0},   {1017, 140, 537, -1, -1, 0},
        {1137, 180, 537, -1, -1, 0},  {1098, 259, 537, -1, -1, 0},  {1110, 920, 537, -1, -1, 0},
        {1209, 9, 37, 631, 346, 0},   {1013, 671, 394, 319, 130, 0}, {1097, 654, 345, -1, -1, 0},
        {1152, 670, 65, -1, -1, 0},   {1011, 715, 525, -1, -1, 0},  {1112, 428, 495, -1, -1, 0},
        {1025, 0, 0, -1, -1, 0},      {1026, -1, -1, -1, -1, 0},
    };
    for (const Place& p : places) {
        QWidget* w = dlg->GetDlgItem(p.id);
        ASSERT_NE(w, nullptr) << p.id;
        if (p.x >= 0) {
            EXPECT_EQ(w->pos(), QPoint(p.x, p.y)) << p.id;
        }
        if (p.w >= 0) {
            EXPECT_EQ(w->size(), QSize(p.w, p.h)) << p.id;
        }
        if (p.visible >= 0) {
            EXPECT_EQ(w->isVisible(), p.visible == 1) << p.id;
        }
    }
    // The sliders take the size of their channel bitmaps.
    EXPECT_EQ(dlg->GetDlgItem(1002)->size(), LoadBitmapResource(236).size());
    EXPECT_EQ(dlg->GetDlgItem(1004)->size(), LoadBitmapResource(253).size());
    // Panes and map.
    EXPECT_EQ(dlg->m_pZoomDlg->geometry(), QRect(16, 37, 640, 360));
    EXPECT_EQ(dlg->m_pRearViewDlg->geometry(), QRect(684, 37, 320, 240));
    EXPECT_EQ(dlg->GetDlgItem(IDC_MAP_VIEW)->geometry(), QRect(680, 354, 326, 353));
    EXPECT_EQ(dlg->GetDlgItem(IDC_BROWSER)->pos(), QPoint(5000, 5000));
    EXPECT_EQ(Label(1014), "00:00:00");
    // The window is drawn from the skin: its pixels match the background bitmap where no
    // control covers it.
    const QImage shot = dlg->grab().toImage();
    EXPECT_EQ(shot.pixelColor(500, 10), dlg->m_bmpSkin.pixelColor(500, 10));
}

// The time labels' text: whole seconds as HH:MM:SS, wider where printf's %02d is wider.
TEST(MainDlgTimeText, HoursMinutesSeconds)
{
    const std::pair<std::int64_t, const char*> cases[] = {
        {0, "00:00:00"},           {999, "00:00:00"},         {59999, "00:00:59"},     {3723000, "01:02:03"},
        {359999999, "99:59:59"},   {360000000, "100:00:00"},  {-1500, "00:00:-1"},     {-3600000, "-1:00:00"},
        {INT32_MAX, "596:31:23"},
    };
    for (const auto& [ms, text] : cases) EXPECT_EQ(CSamplePlayerDlg::TimeText(ms), QString::fromLatin1(text)) << ms;
}

TEST_F(MainDlg, FullScreenLayoutsByClientSize)
{
    Start();
    dlg->m_nScreenMode = kScreenFull;
    dlg->resize(1920, 1080);
    dlg->ArrangeControls(kScreenFull);
    const int W = 1920, H = 1080;
    EXPECT_EQ(dlg->GetDlgItem(1018)->pos(), QPoint(W - 45, 1));
    EXPECT_TRUE(dlg->GetDlgItem(1018)->isVisible());
    EXPECT_FALSE(dlg->GetDlgItem(1001)->isVisible());
    EXPECT_EQ(dlg->GetDlgItem(1002)->geometry(), QRect(25, H - 70, 537, 15));
    const int row[] = {1007, 1005, 1006, 1008, 1206, 1121, 3021};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(dlg->GetDlgItem(row[i])->pos(), QPoint(25 + 45 * i, H - 50)) << row[i];
    EXPECT_EQ(dlg->GetDlgItem(1004)->pos(), QPoint(W - 107, H - 66));
    for (int id : {1012, 1194, 1195, 5005, 1193, 1014, 1015}) EXPECT_FALSE(dlg->GetDlgItem(id)->isVisible()) << id;
    EXPECT_TRUE(dlg->GetDlgItem(1026)->isVisible());
    for (int id : {IDC_MAP_VIEW, IDC_BROWSER, IDC_MAP_VIEW2}) EXPECT_EQ(dlg->GetDlgItem(id)->pos(), QPoint(5000, 5000));
    // The large pane fills the client less its margins.
    dlg->m_nFrontPane = kPaneLarge;
    dlg->ArrangeVideoPanes();
    EXPECT_EQ(dlg->m_pZoomDlg->geometry(), QRect(18, 50, W - 36, H - 129));

    // A small screen stretches the two static video windows instead.
    dlg->resize(1024, 768);
    dlg->ArrangeControls(kScreenFull);
    EXPECT_EQ(dlg->m_viewFront->geometry(), QRect(0, 29, 1024, 768 - 109));
    EXPECT_EQ(dlg->m_viewRear->geometry(), QRect(0, 29, 1024, 768 - 109));
}

TEST_F(MainDlg, FullScreenNeedsARowAndLeavingRestoresTheSkin)
{
    Start();
    dlg->m_nLanguage = 1;
    dlg->OnBnClickedFullScreen();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "File is not selected.");
    EXPECT_EQ(dlg->m_nScreenMode, kScreenNormal);

    AddRows({Recording("one.mp4", 1, true)});
    dlg->OnBnClickedFullScreen();
    EXPECT_EQ(dlg->m_nScreenMode, kScreenFull);
    EXPECT_EQ(g_nLayoutMode, 1);
    EXPECT_TRUE(dlg->m_bmpSkin.isNull());
    dlg->OnBnClickedFullScreen();
    EXPECT_EQ(dlg->m_nScreenMode, kScreenNormal);
    EXPECT_EQ(g_nLayoutMode, 0);
    EXPECT_EQ(dlg->size(), QSize(1020, 720));
    EXPECT_FALSE(dlg->m_bmpSkin.isNull());
}

TEST_F(MainDlg, PlaysTheListThroughAndSkipsARecordingWithoutData)
{
    Start();
    dlg->m_nLanguage = 1;
    const QString two = Recording("two.mp4", 2, true);
    const QString empty = Recording("nodata.mp4", 1, false);
    const QString one = Recording("one.mp4", 1, true);
    AddRows({two, empty, one});

    dlg->OnBnClickedPlay();
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(dlg->m_player.GetVideoStreamCount(), 2);
    EXPECT_EQ(dlg->m_nRearPane, kPaneSmall);
    EXPECT_TRUE(dlg->PlaybackTimerRunning());
    EXPECT_EQ(dlg->Item<CBitmapButton>(IDC_BTN_PLAY)->text(), "Pause");
    EXPECT_FALSE(dlg->m_textData.m_aGPSData.empty());

    // The timer moves the slider and the label.
    QTRY_VERIFY_WITH_TIMEOUT(dlg->Item<CBitSlider>(IDC_SLIDER_POSITION)->value() > 500, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(Label(IDC_LABEL_POSITION), QString("00:00:01"), 3000);

    // Row 1 has no data: row 2 starts, then the user is told.
    QTRY_VERIFY_WITH_TIMEOUT(dlg->m_nCurrentRow == 2, 6000);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Invalid File.\nFile name : " + empty);
    EXPECT_EQ(dlg->m_player.GetVideoStreamCount(), 1);
    EXPECT_EQ(dlg->m_nFrontPane, kPaneLarge);
    EXPECT_EQ(dlg->m_nRearPane, kPaneHidden);
    EXPECT_EQ(dlg->m_pRearViewDlg->Pane()->CurrentFrame(), nullptr);  // no rear picture left over

    // The last recording ends with the player stopped and the labels at zero.
    QTRY_VERIFY_WITH_TIMEOUT(dlg->m_player.GetState() < 0, 6000);
    EXPECT_EQ(Label(IDC_LABEL_POSITION), "00:00:00");
    EXPECT_EQ(Label(IDC_LABEL_DURATION), "00:00:00");
    EXPECT_EQ(dlg->m_bReopen, 1);
}

TEST_F(MainDlg, TheEndOfARecordingIsHandledWhenTheBusReportsIt)
{
    Start();
    const QString one = Recording("one.mp4", 1, true);
    const QString two = Recording("two.mp4", 2, true);
    AddRows({one, two});

    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    // With the 200 ms update stopped nothing asks for the position: only the bus can tell
    // the dialog that the recording is over.
    dlg->KillPlaybackTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->m_nCurrentRow == 1; }, 10000));
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(dlg->m_player.GetVideoStreamCount(), 2);
    EXPECT_TRUE(dlg->PlaybackTimerRunning());  // the next recording has its update again

    // The end of the last row stops and closes the player, again with no update running.
    dlg->KillPlaybackTimer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg->m_player.GetState() < 0; }, 10000));
    EXPECT_EQ(dlg->m_bReopen, 1);
    EXPECT_EQ(Label(IDC_LABEL_POSITION), "00:00:00");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MainDlg, TransportCommands)
{
    Start();
    const QString a = Recording("long_a.mp4", 2, true, 4000);
    const QString b = Recording("long_b.mp4", 1, true, 4000);
    AddRows({a, b});

    // Previous on row 0 changes nothing but the zoom levels.
    dlg->m_pZoomDlg->Pane()->SetZoomLevel(3);
    dlg->m_nCurrentRow = 0;
    const int idle = dlg->m_player.GetState();
    dlg->OnBnClickedPrev();
    EXPECT_EQ(dlg->m_nCurrentRow, 0);
    EXPECT_EQ(dlg->m_pZoomDlg->Pane()->ZoomLevel(), 1);
    EXPECT_EQ(dlg->m_player.GetState(), idle);
    dlg->m_nCurrentRow = -1;

    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    // Pause and resume.
    dlg->OnBnClickedPlay();
    EXPECT_EQ(dlg->m_player.GetState(), kStatePaused);
    EXPECT_EQ(dlg->Item<CBitmapButton>(IDC_BTN_PLAY)->text(), "Play");
    dlg->OnBnClickedPlay();
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    EXPECT_EQ(dlg->Item<CBitmapButton>(IDC_BTN_PLAY)->text(), "Pause");

    // A page click seeks to the slider's value; a drag leaves its distance as the page size.
    auto* slider = dlg->Item<CBitSlider>(IDC_SLIDER_POSITION);
    dlg->m_player.Pause();
    slider->setValue(2500);
    dlg->OnHScroll(TB_PAGEDOWN, 0, slider);
    EXPECT_NEAR(dlg->m_player.GetPositionMs(), 2500, 150);
    EXPECT_EQ(Label(IDC_LABEL_POSITION), "00:00:02");
    slider->setValue(1000);
    const int before = g_nPlayPositionMs;
    dlg->OnHScroll(TB_THUMBTRACK, 0, slider);
    EXPECT_EQ(slider->pageStep(), before - 1000);
    EXPECT_NEAR(dlg->m_player.GetPositionMs(), 1000, 150);

    // Volume at 0 mutes without forgetting the level; at 99 each half is 99 x 655.35.
    auto* volume = dlg->Item<CBitSlider>(IDC_SLIDER_VOLUME);
    volume->setValue(0);
    dlg->OnHScroll(TB_THUMBPOSITION, 0, volume);
    EXPECT_EQ(dlg->Item<CSkinButton>(IDC_BTN_MUTE)->GetCheck(), 1);
    EXPECT_EQ(dlg->m_nVolume, 50);
    EXPECT_EQ(WaveOutVolumeWord(), 0u);
    ASSERT_NE(dlg->m_player.Graph(), nullptr);
    EXPECT_EQ(dlg->m_player.Graph()->LinearVolume(), 0.0);  // the sound follows at once
    volume->setValue(99);
    dlg->OnHScroll(TB_THUMBTRACK, 0, volume);
    EXPECT_EQ(dlg->Item<CSkinButton>(IDC_BTN_MUTE)->GetCheck(), 0);
    EXPECT_EQ(dlg->m_nVolume, 99);
    EXPECT_EQ(WaveOutVolumeWord(), 64879u * 65537u);
    EXPECT_GT(dlg->m_player.Graph()->LinearVolume(), 0.0);
    EXPECT_EQ(CSamplePlayerDlg::VolumeWord(50), 0x7FFF7FFFu);

    // Next on the last row stops.
    dlg->PlayNextFile();
    EXPECT_EQ(dlg->m_nCurrentRow, 1);
    EXPECT_EQ(dlg->m_player.GetState(), kStateRunning);
    dlg->PlayNextFile();
    EXPECT_LT(dlg->m_player.GetState(), 0);
    EXPECT_EQ(Label(IDC_LABEL_POSITION), "00:00:00");

    // Stop with nothing loaded still resets.
    dlg->OnBnClickedStop();
    EXPECT_EQ(dlg->m_bReopen, 1);
    EXPECT_EQ(dlg->m_nMapMode, 4);
}

TEST_F(MainDlg, EnterAndEscapeCloseNothing)
{
    Start();
    // The list window is docked and shown, as the list button leaves it.
    if (!dlg->m_pListDlg->isVisible()) QTest::mouseClick(dlg->GetDlgItem(IDC_BTN_LIST_TOGGLE), Qt::LeftButton);
    ASSERT_TRUE(dlg->m_pListDlg->isVisible());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    QTest::keyClick(dlg->GetDlgItem(IDC_BTN_PLAY), Qt::Key_Escape);
    for (QWidget* w : {static_cast<QWidget*>(dlg->m_pListDlg), static_cast<QWidget*>(dlg->m_pListDlg->GetVisibleList())})
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(w, key);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(dlg->m_pListDlg->isVisible());
    EXPECT_EQ(int(dlg->m_bListPanelShown), 1);
    dlg->OnBnClickedExit();
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(MainDlg, KoreanCardStartsInKoreanWithTheSecondMap)
{
    const QString card = Scratch() + "/korean_card";
    QDir().mkpath(card + "/Event");
    QDir().mkpath(card + "/SETUP");
    SetupRecord r = DefaultSetupRecord();
    r.SetWord(SetupWord::kLanguage, 2);
    r.SetWord(SetupWord::kLanguageCopy, 2);
    r.checksum = SetupRecordChecksum(r);
    const SetupBytes bytes = SetupRecordToBytes(r);
    QFile setup(card + "/data_setup.cfg");
    ASSERT_TRUE(setup.open(QIODevice::WriteOnly));
    setup.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    setup.close();
    QByteArray factory(78, '\0');
    factory.replace(0, 3, "ZQX");
    factory.replace(46, 6, "V2.0.3");
    QFile f(card + "/SETUP/data_factory.cfg");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(factory);
    f.close();
    qputenv("VIEWER_DRIVES", ("E=" + card).toLocal8Bit());

    Start();
    EXPECT_EQ(dlg->m_nLanguage, 2);
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("카르벤"));
    EXPECT_EQ(dlg->m_bMapProvider, 0);
    EXPECT_EQ(dlg->GetDlgItem(IDC_BROWSER)->geometry(), QRect(680, 354, 326, 353));
    EXPECT_EQ(dlg->GetDlgItem(IDC_MAP_VIEW)->pos(), QPoint(5000, 5000));
}

TEST_F(MainDlg, ScreenshotWhilePlayingTwoCameras)
{
    Start();
    AddRows({Recording("two.mp4", 2, true)});
    dlg->OnBnClickedPlay();
    QTest::qWait(600);
    dlg->OnBnClickedPlay();  // pause on a frame
    QCoreApplication::processEvents();
    const QImage shot = dlg->grab().toImage();
    QDir().mkpath(VIEWER_BINARY_DIR "/artefacts");
    EXPECT_TRUE(shot.save(VIEWER_BINARY_DIR "/artefacts/main_window_playing.png"));
    // Both panes show the recording's picture, not black.
    for (QPoint at : {QPoint(16 + 320, 37 + 200), QPoint(684 + 160, 37 + 150)}) {
        const QColor c = shot.pixelColor(at);
        EXPECT_GT(c.red() + c.green() + c.blue(), 60) << at.x();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);  // before Qt WebEngine starts
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
