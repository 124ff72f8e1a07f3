#pragma once
// Dialog templates give positions in dialog units: x in quarters of the font's average character
// width, y in eighths of its character height.
#include <QFont>
#include <QRect>

int DialogUnitsToPixelsX(int units, const QFont& font);
int DialogUnitsToPixelsY(int units, const QFont& font);
QRect DialogUnitsToPixels(QRect du, const QFont& font);
