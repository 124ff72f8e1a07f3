// Every bitmap of the skin, by resource id, at the size the window places it.
#include "Glyphs.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

namespace art {

using Save = std::function<void(int, const QImage&)>;

namespace {

const QColor kWhite(255, 255, 255);     // outside a skinned button's shape
const QColor kTitle(0x20, 0x26, 0x2b);  // title bar of the main window
const QColor kListGround(0x33, 0x33, 0x33);

void Pair(const Save& save, int normal, int pressed, int w, int h, const Glyph& g,
          const QColor& corner = kPanel)
{
    save(normal, Button(w, h, g, false, corner));
    if (pressed)
        save(pressed, Button(w, h, g, true, corner));
}

// A glyph always in one colour (a lit state shown on an unpressed face).
Glyph Lit(const Glyph& g, const QColor& c)
{
    return [g, c](QPainter& p, const QRectF& a, const QColor&) { g(p, a, c); };
}

// Puts exact white back wherever the shape's outline (drawn without antialiasing) is not, so
// no blended rim pixel joins the window shape.
void CutToShape(QImage& img, const std::function<void(QPainter&)>& outline)
{
    QImage shape(img.size(), QImage::Format_RGB32);
    shape.fill(Qt::white);
    {
        QPainter p(&shape);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        outline(p);
    }
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((shape.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF)
                img.setPixel(x, y, qRgb(255, 255, 255));
}

// A round button on white: the white corners cut the button's window shape.
QImage RoundButton(int w, int h, const Glyph& g, bool pressed)
{
    QImage img = NewImage(w, h, kWhite);
    QPainter p(&img);
    // No antialiasing on the rim: a blended rim pixel would not be white and would stay in the shape.
    QLinearGradient grad(0, 0, 0, h);
    grad.setColorAt(0, pressed ? kFaceLow.darker(130) : kFace);
    grad.setColorAt(1, kFaceLow);
    p.setBrush(grad);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRect(0, 0, w, h));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(pressed ? kAccent.darker(150) : kPanelEdge.lighter(140), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(1, 1, w - 2.0, h - 2.0));
    QRectF area(w * 0.24, h * 0.24, w * 0.52, h * 0.52);
    if (pressed)
        area.translate(1, 1);
    g(p, area, pressed ? kAccent : kGlyph);
    p.end();
    CutToShape(img, [w, h](QPainter& s) { s.drawEllipse(QRect(0, 0, w, h)); });
    return img;
}

// A text button with white corners (a skinned button's shape).
QImage ShapedTextButton(int w, int h, const QString& text, bool lit)
{
    QImage img = NewImage(w, h, kWhite);
    QPainter p(&img);
    p.setBrush(lit ? kFace : kFaceLow);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRect(0, 0, w, h), 5, 5);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(lit ? kAccent : kGlyph);
    p.setFont(UiFont(12));
    p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, text);
    p.end();
    CutToShape(img, [w, h](QPainter& s) { s.drawRoundedRect(QRect(0, 0, w, h), 5, 5); });
    return img;
}

void SliderImages(const Save& save)
{
    // The thumb: a bright bar, one frame of 5 x 20.
    {
        QImage img = NewImage(5, 20, kGlyph);
        QPainter p(&img);
        p.fillRect(0, 0, 1, 20, kGlyph.lighter(110));
        p.fillRect(4, 0, 1, 20, kGlyphDim);
        p.fillRect(1, 0, 3, 1, kAccent);
        p.fillRect(1, 19, 3, 1, kAccent);
        save(233, img);
    }
    // The seek bar's channel, the same before and after the thumb.
    auto channel = [](int w, int h, const QColor& fill) {
        QImage img = NewImage(w, h, kPanel);
        QPainter p(&img);
        const int gy = h / 2 - 3;
        p.fillRect(0, gy, w, 6, kPanelEdge);
        p.fillRect(1, gy + 1, w - 2, 4, fill);
        return img;
    };
    save(236, channel(541, 17, QColor(0x0c, 0x0e, 0x10)));
    // The hidden balance slider and the volume slider: after the thumb dim, before it lit.
    save(250, channel(92, 20, QColor(0x0c, 0x0e, 0x10)));
    save(251, channel(92, 20, kAccent.darker(140)));
    save(252, channel(92, 20, QColor(0x0c, 0x0e, 0x10)));
    save(253, channel(92, 20, kAccent));
}

