#include "views/VideoFrameDlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

CVideoFrameDlg::CVideoFrameDlg(QWidget* parent) : QDialog(parent)
{
    // A child window inside the main dialog, not a dialog of its own.
    setWindowFlags(Qt::Widget);
    setAttribute(Qt::WA_OpaquePaintEvent);
    installEventFilter(this);

    m_pVScroll = new QScrollBar(Qt::Vertical, this);
    m_pHScroll = new QScrollBar(Qt::Horizontal, this);
    for (QScrollBar* bar : {m_pHScroll, m_pVScroll}) {
        bar->setRange(0, 100);  // a window scroll bar's range until someone sets it
        bar->setValue(0);
        bar->setFocusPolicy(Qt::NoFocus);
        const int id = bar == m_pVScroll ? SB_VERT : SB_HORZ;
        // The bar reports the user's action; the frame decides the step and sets the position.
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar, id](int action) {
            const int wanted = bar->sliderPosition();
            const int current = bar->value();
            bar->setSliderPosition(current);
            unsigned code = SB_ENDSCROLL;
            switch (action) {
            case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
            case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
            case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
            case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
            case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
            case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
            case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
            default: break;
            }
            Scroll(id, code, wanted);
            bar->setSliderPosition(bar->value());
        });
    }
    m_pHScroll->hide();
    PlaceScrollBars();
}

CVideoFrameDlg::~CVideoFrameDlg() = default;

void CVideoFrameDlg::AdoptPane(CVideoPane* pane, const QString& caption, QRect created, QSize sized)
{
    setWindowTitle(caption);
    SetScrollPos(SB_VERT, 0);
    pane->setObjectName(QStringLiteral("control_%1").arg(CVideoPane::kPaneId));
    pane->setGeometry(created);
    pane->setGeometry(QRect(QPoint(0, 0), sized));
    pane->installEventFilter(this);
    pane->show();
    m_pVScroll->raise();
    m_pHScroll->raise();
}

QWidget* CVideoFrameDlg::GetDlgItem(int id) const
{
    return id == CVideoPane::kPaneId ? Pane() : nullptr;
}

void CVideoFrameDlg::SetPaneChanged()
{
    m_bPaneChanged = true;
    if (CVideoPane* pane = Pane()) pane->SetZoomLevel(CVideoPane::kMinZoomLevel);
}

QScrollBar* CVideoFrameDlg::Bar(int bar) const
{
    return bar == SB_VERT ? m_pVScroll : bar == SB_HORZ ? m_pHScroll : nullptr;
}

void CVideoFrameDlg::ShowScrollBar(int bar, bool show)
{
    if (bar == SB_BOTH || bar == SB_VERT) m_pVScroll->setVisible(show);
    if (bar == SB_BOTH || bar == SB_HORZ) m_pHScroll->setVisible(show);
    PlaceScrollBars();
}

void CVideoFrameDlg::SetScrollRange(int bar, int minPos, int maxPos)
{
    if (QScrollBar* b = Bar(bar)) b->setRange(minPos, std::max(minPos, maxPos));
}

int CVideoFrameDlg::GetScrollPos(int bar) const
{
    const QScrollBar* b = Bar(bar);
    return b ? b->value() : 0;
}

void CVideoFrameDlg::SetScrollPos(int bar, int pos)
{
    if (QScrollBar* b = Bar(bar)) b->setValue(pos);
}

int CVideoFrameDlg::ScrollStep(unsigned nSBCode, int nPos, int current)
{
    switch (nSBCode) {
    case SB_LINEUP: return -1;
    case SB_LINEDOWN: return 1;
    case SB_PAGEUP: return -20;
    case SB_PAGEDOWN: return 20;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: return nPos - current;
    default: return 0;
    }
}

int CVideoFrameDlg::ClampScrollStep(int step, int current, int minPos, int maxPos, int extent)
{
    // When the client is taller than the range the top is the only place left; the window
    // must never scroll to before the range's start.
    const int last = std::max(minPos, maxPos - extent);
    const int next = current + step;
    if (next < minPos) return -current;
    if (next > last) return last - current;
    return step;
}

void CVideoFrameDlg::ApplyStep(int bar, int step)
{
    QScrollBar* b = Bar(bar);
    if (!b) return;
    const int extent = bar == SB_VERT ? height() : width();
    step = ClampScrollStep(step, b->value(), b->minimum(), b->maximum(), extent);
    if (step != 0) {
        if (bar == SB_VERT) scroll(0, -step);
        else scroll(-step, 0);
        // scroll() moves the bars with the content; put them back on the edges.
        PlaceScrollBars();
    }
    b->setValue(b->value() + step);
}

void CVideoFrameDlg::Scroll(int bar, unsigned nSBCode, int nPos)
{
    const QScrollBar* b = Bar(bar);
    if (!b) return;
    ApplyStep(bar, ScrollStep(nSBCode, nPos, b->value()));
}

void CVideoFrameDlg::OnVScroll(unsigned nSBCode, int nPos) { Scroll(SB_VERT, nSBCode, nPos); }

void CVideoFrameDlg::OnHScroll(unsigned nSBCode, int nPos) { Scroll(SB_HORZ, nSBCode, nPos); }

void CVideoFrameDlg::OnMouseHWheel(unsigned, short zDelta)
{
    if (zDelta == 120) ApplyStep(SB_VERT, -20);
    else if (zDelta == -120) ApplyStep(SB_VERT, 20);
}

bool CVideoFrameDlg::IsSwallowedKey(QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
    }
    default:
        return false;
    }
}

bool CVideoFrameDlg::eventFilter(QObject* watched, QEvent* event)
{
    // A dragged pane comes to the top; the bars stand outside the content as a frame's do.
    if (event->type() == QEvent::ZOrderChange && watched == Pane()) {
        m_pVScroll->raise();
        m_pHScroll->raise();
    }
    if (IsSwallowedKey(event)) {
        // Accepting the override keeps a shortcut from taking the key; then the key is eaten.
        event->accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void CVideoFrameDlg::keyPressEvent(QKeyEvent* event)
{
    if (IsSwallowedKey(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CVideoFrameDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
}

void CVideoFrameDlg::wheelEvent(QWheelEvent* event)
{
    // Qt counts a turn to the left as positive, the sideways wheel message a turn to the right.
    const int delta = -event->angleDelta().x();
    if (delta != 0) {
        OnMouseHWheel(CVideoPane::KeyFlags(event->buttons(), event->modifiers()),
                      short(std::clamp(delta, -32768, 32767)));
        event->accept();
        return;
    }
    QDialog::wheelEvent(event);
}

void CVideoFrameDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceScrollBars();
}

void CVideoFrameDlg::PlaceScrollBars()
{
    const int thickness = m_pVScroll->sizeHint().width();
    const int bottomGap = !m_pHScroll->isHidden() ? thickness : 0;
    m_pVScroll->setGeometry(width() - thickness, 0, thickness, std::max(0, height() - bottomGap));
    const int rightGap = !m_pVScroll->isHidden() ? thickness : 0;
    m_pHScroll->setGeometry(0, height() - thickness, std::max(0, width() - rightGap), thickness);
}
