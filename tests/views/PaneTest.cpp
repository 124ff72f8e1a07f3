// Video panes inside their frame windows: wheel zoom around the cursor, the level limits, the
// gates on the list and the player, dragging, double click, the frames' keys and scrolling, and
// the frame a pane draws.
#include "PanePlacement.h"
#include "TestScratch.h"
#include "media/DShowPlayer.h"
#include "tools/recgen/RecordingGenerator.h"
#include "views/ListDlg.h"
#include "views/RearViewDlg.h"
#include "views/ZoomDlg.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QSpontaneKeyEvent>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

int argc = 1;
char arg0[] = "views_panes_test";
char* argv[] = {arg0, nullptr};
QApplication* app = nullptr;

// Stands in for the main dialog: records the keys that reach it.
class MainWindowStub : public QWidget {
public:
    int keysSeen = 0;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        ++keysSeen;
        event->accept();
    }
};

class Panes : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!app) app = new QApplication(argc, argv);
    }

    void SetUp() override
    {
        main = std::make_unique<MainWindowStub>();
        main->resize(1020, 720);
        zoom = new CZoomDlg(main.get());
        rear = new CRearViewDlg(main.get());
        PlaceFramesAsTheMainDialog(zoom, rear);
        for (CVideoPane* pane : {static_cast<CVideoPane*>(zoom->GetVideoView()),
                                 static_cast<CVideoPane*>(rear->GetVideoView())}) {
            pane->rowCount = [this] { return rows; };
            pane->playerState = [this] { return state; };
            pane->updateVideoPosition = [this] { ++fits; };
            pane->swapView = [this] { ++swaps; };
        }
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get()));
    }

    CTvrVideoView* front() const { return zoom->GetVideoView(); }

    // A wheel turn marked as coming from the window system, so that it travels up to the
    // parents as a real one does when a widget leaves it.
    static void Wheel(QWidget* target, QPoint local, QPoint angleDelta)
    {
        QWheelEvent wheel(QPointF(local), QPointF(target->mapToGlobal(local)), QPoint(), angleDelta, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QSpontaneKeyEvent::setSpontaneous(&wheel);
        app->notify(target, &wheel);
    }

    // The point of the frame's client area (x, y) on the screen.
    QPoint ScreenPoint(QWidget* frame, int x, int y) const { return frame->mapToGlobal(QPoint(x, y)); }

    static void ExpectCovers(const CVideoPane* pane, QSize frame, const std::string& what)
    {
        const QRect g = pane->geometry();
        EXPECT_LE(g.left(), 0) << what;
        EXPECT_LE(g.top(), 0) << what;
        EXPECT_GE(g.left() + g.width(), frame.width()) << what;
        EXPECT_GE(g.top() + g.height(), frame.height()) << what;
    }

    std::unique_ptr<MainWindowStub> main;
    CZoomDlg* zoom = nullptr;
    CRearViewDlg* rear = nullptr;
    int rows = 3;
    int state = kPlayerRunning;
    int fits = 0;
    int swaps = 0;
};

TEST_F(Panes, ZoomKeepsThePaneOverItsFrameAtEveryCorner)
{
    struct Corner {
        const char* name;
        int x, y;
    };
    const Corner corners[] = {{"top-left", 0, 0},          {"top-right", 639, 0},   {"bottom-left", 0, 359},
                              {"bottom-right", 639, 359},  {"centre", 320, 180},    {"left edge", 0, 180},
                              {"near top-left", 40, 25},   {"near bottom-right", 600, 340}};
    for (const Corner& c : corners) {
        front()->SetZoomLevel(1);
        front()->setGeometry(0, 0, 640, 360);
        for (int step = 0; step < 16; ++step) {
            ASSERT_TRUE(front()->OnMouseWheel(0, 120, ScreenPoint(zoom, c.x, c.y)));
            const double f = CVideoPane::ZoomFactor(front()->ZoomLevel());
            EXPECT_EQ(front()->size(), QSize(int(640 * f), int(360 * f))) << c.name;
            ExpectCovers(front(), zoom->size(), std::string(c.name) + " zoom in " + std::to_string(step));
        }
        for (int step = 0; step < 16; ++step) {
            front()->OnMouseWheel(0, -120, ScreenPoint(zoom, c.x, c.y));
            ExpectCovers(front(), zoom->size(), std::string(c.name) + " zoom out " + std::to_string(step));
        }
        EXPECT_EQ(front()->geometry(), QRect(0, 0, 640, 360)) << c.name;
    }
}

