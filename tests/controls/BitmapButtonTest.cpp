// The plain bitmap button: which image shows in which state, and its size.
#include "controls/BitmapButton.h"
#include "GuiTest.h"
#include "platform/Resources.h"

#include <QTest>

namespace {

using BitmapButton = GuiTest;

QImage Solid(const QColor& c)
{
    QImage img(30, 20, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

TEST_F(BitmapButton, ImagesByState)
{
    QWidget parent;
    auto* b = new CBitmapButton(&parent);
    auto* other = new CBitmapButton(&parent);
    other->move(50, 0);
    ASSERT_TRUE(b->LoadImages(Solid(Qt::blue), Solid(Qt::red), Solid(Qt::green), Solid(Qt::gray)));
    b->SizeToContent();
    EXPECT_EQ(b->size(), QSize(30, 20));
    parent.show();
    EXPECT_EQ(Rgb(Render(b), 5, 5), Rgb(QColor(Qt::blue)));
    b->setDown(true);
    EXPECT_EQ(Rgb(Render(b), 5, 5), Rgb(QColor(Qt::red)));
    b->setDown(false);
    parent.activateWindow();
    b->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return b->hasFocus(); }, 1000));
    EXPECT_EQ(Rgb(Render(b), 5, 5), Rgb(QColor(Qt::green)));
    b->setEnabled(false);
    EXPECT_EQ(Rgb(Render(b), 5, 5), Rgb(QColor(Qt::gray)));
}

TEST_F(BitmapButton, MissingImagesFallBackToTheNormalOne)
{
    QWidget parent;
    auto* b = new CBitmapButton(&parent);
    ASSERT_TRUE(b->LoadBitmaps(416, 417, 0, 0));
    b->SizeToContent();
    EXPECT_EQ(b->size(), QSize(40, 39));
    parent.show();
    const QImage normal = LoadBitmapResource(416);
    b->setEnabled(false);
    EXPECT_EQ(Render(b), normal);
    EXPECT_FALSE(b->LoadBitmaps(0));
    EXPECT_FALSE(b->LoadBitmaps(987654));
}

TEST_F(BitmapButton, ClickEmitsClicked)
{
    QWidget parent;
    auto* b = new CBitmapButton(&parent);
    b->LoadBitmaps(412, 413, 412);
    b->SizeToContent();
    parent.show();
    int clicks = 0;
    QObject::connect(b, &QAbstractButton::clicked, [&] { ++clicks; });
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(clicks, 1);
    SaveArtefact(b, QStringLiteral("bitmapbutton_stop"));
}

} // namespace
