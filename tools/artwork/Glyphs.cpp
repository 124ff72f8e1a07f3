#include "Glyphs.h"

#include <QPainterPath>
#include <QtMath>

namespace art::glyph {
namespace {

// A square area centred in a, so glyphs keep their proportions on any button.
QRectF Square(const QRectF& a)
{
    const qreal s = qMin(a.width(), a.height());
    return QRectF(a.center().x() - s / 2, a.center().y() - s / 2, s, s);
}

void Triangle(QPainter& p, QPointF tip, qreal w, qreal h, bool right, const QColor& c)
{
    QPainterPath path;
    const qreal back = right ? tip.x() - w : tip.x() + w;
    path.moveTo(tip);
    path.lineTo(back, tip.y() - h / 2);
    path.lineTo(back, tip.y() + h / 2);
    path.closeSubpath();
    p.fillPath(path, c);
}

QPen Stroke(const QColor& c, qreal w) { return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin); }

void Magnifier(QPainter& p, const QRectF& a, const QColor& c, bool plus)
{
    const QRectF s = Square(a);
    const qreal r = s.width() * 0.36;
    const QPointF ctr(s.left() + r + 1, s.top() + r + 1);
    p.setPen(Stroke(c, 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(ctr, r, r);
    p.setPen(Stroke(c, 3));
    p.drawLine(ctr + QPointF(r * 0.72, r * 0.72), s.bottomRight() - QPointF(1, 1));
    p.setPen(Stroke(c, 2));
    p.drawLine(ctr - QPointF(r * 0.5, 0), ctr + QPointF(r * 0.5, 0));
    if (plus)
        p.drawLine(ctr - QPointF(0, r * 0.5), ctr + QPointF(0, r * 0.5));
}

void Card(QPainter& p, const QRectF& s, const QColor& c)
{
    QPainterPath card;
    const qreal w = s.width() * 0.72, h = s.height();
    const qreal x = s.center().x() - w / 2, y = s.top();
    const qreal cut = w * 0.3;
    card.moveTo(x + cut, y);
    card.lineTo(x + w, y);
    card.lineTo(x + w, y + h);
    card.lineTo(x, y + h);
    card.lineTo(x, y + cut);
    card.closeSubpath();
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(card);
    for (int i = 0; i < 3; ++i) {
        const qreal px = x + cut + 1.5 + i * (w - cut - 3) / 3.0;
        p.drawLine(QPointF(px, y + 2.5), QPointF(px, y + h * 0.28));
    }
}

} // namespace

void Play(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    Triangle(p, QPointF(s.right(), s.center().y()), s.width() * 0.85, s.height(), true, c);
}

void Pause(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    const qreal bw = s.width() * 0.3;
    p.fillRect(QRectF(s.left() + s.width() * 0.1, s.top(), bw, s.height()), c);
    p.fillRect(QRectF(s.right() - s.width() * 0.1 - bw, s.top(), bw, s.height()), c);
}

void Stop(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a).adjusted(1, 1, -1, -1);
    p.fillRect(s, c);
}

void Previous(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    const qreal bar = s.width() * 0.14;
    p.fillRect(QRectF(s.left(), s.top(), bar, s.height()), c);
    const qreal tw = (s.width() - bar) / 2;
    Triangle(p, QPointF(s.left() + bar, s.center().y()), tw, s.height(), false, c);
    Triangle(p, QPointF(s.left() + bar + tw, s.center().y()), tw, s.height(), false, c);
}

void Next(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    const qreal bar = s.width() * 0.14;
    p.fillRect(QRectF(s.right() - bar, s.top(), bar, s.height()), c);
    const qreal tw = (s.width() - bar) / 2;
    Triangle(p, QPointF(s.right() - bar, s.center().y()), tw, s.height(), true, c);
    Triangle(p, QPointF(s.right() - bar - tw, s.center().y()), tw, s.height(), true, c);
}

void SecondBack(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    Triangle(p, QPointF(s.left(), s.center().y()), s.width() * 0.4, s.height() * 0.7, false, c);
    p.setPen(c);
    p.setFont(UiFont(int(s.height() * 0.55)));
    p.drawText(s.adjusted(s.width() * 0.4, 0, 0, 0), Qt::AlignCenter, QStringLiteral("1s"));
}

void SecondForward(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    Triangle(p, QPointF(s.right(), s.center().y()), s.width() * 0.4, s.height() * 0.7, true, c);
    p.setPen(c);
    p.setFont(UiFont(int(s.height() * 0.55)));
    p.drawText(s.adjusted(0, 0, -s.width() * 0.4, 0), Qt::AlignCenter, QStringLiteral("1s"));
}

void FrameStep(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    Triangle(p, QPointF(s.right() - s.width() * 0.2, s.center().y()), s.width() * 0.6, s.height(), true, c);
    p.fillRect(QRectF(s.right() - s.width() * 0.15, s.top(), s.width() * 0.15, s.height()), c);
}

void Folder(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    QPainterPath f;
    const qreal top = s.top() + s.height() * 0.15;
    f.moveTo(s.left(), top);
    f.lineTo(s.left() + s.width() * 0.38, top);
    f.lineTo(s.left() + s.width() * 0.48, top + s.height() * 0.14);
    f.lineTo(s.right(), top + s.height() * 0.14);
    f.lineTo(s.right(), s.bottom() - s.height() * 0.1);
    f.lineTo(s.left(), s.bottom() - s.height() * 0.1);
    f.closeSubpath();
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawPath(f);
    p.drawLine(QPointF(s.left(), top + s.height() * 0.3), QPointF(s.right(), top + s.height() * 0.3));
}

void SdCard(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    Card(p, s, c);
    p.setPen(c);
    p.setFont(UiFont(int(s.height() * 0.36)));
    p.drawText(s.adjusted(0, s.height() * 0.3, 0, 0), Qt::AlignCenter, QStringLiteral("SD"));
}

void FormatCard(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    Card(p, s.adjusted(-s.width() * 0.12, 0, -s.width() * 0.12, 0), c);
    // A circular arrow: the card is wiped.
    const QPointF ctr(s.right() - s.width() * 0.18, s.bottom() - s.height() * 0.22);
    const qreal r = s.width() * 0.2;
    p.setPen(Stroke(kWarn.lighter(115), 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(ctr.x() - r, ctr.y() - r, 2 * r, 2 * r), 90 * 16, 270 * 16);
    Triangle(p, QPointF(ctr.x() + r * 0.2, ctr.y() - r), r * 0.8, r * 1.1, true, kWarn.lighter(115));
}

void ZoomIn(QPainter& p, const QRectF& a, const QColor& c) { Magnifier(p, a, c, true); }
void ZoomOut(QPainter& p, const QRectF& a, const QColor& c) { Magnifier(p, a, c, false); }

void SwapScreens(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(s.left(), s.top(), s.width() * 0.58, s.height() * 0.44));
    p.drawRect(QRectF(s.right() - s.width() * 0.42, s.bottom() - s.height() * 0.32, s.width() * 0.42,
                      s.height() * 0.32));
    // Arrows between the two screens.
    p.drawLine(QPointF(s.left() + s.width() * 0.2, s.top() + s.height() * 0.55),
               QPointF(s.left() + s.width() * 0.2, s.bottom() - s.height() * 0.12));
    p.drawLine(QPointF(s.left() + s.width() * 0.2, s.bottom() - s.height() * 0.12),
               QPointF(s.left() + s.width() * 0.5, s.bottom() - s.height() * 0.12));
    Triangle(p, QPointF(s.left() + s.width() * 0.58, s.bottom() - s.height() * 0.12), s.width() * 0.12,
             s.height() * 0.2, true, c);
    p.drawLine(QPointF(s.right() - s.width() * 0.2, s.bottom() - s.height() * 0.4),
               QPointF(s.right() - s.width() * 0.2, s.top() + s.height() * 0.22));
    p.drawLine(QPointF(s.right() - s.width() * 0.2, s.top() + s.height() * 0.22),
               QPointF(s.left() + s.width() * 0.7, s.top() + s.height() * 0.22));
    Triangle(p, QPointF(s.left() + s.width() * 0.6, s.top() + s.height() * 0.22), s.width() * 0.12,
             s.height() * 0.2, false, c);
}

void Gear(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    const QPointF ctr = s.center();
    const qreal ro = s.width() / 2, ri = ro * 0.72;
    QPainterPath g;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const qreal a0 = (i * M_PI) / teeth;
        const qreal a1 = ((i + 1) * M_PI) / teeth;
        const qreal r = (i % 2) ? ri : ro;
        const QPointF p0(ctr.x() + r * qCos(a0 + 0.08), ctr.y() + r * qSin(a0 + 0.08));
        const QPointF p1(ctr.x() + r * qCos(a1 - 0.08), ctr.y() + r * qSin(a1 - 0.08));
        if (i == 0)
            g.moveTo(p0);
        else
            g.lineTo(p0);
        g.lineTo(p1);
    }
    g.closeSubpath();
    g.addEllipse(ctr, ro * 0.3, ro * 0.3);
    g.setFillRule(Qt::OddEvenFill);
    p.fillPath(g, c);
}

