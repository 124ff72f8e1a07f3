// The main window's skin with the controls at their normal-mode places: every control sits on a
// painted place of the background, and the assembled window is kept as a picture for review.
#include "controls/BitSlider.h"
#include "controls/BitmapButton.h"
#include "controls/SkinButton.h"
#include "GuiTest.h"
#include "platform/Resources.h"

#include <QPainter>

namespace {

class SkinWindow : public QWidget {
public:
    SkinWindow() : m_skin(LoadBitmapResource(411)) { resize(m_skin.size()); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        p.drawImage(0, 0, m_skin);
    }
    QImage m_skin;
};

struct Placed {
    int id;      // control
    int x, y;    // its place in the normal layout
    int normal;  // its normal image
    int pressed;
};

// The command buttons of the normal layout (W = 1020).
const Placed kButtons[] = {
    {1000, 1020 - 85, 1, 432, 445}, {1018, 1020 - 57, 1, 434, 435}, {1001, 1020 - 29, 1, 438, 439},
    {1194, 15, 674, 8388, 389},     {1012, 60, 674, 390, 3391},     {1121, 135, 674, 468, 469},
    {3021, 180, 674, 470, 471},     {1041, 225, 674, 394, 395},     {1201, 270, 674, 396, 397},
    {1195, 315, 674, 398, 399},     {1198, 360, 674, 400, 401},     {1196, 435, 674, 402, 403},
    {1020, 480, 674, 405, 430},     {1197, 555, 674, 407, 408},     {1199, 600, 674, 409, 410},
    {1007, 680, 297, 412, 413},     {1005, 725, 297, 414, 415},     {1006, 770, 297, 416, 417},
    {1008, 815, 297, 418, 419},     {1206, 860, 297, 420, 441},     {1193, 1009, 281, 340, 340},
    {5005, 17, 495, 448, 448},
};

TEST_F(GuiTest, ControlsSitOnThePaintedPlacesOfTheSkin)
{
    SkinWindow w;
    ASSERT_EQ(w.size(), QSize(1020, 720));
    const QRgb ground = Rgb(w.m_skin, 668, 420);  // between the panes and the map: bare ground
    for (const Placed& c : kButtons) {
        auto* b = new CBitmapButton(&w);
        ASSERT_TRUE(b->LoadBitmaps(c.normal, c.pressed, c.normal)) << c.id;
        b->SizeToContent();
        b->move(c.x, c.y);
        // Round the control, just outside it, the skin is painted (no bare ground), so each
        // control lands on a plate drawn for it.
        const QRect r = b->geometry().intersected(w.rect());
        const QPoint probes[] = {r.topLeft() + QPoint(-2, r.height() / 2), r.topRight() + QPoint(2, r.height() / 2),
                                 r.topLeft() + QPoint(r.width() / 2, -2), r.bottomLeft() + QPoint(r.width() / 2, 2)};
        int painted = 0;
        for (const QPoint& pt : probes)
            if (w.rect().contains(pt) && Rgb(w.m_skin, pt.x(), pt.y()) != ground)
                ++painted;
        EXPECT_GE(painted, 2) << "control " << c.id << " is not on a painted place";
    }
    auto* mute = new CSkinButton(&w, BS_AUTOCHECKBOX);
    mute->move(16, 460);
    mute->SetButtonBitmaps(267, 293, 267, 267, 267, 267, 2);
    mute->resize(23, 23);
    auto* seek = new CBitSlider(Qt::Horizontal, &w);
    seek->move(105, 420);
    seek->setRange(0, 60000);
    seek->setValue(21000);
    seek->CreateThumbWnd(233, 5, 20);
    seek->SetBitmaps(236, 236);
    auto* volume = new CBitSlider(Qt::Horizontal, &w);
    volume->move(50, 462);
    volume->setRange(0, 99);
    volume->setValue(50);
    volume->CreateThumbWnd(233, 5, 20);
    volume->SetBitmaps(252, 253);
    w.show();
    // The seek bar's channel lies inside its plate.
    EXPECT_NE(Rgb(w.m_skin, 103, 429), ground);
    EXPECT_NE(Rgb(w.m_skin, 648, 429), ground);
    SaveArtefact(&w, QStringLiteral("main_skin_normal_layout"));
}

} // namespace
