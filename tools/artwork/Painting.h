#pragma once
// The theme's colours and the drawing helpers every image of the skin shares.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>
#include <functional>

namespace art {

// One dark theme: blue-grey panels, light glyphs, an amber accent for pressed and lit states.
inline const QColor kBase(0x15, 0x19, 0x1c);      // window ground
inline const QColor kPanel(0x1c, 0x21, 0x25);     // plates under the controls
inline const QColor kPanelEdge(0x33, 0x3b, 0x42);
inline const QColor kFace(0x34, 0x3c, 0x44);      // button face, top
inline const QColor kFaceLow(0x25, 0x2b, 0x31);   // button face, bottom
inline const QColor kGlyph(0xdc, 0xe2, 0xe8);
inline const QColor kGlyphDim(0x7d, 0x88, 0x92);
inline const QColor kAccent(0xff, 0xa9, 0x09);
inline const QColor kWarn(0xe8, 0x3a, 0x2e);
inline const QColor kOk(0x3c, 0xc8, 0x6e);
inline const QColor kScreen(0x00, 0x00, 0x00);

using Glyph = std::function<void(QPainter&, const QRectF&, const QColor&)>;

QImage NewImage(int w, int h, const QColor& fill);
QFont UiFont(int pixelSize, bool bold = true);

// A command button: a rounded face with a glyph; pressed sinks the face, moves the glyph one
// pixel and lights it in the accent colour.
QImage Button(int w, int h, const Glyph& glyph, bool pressed, const QColor& corner = kPanel);
// A flat caption button (text only), lit or unlit.
QImage TextButton(int w, int h, const QString& text, bool lit, const QColor& corner = kPanel);

// A sunken plate (the painted place of a control on a background).
void Plate(QPainter& p, const QRectF& r, qreal radius = 4);
// A black screen with a thin frame just outside it.
void Screen(QPainter& p, const QRect& r);

} // namespace art
