// The drive data around the panes of the main window while generator recordings play: the
// painters on the dashboard layer and what stays of it, the assistance panel's pictures and
// speed, the G-sensor window fed from the recording, and the graph-mode, change-screen and
// zoom buttons.
#include "CardTestSupport.h"

#include "controls/BitmapButton.h"
#include "media/TrackData.h"
#include "platform/Resources.h"
#include "settings/CardLanguage.h"
#include "views/DashboardPainters.h"
#include "views/GSensorDlg.h"
#include "views/RearViewDlg.h"
#include "views/SmartPanel.h"
#include "views/ZoomDlg.h"

#include <QPainter>
#include <QScreen>
#include <string>

using namespace cardtest;

namespace {

bool Drawn(const QImage& layer, QRect r)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += qAlpha(layer.pixel(x, y)) != 0;
    return n > r.width() * r.height() / 4;
}

class Dashboard : public MainWindowTest {
protected:
    void TearDown() override
    {
        MainWindowTest::TearDown();
        g_nSpeedUnit = 0;
        g_nGraphMode = 0;
    }
    void Play(int tracks, int ms = 4000)
    {
        const QString path = Recording(Scratch() + QString("/dash/20170811_1234%1_NI.mp4").arg(tracks), tracks,
                                       recgen::Container::Mp4, ms);
        CListDlg::AppendRow(Visible(), "2017-08-11", "12:34:56", "Normal", path);
        dlg->m_pListDlg->SetSelectionMark(0);
        dlg->m_nFrontPane = kPaneLarge;
        dlg->m_nRearPane = kPaneHidden;
        dlg->OnBnClickedPlay();
        ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    }
    // The panel as the static shows it.
    QImage Panel() const { return dlg->Item<QLabel>(IDC_STATIC_SMART)->pixmap().toImage().convertToFormat(QImage::Format_RGB32); }
    static QImage Surface(int picture, int kmh, int unit)
    {
        QImage img(kSmartPanelSize, QImage::Format_RGB32);
        QPainter p(&img);
        DrawSmartPanelSurface(&p, picture, kmh, unit);
        return img;
    }
    static QImage Digits(const QImage& panel) { return panel.copy(30, 25, 80, 60); }
};