TEST_F(Panes, ZoomAtTheCornersPinsTheMatchingEdges)
{
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 0, 0));
    EXPECT_EQ(front()->geometry().topLeft(), QPoint(0, 0));
    EXPECT_EQ(front()->size(), QSize(960, 540));

    front()->SetZoomLevel(1);
    front()->setGeometry(0, 0, 640, 360);
    // At the corner point itself, and beyond it.
    for (const QPoint corner : {QPoint(640, 360), QPoint(700, 420)}) {
        front()->SetZoomLevel(1);
        front()->setGeometry(0, 0, 640, 360);
        front()->OnMouseWheel(0, 120, ScreenPoint(zoom, corner.x(), corner.y()));
        const QRect g = front()->geometry();
        EXPECT_EQ(g.left() + g.width(), 640);
        EXPECT_EQ(g.top() + g.height(), 360);
    }

    // The rear pane in its smaller frame, with a size that does not halve evenly.
    rear->resize(321, 241);
    rear->GetVideoView()->setGeometry(0, 0, 321, 241);
    rear->GetVideoView()->OnMouseWheel(0, 120, ScreenPoint(rear, 321, 241));
    const QRect r = rear->GetVideoView()->geometry();
    EXPECT_EQ(r.size(), QSize(481, 361));
    EXPECT_EQ(r.left() + r.width(), 321);
    EXPECT_EQ(r.top() + r.height(), 241);
}

TEST_F(Panes, ThePointUnderTheCursorStaysThere)
{
    // A quarter in from the left, a third down: the same fraction of the pane stays under it.
    const QPoint cursor(160, 120);
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, cursor.x(), cursor.y()));
    QRect g = front()->geometry();
    EXPECT_EQ(g, QRect(160 - 240, 120 - 180, 960, 540));

    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, cursor.x(), cursor.y()));
    g = front()->geometry();
    EXPECT_EQ(g.size(), QSize(1280, 720));
    EXPECT_NEAR(double(cursor.x() - g.left()) / g.width(), 0.25, 0.002);
    EXPECT_NEAR(double(cursor.y() - g.top()) / g.height(), 1.0 / 3.0, 0.002);
}

TEST_F(Panes, LevelsStopAtOneAndFifteen)
{
    for (int i = 0; i < 20; ++i) front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));
    EXPECT_EQ(front()->ZoomLevel(), 15);
    EXPECT_EQ(front()->size(), QSize(640 * 8, 360 * 8));

    // At 15 the size stays and the point under the new cursor stays under it.
    const QRect before = front()->geometry();
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 0, 0));
    EXPECT_EQ(front()->ZoomLevel(), 15);
    EXPECT_EQ(front()->size(), before.size());
    EXPECT_NEAR(front()->x(), before.x(), 1);
    EXPECT_NEAR(front()->y(), before.y(), 1);
    ExpectCovers(front(), zoom->size(), "re-anchored at 15");

    for (int i = 0; i < 20; ++i) front()->OnMouseWheel(0, -120, ScreenPoint(zoom, 320, 180));
    EXPECT_EQ(front()->ZoomLevel(), 1);
    EXPECT_EQ(front()->geometry(), QRect(0, 0, 640, 360));

    // A delta of 0 counts as zooming out, the smallest positive one as zooming in.
    front()->OnMouseWheel(0, 1, ScreenPoint(zoom, 320, 180));
    EXPECT_EQ(front()->ZoomLevel(), 2);
    front()->OnMouseWheel(0, 0, ScreenPoint(zoom, 320, 180));
    EXPECT_EQ(front()->ZoomLevel(), 1);
}

