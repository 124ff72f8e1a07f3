#include "views/VideoPane.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

CVideoPane::CVideoPane(QWidget* parent) : QWidget(parent)
{
    // A static control: no focus from the keyboard, focus only when clicked.
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

CVideoPane::~CVideoPane() = default;

void CVideoPane::PresentFrame(std::shared_ptr<const VideoFrame> frame)
{
    m_frame = std::move(frame);
    update();
}

void CVideoPane::SetVideoPosition(const VideoRect& destination)
{
    m_rcDestination = QRect(destination.x, destination.y, destination.width, destination.height);
    // A destination of the whole pane keeps following the pane as it is zoomed or resized.
    m_bFillClient = m_rcDestination == rect();
    update();
}

QRect CVideoPane::VideoDestination() const
{
    return m_bFillClient ? rect() : m_rcDestination;
}

void CVideoPane::SetZoomLevel(int level)
{
    m_nZoomLevel = std::clamp(level, kMinZoomLevel, kMaxZoomLevel);
}

QImage CVideoPane::FrameImage(const VideoFrame& f)
{
    if (f.width <= 0 || f.height <= 0 || f.stride < f.width * 4 ||
        f.pixels.size() < std::size_t(f.stride) * std::size_t(f.height))
        return QImage();
    // BGRx bytes are QImage's RGB32 on a little-endian machine.
    return QImage(f.pixels.data(), f.width, f.height, f.stride, QImage::Format_RGB32);
}

unsigned CVideoPane::KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    unsigned flags = 0;
    if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
    if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton) flags |= MK_MBUTTON;
    if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
    if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
    return flags;
}

QSize CVideoPane::BoundsSize() const
{
    const QWidget* frame = boundsWindow ? boundsWindow() : parentWidget();
    return frame ? frame->rect().size() : size();
}

bool CVideoPane::ZoomAllowed() const
{
    if (!rowCount || rowCount() < 1) return false;
    const int state = playerState ? playerState() : -1;
    return state == kPlayerRunning || state == kPlayerPaused;
}

// Zooms one level around the point under the cursor (or the pane's centre while only the left
// button is held) and keeps the pane covering its frame.
bool CVideoPane::OnMouseWheel(unsigned nFlags, short zDelta, QPoint ptScreen)
{
    const QRect r = geometry();  // in the parent's client coordinates
    const QPoint p = mapFromGlobal(ptScreen);
    double fx = 0.5;
    double fy = 0.5;
    if (nFlags != MK_LBUTTON) {
        // A pane without area has no fraction to keep; fall back to its centre.
        if (r.width() > 0) fx = double(p.x()) / r.width();
        if (r.height() > 0) fy = double(p.y()) / r.height();
    }

    if (!ZoomAllowed()) return false;

    if (zDelta < 1) {
        if (m_nZoomLevel > kMinZoomLevel) m_nZoomLevel = std::max(kMinZoomLevel, m_nZoomLevel - 1);
    } else if (m_nZoomLevel < kMaxZoomLevel + 1) {
        m_nZoomLevel = std::min(kMaxZoomLevel, m_nZoomLevel + 1);
    }

    const QSize bounds = BoundsSize();
    const int w = bounds.width();
    const int h = bounds.height();
    const double f = ZoomFactor(m_nZoomLevel);
    const double newW = w * f;
    const double newH = h * f;

    double x = (r.left() + p.x()) - fx * newW;
    if (std::trunc(x) >= 1) x = 0;
    else if (std::trunc(x + newW) < w) x = w - newW;
    double y = (r.top() + p.y()) - fy * newH;
    if (std::trunc(y) >= 1) y = 0;
    else if (std::trunc(y + newH) < h) y = h - newH;

    setGeometry(int(x), int(y), int(newW), int(newH));
    update();
    if (updateVideoPosition) updateVideoPosition();
    return true;
}

// Drags the zoomed pane; it never leaves part of its frame uncovered.
void CVideoPane::OnMouseMove(unsigned nFlags, QPoint point)
{
    if (!(nFlags & MK_LBUTTON) || !m_bCapture) return;

    const QPoint cursor = mapToParent(point);
    int x = cursor.x() - m_ptPress.x();
    int y = cursor.y() - m_ptPress.y();

    // The pane's own size bounds the drag: after a re-layout the pane may be back at its
    // frame's size while its level is still above 1.
    const QSize bounds = BoundsSize();
    const double f = ZoomFactor(m_nZoomLevel);
    const int zoomW = std::min(int(bounds.width() * f), width());
    const int zoomH = std::min(int(bounds.height() * f), height());
    if (x >= 1) x = 0;
    else if (bounds.width() - zoomW > x) x = bounds.width() - zoomW;
    if (y >= 1) y = 0;
    else if (bounds.height() - zoomH > y) y = bounds.height() - zoomH;

    move(x, y);
    raise();
    if (updateVideoPosition) updateVideoPosition();
}

void CVideoPane::OnLButtonDown(unsigned, QPoint point)
{
    QWidget* target = focusTarget ? focusTarget() : this;
    if (target) target->setFocus(Qt::MouseFocusReason);
    m_bCapture = true;
    m_ptPress = point;
}

void CVideoPane::OnLButtonUp(unsigned, QPoint)
{
    m_bCapture = false;
    update();
}

void CVideoPane::OnLButtonDblClk(unsigned, QPoint)
{
    if (swapView) swapView();
}

void CVideoPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const std::shared_ptr<const VideoFrame> frame = m_frame;  // the image below shares its bytes
    const QImage image = frame ? FrameImage(*frame) : QImage();
    const QRect destination = VideoDestination();
    if (image.isNull() || destination.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Black around the video where the destination leaves room.
    const QRegion around = QRegion(rect()).subtracted(QRegion(destination));
    for (const QRect& r : around) painter.fillRect(r, Qt::black);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(destination, image);
}

void CVideoPane::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        OnLButtonDown(KeyFlags(event->buttons(), event->modifiers()), event->position().toPoint());
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CVideoPane::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        OnLButtonUp(KeyFlags(event->buttons(), event->modifiers()), event->position().toPoint());
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CVideoPane::mouseMoveEvent(QMouseEvent* event)
{
    OnMouseMove(KeyFlags(event->buttons(), event->modifiers()), event->position().toPoint());
    event->accept();
}

void CVideoPane::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        OnLButtonDblClk(KeyFlags(event->buttons(), event->modifiers()), event->position().toPoint());
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CVideoPane::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        // A sideways wheel belongs to the frame window.
        event->ignore();
        return;
    }
    const short zDelta = short(std::clamp(delta, -32768, 32767));
    OnMouseWheel(KeyFlags(event->buttons(), event->modifiers()), zDelta, event->globalPosition().toPoint());
    event->accept();
}
