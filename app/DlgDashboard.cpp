// The main window's drive-data displays: the dashboard layer the painters draw on, the
// driver-assistance panel, and the graph-mode, change-screen and zoom buttons.
#include "app/SamplePlayerDlg.h"

#include "app/ControlIds.h"
#include "controls/BitmapButton.h"
#include "settings/CardLanguage.h"
#include "views/DashboardPainters.h"
#include "views/GSensorDlg.h"
#include "views/RearViewDlg.h"
#include "views/SmartPanel.h"
#include "views/ZoomDlg.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>

void CSamplePlayerDlg::InitDashboard()
{
    // The painters may draw at any moment (timer, position update, the graph-mode button),
    // not only inside a paint event: they draw on this layer, which keeps what they drew.
    m_dashLayer = QImage(1020, 720, QImage::Format_ARGB32_Premultiplied);
    m_dashLayer.fill(Qt::transparent);
    m_dashShown.Reset();
    PreparePainters();
    PrepareSmartPanelSurface();
    // The panel's surface lies over its button; clicks go through to the button. It always
    // shows a whole picture (the button's first one until the panel is drawn), so it repaints
    // without the window beneath.
    auto* panel = Item<QLabel>(IDC_STATIC_SMART);
    panel->setAttribute(Qt::WA_TransparentForMouseEvents);
    panel->setAttribute(Qt::WA_OpaquePaintEvent);
    panel->setPixmap(QPixmap::fromImage(PainterBitmap(m_nSmartPicture)));

    const std::pair<int, void (CSamplePlayerDlg::*)()> commands[] = {
        {IDC_BTN_ZOOM_IN, &CSamplePlayerDlg::OnBnClickedZoomIn},
        {IDC_BTN_ZOOM_OUT, &CSamplePlayerDlg::OnBnClickedZoomOut},
        {IDC_BTN_GRAPH_MODE, &CSamplePlayerDlg::OnBnClickedGraphMode},
        {IDC_BTN_CHANGE_SCREEN, &CSamplePlayerDlg::OnBnClickedChangeScreen},
        {IDC_BTN_SMART, &CSamplePlayerDlg::DrawSmartPanel},
    };
    for (const auto& [id, handler] : commands)
        connect(Item<CBitmapButton>(id), &QAbstractButton::clicked, this, handler);
    createGSensorDlg = [this] { return new CGSensorDlg(&m_textData, this); };
}

void CSamplePlayerDlg::RunDashboardPainters() { PaintDashboard(); }

namespace {
const QRect kDashboardRects[] = {kGraphStripRect, kGraphLabelRect, kInfoTextRect, kSpeedometerRect};
}  // namespace

bool CSamplePlayerDlg::IsDashboardRegion(const QRegion& region) const
{
    QRegion rest = region;
    if (g_nLayoutMode == 0)
        for (const QRect& r : kDashboardRects) rest -= r;
    // Qt also paints the window beneath a child that repaints (a label's new text, the slider's
    // thumb): that is no expose of the window either.
    for (const QObject* o : children()) {
        if (rest.isEmpty()) break;
        const auto* w = qobject_cast<const QWidget*>(o);
        if (w && !w->isWindow() && w->isVisible() && rest.intersects(w->geometry())) rest -= w->geometry();
    }
    return rest.isEmpty();
}

// The three painters in their order, and the repaint of what they changed. From the paint event
// that is what lies outside the region being painted (the rest is painted twice).
void CSamplePlayerDlg::PaintDashboard()
{
    QPainter p(&m_dashLayer);
    DrawGraphStrip(&p, m_textData, &m_dashShown);
    DrawInfoText(&p, &m_dashShown);
    DrawSpeedometer(&p, &m_dashShown);
    p.end();
    ShowDashboardChanges();
}

// The painters are called five times a second and mostly find what they would draw shown
// already: they draw and report only what changed, and only that is repainted.
void CSamplePlayerDlg::ShowDashboardChanges()
{
    if (g_nLayoutMode == 0)
        for (const QRect& r : m_dashShown.changed) update(r);
    m_dashShown.changed.clear();
}

void CSamplePlayerDlg::UpdateGSensorCursor(std::int64_t positionMs)
{
    if (auto* window = qobject_cast<CGSensorDlg*>(m_pGSensorDlg))
        window->UpdateGSensorCursor(static_cast<std::uint32_t>(positionMs));
}

void CSamplePlayerDlg::DrawSmartPanel()
{
    const int row = ProportionalGRow(g_nPlayPositionMs, g_nDurationMs, g_nGRecordCount);
    const SpeedAssistRecord record = row >= 0 ? g_aSpeedAssist[row] : SpeedAssistRecord{};
    // A lane combination without a picture keeps the last one.
    // The button already holds the images of the picture it was last given; the pictures are
    // the painters' bitmaps, loaded once.
    if (const int picture = SmartPanelPicture(record); picture != 0 && picture != m_nSmartPicture) {
        m_nSmartPicture = picture;
        const QImage& image = PainterBitmap(picture);
        Item<CBitmapButton>(IDC_BTN_SMART)->LoadImages(image, image, image, QImage());
    }
    // The surface keeps what was drawn on it: the same picture and speed need no drawing.
    const int speed = record.words[SpeedAssistRecord::kSpeed];
    const std::array<int, 3> shown{m_nSmartPicture, speed, g_nSpeedUnit};
    if (shown == m_smartPanelShown) return;
    m_smartPanelShown = shown;
    QImage surface(kSmartPanelSize, QImage::Format_RGB32);
    QPainter p(&surface);
    DrawSmartPanelSurface(&p, m_nSmartPicture, speed, g_nSpeedUnit);
    p.end();
    Item<QLabel>(IDC_STATIC_SMART)->setPixmap(QPixmap::fromImage(std::move(surface)));  // not copied again
}

void CSamplePlayerDlg::OnBnClickedGraphMode()
{
    struct Step {
        int next, normal, pressed;
    };
    static constexpr Step kSteps[] = {{1, 404, 429}, {2, 406, 431}, {0, 405, 430}};
    if (m_nGraphMode >= 0 && m_nGraphMode <= 2) {
        const Step& s = kSteps[m_nGraphMode];
        Item<CBitmapButton>(IDC_BTN_GRAPH_MODE)->LoadBitmaps(s.normal, s.pressed, 0, 0);
        m_nGraphMode = g_nGraphMode = s.next;
    }
    // While playing the strip follows at the next tick; paused it is drawn at once.
    if (m_player.GetState() == kStatePaused) {
        QPainter p(&m_dashLayer);
        DrawGraphStrip(&p, m_textData, &m_dashShown);
        p.end();
        ShowDashboardChanges();
    }
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedChangeScreen()
{
    OnBnClickedSwapView();
    FocusListWindow();
}

void CSamplePlayerDlg::OnBnClickedZoomIn() { ZoomLargePane(1); }
void CSamplePlayerDlg::OnBnClickedZoomOut() { ZoomLargePane(-1); }

// The buttons zoom the large pane about the middle of the front pane's place, as the wheel does.
void CSamplePlayerDlg::ZoomLargePane(short delta)
{
    const QPoint at = mapToGlobal(QPoint(320, 180));
    const PlayerState state = m_player.GetState();
    if (ListRowCount() >= 1 && (state == kStateRunning || state == kStatePaused)) {
        if (m_nFrontPane == kPaneLarge) m_pZoomDlg->GetVideoView()->OnMouseWheel(0, delta, at);
        else m_pRearViewDlg->GetVideoView()->OnMouseWheel(0, delta, at);
    }
    FocusListWindow();
}
