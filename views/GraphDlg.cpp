#include "views/GraphDlg.h"

#include "controls/BitmapButton.h"
#include "media/TrackData.h"
#include "settings/CardLanguage.h"
#include "views/DashboardPainters.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

constexpr COLORREF kBack = 0x0C0C0C;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kGreen = 0x00FF00;
constexpr int kRows = 20;

QFont LabelFont() { return PainterFont(QStringLiteral("Arial Bold"), 14, 7); }

void DrawGrid(QPainter* p, const CGraphDlg::Geometry& g, int secs, double pps)
{
    const int top = g.y0 - kRows * g.row;
    // One line a second; from 30 seconds on the last whole second has its line too, below
    // that the frame's right edge closes the grid.
    const int last = secs >= 30 ? secs : secs - 1;
    for (int i = 0; i <= last; ++i) {
        const int x = g.x0 + TruncPixel(i * pps);
        DrawLineEx(p, x, g.y0, x, top, 1, kGraphGridColour);
    }
    DrawLineEx(p, g.x0, g.y0, g.x0 + g.width, g.y0, 2, kGraphGridColour);
    for (int k = 1; k <= kRows; ++k) DrawLineEx(p, g.x0, g.y0 - k * g.row, g.x0 + g.width, g.y0 - k * g.row, 1, kGraphGridColour);
    DrawLineEx(p, g.x0, g.y0, g.x0, top, 2, kGraphGridColour);
    DrawLineEx(p, g.x0, g.y0, g.x0 + g.width, g.y0, 2, kGraphGridColour);
    DrawLineEx(p, g.x0 + g.width, g.y0, g.x0 + g.width, top, 2, kGraphGridColour);
    DrawLineEx(p, g.x0, top, g.x0 + g.width, top, 2, kGraphGridColour);
}

void DrawLabels(QPainter* p, const CGraphDlg::Geometry& g, int mode)
{
    for (int i = 0; i <= kRows; ++i) {
        QString text;
        if (mode == 0) text = QString::asprintf("%4.2fG", i / 5.0 - 2);
        else if (mode == 1) text = QString::asprintf("%4.2fG", i / 10.0);
        else if (mode == 2) text = QString::asprintf(g_nSpeedUnit == 1 ? "%dmph" : "%dkph", 10 * i);
        DrawCellText(p, g.x0 - 55, g.y0 - 7 - i * g.row, g.x0 - 5, g.y0 + 13, text, Qt::AlignRight, kWhite, true, kBack);
    }
    // The legend in the curves' colours, each name right-aligned up to its own right edge.
    auto legend = [&](const char* text, COLORREF colour, int right) {
        DrawCellText(p, g.x0 + 750, 24, right, 65, QString::fromLatin1(text), Qt::AlignRight, colour, true, kBack);
    };
    if (mode == 0 || mode == 1) {
        const char* names[] = {"X axis", "Y axis", "Z axis"};
        for (int k = 0; k < 3; ++k) legend(names[k], kFirstGSet[k].colour, 860 + 50 * k);
    } else if (mode == 2) {
        legend("Speed", kGreen, 960);
    }
}

void DrawCurves(QPainter* p, const CGraphDlg::Geometry& g, int mode, int secs, double pps)
{
    const int count = std::clamp(g_nGRecordCount, 0, kGTrackCapacity);
    if (mode == 0 || mode == 1) {
        if (count <= 0) return;
        const double step = double(g.width) / count;
        // Mode 0 around the middle line at 120 pixels a G in both layouts; mode 1 from the
        // baseline, ten rows a unit.
        const int base = mode == 0 ? g.y0 - 10 * g.row : g.y0;
        const double scale = mode == 0 ? 276 / 2.3 : 10.0 * g.row;
        for (const GCurve& c : mode == 0 ? kFirstGSet : kSecondGSet) {
            for (int i = 0; i < count - 1; ++i)
                DrawLineEx(p, g.x0 + TruncPixel(i * step), base - TruncPixel(scale * (g_aGTrack[i].*c.value)),
                           g.x0 + TruncPixel((i + 1) * step), base - TruncPixel(scale * (g_aGTrack[i + 1].*c.value)), 1, c.colour);
        }
        return;
    }
    if (mode == 2) {
        for (int i = 0; i < secs; ++i) {
            const int b = SpeedCurveValue(i, secs);
            const int a = i == 0 ? b : SpeedCurveValue(i - 1, secs);
            DrawLineEx(p, g.x0 + TruncPixel(i * pps), g.y0 - TruncPixel(2.4 * a), g.x0 + TruncPixel((i + 1) * pps),
                       g.y0 - TruncPixel(2.4 * b), 1, kGreen);
        }
    }
}

}  // namespace