TEST_F(Panes, OnlyTheLeftButtonCentresTheZoomOnTheCursor)
{
    // With the button held the anchor is the pane's middle, wherever in the pane the cursor is.
    front()->OnMouseWheel(MK_LBUTTON, 120, ScreenPoint(zoom, 400, 200));
    EXPECT_EQ(front()->geometry(), QRect(400 - 480, 200 - 270, 960, 540));

    // Any other flag set with it is the cursor anchor again.
    front()->SetZoomLevel(1);
    front()->setGeometry(0, 0, 640, 360);
    front()->OnMouseWheel(MK_LBUTTON | MK_SHIFT, 120, ScreenPoint(zoom, 400, 200));
    EXPECT_EQ(front()->geometry(), QRect(400 - 600, 200 - 300, 960, 540));
}

TEST_F(Panes, NothingHappensWithAnEmptyListOrAStoppedPlayer)
{
    struct Gate {
        int rows;
        int state;
        bool zooms;
    };
    const Gate gates[] = {{0, kPlayerRunning, false}, {0, kPlayerPaused, false}, {1, 2, false},
                          {1, 3, false},              {1, -1, false},            {1, kPlayerRunning, true},
                          {1, kPlayerPaused, true}};
    for (const Gate& g : gates) {
        front()->SetZoomLevel(1);
        front()->setGeometry(0, 0, 640, 360);
        rows = g.rows;
        state = g.state;
        fits = 0;
        const bool acted = front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 100, 100));
        EXPECT_EQ(acted, g.zooms) << g.rows << " rows, state " << g.state;
        EXPECT_EQ(front()->ZoomLevel(), g.zooms ? 2 : 1) << g.rows << " rows, state " << g.state;
        EXPECT_EQ(fits, g.zooms ? 1 : 0) << g.rows << " rows, state " << g.state;
        if (!g.zooms) {
            EXPECT_EQ(front()->geometry(), QRect(0, 0, 640, 360));
        }
    }

    // A pane whose owner wired nothing does nothing either.
    CTvrVideoRearView loose(zoom);
    loose.setGeometry(0, 0, 640, 360);
    EXPECT_FALSE(loose.OnMouseWheel(0, 120, ScreenPoint(zoom, 10, 10)));
    EXPECT_EQ(loose.ZoomLevel(), 1);
}

TEST_F(Panes, WheelEventsReachTheZoom)
{
    const QPoint local(100, 80);
    Wheel(front(), local, QPoint(0, 120));
    EXPECT_EQ(front()->ZoomLevel(), 2);
    EXPECT_EQ(front()->geometry(), QRect(100 - 150, 80 - 120, 960, 540));
    EXPECT_EQ(fits, 1);
}

TEST_F(Panes, DragNeverUncoversTheFrame)
{
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));  // level 3, 1280 x 720
    ASSERT_EQ(front()->geometry(), QRect(-320, -180, 1280, 720));

    struct Move {
        const char* name;
        int dx, dy;
        QPoint expected;
    };
    const Move moves[] = {
        {"right", 2000, 0, QPoint(0, -180)},          {"left", -2000, 0, QPoint(-640, -180)},
        {"down", 0, 2000, QPoint(-320, 0)},           {"up", 0, -2000, QPoint(-320, -360)},
        {"down-right", 2000, 2000, QPoint(0, 0)},     {"up-left", -2000, -2000, QPoint(-640, -360)},
        {"a little", 50, -30, QPoint(-270, -210)},
    };
    for (const Move& m : moves) {
        front()->move(-320, -180);
        const QPoint press(500, 300);
        front()->OnLButtonDown(MK_LBUTTON, press);
        front()->OnMouseMove(MK_LBUTTON, press + QPoint(m.dx, m.dy));
        EXPECT_EQ(front()->pos(), m.expected) << m.name;
        EXPECT_EQ(front()->size(), QSize(1280, 720)) << m.name;
        ExpectCovers(front(), zoom->size(), m.name);
        front()->OnLButtonUp(0, press);
    }

    // Without the button, or after the release, the pane stays.
    front()->move(-320, -180);
    front()->OnLButtonDown(MK_LBUTTON, QPoint(10, 10));
    front()->OnMouseMove(0, QPoint(60, 10));
    EXPECT_EQ(front()->pos(), QPoint(-320, -180));
    front()->OnLButtonUp(0, QPoint(10, 10));
    front()->OnMouseMove(MK_LBUTTON, QPoint(60, 10));
    EXPECT_EQ(front()->pos(), QPoint(-320, -180));
}

