#include "views/GSensorDlg.h"

#include "media/TrackData.h"
#include "platform/ColorRef.h"
#include "platform/Resources.h"
#include "views/DashboardPainters.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QScreen>

namespace {

constexpr int kBackgroundId = 220;
constexpr int kPlotId = 129;
constexpr QRgb kKeyColour = 0xFF00FF00;  // TransparentBlt's colour: 0x00FF00
constexpr COLORREF kCursorColour = 0x488AFF;
constexpr double kPlotWidth = 460;
constexpr double kSpanMs = 60000;
constexpr double kPixelsPerUnit = 160.0 / 2 / 128;

// A bitmap with its key colour made see-through, as the transparent block copy shows it.
QImage Keyed(const QImage& source)
{
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] == kKeyColour) line[x] = 0;
    }
    return img;
}

const QImage& Background()
{
    static const QImage image = Keyed(LoadBitmapResource(kBackgroundId));
    return image;
}

// Keyed once: nothing drawn on the plot is in the key colour (the first curve is 0x00FE00 for
// that reason), so what is see-through stays as the bitmap has it.
const QImage& PlotBitmap()
{
    static const QImage image = Keyed(LoadBitmapResource(kPlotId));
    return image;
}

}  // namespace

CGSensorDlg::CGSensorDlg(const CTextData* trackData, QWidget* pParent)
    : QDialog(pParent), m_pTrackData(trackData)
{
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromUtf8("가속도 그래프"));
    OnInitDialog();
}

CGSensorDlg::~CGSensorDlg() = default;

bool CGSensorDlg::OnInitDialog()
{
    move(0, 0);
    resize(521, 249);
    // Centred on the owner (the screen when it has none).
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    QRect frame = frameGeometry();
    if (owner) frame.moveCenter(owner->frameGeometry().center());
    else if (screen()) frame.moveCenter(screen()->availableGeometry().center());
    move(frame.topLeft());
    return true;
}

void CGSensorDlg::UpdateGSensorCursor(std::uint32_t nPositionMs)
{
    m_nCursorMs = nPositionMs;
    update(QRect(kPlotX, kPlotY, PlotBitmap().width(), PlotBitmap().height()));
}

void CGSensorDlg::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    const QRect r = event->rect();
    p.drawImage(r.topLeft(), Background(), r);
    DrawGSensorGraph(&p, m_nCursorMs);
}

void CGSensorDlg::DrawGSensorGraph(QPainter* pDC, std::uint32_t nPositionMs)
{
    if (!m_pTrackData) return;
    m_bmpPlot = PlotBitmap().copy();
    {
        QPainter mem(&m_bmpPlot);
        DrawGSensorCurves(&mem);
        if (nPositionMs != 0) {
            // Beyond 60 seconds the cursor lies outside the bitmap.
            const int x = static_cast<int>(nPositionMs * kPlotWidth / kSpanMs);
            DrawLineEx(&mem, x, 0, x, 160, 1, kCursorColour);
        }
    }
    pDC->drawImage(QPoint(kPlotX, kPlotY), m_bmpPlot);
}

void CGSensorDlg::DrawGSensorCurves(QPainter* pDC)
{
    if (!m_pTrackData || m_pTrackData->m_aGSensorData.empty()) return;
    struct Axis {
        std::int32_t CGSensorData::*value;
        COLORREF colour;
    };
    static constexpr Axis kAxes[] = {
        {&CGSensorData::m_nAxis1, 0x00FE00}, {&CGSensorData::m_nAxis2, 0x0000FF}, {&CGSensorData::m_nAxis3, 0xFF0000}};
    const QPen previous = pDC->pen();
    for (const Axis& a : kAxes) {
        QPolygon line;
        line << QPoint(0, 80);
        for (const CGSensorData& s : m_pTrackData->m_aGSensorData) {
            if (s.m_nTimeMs > kSpanMs) continue;
            line << QPoint(static_cast<int>(s.m_nTimeMs * kPlotWidth / kSpanMs), static_cast<int>(80 - s.*a.value * kPixelsPerUnit));
        }
        // One pen for the whole line, its last point left out as every line here.
        QPen pen(ToQColor(a.colour), 1);
        pen.setCosmetic(true);
        pen.setCapStyle(Qt::FlatCap);
        pDC->setPen(pen);
        pDC->drawPolyline(line);
    }
    pDC->setPen(previous);
}