TEST_F(Dashboard, PaintersFollowPlaybackAndTheLayerStays)
{
    Start();
    Play(2);
    QTRY_VERIFY_WITH_TIMEOUT(g_nPlayPositionMs > 800, 4000);
    const QImage& layer = dlg->DashboardLayer();
    for (const QRect& r : {kGraphStripRect, kSpeedometerRect}) EXPECT_TRUE(Drawn(layer, r)) << r.x() << "," << r.y();
    EXPECT_TRUE(Drawn(layer, QRect(500, 465, 40, 12)));  // the date line
    EXPECT_EQ(g_strPlayingFileText, "2017-08-11");
    EXPECT_FALSE(Panel().isNull());

    // The G-sensor window plots the recording's G records and its cursor follows the position.
    EXPECT_EQ(int(dlg->m_textData.m_aGSensorData.size()), g_nGRecordCount);
    ASSERT_GT(g_nGRecordCount, 10);
    EXPECT_EQ(dlg->m_textData.m_aGSensorData[0].m_nTimeMs, 0u);
    EXPECT_EQ(dlg->m_textData.m_aGSensorData[10].m_nTimeMs, 1000u);  // ten records a second
    EXPECT_EQ(dlg->m_textData.m_aGSensorData[0].m_nAxis1, 64);        // X axis: 1 G at the start
    EXPECT_EQ(dlg->m_textData.m_aGSensorData[0].m_nAxis3, 12);        // Z axis: 0.2 G
    dlg->OnBnClickedGSensor();
    auto* gsensor = qobject_cast<CGSensorDlg*>(dlg->m_pGSensorDlg);
    ASSERT_NE(gsensor, nullptr);
    dlg->OnTimer(100);
    EXPECT_NEAR(double(gsensor->CursorPosition()), double(g_nPlayPositionMs), 100);
    EXPECT_GT(gsensor->CursorPosition(), 0u);
    QDir().mkpath(VIEWER_BINARY_DIR "/artefacts");
    gsensor->grab().save(VIEWER_BINARY_DIR "/artefacts/gsensor_window_playing.png");

    const QImage shot = dlg->grab().toImage();
    QDir().mkpath(VIEWER_BINARY_DIR "/artefacts");
    EXPECT_TRUE(shot.save(VIEWER_BINARY_DIR "/artefacts/main_window_dashboard.png"));
    // What the window shows there is the layer.
    const QPoint at(kSpeedometerRect.center());
    EXPECT_EQ(shot.pixel(at) & 0xFFFFFF, layer.pixel(at) & 0xFFFFFF);

    // Paused, a repaint of the whole window shows the same drawing again.
    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStatePaused);
    // (The info text's rectangle is compared left of the map, whose page may move meanwhile.)
    const QRect areas[] = {kGraphStripRect, kSpeedometerRect, QRect(500, 465, 170, 95)};
    const auto grabAreas = [&] {
        std::vector<QImage> shots;
        for (const QRect& r : areas) shots.push_back(dlg->grab(r).toImage());
        return shots;
    };
    // The pipeline may still report a later position while the pause settles, and the next
    // update draws it: wait past one update period until the drawing holds still.
    std::vector<QImage> before = grabAreas();
    for (int tries = 0; tries < 20; ++tries) {
        QTest::qWait(250);
        std::vector<QImage> now = grabAreas();
        if (now == before) break;
        before = std::move(now);
    }
    dlg->update();
    QCoreApplication::processEvents();
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(dlg->grab(areas[i]).toImage(), before[i]) << i;
}

// Only the pixels the painters change are repainted: after every update, after the graph mode
// changes while paused, and after a paint of the whole window while playing, the screen shows
// the dashboard exactly as the window draws it afresh.
TEST_F(Dashboard, ScreenShowsTheDrawingAfterEachUpdate)
{
    Start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    Play(2, 6000);
    // (The info text's rectangle is compared left of the map, whose page may move meanwhile.)
    const QRect areas[] = {kGraphStripRect, kGraphLabelRect, kSpeedometerRect, QRect(500, 465, 170, 95)};
    const auto check = [&](const std::string& when) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const QImage screen = dlg->screen()->grabWindow(dlg->winId()).toImage().convertToFormat(QImage::Format_RGB32);
        for (const QRect& r : areas)
            EXPECT_EQ(screen.copy(r), dlg->grab(r).toImage().convertToFormat(QImage::Format_RGB32))
                << when << " at " << r.x() << "," << r.y();
    };
    const QImage strip = dlg->DashboardLayer().copy(kGraphStripRect);
    for (int i = 0; i < 10; ++i) {
        QTest::qWait(150);
        dlg->OnTimer(100);
        check("update " + std::to_string(i));
    }
    EXPECT_NE(dlg->DashboardLayer().copy(kGraphStripRect), strip);  // the cursor moved
    dlg->update();
    QCoreApplication::processEvents();
    dlg->OnTimer(100);
    check("whole window");
    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStatePaused);
    for (int i = 0; i < 3; ++i) {
        Click(IDC_BTN_GRAPH_MODE);
        check("graph mode " + std::to_string(g_nGraphMode));
    }
}

TEST_F(Dashboard, FullScreenShowsNoDashboard)
{
    Start();
    Play(1);
    QTRY_VERIFY_WITH_TIMEOUT(g_nPlayPositionMs > 400, 4000);
    dlg->OnBnClickedFullScreen();
    ASSERT_EQ(g_nLayoutMode, 1);
    const QImage layer = dlg->DashboardLayer().copy();
    dlg->OnTimer(100);
    EXPECT_EQ(dlg->DashboardLayer(), layer);  // nothing drawn in full screen
    dlg->OnBnClickedFullScreen();
    EXPECT_EQ(g_nLayoutMode, 0);
}