TEST_F(Panes, DragWithTheMouse)
{
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));  // 960 x 540 at (-160, -90)
    ASSERT_EQ(front()->pos(), QPoint(-160, -90));
    QTest::mousePress(front(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 300));
    EXPECT_TRUE(front()->HasCapture());
    QMouseEvent move(QEvent::MouseMove, QPointF(440, 280), QPointF(front()->mapToGlobal(QPoint(440, 280))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(front(), &move);
    EXPECT_EQ(front()->pos(), QPoint(-120, -110));
    QTest::mouseRelease(front(), Qt::LeftButton, Qt::NoModifier, QPoint(440, 280));
    EXPECT_FALSE(front()->HasCapture());
}

TEST_F(Panes, AtLevelOneThePaneCannotMove)
{
    front()->OnLButtonDown(MK_LBUTTON, QPoint(300, 200));
    for (const QPoint to : {QPoint(900, 200), QPoint(-300, 200), QPoint(300, 900), QPoint(300, -900)}) {
        front()->OnMouseMove(MK_LBUTTON, to);
        EXPECT_EQ(front()->pos(), QPoint(0, 0));
    }
}

TEST_F(Panes, DragAfterALayoutChangeKeepsTheFrameCovered)
{
    // Zoomed, then put back at its frame's size by a re-layout that leaves the level as it is.
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));
    front()->setGeometry(0, 0, 640, 360);
    front()->OnLButtonDown(MK_LBUTTON, QPoint(300, 200));
    front()->OnMouseMove(MK_LBUTTON, QPoint(-500, -500));
    EXPECT_EQ(front()->pos(), QPoint(0, 0));
    ExpectCovers(front(), zoom->size(), "after re-layout");
}

TEST_F(Panes, DoubleClickSwapsTheViews)
{
    rear->GetVideoView()->setFocus();
    QTest::mouseDClick(front(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(swaps, 1);
    EXPECT_TRUE(front()->hasFocus());

    QTest::mouseDClick(rear->GetVideoView(), Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
    EXPECT_EQ(swaps, 2);

    // The swap puts both frame panes back at level 1.
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));
    zoom->SetPaneChanged();
    EXPECT_TRUE(zoom->m_bPaneChanged);
    EXPECT_EQ(front()->ZoomLevel(), 1);
}

TEST_F(Panes, APressFocusesThePaneOfTheMainFrame)
{
    // The main dialog's own pane hands the focus to the pane inside the frame window.
    CTvrVideoView own(main.get());
    own.setGeometry(5000, 5000, 10, 10);
    own.focusTarget = [this]() -> QWidget* { return front(); };
    own.OnLButtonDown(MK_LBUTTON, QPoint(1, 1));
    EXPECT_TRUE(front()->hasFocus());
    EXPECT_TRUE(own.HasCapture());
    EXPECT_EQ(own.PressPoint(), QPoint(1, 1));
}

TEST_F(Panes, EnterAndEscapeGoNoFurther)
{
    for (CVideoFrameDlg* frame : {static_cast<CVideoFrameDlg*>(zoom), static_cast<CVideoFrameDlg*>(rear)}) {
        frame->Pane()->setFocus();
        for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
            QTest::keyClick(frame->Pane(), Qt::Key(key));
            QTest::keyClick(frame, Qt::Key(key));
        }
        EXPECT_TRUE(frame->isVisible()) << frame->windowTitle().toStdString();
        EXPECT_EQ(main->keysSeen, 0) << frame->windowTitle().toStdString();
        // Other keys pass on to the main dialog.
        QTest::keyClick(frame->Pane(), Qt::Key_A);
        EXPECT_EQ(main->keysSeen, 1) << frame->windowTitle().toStdString();
        main->keysSeen = 0;
    }
    EXPECT_EQ(zoom->windowTitle(), QStringLiteral("Video window1"));
    EXPECT_EQ(rear->windowTitle(), QStringLiteral("Video window2"));
    EXPECT_EQ(zoom->GetDlgItem(0xFFFF), front());
}