QPointF DialPoint(QPointF c, qreal r, qreal v)
{
    // The needle's own rule: 0 down-left, 80 straight up, 160 down-right.
    if (v <= 80) {
        const qreal t = qDegreesToRadians(v * 1.6875 - 45);
        return QPointF(c.x() - r * qCos(t), c.y() - r * qSin(t));
    }
    const qreal t = qDegreesToRadians((160 - v) * 1.6875 - 45);
    return QPointF(c.x() + r * qCos(t), c.y() - r * qSin(t));
}

void Dials(const Save& save)
{
    {
        QImage img = NewImage(107, 106, kPanel);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c(53, 52);
        QRadialGradient g(c, 52);
        g.setColorAt(0, QColor(0x2a, 0x31, 0x38));
        g.setColorAt(1, QColor(0x10, 0x13, 0x16));
        p.setBrush(g);
        p.setPen(QPen(kPanelEdge.lighter(140), 1.5));
        p.drawEllipse(c, 51, 51);
        p.setFont(UiFont(9));
        for (int v = 0; v <= 160; v += 5) {
            const bool major = v % 20 == 0;
            p.setPen(QPen(v >= 120 ? kWarn : kGlyph, major ? 2 : 1));
            p.drawLine(DialPoint(c, 48, v), DialPoint(c, major ? 40 : 44, v));
            if (major) {
                const QPointF t = DialPoint(c, 31, v);
                p.setPen(kGlyphDim.lighter(130));
                p.drawText(QRectF(t.x() - 12, t.y() - 6, 24, 12), Qt::AlignCenter, QString::number(v));
            }
        }
        p.setPen(kGlyphDim);
        p.setFont(UiFont(8, false));
        p.drawText(QRectF(33, 78, 40, 12), Qt::AlignCenter, QStringLiteral("SPEED"));
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(c, 3, 3);
        save(446, img);
    }
    {
        QImage img = NewImage(89, 92, kPanel);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF c(45, 44);
        QRadialGradient g(c, 42);
        g.setColorAt(0, QColor(0x2a, 0x31, 0x38));
        g.setColorAt(1, QColor(0x10, 0x13, 0x16));
        p.setBrush(g);
        p.setPen(QPen(kPanelEdge.lighter(140), 1.5));
        p.drawEllipse(c, 42, 42);
        for (int a = 0; a < 360; a += 15) {
            const qreal t = qDegreesToRadians(qreal(a));
            const qreal r0 = a % 90 == 0 ? 33 : 37;
            p.setPen(QPen(a % 90 == 0 ? kGlyph : kGlyphDim, a % 90 == 0 ? 2 : 1));
            p.drawLine(QPointF(c.x() + 40 * qSin(t), c.y() - 40 * qCos(t)),
                       QPointF(c.x() + r0 * qSin(t), c.y() - r0 * qCos(t)));
        }
        p.setFont(UiFont(10));
        const char* names[] = {"N", "E", "S", "W"};
        for (int i = 0; i < 4; ++i) {
            const qreal t = qDegreesToRadians(i * 90.0);
            const QPointF at(c.x() + 25 * qSin(t), c.y() - 25 * qCos(t));
            p.setPen(i == 0 ? kWarn : kGlyph);
            p.drawText(QRectF(at.x() - 7, at.y() - 7, 14, 14), Qt::AlignCenter, QString::fromLatin1(names[i]));
        }
        save(447, img);
    }
}

