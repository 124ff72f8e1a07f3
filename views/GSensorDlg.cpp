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
// Premultiplied: a painter copies a part of such an image without converting all of it.
QImage Keyed(const QImage& source)
{
    QImage img = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
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

QRect CGSensorDlg::PlotRect() { return QRect(QPoint(kPlotX, kPlotY), PlotBitmap().size()); }

// The cursor's column in the window; none for position 0 (beyond 60 seconds it lies outside
// the plot).
std::optional<int> CGSensorDlg::CursorColumn(std::uint32_t nPositionMs)
{
    if (nPositionMs == 0) return std::nullopt;
    return kPlotX + static_cast<int>(nPositionMs * kPlotWidth / kSpanMs);
}

void CGSensorDlg::UpdateGSensorCursor(std::uint32_t nPositionMs)
{
    const std::optional<int> before = CursorColumn(m_nCursorMs), after = CursorColumn(nPositionMs);
    m_nCursorMs = nPositionMs;
    // The curves and the plot stay as they are drawn: only the columns the cursor leaves and
    // reaches change, unless the curves themselves did.
    const QRect plot = PlotRect();
    if (!PlotIsCurrent()) {
        update(plot);
        return;
    }
    if (before == after) return;
    // One rectangle over both columns: a paint clipped to a region of several rectangles
    // draws its images span by span, which Qt hands to its thread pool and waits for.
    QRect columns;
    for (const std::optional<int>& x : {before, after})
        if (x) columns |= QRect(*x, plot.top(), 1, plot.height());
    update(columns & plot);
}

void CGSensorDlg::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    for (const QRect& r : event->region()) p.drawImage(r.topLeft(), Background(), r);
    DrawGSensorGraph(&p, m_nCursorMs);
}

void CGSensorDlg::DrawGSensorGraph(QPainter* pDC, std::uint32_t nPositionMs)
{
    if (!m_pTrackData) return;
    // The plot with its curves is drawn again only when the samples they show change.
    if (m_bmpPlot.isNull() || !PlotIsCurrent()) {
        m_bmpPlot = PlotBitmap().copy();
        QPainter mem(&m_bmpPlot);
        DrawGSensorCurves(&mem);
        m_plotSamples.clear();
        ForEachPlottedSample([this](const std::array<std::int32_t, 4>& s) { m_plotSamples.push_back(s); });
    }
    pDC->drawImage(QPoint(kPlotX, kPlotY), m_bmpPlot);
    if (const std::optional<int> x = CursorColumn(nPositionMs)) {
        // The line from the plot's top 160 pixels down, its end left out, inside the plot.
        const QRect plot = PlotRect();
        pDC->fillRect(QRect(*x, plot.top(), 1, 160) & plot, ToQColor(kCursorColour));
    }
}

template <class F>
void CGSensorDlg::ForEachPlottedSample(F&& f) const
{
    if (!m_pTrackData) return;
    for (const CGSensorData& s : m_pTrackData->m_aGSensorData)
        if (s.m_nTimeMs <= kSpanMs) f({static_cast<std::int32_t>(s.m_nTimeMs), s.m_nAxis1, s.m_nAxis2, s.m_nAxis3});
}

bool CGSensorDlg::PlotIsCurrent() const
{
    std::size_t n = 0;
    bool same = true;
    ForEachPlottedSample([&](const std::array<std::int32_t, 4>& s) {
        same = same && n < m_plotSamples.size() && m_plotSamples[n] == s;
        ++n;
    });
    return same && n == m_plotSamples.size();
}

std::array<QPolygon, 3> CGSensorDlg::CurveLines() const
{
    std::array<QPolygon, 3> lines;
    if (!m_pTrackData || m_pTrackData->m_aGSensorData.empty()) return lines;
    static constexpr std::int32_t CGSensorData::*kAxes[] = {&CGSensorData::m_nAxis1, &CGSensorData::m_nAxis2,
                                                            &CGSensorData::m_nAxis3};
    for (int a = 0; a < 3; ++a) {
        QPolygon& line = lines[a];
        line.reserve(static_cast<qsizetype>(m_pTrackData->m_aGSensorData.size()) + 1);
        line << QPoint(0, 80);
        for (const CGSensorData& s : m_pTrackData->m_aGSensorData) {
            if (s.m_nTimeMs > kSpanMs) continue;
            line << QPoint(static_cast<int>(s.m_nTimeMs * kPlotWidth / kSpanMs), static_cast<int>(80 - s.*kAxes[a] * kPixelsPerUnit));
        }
    }
    return lines;
}

void CGSensorDlg::DrawGSensorCurves(QPainter* pDC)
{
    static constexpr COLORREF kColours[] = {0x00FE00, 0x0000FF, 0xFF0000};
    const std::array<QPolygon, 3> lines = CurveLines();
    if (lines[0].isEmpty()) return;
    const QPen previous = pDC->pen();
    for (int a = 0; a < 3; ++a) {
        // One pen for the whole line, its last point left out as every line here.
        QPen pen(ToQColor(kColours[a]), 1);
        pen.setCosmetic(true);
        pen.setCapStyle(Qt::FlatCap);
        pDC->setPen(pen);
        pDC->drawPolyline(lines[a]);
    }
    pDC->setPen(previous);
}
