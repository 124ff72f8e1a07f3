// The bitmap slider: channel from the before and after strips round the thumb window, the
// position text, no wheel, and the trackbar notifications of clicks and drags.
#include "controls/BitSlider.h"
#include "controls/BitWnd.h"
#include "controls/BitmapStrip.h"
#include "GuiTest.h"

#include <QPainter>
#include <QPaintEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

QImage Solid(int w, int h, const QColor& c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

class BitSlider : public GuiTest {
protected:
    void SetUp() override
    {
        slider = new CBitSlider(Qt::Horizontal, &parent);
        slider->setRange(0, 100);
        slider->setPageStep(10);
        slider->SetStrips(new CBitmapStrip(Solid(100, 20, Qt::blue), 0, 0),
                          new CBitmapStrip(Solid(100, 20, Qt::red), 0, 0));
        slider->CreateThumbWnd(233, 5, 20);
        parent.resize(120, 40);
        parent.show();
    }
    QWidget parent;
    CBitSlider* slider = nullptr;
};

TEST_F(BitSlider, ChannelIsBeforeStripThenThumbThenAfterStrip)
{
    EXPECT_EQ(slider->size(), QSize(100, 20));  // sized to the before bitmap
    slider->setValue(50);
    const QRect thumb = slider->GetThumbRect();
    EXPECT_EQ(thumb.width(), 5);
    EXPECT_EQ(slider->GetThumbWnd()->geometry(), QRect(thumb.left(), 0, 5, 20));
    const QImage shot = Render(slider);
    EXPECT_EQ(Rgb(shot, thumb.left() - 3, 10), Rgb(QColor(Qt::red)));
    EXPECT_EQ(Rgb(shot, thumb.left() + 5 + 3, 10), Rgb(QColor(Qt::blue)));
    const QImage thumbImage = CBitmapStrip(20, 233, 5).GetBitmap();
    EXPECT_EQ(Rgb(shot, thumb.left() + 2, 10), Rgb(thumbImage, 2, 10));
    // The thumb travels the whole channel.
    slider->setValue(0);
    EXPECT_EQ(slider->GetThumbWnd()->x(), 0);
    slider->setValue(100);
    EXPECT_EQ(slider->GetThumbWnd()->x(), 95);
    EXPECT_EQ(Rgb(Render(slider), 90, 10), Rgb(QColor(Qt::red)));
}

TEST_F(BitSlider, WheelDoesNotMoveIt)
{
    slider->setValue(40);
    QWheelEvent wheel(QPointF(50, 10), slider->mapToGlobal(QPointF(50, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(slider, &wheel);
    EXPECT_EQ(slider->value(), 40);
    EXPECT_TRUE(wheel.isAccepted());
}

TEST_F(BitSlider, PositionTextFollowsCreationMovesAndReleases)
{
    CBitSlider fresh;
    fresh.setRange(0, 99);
    fresh.setValue(50);
    fresh.CreateThumbWnd(233, 5, 20);
    EXPECT_EQ(fresh.GetPositionText(), QStringLiteral("50%"));
    slider->setValue(30);
    QTest::mouseMove(slider, QPoint(80, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 10), QPointF(80, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &move);
    EXPECT_EQ(slider->GetPositionText(), QStringLiteral("30%"));
}

TEST_F(BitSlider, ChannelPressPagesTowardThePress)
{
    slider->setValue(50);
    QSignalSpy scroll(slider, &CBitSlider::Scroll);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(90, 10));
    EXPECT_EQ(slider->value(), 60);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(5, 10));
    EXPECT_EQ(slider->value(), 50);
    ASSERT_EQ(scroll.count(), 2);
    EXPECT_EQ(scroll.at(0).at(0).toInt(), TB_PAGEDOWN);
    EXPECT_EQ(scroll.at(0).at(1).toInt(), 60);
    EXPECT_EQ(scroll.at(1).at(0).toInt(), TB_PAGEUP);
    // Setting the position from code never notifies.
    slider->setValue(0);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    slider->setValue(25);
    ASSERT_EQ(scroll.count(), 3);
    EXPECT_EQ(scroll.at(2).at(0).toInt(), TB_PAGEDOWN);
}

TEST_F(BitSlider, KeysStepWithLineAndPageCodes)
{
    slider->setValue(50);
    slider->setFocus();
    QSignalSpy scroll(slider, &CBitSlider::Scroll);
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::keyClick(slider, Qt::Key_PageDown);
    QTest::keyClick(slider, Qt::Key_Home);
    QTest::keyClick(slider, Qt::Key_Home);  // already at the top: still notified
    ASSERT_EQ(scroll.count(), 4);
    EXPECT_EQ(scroll.at(3).at(0).toInt(), TB_TOP);
    EXPECT_EQ(scroll.at(0).at(0).toInt(), TB_LINEDOWN);
    EXPECT_EQ(scroll.at(0).at(1).toInt(), 51);
    EXPECT_EQ(scroll.at(1).at(0).toInt(), TB_PAGEUP);
    EXPECT_EQ(scroll.at(2).at(0).toInt(), TB_TOP);
    EXPECT_EQ(slider->value(), 0);
}

TEST_F(BitSlider, DraggingTheThumbWindowTracksThenEndsWithThePosition)
{
    slider->setValue(0);
    QSignalSpy scroll(slider, &CBitSlider::Scroll);
    CBitWnd* thumb = slider->GetThumbWnd();
    // Presses on the thumb window reach the slider, which drags.
    QTest::mousePress(thumb, Qt::LeftButton, Qt::NoModifier, QPoint(2, 10));
    EXPECT_TRUE(slider->isSliderDown());
    QMouseEvent move(QEvent::MouseMove, QPointF(2 + 0, 10), QPointF(2, 10), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QMouseEvent drag(QEvent::MouseMove, QPointF(50, 10), QPointF(50, 10), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &drag);
    EXPECT_GT(slider->value(), 40);
    EXPECT_LT(slider->value(), 60);
    const int dragged = slider->value();
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    EXPECT_FALSE(slider->isSliderDown());
    ASSERT_GE(scroll.count(), 3);
    EXPECT_EQ(scroll.at(0).at(0).toInt(), TB_THUMBTRACK);
    EXPECT_EQ(scroll.at(scroll.count() - 2).at(0).toInt(), TB_THUMBPOSITION);
    EXPECT_EQ(scroll.at(scroll.count() - 2).at(1).toInt(), dragged);
    EXPECT_EQ(scroll.at(scroll.count() - 1).at(0).toInt(), TB_ENDTRACK);
    EXPECT_EQ(slider->GetPositionText(), QString::number(dragged) + QLatin1Char('%'));
    (void)move;
}

TEST_F(BitSlider, SkinSlidersTakeTheirBitmapSizes)
{
    QWidget host;
    host.resize(600, 80);
    auto* seek = new CBitSlider(Qt::Horizontal, &host);
    seek->setRange(0, 1000);
    seek->setValue(300);
    seek->CreateThumbWnd(233, 5, 20);
    seek->SetBitmaps(236, 236);
    EXPECT_EQ(seek->size(), QSize(541, 17));
    auto* volume = new CBitSlider(Qt::Horizontal, &host);
    volume->move(0, 40);
    volume->setRange(0, 99);
    volume->setValue(50);
    volume->CreateThumbWnd(233, 5, 20);
    volume->SetBitmaps(252, 253);
    EXPECT_EQ(volume->size(), QSize(92, 20));
    host.show();
    SaveArtefact(seek, QStringLiteral("bitslider_seek"));
    SaveArtefact(volume, QStringLiteral("bitslider_volume"));
    // Before the thumb the lit strip (253), after it the dim one (252).
    const QImage shot = Render(volume);
    const QRect t = volume->GetThumbRect();
    EXPECT_EQ(Rgb(shot, t.left() - 4, 10), Rgb(CBitmapStrip(0, 253, 0).GetBitmap(), t.left() - 4, 10));
    EXPECT_EQ(Rgb(shot, t.right() + 4, 10), Rgb(CBitmapStrip(0, 252, 0).GetBitmap(), t.right() + 4, 10));
}

// A window that notes what it was asked to paint, in a colour no strip has.
class PaintLog : public QWidget {
public:
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        painted += e->region();
        QPainter(this).fillRect(e->rect(), Qt::green);
    }
};

// The channel covers every pixel: a move of the thumb repaints the slider alone, never the
// window beneath it, and the screen then shows the slider exactly as it draws itself.
TEST_F(BitSlider, ThumbMoveRepaintsTheSliderNotTheWindowBeneath)
{
    PaintLog window;
    window.resize(600, 60);
    auto* seek = new CBitSlider(Qt::Horizontal, &window);
    seek->setRange(0, 1000);
    seek->CreateThumbWnd(233, 5, 20);
    seek->SetBitmaps(236, 236);
    seek->move(30, 20);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const auto onScreen = [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        return window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    };
    onScreen();
    EXPECT_TRUE(seek->testAttribute(Qt::WA_OpaquePaintEvent));
    for (int value : {0, 1, 2, 400, 401, 999, 1000, 3}) {
        window.painted = QRegion();
        seek->setValue(value);
        const QImage shown = onScreen();
        EXPECT_FALSE(window.painted.intersects(seek->geometry())) << value;
        EXPECT_EQ(shown.copy(seek->geometry()), Render(seek)) << value;
        const int thumbX = 30 + seek->GetThumbWnd()->x();
        EXPECT_EQ(Rgb(shown, thumbX + 2, 22), Rgb(CBitmapStrip(20, 233, 5).GetBitmap(), 2, 2)) << value;
    }
}

} // namespace