void Printer(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(s.left() + s.width() * 0.22, s.top(), s.width() * 0.56, s.height() * 0.3));
    p.drawRoundedRect(QRectF(s.left(), s.top() + s.height() * 0.3, s.width(), s.height() * 0.42), 2, 2);
    p.setBrush(kFaceLow);
    p.drawRect(QRectF(s.left() + s.width() * 0.22, s.top() + s.height() * 0.58, s.width() * 0.56,
                      s.height() * 0.42));
    p.drawLine(QPointF(s.left() + s.width() * 0.32, s.top() + s.height() * 0.75),
               QPointF(s.right() - s.width() * 0.32, s.top() + s.height() * 0.75));
}

void Chart(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.5));
    p.drawLine(s.topLeft(), s.bottomLeft());
    p.drawLine(s.bottomLeft(), s.bottomRight());
    QPolygonF curve;
    const qreal ys[] = {0.7, 0.35, 0.55, 0.15, 0.45, 0.3};
    for (int i = 0; i < 6; ++i)
        curve << QPointF(s.left() + 2 + i * (s.width() - 3) / 5, s.top() + ys[i] * s.height());
    p.setPen(Stroke(kOk, 1.6));
    p.drawPolyline(curve);
}

void Download(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 2.2));
    p.drawLine(QPointF(s.center().x(), s.top()), QPointF(s.center().x(), s.bottom() - s.height() * 0.35));
    QPainterPath head;
    head.moveTo(s.center().x(), s.bottom() - s.height() * 0.14);
    head.lineTo(s.center().x() - s.width() * 0.3, s.bottom() - s.height() * 0.46);
    head.lineTo(s.center().x() + s.width() * 0.3, s.bottom() - s.height() * 0.46);
    head.closeSubpath();
    p.fillPath(head, c);
    p.drawLine(QPointF(s.left(), s.bottom()), QPointF(s.right(), s.bottom()));
}