// The driver-assistance picture: lanes left and right, the car ahead, our own car at the bottom.
// The speed figure is written over the upper middle by the panel itself.
QImage SmartPicture(int left, int right, int collision)
{
    QImage img = NewImage(180, 165, QColor(0x12, 0x16, 0x19));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kPanelEdge, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(0.5, 0.5, 179, 164), 6, 6);
    auto lane = [&](int state, bool isLeft) {
        const QPointF bottom(isLeft ? 22 : 158, 158);
        const QPointF top(isLeft ? 62 : 118, 72);
        QPen pen;
        if (state == 0) {
            pen = QPen(QColor(0x40, 0x48, 0x50), 3, Qt::DashLine);
        } else if (state == 1) {
            pen = QPen(kOk, 4);
        } else {
            pen = QPen(kWarn, 6);
        }
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        p.drawLine(bottom, top);
        if (state == 2) {
            p.setPen(kWarn);
            p.setFont(UiFont(18));
            p.drawText(QRectF(isLeft ? 2 : 150, 95, 28, 24), Qt::AlignCenter, QStringLiteral("!"));
        }
    };
    lane(left, true);
    lane(right, false);
    auto car = [&](QRectF r, const QColor& c) {
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(r, 4, 4);
        p.setBrush(QColor(0x12, 0x16, 0x19));
        p.drawRect(QRectF(r.left() + 3, r.top() + r.height() * 0.2, r.width() - 6, r.height() * 0.22));
    };
    if (collision > 0) {
        const QColor c = collision == 2 ? kWarn : kAccent;
        car(QRectF(74, 82, 32, 22), c);
        if (collision == 2) {
            p.setPen(QPen(kWarn, 2));
            p.drawLine(QPointF(66, 110), QPointF(114, 110));
        }
    }
    car(QRectF(70, 124, 40, 30), kGlyphDim.lighter(120));
    return img;
}

void SmartPictures(const Save& save)
{
    const int lanes[4][2] = {{0, 0}, {1, 1}, {1, 2}, {2, 1}};
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 3; ++c)
            save(448 + row * 3 + c, SmartPicture(lanes[row][0], lanes[row][1], c));
}

void GSensorImages(const Save& save)
{
    const QColor key(0, 255, 0);  // the window's transparent colour
    {
        QImage img = NewImage(515, 225, kPanel);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kPanelEdge, 1));
        p.drawRect(QRectF(0.5, 0.5, 514, 224));
        p.setPen(kGlyph);
        p.setFont(UiFont(12));
        p.drawText(QRect(10, 6, 300, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("G-sensor"));
        p.setFont(UiFont(10, false));
        const char* ticks[] = {"2", "1", "0", "-1", "-2"};
        for (int i = 0; i < 5; ++i) {
            p.setPen(kGlyphDim.lighter(130));
            p.drawText(QRect(4, 31 + i * 40 - 7, 38, 14), Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromLatin1(ticks[i]));
        }
        for (int s = 0; s <= 60; s += 10) {
            p.drawText(QRect(46 + s * 460 / 60 - 15, 193, 30, 14), Qt::AlignCenter, QStringLiteral("%1s").arg(s));
        }
        // In the colours the window draws its three curves in.
        struct Legend { const char* name; QColor colour; } legend[] = {
            {"X axis", QColor(0, 254, 0)}, {"Y axis", QColor(255, 0, 0)}, {"Z axis", QColor(0, 0, 255)}};
        for (int i = 0; i < 3; ++i) {
            p.fillRect(QRect(300 + i * 70, 12, 14, 3), legend[i].colour);
            p.setPen(kGlyph);
            p.drawText(QRect(318 + i * 70, 5, 50, 16), Qt::AlignLeft | Qt::AlignVCenter,
                       QString::fromLatin1(legend[i].name));
        }
        // The plot goes here; transparent so the window ground shows if the plot is absent.
        p.fillRect(QRect(46, 31, 461, 160), key);
        save(220, img);
    }
    {
        QImage img = NewImage(461, 160, QColor(0x0c, 0x0e, 0x10));
        QPainter p(&img);
        p.setPen(QPen(QColor(0x1c, 0x4d, 0x5b), 1, Qt::DotLine));
        for (int y = 0; y <= 160; y += 40)
            p.drawLine(0, qMin(y, 159), 460, qMin(y, 159));
        for (int x = 0; x <= 460; x += 460 / 6)
            p.drawLine(x, 0, x, 159);
        p.setPen(QPen(QColor(0x2a, 0x6d, 0x80), 1));
        p.drawLine(0, 80, 460, 80);
        save(129, img);
    }
}

