// Skinned buttons: the shape cut from a bitmap, state pictures, check and radio kinds.
#include "controls/SkinButton.h"
#include "GuiTest.h"
#include "platform/Resources.h"

#include <QPainter>
#include <QSignalSpy>
#include <QTest>

namespace {

using SkinButton = GuiTest;

QImage Solid(int w, int h, const QColor& c)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A shape with a white border of the given width round a dark inside.
QImage BorderedShape(int w, int h, int border)
{
    QImage img = Solid(w, h, Qt::white);
    QPainter p(&img);
    p.fillRect(QRect(border, border, w - 2 * border, h - 2 * border), QColor(10, 10, 10));
    return img;
}

bool SameRegion(const QRegion& a, const QRegion& b) { return a.xored(b).isEmpty(); }

TEST_F(SkinButton, RegionFromBitmapLeavesOutTheWhiteBorder)
{
    EXPECT_TRUE(SameRegion(CSkinButton::RegionFromBitmap(BorderedShape(12, 10, 2)), QRect(2, 2, 8, 6)));
    // Runs stop at exact white only: near-white stays inside; a run may reach the last column.
    QImage img = Solid(6, 3, Qt::white);
    img.setPixel(0, 0, qRgb(254, 255, 255));
    img.setPixel(3, 1, qRgb(0, 0, 0));
    img.setPixel(4, 1, qRgb(0, 0, 0));
    img.setPixel(5, 1, qRgb(0, 0, 0));
    QRegion expected = QRegion(QRect(0, 0, 1, 1)).united(QRect(3, 1, 3, 1));
    EXPECT_TRUE(SameRegion(CSkinButton::RegionFromBitmap(img), expected));
    EXPECT_TRUE(CSkinButton::RegionFromBitmap(Solid(8, 8, Qt::white)).isEmpty());
    EXPECT_TRUE(CSkinButton::RegionFromBitmap(QImage()).isEmpty());
}

TEST_F(SkinButton, ShapeBecomesTheMaskAndTheButtonIsTransparentOutsideIt)
{
    QWidget parent;
    parent.resize(40, 30);
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, Qt::magenta);
    parent.setPalette(pal);
    auto* b = new CSkinButton(&parent);
    b->setGeometry(5, 5, 12, 10);
    const QImage normal = Solid(12, 10, Qt::darkGreen);
    b->SetButtonImages(normal, QImage(), QImage(), QImage(), QImage(), BorderedShape(12, 10, 2), 1);
    parent.show();
    EXPECT_TRUE(SameRegion(b->mask(), QRect(2, 2, 8, 6)));
    const QImage shot = Render(&parent);
    EXPECT_EQ(Rgb(shot, 5 + 6, 5 + 5), Rgb(QColor(Qt::darkGreen)));  // inside the shape
    EXPECT_EQ(Rgb(shot, 5 + 0, 5 + 0), Rgb(QColor(Qt::magenta)));    // the white border is cut away
    EXPECT_EQ(Rgb(shot, 5 + 11, 5 + 9), Rgb(QColor(Qt::magenta)));
    // Presses outside the shape do not hit the button.
    EXPECT_EQ(b->GetWindowRegion().contains(QPoint(0, 0)), false);
    EXPECT_EQ(b->GetWindowRegion().contains(QPoint(6, 5)), true);
}

TEST_F(SkinButton, ShapeFromTheSkinMakesTheMuteButtonRound)
{
    QWidget parent;
    auto* b = new CSkinButton(&parent, BS_AUTOCHECKBOX);
    b->SetButtonBitmaps(267, 293, 267, 267, 267, 267, 0);
    EXPECT_EQ(b->size(), QSize(23, 23));  // draw mode 0 sizes the button to the normal image
    EXPECT_FALSE(b->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(b->mask().contains(QPoint(11, 11)));
    parent.show();
    SaveArtefact(b, QStringLiteral("skinbutton_mute"));
    b->SetCheck(1);
    SaveArtefact(b, QStringLiteral("skinbutton_mute_checked"));
}

TEST_F(SkinButton, SkinShapesAreOnePieceWithoutStrayPixels)
{
    // Each row of a skinned button's shape is one run: no blended rim pixel sits apart from it.
    for (int id : {267, 293, 275, 276, 283, 284, 262, 274}) {
        const QImage shape = LoadBitmapResource(id);
        ASSERT_FALSE(shape.isNull()) << id;
        const QRegion region = CSkinButton::RegionFromBitmap(shape);
        EXPECT_FALSE(region.contains(QPoint(0, 0))) << id;
        for (int y = 0; y < shape.height(); ++y) {
            const QRegion row = region.intersected(QRect(0, y, shape.width(), 1));
            EXPECT_LE(row.rectCount(), 1) << "bitmap " << id << " row " << y;
        }
    }
}

TEST_F(SkinButton, DisabledWithoutItsOwnImageShowsTheNormalImage)
{
    QWidget parent;
    auto* b = new CSkinButton(&parent);
    b->resize(23, 23);
    b->SetButtonBitmaps(267, 293, 0, 0, 0, 0, 1);
    parent.show();
    const QImage enabled = Render(b);
    b->setEnabled(false);
    const QImage disabled = Render(b);
    EXPECT_EQ(disabled, enabled);
    EXPECT_EQ(Rgb(disabled, 11, 11), Rgb(LoadBitmapResource(267), 11, 11));
}

TEST_F(SkinButton, PushButtonIsNeverChecked)
{
    QWidget parent;
    auto* b = new CSkinButton(&parent);
    b->resize(20, 20);
    b->SetButtonImages(Solid(20, 20, Qt::blue), Solid(20, 20, Qt::red), QImage(), QImage(), QImage(), QImage());
    parent.show();
    QSignalSpy clicks(b, &QAbstractButton::clicked);
    b->SetCheck(1);
    EXPECT_EQ(b->GetCheck(), 0);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(b->GetCheck(), 0);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(Rgb(Render(b), 10, 10), Rgb(QColor(Qt::blue)));
}

TEST_F(SkinButton, CheckBoxTogglesOnClickAndSpaceAndDrawsPressedWhileChecked)
{
    QWidget parent;
    auto* b = new CSkinButton(&parent, BS_AUTOCHECKBOX);
    b->resize(20, 20);
    b->SetButtonImages(Solid(20, 20, Qt::blue), Solid(20, 20, Qt::red), QImage(), QImage(), QImage(), QImage());
    parent.show();
    EXPECT_EQ(b->GetButtonKind(), CSkinButton::KindCheck);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(b->GetCheck(), 1);
    EXPECT_EQ(Rgb(Render(b), 10, 10), Rgb(QColor(Qt::red)));
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Space);
    EXPECT_EQ(b->GetCheck(), 0);
    // A release away from the button leaves the check alone.
    QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    EXPECT_EQ(b->GetCheck(), 0);
}

