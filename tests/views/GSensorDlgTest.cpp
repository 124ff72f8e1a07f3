// The G-sensor window: its background with the plot let in, the three curves of the first 60
// seconds, and the cursor the play position moves.
#include "controls/GuiTest.h"
#include "media/TrackData.h"
#include "platform/ColorRef.h"
#include "platform/Resources.h"
#include "views/GSensorDlg.h"

#include <QScreen>
#include <QTest>

namespace {

QRgb Ref(COLORREF c) { return ToQColor(c).rgb() & 0xFFFFFF; }
constexpr COLORREF kCursor = 0x488AFF;
constexpr int kX = CGSensorDlg::kPlotX, kY = CGSensorDlg::kPlotY;

class GSensorDlgTest : public GuiTest {
protected:
    QImage Shot()
    {
        dlg.show();
        return Render(&dlg);
    }
    void Add(std::uint32_t ms, int a1, int a2, int a3)
    {
        CGSensorData s;
        s.m_nTimeMs = ms;
        s.m_nAxis1 = a1;
        s.m_nAxis2 = a2;
        s.m_nAxis3 = a3;
        track.m_aGSensorData.push_back(s);
    }
    int Count(const QImage& shot, QRect r, COLORREF c) const
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += Rgb(shot, x, y) == Ref(c);
        return n;
    }

    CTextData track;
    CGSensorDlg dlg{&track};
};

TEST_F(GSensorDlgTest, WindowWithoutSamples)
{
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("가속도 그래프"));
    EXPECT_EQ(dlg.size(), QSize(521, 249));
    const QImage shot = Shot();
    // The background outside the plot, the plot bitmap inside it, no curve and no cursor.
    const QImage background = LoadBitmapResource(220).convertToFormat(QImage::Format_RGB32);
    const QImage plot = LoadBitmapResource(129).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(Rgb(shot, 5, 5), Rgb(background, 5, 5));
    EXPECT_EQ(Rgb(shot, kX + 10, kY + 10), Rgb(plot, 10, 10));
    EXPECT_EQ(Rgb(shot, kX + 200, kY + 80), Rgb(plot, 200, 80));
    for (COLORREF c : {0x00FE00u, 0x0000FFu, 0xFF0000u, static_cast<unsigned>(kCursor)})
        EXPECT_EQ(Count(shot, QRect(kX, kY, 461, 160), c), 0) << std::hex << c;
    SaveArtefact(&dlg, "gsensor_window_empty");
}

TEST_F(GSensorDlgTest, CurvesOfTheFirstMinute)
{
    // 64 units a G: 1 G is 40 pixels above the middle, -1 G 40 below.
    Add(0, 64, -64, 0);
    Add(30000, 64, -64, 0);
    Add(60000, 64, -64, 0);
    Add(61000, -128, 128, 128);  // after 60 seconds: skipped
    const QImage shot = Shot();
    EXPECT_EQ(Rgb(shot, kX + 100, kY + 40), Ref(0x00FE00));
    EXPECT_EQ(Rgb(shot, kX + 100, kY + 120), Ref(0x0000FF));
    EXPECT_EQ(Rgb(shot, kX + 100, kY + 80), Ref(0xFF0000));
    // Nothing reaches the plot's edges, where a sample beyond the minute would go.
    EXPECT_EQ(Count(shot, QRect(kX, kY, 461, 2), 0x0000FF), 0);
    EXPECT_EQ(Count(shot, QRect(kX, kY + 158, 461, 2), 0x00FE00), 0);
    SaveArtefact(&dlg, "gsensor_window_curves");
}

TEST_F(GSensorDlgTest, CursorAtThePlayPosition)
{
    Add(0, 10, 10, 10);
    Add(50000, 10, 10, 10);
    struct Case {
        std::uint32_t ms;
        int x;  // -1: no cursor
    } cases[] = {{30000, 230}, {1000, 7}, {60000, 460}, {0, -1}, {70000, -1}};
    for (const Case& c : cases) {
        dlg.UpdateGSensorCursor(c.ms);
        EXPECT_EQ(dlg.CursorPosition(), c.ms);
        const QImage shot = Shot();
        const int cursor = Count(shot, QRect(kX, kY, 461, 160), kCursor);
        if (c.x < 0) {
            EXPECT_EQ(cursor, 0) << c.ms;
        } else {
            EXPECT_EQ(cursor, 160) << c.ms;  // rows 0 to 159
            EXPECT_EQ(Rgb(shot, kX + c.x, kY + 100), Ref(kCursor)) << c.ms;
        }
    }
}

// The window repaints only what a cursor move changes: what the screen shows after a run of
// moves, and after the samples change, is the window drawn afresh.
TEST_F(GSensorDlgTest, ScreenAfterCursorMovesIsTheWholeDrawing)
{
    for (std::uint32_t ms = 0; ms <= 60000; ms += 500) Add(ms, int(ms / 600) - 50, 40 - int(ms / 900), 20);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    const auto onScreen = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        return dlg.screen()->grabWindow(dlg.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    };
    for (std::uint32_t ms : {1000u, 1050u, 30000u, 59990u, 0u, 70000u, 12000u}) {
        dlg.UpdateGSensorCursor(ms);
        EXPECT_EQ(onScreen(), Render(&dlg)) << ms;
    }
    // Other samples: the next cursor move shows their curves.
    track.m_aGSensorData.clear();
    Add(0, 100, -100, 50);
    Add(60000, -100, 100, -50);
    dlg.UpdateGSensorCursor(12500);
    const QImage shown = onScreen();
    EXPECT_EQ(shown, Render(&dlg));
    EXPECT_EQ(Rgb(shown, kX + 1, kY + 17), Ref(0x00FE00));  // 100 units: 62.5 pixels above the middle
}

}  // namespace
