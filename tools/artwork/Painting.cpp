#include "Painting.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace art {

QImage NewImage(int w, int h, const QColor& fill)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(fill);
    return img;
}

QFont UiFont(int pixelSize, bool bold)
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

QImage Button(int w, int h, const Glyph& glyph, bool pressed, const QColor& corner)
{
    QImage img = NewImage(w, h, corner);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(0.5, 0.5, w - 1.0, h - 1.0);
    const qreal radius = qMin(w, h) >= 30 ? 6 : 3;
    QLinearGradient g(0, 0, 0, h);
    if (pressed) {
        g.setColorAt(0, kFaceLow.darker(130));
        g.setColorAt(1, kFaceLow);
    } else {
        g.setColorAt(0, kFace);
        g.setColorAt(1, kFaceLow);
    }
    p.setBrush(g);
    p.setPen(QPen(pressed ? kAccent.darker(160) : kPanelEdge.lighter(130), 1));
    p.drawRoundedRect(face, radius, radius);
    const qreal inset = qMin(w, h) * 0.22;
    QRectF area = face.adjusted(inset, inset, -inset, -inset);
    if (pressed)
        area.translate(1, 1);
    glyph(p, area, pressed ? kAccent : kGlyph);
    return img;
}

QImage TextButton(int w, int h, const QString& text, bool lit, const QColor& corner)
{
    QImage img = NewImage(w, h, corner);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(lit ? kFace : kFaceLow);
    p.setPen(QPen(lit ? kAccent : kPanelEdge, 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1.0, h - 1.0), 3, 3);
    p.setPen(lit ? kAccent : kGlyphDim);
    p.setFont(UiFont(qMax(8, qMin(h - 4, 13))));
    p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, text);
    return img;
}

void Plate(QPainter& p, const QRectF& r, qreal radius)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(kPanel);
    p.setPen(QPen(kPanelEdge, 1));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

void Screen(QPainter& p, const QRect& r)
{
    p.save();
    p.setPen(QPen(kPanelEdge.lighter(120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(-2, -2, 1, 1));
    p.fillRect(r, kScreen);
    p.restore();
}

} // namespace art
