#include "platform/DialogUnits.h"

#include <QFontMetrics>
#include <cmath>

namespace {

// The base units of a font as Windows measures them: the mean width of the 52 Latin letters
// (rounded), and the full character height.
int BaseUnitX(const QFont& font)
{
    const QFontMetrics fm(font);
    const int w = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (w / 26 + 1) / 2;
}

int BaseUnitY(const QFont& font) { return QFontMetrics(font).height(); }

// Multiply then divide with rounding, as MulDiv does.
int MulDiv(int a, int b, int c)
{
    return static_cast<int>(std::lround(static_cast<double>(a) * b / c));
}

} // namespace

int DialogUnitsToPixelsX(int units, const QFont& font) { return MulDiv(units, BaseUnitX(font), 4); }

int DialogUnitsToPixelsY(int units, const QFont& font) { return MulDiv(units, BaseUnitY(font), 8); }

QRect DialogUnitsToPixels(QRect du, const QFont& font)
{
    const int x = DialogUnitsToPixelsX(du.x(), font);
    const int y = DialogUnitsToPixelsY(du.y(), font);
    const int w = DialogUnitsToPixelsX(du.width(), font);
    const int h = DialogUnitsToPixelsY(du.height(), font);
    return QRect(x, y, w, h);
}