TEST_F(SkinButton, CheckingARadioUnchecksTheRestOfItsGroup)
{
    QWidget parent;
    auto* r1 = new CSkinButton(&parent, BS_AUTORADIOBUTTON);
    auto* r2 = new CSkinButton(&parent, BS_AUTORADIOBUTTON);
    auto* c3 = new CSkinButton(&parent, BS_AUTOCHECKBOX);
    auto* r4 = new CSkinButton(&parent, BS_AUTORADIOBUTTON);  // starts the next group
    r4->SetGroupStart(true);
    for (CSkinButton* b : {r1, r2, c3, r4})
        b->resize(20, 20);
    parent.show();
    r1->SetCheck(1);
    QCoreApplication::processEvents();
    c3->SetCheck(1);
    r4->SetCheck(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(r1->GetCheck(), 1);
    EXPECT_EQ(c3->GetCheck(), 1);
    QTest::mouseClick(r2, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(r2->GetCheck(), 1);
    QCoreApplication::processEvents();  // the uncheck is posted
    EXPECT_EQ(r1->GetCheck(), 0);
    EXPECT_EQ(c3->GetCheck(), 0);
    EXPECT_EQ(r2->GetCheck(), 1);
    EXPECT_EQ(r4->GetCheck(), 1);  // another group
    // Clicking a checked radio keeps it checked.
    QTest::mouseClick(r2, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(r2->GetCheck(), 1);
}

TEST_F(SkinButton, HoverShowsTheHoverImageUntilTheCursorLeaves)
{
    QWidget parent;
    auto* b = new CSkinButton(&parent);
    b->resize(20, 20);
    b->SetButtonImages(Solid(20, 20, Qt::blue), Solid(20, 20, Qt::red), Solid(20, 20, Qt::yellow), QImage(),
                       QImage(), QImage());
    parent.show();
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(b, &move);
    EXPECT_TRUE(b->IsHovering());
    EXPECT_EQ(Rgb(Render(b), 10, 10), Rgb(QColor(Qt::yellow)));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(b, &leave);
    EXPECT_FALSE(b->IsHovering());
    EXPECT_EQ(Rgb(Render(b), 10, 10), Rgb(QColor(Qt::blue)));
    // A press ends hovering and shows the pressed image while held.
    QCoreApplication::sendEvent(b, &move);
    QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_FALSE(b->IsHovering());
    EXPECT_EQ(Rgb(Render(b), 10, 10), Rgb(QColor(Qt::red)));
    QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
}

TEST_F(SkinButton, DrawModesPlainStretchedAndTiled)
{
    QWidget parent;
    auto* b = new CSkinButton(&parent);
    QImage tile = Solid(4, 4, Qt::blue);
    tile.setPixel(0, 0, qRgb(255, 0, 0));
    b->resize(10, 10);
    b->SetButtonImages(tile, QImage(), QImage(), QImage(), QImage(), QImage(), 7);
    EXPECT_EQ(b->GetDrawMode(), 2);  // kept to 0..2
    parent.show();
    QImage shot = Render(b);
    EXPECT_EQ(Rgb(shot, 4, 4), 0xFF0000u);  // the tile repeats every 4 pixels
    EXPECT_EQ(Rgb(shot, 8, 8), 0xFF0000u);
    EXPECT_EQ(Rgb(shot, 9, 9), Rgb(QColor(Qt::blue)));
    b->SetButtonImages(tile, QImage(), QImage(), QImage(), QImage(), QImage(), -3);
    EXPECT_EQ(b->GetDrawMode(), 0);
    EXPECT_EQ(b->size(), QSize(4, 4));
}

} // namespace