CGraphDlg::Geometry CGraphDlg::PlotGeometry()
{
    if (g_nLayoutMode == 2) return {QSize(800, 540), 60, 460, 700, 21};
    return {QSize(990, 600), 60, 520, 900, 24};
}

CGraphDlg::CGraphDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_btnChangeGraph = new CBitmapButton(this);
    m_btnChangeGraph->setText(QStringLiteral("Change Graph"));
    m_btnChangeGraph->setFocusPolicy(Qt::NoFocus);
    connect(m_btnChangeGraph, &QAbstractButton::clicked, this, &CGraphDlg::OnBnClickedChangeGraph);
}

CGraphDlg::~CGraphDlg() = default;

QWidget* CGraphDlg::GetDlgItem(int id) const { return id == IDC_BTN_CHANGE_GRAPH ? m_btnChangeGraph : nullptr; }

int CGraphDlg::DoModal()
{
    OnInitDialog();
    return exec();
}

bool CGraphDlg::OnInitDialog()
{
    const Geometry g = PlotGeometry();
    move(0, 0);
    resize(g.size);
    m_btnChangeGraph->setGeometry(920, 530, 40, 39);
    setWindowTitle(QStringLiteral("Graph"));
    LoadButtonImages(405, 430);
    m_nGraphMode = 0;
    m_strReadOut.clear();
    m_btnChangeGraph->show();
    update();
    return true;
}

void CGraphDlg::LoadButtonImages(int normal, int pressed)
{
    m_btnChangeGraph->LoadBitmaps(normal, pressed, normal, 0);
    m_btnChangeGraph->SizeToContent();
}

void CGraphDlg::OnBnClickedChangeGraph()
{
    if (m_nGraphMode == 0) {
        m_nGraphMode = 1;
        LoadButtonImages(404, 429);
    } else if (m_nGraphMode == 1) {
        m_nGraphMode = 2;
        LoadButtonImages(406, 431);
    } else if (m_nGraphMode == 2) {
        m_nGraphMode = 0;
        LoadButtonImages(405, 430);
    }
    m_strReadOut.clear();  // the whole window is drawn again from its background
    update();
}

void CGraphDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), ToQColor(kBack));
    const Geometry g = PlotGeometry();
    const int secs = g_nDurationMs / 1000;
    const double pps = g_nDurationMs > 0 ? double(g.width) / g_nDurationMs * 1000 : 20.0;
    DrawGrid(&p, g, secs, pps);
    p.setFont(LabelFont());
    DrawLabels(&p, g, m_nGraphMode);
    DrawCurves(&p, g, m_nGraphMode, secs, pps);
    if (!m_strReadOut.isEmpty()) DrawCellText(&p, 60, 10, width(), height(), m_strReadOut, Qt::AlignLeft, kWhite, true, kBack);
}

void CGraphDlg::mouseMoveEvent(QMouseEvent* event)
{
    QDialog::mouseMoveEvent(event);
    OnMouseMove(0, event->position().toPoint());
}

void CGraphDlg::OnMouseMove(unsigned, QPoint point)
{
    // The height above y 520 as a share of 480 pixels, in both layouts.
    const double t = point.y() * (-1.0 / 480) + 520.0 / 480;
    if (m_nGraphMode == 0) m_strReadOut = QString::asprintf("%5.2f G", std::clamp(4 * t - 2, -2.0, 2.0));
    else if (m_nGraphMode == 1) m_strReadOut = QString::asprintf("%5.2f G", std::clamp(2 * t, 0.0, 2.0));
    else if (m_nGraphMode == 2)
        m_strReadOut = QString::asprintf(g_nSpeedUnit == 1 ? "%03d mph" : "%03d kph", TruncPixel(std::clamp(200 * t, 0.0, 200.0)));
    QFont font = LabelFont();
    update(QRect(60, 10, QFontMetrics(font).horizontalAdvance(m_strReadOut) + 1, QFontMetrics(font).height()));
}
