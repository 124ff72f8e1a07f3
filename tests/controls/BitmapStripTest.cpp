// Frame layout of bitmap strips, and the thumb window's frames on hover, press and latch.
#include "controls/BitWnd.h"
#include "controls/BitmapStrip.h"
#include "GuiTest.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

using BitmapStrip = GuiTest;

QImage Frames(int w, int h, const QList<QColor>& colours, bool vertical)
{
    const int n = static_cast<int>(colours.size());
    QImage img(vertical ? w : w * n, vertical ? h * n : h, QImage::Format_RGB32);
    QPainter p(&img);
    for (int i = 0; i < n; ++i)
        p.fillRect(vertical ? QRect(0, i * h, w, h) : QRect(i * w, 0, w, h), colours[i]);
    return img;
}

struct LayoutCase {
    int bw, bh;        // bitmap size
    int fw, fh;        // frame size given (0 = the bitmap's)
    unsigned count;
    bool vertical;
    int lastX, lastY;  // top-left of the last frame
};

TEST_F(BitmapStrip, FrameLayout)
{
    const LayoutCase cases[] = {
        {5, 20, 5, 20, 1, true, 0, 0},      // the slider thumb: one frame
        {541, 17, 0, 0, 1, false, 0, 0},    // a channel: one horizontal frame of its own size
        {60, 20, 20, 20, 3, false, 40, 0},  // three frames left to right
        {20, 60, 20, 20, 3, true, 0, 40},   // taller than wide: top to bottom
        {50, 20, 20, 20, 2, false, 20, 0},  // a partial frame at the end is not a frame
    };
    for (const LayoutCase& c : cases) {
        QImage img(c.bw, c.bh, QImage::Format_RGB32);
        img.fill(Qt::gray);
        const CBitmapStrip s(img, c.fh, c.fw);
        EXPECT_EQ(s.GetFrameCount(), c.count) << c.bw << "x" << c.bh;
        EXPECT_EQ(s.IsVertical(), c.vertical) << c.bw << "x" << c.bh;
        QRect r;
        ASSERT_TRUE(s.GetFrameRect(static_cast<int>(c.count) - 1, &r));
        EXPECT_EQ(r, QRect(c.lastX, c.lastY, c.fw ? c.fw : c.bw, c.fh ? c.fh : c.bh));
        EXPECT_FALSE(s.GetFrameRect(static_cast<int>(c.count), &r));
        EXPECT_FALSE(s.GetFrameRect(-1, &r));
    }
}

TEST_F(BitmapStrip, ResourcesOfTheSliders)
{
    const CBitmapStrip thumb(20, 233, 5);
    EXPECT_EQ(thumb.GetFrameCount(), 1u);
    const CBitmapStrip channel(0, 236, 0);
    EXPECT_EQ(channel.GetFrameCount(), 1u);
    EXPECT_EQ(channel.GetFrameWidth(), 541);
    EXPECT_EQ(channel.GetFrameHeight(), 17);
}

TEST_F(BitmapStrip, MissingBitmapHasNoFramesAndDrawsNothing)
{
    const CBitmapStrip s(0, 424242, 0);
    EXPECT_EQ(s.GetFrameCount(), 0u);
    QImage canvas(10, 10, QImage::Format_RGB32);
    canvas.fill(Qt::blue);
    QPainter p(&canvas);
    EXPECT_FALSE(s.DrawFrame(0, &p));
    s.Blit(0, &p, 0, 0, 0, 0, 0);
    s.Blit(0, nullptr, 0, 0, 0, 0, 0);
    p.end();
    EXPECT_EQ(Rgb(canvas, 5, 5), Rgb(QColor(Qt::blue)));
}

TEST_F(BitmapStrip, DrawFrameAndBlitCopyTheRightPixels)
{
    const CBitmapStrip s(Frames(4, 4, {Qt::red, Qt::green, Qt::blue}, false), 4, 4);
    QImage canvas(12, 4, QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    ASSERT_TRUE(s.DrawFrame(2, &p));
    // Width and height 0: the whole bitmap, from the source point.
    s.Blit(0, &p, 8, 0, 4, 4, 0);
    p.end();
    EXPECT_EQ(Rgb(canvas, 1, 1), Rgb(QColor(Qt::blue)));
    EXPECT_EQ(Rgb(canvas, 5, 1), Rgb(QColor(Qt::black)));
    EXPECT_EQ(Rgb(canvas, 9, 1), Rgb(QColor(Qt::green)));
}

class BitWndFrames : public GuiTest {
protected:
    void SetUp() override
    {
        parent.resize(100, 100);
        wnd = new CBitWnd(&parent);
        parent.show();
    }
    void Move(QPoint at) { QTest::mouseMove(wnd, at); }
    QWidget parent;
    CBitWnd* wnd = nullptr;
};

TEST_F(BitWndFrames, OneFrameStripKeepsFrameZero)
{
    wnd->SetStrip(new CBitmapStrip(20, 233, 5), true);
    EXPECT_EQ(wnd->geometry(), QRect(0, 0, 5, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(wnd, &move);
    EXPECT_EQ(wnd->GetCurrentFrame(), 0);
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(wnd->GetCurrentFrame(), 0);
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(wnd->GetCurrentFrame(), 0);
}

TEST_F(BitWndFrames, ThreeFramesFollowHoverPressAndLeave)
{
    wnd->SetStrip(new CBitmapStrip(Frames(10, 10, {Qt::red, Qt::green, Qt::blue}, false), 10, 10), true);
    QSignalSpy commands(wnd, &CBitWnd::Command);
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(wnd, &move);
    EXPECT_EQ(wnd->GetCurrentFrame(), 1);
    EXPECT_EQ(Rgb(Render(wnd), 5, 5), Rgb(QColor(Qt::green)));
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(wnd->GetCurrentFrame(), 2);
    EXPECT_EQ(commands.count(), 0);
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(wnd->GetCurrentFrame(), 1);
    EXPECT_EQ(commands.count(), 1);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(wnd, &leave);
    EXPECT_EQ(wnd->GetCurrentFrame(), 0);
    EXPECT_EQ(Rgb(Render(wnd), 5, 5), Rgb(QColor(Qt::red)));
}

TEST_F(BitWndFrames, ToggleModeLatchesThePressedFrame)
{
    wnd->SetStrip(new CBitmapStrip(Frames(10, 10, {Qt::red, Qt::green, Qt::blue}, false), 10, 10), true);
    wnd->SetToggleMode(true);
    wnd->SetCommandOnPress(true);
    QSignalSpy commands(wnd, &CBitWnd::Command);
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_TRUE(wnd->IsLatched());
    EXPECT_EQ(commands.count(), 1);
    QTest::mouseRelease(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(wnd->GetCurrentFrame(), 2);  // latched: release keeps the pressed frame
    EXPECT_EQ(commands.count(), 1);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(wnd, &leave);
    EXPECT_EQ(wnd->GetCurrentFrame(), 2);
    QTest::mousePress(wnd, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_FALSE(wnd->IsLatched());
    EXPECT_EQ(wnd->GetCurrentFrame(), 0);
    SaveArtefact(wnd, QStringLiteral("bitwnd"));
}

} // namespace