TEST_F(Dashboard, AssistancePanelPictures)
{
    Start();
    g_nDurationMs = 1000;
    g_nPlayPositionMs = 0;
    g_nGRecordCount = 1;
    using W = SpeedAssistRecord;
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> words;
        int picture;  // 0: the previous one stays
    } cases[] = {
        {"left lane warning", {{W::kLeftLaneState, 1}, {W::kLeftLaneWarning, 1}, {W::kRightLaneState, 1}}, 457},
        {"gate holds the warning back", {{W::kLeftLaneState, 1}, {W::kLeftLaneWarning, 1}, {W::kLeftGate, 1}, {W::kRightLaneState, 1}}, 451},
        {"right warning, collision 2", {{W::kLeftLaneState, 1}, {W::kRightLaneState, 1}, {W::kRightLaneWarning, 1}, {W::kCollisionState, 2}}, 456},
        {"lane flag 2 counts as none", {{W::kLeftLaneState, 2}, {W::kRightLaneState, 2}, {W::kCollisionState, 1}}, 449},
        {"collision 3 counts as 0", {{W::kLeftLaneState, 1}, {W::kRightLaneState, 1}, {W::kCollisionState, 3}}, 451},
        {"left warning, collision 1", {{W::kLeftLaneState, 1}, {W::kLeftLaneWarning, 2}, {W::kRightLaneState, 1}, {W::kCollisionState, 1}}, 458},
        {"no picture for one lane", {{W::kRightLaneState, 1}}, 0},
        {"nothing at all", {}, 448},
    };
    int last = 448;
    for (const Case& c : cases) {
        g_aSpeedAssist[0] = SpeedAssistRecord{};
        for (auto [word, value] : c.words) g_aSpeedAssist[0].words[word] = static_cast<std::uint16_t>(value);
        g_aSpeedAssist[0].words[W::kSpeed] = 77;
        Click(IDC_BTN_SMART);
        const int want = c.picture ? c.picture : last;
        EXPECT_EQ(dlg->Item<CBitmapButton>(IDC_BTN_SMART)->GetNormalImage(), LoadBitmapResource(want)) << c.what;
        // The picture with the speed over it, also when the picture stayed.
        EXPECT_EQ(Panel(), Surface(want, 77, 0)) << c.what;
        last = want;
    }
    g_nGRecordCount = 0;
}

// Above and below the speed the panel is its picture stretched over it, whichever picture it
// showed before.
TEST_F(Dashboard, AssistancePanelPictureStretched)
{
    for (int picture : {448, 457, 453, 448}) {
        const QImage bitmap = LoadBitmapResource(picture);
        QImage want(kSmartPanelSize, QImage::Format_RGB32);
        QPainter p(&want);
        p.drawImage(QRect(QPoint(0, 0), kSmartPanelSize), bitmap, bitmap.rect());
        p.end();
        const QImage got = Surface(picture, 0, 0);
        for (const QRect& r : {QRect(0, 0, 180, 25), QRect(0, 110, 180, 55)}) EXPECT_EQ(got.copy(r), want.copy(r)) << picture;
    }
}

TEST_F(Dashboard, AssistancePanelSpeedInTheUnit)
{
    Start();
    g_nDurationMs = 1000;
    g_nGRecordCount = 1;
    g_aSpeedAssist[0] = SpeedAssistRecord{};
    g_aSpeedAssist[0].words[SpeedAssistRecord::kSpeed] = 100;
    struct Case {
        int unit, shownAs;
    } cases[] = {{0, 100}, {1, 62}, {2, 62}};  // any unit but 0 is mph: 100 / 1.6
    for (const Case& c : cases) {
        g_nSpeedUnit = c.unit;
        dlg->DrawSmartPanel();
        EXPECT_EQ(Digits(Panel()), Digits(Surface(448, c.shownAs, 0))) << c.unit;
        EXPECT_NE(Digits(Panel()), Digits(Surface(448, c.shownAs + 1, 0))) << c.unit;
    }
    g_nGRecordCount = 0;
}