TEST_F(Panes, ScrollStepsAndTheirLimits)
{
    struct StepCase {
        unsigned code;
        int pos;
        int step;
    };
    const StepCase steps[] = {{SB_LINEUP, 0, -1},      {SB_LINEDOWN, 0, 1},    {SB_PAGEUP, 0, -20},
                              {SB_PAGEDOWN, 0, 20},    {SB_THUMBPOSITION, 70, 30}, {SB_THUMBTRACK, 10, -30},
                              {SB_TOP, 0, 0},          {SB_BOTTOM, 0, 0},      {SB_ENDSCROLL, 99, 0}};
    for (const StepCase& s : steps)
        EXPECT_EQ(CVideoFrameDlg::ScrollStep(s.code, s.pos, 40), s.step) << s.code;

    struct ClampCase {
        int step, current, min, max, extent, expected;
    };
    const ClampCase clamps[] = {
        {-20, 10, 0, 1000, 360, -10},   // below the start: back to 0
        {20, 630, 0, 1000, 360, 10},    // cut to reach max - extent
        {20, 100, 0, 1000, 360, 20},    // inside
        {20, 0, 0, 100, 360, 0},        // the client is taller than the range: nowhere to go
        {-1, 0, 0, 100, 360, 0},
    };
    for (const ClampCase& c : clamps)
        EXPECT_EQ(CVideoFrameDlg::ClampScrollStep(c.step, c.current, c.min, c.max, c.extent), c.expected)
            << c.step << " from " << c.current;
}

TEST_F(Panes, TheSidewaysWheelScrollsTheFrame)
{
    zoom->SetScrollRange(SB_VERT, 0, 1000);
    zoom->OnMouseHWheel(0, -120);
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 20);
    EXPECT_EQ(front()->pos(), QPoint(0, -20));
    zoom->OnMouseHWheel(0, 60);  // not one whole notch
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 20);
    zoom->OnMouseHWheel(0, 120);
    zoom->OnMouseHWheel(0, 120);  // already at the top
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 0);
    EXPECT_EQ(front()->pos(), QPoint(0, 0));

    // A sideways wheel over the pane goes on to its frame: one notch to the right scrolls up,
    // one to the left (positive in Qt) down.
    Wheel(front(), QPoint(10, 10), QPoint(-120, 0));
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 0);
    Wheel(front(), QPoint(10, 10), QPoint(120, 0));
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 20);
    EXPECT_EQ(front()->ZoomLevel(), 1);

    // With the bar's own range the client is taller than the range: nothing scrolls.
    rear->OnVScroll(SB_PAGEDOWN, 0);
    rear->OnMouseHWheel(0, -120);
    EXPECT_EQ(rear->GetScrollPos(SB_VERT), 0);
    EXPECT_EQ(rear->GetVideoView()->pos(), QPoint(0, 0));
}

TEST_F(Panes, TheScrollBarsActionsGoThroughTheFramesSteps)
{
    zoom->ShowScrollBar(SB_VERT, true);
    zoom->SetScrollRange(SB_VERT, 0, 1000);
    QScrollBar* bar = nullptr;
    for (QScrollBar* b : zoom->findChildren<QScrollBar*>())
        if (b->orientation() == Qt::Vertical) bar = b;
    ASSERT_NE(bar, nullptr);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 1);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 21);
    EXPECT_EQ(front()->pos(), QPoint(0, -21));
    bar->setSliderPosition(900);  // dragging the thumb past max - height
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 640);
    EXPECT_EQ(front()->pos(), QPoint(0, -640));
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(zoom->GetScrollPos(SB_VERT), 620);
    EXPECT_EQ(front()->pos(), QPoint(0, -620));

    // A pane dragged to the top stays under the bar.
    front()->raise();
    EXPECT_EQ(zoom->childAt(bar->geometry().center()), bar);
}