void Emblems(const Save& save)
{
    {
        QImage img = NewImage(120, 48, kPanel);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(kAccent);
        p.setFont(UiFont(20));
        p.drawText(QRect(0, 2, 120, 28), Qt::AlignCenter, QStringLiteral("VELMORA"));
        p.setPen(kGlyph);
        p.setFont(UiFont(12));
        p.drawText(QRect(0, 28, 120, 18), Qt::AlignCenter, QStringLiteral("21 Viewer"));
        save(478, img);
    }
    {
        // The ground of the thumbnail pages and the frame strip: two rows of five tile places
        // (126 x 174) on the panel colour.
        QImage img = NewImage(633, 350, kBase);
        QPainter p(&img);
        p.setPen(QPen(kPanelEdge, 1));
        p.setBrush(kPanel);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 5; ++col)
                p.drawRect(QRect(col * 126 + 3, row * 174 + 3, 119, 167));
        save(319, img);
    }
    {
        QImage img = NewImage(32, 32, Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(kFaceLow);
        p.setPen(QPen(kGlyph, 1.5));
        p.drawRoundedRect(QRectF(1, 6, 30, 20), 4, 4);
        QRadialGradient g(QPointF(16, 16), 8);
        g.setColorAt(0, kAccent.lighter(130));
        g.setColorAt(1, kAccent.darker(180));
        p.setBrush(g);
        p.drawEllipse(QPointF(16, 16), 7.5, 7.5);
        p.setBrush(kWarn);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(26, 10), 1.8, 1.8);
        save(472, img);
    }
    {
        // The map marker: a pin whose point is the bottom centre.
        QImage img = NewImage(17, 35, Qt::transparent);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath pin;
        pin.moveTo(8.5, 34.5);
        pin.cubicTo(6, 24, 0.5, 17, 0.5, 8.5);
        pin.arcTo(QRectF(0.5, 0.5, 16, 16), 180, -180);
        pin.cubicTo(16.5, 17, 11, 24, 8.5, 34.5);
        p.setBrush(kWarn);
        p.setPen(QPen(QColor(0x70, 0x10, 0x0a), 1));
        p.drawPath(pin);
        p.setBrush(kWhite);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8.5, 8.5), 3.2, 3.2);
        save(484, img);
    }
}