void Info(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(s);
    p.setPen(c);
    QFont f = UiFont(int(s.height() * 0.7));
    f.setFamily(QStringLiteral("Liberation Serif"));
    p.setFont(f);
    p.drawText(s, Qt::AlignCenter, QStringLiteral("i"));
}

void Minimise(QPainter& p, const QRectF& a, const QColor& c)
{
    p.setPen(Stroke(c, 2));
    p.drawLine(QPointF(a.left(), a.bottom() - 1), QPointF(a.right(), a.bottom() - 1));
}

void FullScreen(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    const qreal k = s.width() * 0.38;
    p.setPen(Stroke(c, 1.6));
    p.drawPolyline(QPolygonF({s.topLeft() + QPointF(0, k), s.topLeft(), s.topLeft() + QPointF(k, 0)}));
    p.drawPolyline(QPolygonF({s.topRight() - QPointF(k, 0), s.topRight(), s.topRight() + QPointF(0, k)}));
    p.drawPolyline(QPolygonF({s.bottomLeft() - QPointF(0, k), s.bottomLeft(), s.bottomLeft() + QPointF(k, 0)}));
    p.drawPolyline(
        QPolygonF({s.bottomRight() - QPointF(k, 0), s.bottomRight(), s.bottomRight() - QPointF(0, k)}));
}