// A frame of four coloured quarters, BGRx.
std::shared_ptr<VideoFrame> QuarterFrame(int w, int h)
{
    auto frame = std::make_shared<VideoFrame>();
    frame->width = w;
    frame->height = h;
    frame->stride = w * 4 + 16;  // padded rows
    frame->pixels.assign(std::size_t(frame->stride) * h, 0);
    const unsigned char colours[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};  // B, G, R
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* c = colours[(y >= h / 2) * 2 + (x >= w / 2)];
            unsigned char* p = &frame->pixels[std::size_t(y) * frame->stride + std::size_t(x) * 4];
            p[0] = c[0];
            p[1] = c[1];
            p[2] = c[2];
            p[3] = 0xFF;
        }
    return frame;
}

void SaveArtefact(const QImage& image, const QString& name)
{
    const QString dir = QStringLiteral(VIEWER_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + QLatin1Char('/') + name));
}

TEST_F(Panes, ThePaneDrawsTheLatestFrameOverItsRectangle)
{
    // Before any frame the pane is black.
    QImage blank = front()->grab().toImage();
    EXPECT_EQ(blank.pixelColor(320, 180), QColor(Qt::black));

    front()->PresentFrame(QuarterFrame(320, 240));
    EXPECT_EQ(front()->ClientWidth(), 640);
    EXPECT_EQ(front()->ClientHeight(), 360);
    const QImage shot = front()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(160, 90), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(480, 90), QColor(0, 255, 0));
    EXPECT_EQ(shot.pixelColor(160, 270), QColor(0, 0, 255));
    EXPECT_EQ(shot.pixelColor(480, 270), QColor(255, 255, 255));
    SaveArtefact(shot, QStringLiteral("pane_frame.png"));

    // Zoomed in at the top-left corner the frame window shows the red quarter enlarged.
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 0, 0));
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 0, 0));
    EXPECT_EQ(zoom->grab().toImage().pixelColor(600, 340), QColor(255, 0, 0));

    // Once around the middle: every quarter shows, each reaching further out than before.
    front()->SetZoomLevel(1);
    front()->setGeometry(0, 0, 640, 360);
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180));
    const QImage zoomed = zoom->grab().toImage();
    EXPECT_EQ(zoomed.pixelColor(100, 100), QColor(255, 0, 0));
    EXPECT_EQ(zoomed.pixelColor(540, 260), QColor(255, 255, 255));
    EXPECT_EQ(zoomed.pixelColor(330, 170), QColor(0, 255, 0));
    SaveArtefact(zoomed, QStringLiteral("pane_frame_zoomed.png"));

    // A frame whose buffer is short of its size is not drawn.
    auto bad = QuarterFrame(320, 240);
    bad->pixels.resize(100);
    front()->PresentFrame(bad);
    EXPECT_EQ(front()->grab().toImage().pixelColor(10, 10), QColor(Qt::black));
}

TEST_F(Panes, TheVideoFillsTheDestinationThePlayerGives)
{
    front()->PresentFrame(QuarterFrame(320, 240));
    front()->SetVideoPosition(VideoRect{0, 0, 320, 180});
    QImage shot = front()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(80, 45), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(240, 135), QColor(255, 255, 255));
    EXPECT_EQ(shot.pixelColor(480, 270), QColor(Qt::black));

    // The whole pane as destination follows the pane when it grows.
    front()->SetVideoPosition(VideoRect{0, 0, 640, 360});
    front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 0, 0));
    EXPECT_EQ(front()->VideoDestination(), QRect(0, 0, 960, 540));
    shot = front()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(720, 405), QColor(255, 255, 255));
}