TEST_F(Dashboard, GraphModeButton)
{
    Start();
    auto* button = dlg->Item<CBitmapButton>(IDC_BTN_GRAPH_MODE);
    struct Step {
        int mode, image;
    } steps[] = {{1, 404}, {2, 406}, {0, 405}};
    // Stopped: the modes and images change, the strip is left alone.
    const QImage idle = dlg->DashboardLayer().copy();
    for (const Step& s : steps) {
        Click(IDC_BTN_GRAPH_MODE);
        EXPECT_EQ(dlg->m_nGraphMode, s.mode);
        EXPECT_EQ(g_nGraphMode, s.mode);
        EXPECT_EQ(button->GetNormalImage(), LoadBitmapResource(s.image));
    }
    EXPECT_EQ(dlg->DashboardLayer(), idle);

    // Paused: the strip is drawn at once in the new mode (its labels change).
    Play(1);
    QTRY_VERIFY_WITH_TIMEOUT(g_nPlayPositionMs > 400, 4000);
    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStatePaused);
    const QImage labels = dlg->DashboardLayer().copy(kGraphLabelRect);
    Click(IDC_BTN_GRAPH_MODE);
    EXPECT_NE(dlg->DashboardLayer().copy(kGraphLabelRect), labels);

    // Playing: the mode changes at once, the strip at the next tick.
    dlg->OnBnClickedPlay();
    ASSERT_EQ(dlg->m_player.GetState(), kStateRunning);
    dlg->OnTimer(100);
    const QImage playing = dlg->DashboardLayer().copy(kGraphLabelRect);
    Click(IDC_BTN_GRAPH_MODE);
    EXPECT_EQ(dlg->m_nGraphMode, 2);
    EXPECT_EQ(dlg->DashboardLayer().copy(kGraphLabelRect), playing);
    dlg->OnTimer(100);
    EXPECT_NE(dlg->DashboardLayer().copy(kGraphLabelRect), playing);
}

TEST_F(Dashboard, ZoomButtonsDriveTheLargePane)
{
    Start();
    CVideoPane* front = dlg->m_pZoomDlg->Pane();
    CVideoPane* rear = dlg->m_pRearViewDlg->Pane();
    // An empty list: nothing but the focus.
    Click(IDC_BTN_ZOOM_IN);
    EXPECT_EQ(front->ZoomLevel(), 1);

    Play(2);
    EXPECT_EQ(front->ZoomLevel(), 1);  // the open routine's pair leaves the level where it was
    Click(IDC_BTN_ZOOM_IN);
    Click(IDC_BTN_ZOOM_IN);
    EXPECT_EQ(front->ZoomLevel(), 3);
    Click(IDC_BTN_ZOOM_OUT);
    EXPECT_EQ(front->ZoomLevel(), 2);
    EXPECT_EQ(rear->ZoomLevel(), 1);

    // The change-screen button swaps the panes (their zoom starts again); with the rear pane
    // large the buttons zoom it.
    dlg->m_nMapMode = 0;
    Click(IDC_BTN_CHANGE_SCREEN);
    EXPECT_EQ(dlg->m_nFrontPane, kPaneSmall);
    EXPECT_EQ(dlg->m_nRearPane, kPaneLarge);
    Click(IDC_BTN_ZOOM_IN);
    EXPECT_EQ(rear->ZoomLevel(), 2);
    EXPECT_EQ(front->ZoomLevel(), 1);

    // Stopped: nothing.
    dlg->OnBnClickedStop();
    const int level = rear->ZoomLevel();
    Click(IDC_BTN_ZOOM_IN);
    EXPECT_EQ(rear->ZoomLevel(), level);
}

}  // namespace
CARD_TEST_MAIN