void Close(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 2));
    p.drawLine(s.topLeft(), s.bottomRight());
    p.drawLine(s.topRight(), s.bottomLeft());
}

void Speaker(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    QPainterPath sp;
    sp.moveTo(s.left(), s.top() + s.height() * 0.33);
    sp.lineTo(s.left() + s.width() * 0.25, s.top() + s.height() * 0.33);
    sp.lineTo(s.left() + s.width() * 0.55, s.top());
    sp.lineTo(s.left() + s.width() * 0.55, s.bottom());
    sp.lineTo(s.left() + s.width() * 0.25, s.top() + s.height() * 0.67);
    sp.lineTo(s.left(), s.top() + s.height() * 0.67);
    sp.closeSubpath();
    p.fillPath(sp, c);
    p.setPen(Stroke(c, 1.2));
    p.setBrush(Qt::NoBrush);
    const QRectF wave(s.left() + s.width() * 0.35, s.top() + s.height() * 0.2, s.width() * 0.5, s.height() * 0.6);
    p.drawArc(wave, -50 * 16, 100 * 16);
    p.drawArc(wave.adjusted(-s.width() * 0.2, -s.height() * 0.2, s.width() * 0.2, s.height() * 0.2), -50 * 16,
              100 * 16);
}

void SpeakerMuted(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    QPainterPath sp;
    sp.moveTo(s.left(), s.top() + s.height() * 0.33);
    sp.lineTo(s.left() + s.width() * 0.25, s.top() + s.height() * 0.33);
    sp.lineTo(s.left() + s.width() * 0.55, s.top());
    sp.lineTo(s.left() + s.width() * 0.55, s.bottom());
    sp.lineTo(s.left() + s.width() * 0.25, s.top() + s.height() * 0.67);
    sp.lineTo(s.left(), s.top() + s.height() * 0.67);
    sp.closeSubpath();
    p.fillPath(sp, c);
    p.setPen(Stroke(kWarn, 1.6));
    p.drawLine(QPointF(s.left() + s.width() * 0.68, s.top() + s.height() * 0.3),
               QPointF(s.right(), s.bottom() - s.height() * 0.3));
    p.drawLine(QPointF(s.right(), s.top() + s.height() * 0.3),
               QPointF(s.left() + s.width() * 0.68, s.bottom() - s.height() * 0.3));
}

void Camera(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(s.left(), s.top() + s.height() * 0.22, s.width(), s.height() * 0.7), 2, 2);
    p.drawRect(QRectF(s.left() + s.width() * 0.3, s.top() + s.height() * 0.08, s.width() * 0.4, s.height() * 0.14));
    p.drawEllipse(QPointF(s.center().x(), s.top() + s.height() * 0.57), s.width() * 0.22, s.width() * 0.22);
}

void Wrench(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 3));
    p.drawLine(s.bottomLeft() + QPointF(2, -2), s.center() + QPointF(2, -2));
    p.setPen(Stroke(c, 2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(s.center().x() - 1, s.top(), s.width() * 0.5, s.height() * 0.5), -120 * 16, 280 * 16);
}