// Mean difference per channel between two pictures of one size.
double MeanDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

QImage FrameImage(const std::shared_ptr<const VideoFrame>& f)
{
    return QImage(f->pixels.data(), f->width, f->height, f->stride, QImage::Format_RGB32).copy();
}

TEST_F(Panes, TheMainPlayerDrawsARecordingIntoBothPanes)
{
    const QString dir = QString::fromStdString(TestScratchDir());
    const std::string path = (dir + QStringLiteral("/panes.mp4")).toStdString();
    recgen::RecordingSpec spec;
    spec.durationMs = 2000;
    spec.fps = 10;
    spec.videoTracks = 2;
    spec.rearWidth = 160;
    spec.rearHeight = 120;
    spec.audio = recgen::AudioCodec::None;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(path, spec, nullptr, &error)) << error;

    CDShowPlayer player;
    CTvrVideoRearView* back = rear->GetVideoView();
    player.Init(2, front(), back);
    for (CVideoPane* pane : {static_cast<CVideoPane*>(front()), static_cast<CVideoPane*>(back)}) {
        pane->playerState = [&player] { return int(player.GetState()); };
        pane->updateVideoPosition = [&player] { player.UpdateVideoPosition(1); };
    }
    // The rows are the list window's.
    CListDlg list;
    for (CVideoPane* pane : {static_cast<CVideoPane*>(front()), static_cast<CVideoPane*>(back)})
        pane->rowCount = [&list] { return CListDlg::GetItemCount(list.GetVisibleList()); };
    CListDlg::AppendRow(list.GetVisibleList(), QStringLiteral("2017-08-11"), QStringLiteral("12:34:56"),
                        QStringLiteral("Normal"), QString::fromStdString(path));
    ASSERT_EQ(player.OpenFile(QString::fromStdString(path)), 1);

    // Opened but stopped: the wheel does nothing.
    EXPECT_FALSE(front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180)));

    ASSERT_EQ(player.Pause(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return front()->CurrentFrame() && back->CurrentFrame(); }, 30000));
    const std::shared_ptr<const VideoFrame> frontFrame = front()->CurrentFrame();
    const std::shared_ptr<const VideoFrame> rearFrame = back->CurrentFrame();
    EXPECT_EQ(frontFrame->width, 320);
    EXPECT_EQ(rearFrame->width, 160);

    // Each pane shows its own picture stretched over its rectangle.
    const QImage frontShot = front()->grab().toImage();
    EXPECT_LT(MeanDifference(frontShot, FrameImage(frontFrame).scaled(640, 360, Qt::IgnoreAspectRatio,
                                                                     Qt::SmoothTransformation)), 8.0);
    const QImage rearShot = back->grab().toImage();
    EXPECT_LT(MeanDifference(rearShot, FrameImage(rearFrame).scaled(320, 240, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation)), 8.0);

    // Paused, the wheel zooms, and the player fits the video to the grown pane.
    EXPECT_TRUE(front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 160, 90)));
    EXPECT_EQ(front()->VideoDestination(), QRect(QPoint(0, 0), front()->size()));
    SaveArtefact(main->grab(QRect(0, 0, 1020, 300)).toImage(), QStringLiteral("panes_playing.png"));
    SaveArtefact(zoom->grab().toImage(), QStringLiteral("pane_video_zoomed.png"));

    // With the list emptied the wheel does nothing, whatever the player does.
    CListDlg::DeleteAllItems(list.GetVisibleList());
    EXPECT_FALSE(front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180)));
    EXPECT_EQ(front()->ZoomLevel(), 2);

    player.Stop();
    CListDlg::AppendRow(list.GetVisibleList(), QStringLiteral("2017-08-11"), QStringLiteral("12:34:56"),
                        QStringLiteral("Normal"), QString::fromStdString(path));
    EXPECT_FALSE(front()->OnMouseWheel(0, 120, ScreenPoint(zoom, 320, 180)));
    player.Close();
}

}  // namespace
