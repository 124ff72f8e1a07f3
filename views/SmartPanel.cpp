#include "views/SmartPanel.h"

#include "media/TrackData.h"
#include "platform/ColorRef.h"
#include "views/DashboardPainters.h"

#include <QHash>
#include <QImage>
#include <QPainter>

namespace {

// The speed figure is white: the pictures are dark where it stands.
constexpr COLORREF kSpeedColour = 0xFFFFFF;

// 0 no lane, 1 lane seen, 2 warning: only a lane flag of 1 counts as seen, and its warning
// shows only while its gate word is 0.
int LaneState(const SpeedAssistRecord& r, int flag, int warning, int gate)
{
    if (r.words[flag] != 1) return 0;
    return r.words[warning] != 0 && r.words[gate] == 0 ? 2 : 1;
}

// A picture stretched over the panel, drawn once: the speed changes several times a second,
// the picture seldom. The pictures are opaque, so a copy of this is the stretched drawing.
const QImage& StretchedPicture(int id)
{
    static QHash<int, QImage> made;
    auto it = made.find(id);
    if (it == made.end()) {
        QImage img(kSmartPanelSize, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        const QImage& picture = PainterBitmap(id);
        p.drawImage(QRect(QPoint(0, 0), kSmartPanelSize), picture, picture.rect());
        p.end();
        it = made.insert(id, img);
    }
    return *it;
}

QFont SpeedFont() { return PainterFont(QStringLiteral("Arial"), 42, 0, 400); }
QFont UnitFont() { return PainterFont(QStringLiteral("Arial"), 15, 0, 400); }

}  // namespace

void PrepareSmartPanelSurface()
{
    for (int id = 448; id <= 459; ++id) StretchedPicture(id);
    PrepareGlyphs(SpeedFont());
    PrepareGlyphs(UnitFont());
}

int SmartPanelPicture(const SpeedAssistRecord& record)
{
    using W = SpeedAssistRecord;
    const int left = LaneState(record, W::kLeftLaneState, W::kLeftLaneWarning, W::kLeftGate);
    const int right = LaneState(record, W::kRightLaneState, W::kRightLaneWarning, W::kRightGate);
    const int c = record.words[W::kCollisionState];
    const int collision = c == 1 || c == 2 ? c : 0;
    struct Row {
        int left, right, first;
    };
    static constexpr Row kRows[] = {{0, 0, 448}, {1, 1, 451}, {1, 2, 454}, {2, 1, 457}};
    for (const Row& row : kRows)
        if (row.left == left && row.right == right) return row.first + collision;
    return 0;
}

void DrawSmartPanelSurface(QPainter* pDC, int pictureId, int speedKmh, int unit)
{
    if (pictureId != 0) pDC->drawImage(QPoint(0, 0), StretchedPicture(pictureId));
    const int shown = unit == 0 ? speedKmh : static_cast<int>(speedKmh / 1.6);
    pDC->save();
    pDC->setFont(SpeedFont());
    DrawCellText(pDC, 30, 25, 110, 150, QString::asprintf("%3d", shown), Qt::AlignRight, kSpeedColour, false);
    pDC->setFont(UnitFont());
    DrawCellText(pDC, 113, 45, 150, 150, unit == 0 ? QStringLiteral("km/h") : QStringLiteral("mph"), Qt::AlignLeft,
                 kSpeedColour, false);
    pDC->restore();
}