void ListWindow(const Save& save)
{
    {
        QImage img = NewImage(256, 720, kBase);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient title(0, 0, 0, 36);
        title.setColorAt(0, kTitle.lighter(120));
        title.setColorAt(1, kTitle);
        p.fillRect(QRect(0, 0, 256, 36), title);
        glyph::ListLines(p, QRectF(10, 9, 16, 16), kAccent);
        p.setPen(kGlyph);
        p.setFont(UiFont(13));
        p.drawText(QRect(34, 0, 190, 34), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Recordings"));
        // The list's place and the filter bar.
        p.fillRect(QRect(0, 48, 256, 635), kListGround);
        p.setPen(QPen(kPanelEdge, 1));
        p.drawLine(QPointF(0, 683.5), QPointF(256, 683.5));
        Plate(p, QRectF(2, 690, 252, 25), 4);
        p.setPen(QPen(kPanelEdge, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, 255, 719));
        save(464, img);
    }
    save(265, Button(25, 25, glyph::Close, false, kTitle));
    struct Filter { int lit, unlit; const char* text; } filters[] = {
        {460, 465, "Normal"}, {461, 466, "Event"}, {462, 467, "Motion"}, {473, 474, "All"}};
    for (const Filter& f : filters) {
        save(f.lit, TextButton(60, 15, QString::fromLatin1(f.text), true));
        save(f.unlit, TextButton(60, 15, QString::fromLatin1(f.text), false));
    }
    save(362, TextButton(60, 15, QStringLiteral("Manual"), false));
    auto sortBar = [](const QString& text, bool up) {
        QImage img = NewImage(256, 12, kPanel);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(kGlyph);
        p.setFont(UiFont(10));
        p.drawText(QRect(0, 0, 230, 12), Qt::AlignRight | Qt::AlignVCenter, text);
        QPainterPath t;
        if (up) {
            t.moveTo(240, 2.5);
            t.lineTo(245, 9.5);
            t.lineTo(235, 9.5);
        } else {
            t.moveTo(235, 2.5);
            t.lineTo(245, 2.5);
            t.lineTo(240, 9.5);
        }
        t.closeSubpath();
        p.fillPath(t, kAccent);
        return img;
    };
    save(476, sortBar(QStringLiteral("Newest first"), false));
    save(477, sortBar(QStringLiteral("Oldest first"), true));
}

// The main window's ground: every painted place is where the layout puts its control.
void Background(const Save& save)
{
    QImage img = NewImage(1020, 720, kBase);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient title(0, 0, 0, 30);
    title.setColorAt(0, kTitle.lighter(120));
    title.setColorAt(1, kTitle);
    p.fillRect(QRect(0, 0, 1020, 30), title);
    p.fillRect(QRect(0, 30, 1020, 1), kPanelEdge);
    glyph::Camera(p, QRectF(14, 7, 17, 17), kAccent);
    p.setPen(kGlyph);
    p.setFont(UiFont(13));
    p.drawText(QRect(40, 0, 400, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("VELMORA-21K Viewer"));
    // Minimise, full screen, exit at the right end of the title bar.
    Plate(p, QRectF(931, 0, 89, 27), 3);

    // The two panes.
    Screen(p, QRect(16, 37, 640, 360));
    Screen(p, QRect(684, 37, 320, 240));
    p.setPen(kGlyphDim);
    p.setFont(UiFont(10, false));
    p.drawText(QRect(684, 37, 320, 240), Qt::AlignCenter, QStringLiteral("REAR"));
    p.drawText(QRect(16, 37, 640, 360), Qt::AlignCenter, QStringLiteral("FRONT"));

    // Position label and seek bar.
    Plate(p, QRectF(26, 414, 62, 24));
    Plate(p, QRectF(100, 414, 552, 29));
    // Mute and volume.
    Plate(p, QRectF(11, 455, 137, 33));
    // Driver-assistance panel.
    Plate(p, QRectF(12, 491, 190, 174), 6);
    // The two dials and the info text beside them.
    Plate(p, QRectF(210, 452, 226, 114), 6);
    Plate(p, QRectF(442, 452, 230, 114), 6);
    // The graph strip.
    Plate(p, QRectF(210, 570, 443, 96), 4);
    p.fillRect(QRect(216, 575, 431, 85), QColor(0x0c, 0x0e, 0x10));

    // The transport row and the map.
    Plate(p, QRectF(674, 291, 232, 51), 6);
    Screen(p, QRect(680, 354, 326, 353));
    p.drawText(QRect(680, 354, 326, 353), Qt::AlignCenter, QStringLiteral("MAP"));
    // The list toggle at the right edge.
    Plate(p, QRectF(1007, 278, 13, 151), 3);

    // The bottom tool bar in its groups: files; view and card; graphs; download and info.
    const int groups[][2] = {{15, 100}, {135, 400}, {435, 520}, {555, 640}};
    for (const auto& g : groups)
        Plate(p, QRectF(g[0] - 5, 669, g[1] - g[0] + 10, 49), 6);
    save(411, img);
}

void Buttons(const Save& save)
{
    using namespace glyph;
    // Transport and the bottom tool bar: 40 x 39.
    Pair(save, 414, 415, 40, 39, Previous);
    Pair(save, 416, 417, 40, 39, Play);
    Pair(save, 426, 440, 40, 39, Pause);
    Pair(save, 412, 413, 40, 39, Stop);
    Pair(save, 418, 419, 40, 39, Next);
    Pair(save, 331, 337, 40, 39, SecondBack);
    Pair(save, 330, 335, 40, 39, SecondForward);
    Pair(save, 390, 3391, 40, 39, SdCard);
    Pair(save, 8388, 389, 40, 39, Folder);
    Pair(save, 468, 469, 40, 39, ZoomIn);
    Pair(save, 470, 471, 40, 39, ZoomOut);
    Pair(save, 394, 395, 40, 39, SwapScreens);
    Pair(save, 396, 397, 40, 39, FormatCard);
    Pair(save, 398, 399, 40, 39, Gear);
    Pair(save, 400, 401, 40, 39, Printer);
    Pair(save, 402, 403, 40, 39, Chart);
    Pair(save, 407, 408, 40, 39, Download);
    Pair(save, 409, 410, 40, 39, Info);
    Pair(save, 350, 355, 40, 39, ListLines);
    Pair(save, 424, 425, 40, 39, Globe);
    Pair(save, 420, 441, 40, 39, Text(QStringLiteral("x2"), 15));
    Pair(save, 421, 442, 40, 39, Lit(Text(QStringLiteral("x2"), 15), kAccent));
    // Graph mode: the mode the strip shows.
    Pair(save, 405, 430, 40, 39, Text(QStringLiteral("G1"), 14));
    Pair(save, 404, 429, 40, 39, Text(QStringLiteral("G2"), 14));
    Pair(save, 406, 431, 40, 39, Text(QStringLiteral("km/h"), 11));
    // Title bar: 26 x 24.
    Pair(save, 432, 445, 26, 24, Minimise, kPanel);
    Pair(save, 434, 435, 26, 24, FullScreen, kPanel);
    Pair(save, 438, 439, 26, 24, Close, kPanel);
    // Mute: a round skinned button.
    save(267, RoundButton(23, 23, Speaker, false));
    save(293, RoundButton(23, 23, SpeakerMuted, true));
    // Frame step.
    Pair(save, 245, 292, 51, 51, FrameStep);
    // The small hidden commands: 25 x 25.
    Pair(save, 268, 279, 25, 25, Wrench);
    Pair(save, 271, 285, 25, 25, Camera);
    Pair(save, 272, 0, 25, 25, Repair);
    Pair(save, 270, 281, 25, 25, Text(QStringLiteral("G"), 13));
    Pair(save, 309, 0, 25, 25, Thumbnails);
    Pair(save, 308, 0, 25, 25, FilmStrip);
    save(276, RoundButton(25, 25, Chip, false));
    save(283, RoundButton(25, 25, Chip, true));
    save(275, RoundButton(25, 25, SwapScreens, false));
    save(284, RoundButton(25, 25, SwapScreens, true));
    // Map buttons.
    save(274, ShapedTextButton(124, 22, QStringLiteral("Map in pane"), false));
    save(262, ShapedTextButton(124, 22, QStringLiteral("Map off"), false));
    save(249, TextButton(124, 22, QStringLiteral("Map size"), false));
    // Folder buttons: 82 x 23.
    struct Folder { int normal, pressed; const char* text; } folders[] = {
        {295, 296, "Event"}, {299, 300, "Motion"}, {297, 298, "Normal"}, {301, 302, "Manual"}};
    for (const auto& f : folders) {
        save(f.normal, TextButton(82, 23, QString::fromLatin1(f.text), false));
        save(f.pressed, TextButton(82, 23, QString::fromLatin1(f.text), true));
    }
    save(310, TextButton(60, 12, QStringLiteral("SKIN"), false));
    Pair(save, 305, 0, 10, 60, ArrowRight);
    Pair(save, 307, 0, 10, 60, ArrowLeft);
    Pair(save, 277, 0, 15, 15, FullScreen);
    // The list toggle at the right edge: closed points out, open points back.
    Pair(save, 340, 0, 12, 145, ArrowRight, kPanel);
    Pair(save, 342, 0, 12, 145, Lit(ArrowLeft, kAccent), kPanel);
}

} // namespace

void DrawSkin(const Save& save)
{
    Background(save);
    Buttons(save);
    SliderImages(save);
    Dials(save);
    SmartPictures(save);
    GSensorImages(save);
    Emblems(save);
    ListWindow(save);
}

} // namespace art