void Repair(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    // A film frame with a plus: the recording is mended.
    p.setPen(Stroke(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(s.adjusted(0, s.height() * 0.15, 0, -s.height() * 0.15));
    p.setPen(Stroke(kOk, 2));
    p.drawLine(QPointF(s.center().x(), s.top() + s.height() * 0.3), QPointF(s.center().x(), s.bottom() - s.height() * 0.3));
    p.drawLine(QPointF(s.left() + s.width() * 0.3, s.center().y()), QPointF(s.right() - s.width() * 0.3, s.center().y()));
}

void Thumbnails(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    const qreal g = s.width() * 0.12, w = (s.width() - g) / 2;
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRectF(s.left() + (i % 2) * (w + g), s.top() + (i / 2) * (w + g), w, w), c);
}

void FilmStrip(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.fillRect(s.adjusted(0, s.height() * 0.15, 0, -s.height() * 0.15), c);
    for (int i = 0; i < 4; ++i) {
        const qreal x = s.left() + 1 + i * s.width() / 4;
        p.fillRect(QRectF(x, s.top() + s.height() * 0.2, s.width() / 8, s.height() * 0.1), kFaceLow);
        p.fillRect(QRectF(x, s.bottom() - s.height() * 0.3, s.width() / 8, s.height() * 0.1), kFaceLow);
    }
}

void Chip(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(s.adjusted(s.width() * 0.2, s.height() * 0.2, -s.width() * 0.2, -s.height() * 0.2));
    for (int i = 0; i < 3; ++i) {
        const qreal t = s.top() + s.height() * (0.3 + 0.2 * i);
        p.drawLine(QPointF(s.left(), t), QPointF(s.left() + s.width() * 0.2, t));
        p.drawLine(QPointF(s.right() - s.width() * 0.2, t), QPointF(s.right(), t));
    }
}

void Globe(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    p.setPen(Stroke(c, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(s);
    p.drawEllipse(s.adjusted(s.width() * 0.28, 0, -s.width() * 0.28, 0));
    p.drawLine(QPointF(s.left(), s.center().y()), QPointF(s.right(), s.center().y()));
    p.drawLine(QPointF(s.center().x(), s.top()), QPointF(s.center().x(), s.bottom()));
}

void ListLines(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    for (int i = 0; i < 4; ++i) {
        const qreal y = s.top() + i * s.height() / 3.2;
        p.fillRect(QRectF(s.left(), y, s.width() * 0.15, 2), c);
        p.fillRect(QRectF(s.left() + s.width() * 0.25, y, s.width() * 0.75, 2), c);
    }
}

void ArrowLeft(QPainter& p, const QRectF& a, const QColor& c)
{
    const qreal w = qMin(a.width(), a.height() * 0.6);
    Triangle(p, QPointF(a.center().x() - w / 2, a.center().y()), w, w * 1.6, false, c);
}

void ArrowRight(QPainter& p, const QRectF& a, const QColor& c)
{
    const qreal w = qMin(a.width(), a.height() * 0.6);
    Triangle(p, QPointF(a.center().x() + w / 2, a.center().y()), w, w * 1.6, true, c);
}

void ArrowUp(QPainter& p, const QRectF& a, const QColor& c)
{
    const QRectF s = Square(a);
    QPainterPath t;
    t.moveTo(s.center().x(), s.top());
    t.lineTo(s.right(), s.bottom());
    t.lineTo(s.left(), s.bottom());
    t.closeSubpath();
    p.fillPath(t, c);
}

Glyph Text(const QString& text, int pixelSize)
{
    return [text, pixelSize](QPainter& p, const QRectF& a, const QColor& c) {
        p.setPen(c);
        p.setFont(UiFont(pixelSize));
        p.drawText(a.adjusted(-8, -8, 8, 8), Qt::AlignCenter, text);
    };
}

} // namespace art::glyph
