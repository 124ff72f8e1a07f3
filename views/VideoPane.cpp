#include "views/VideoPane.h"

#include "views/VideoGlSurface.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPaintEngine>
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
    const bool planes = m_frame && m_frame->planes.Present();
    if (planes && !m_bGlTried) {
        m_bGlTried = true;
        if (GpuAvailable()) m_gl = new VideoGlSurface(this);
    }
    if (m_gl) {
        m_gl->SetFrame(planes ? m_frame : nullptr);
        PlaceSurface();
        if (planes && m_gl->isVisible()) return;  // the card draws it; the pane below stays as it is
    }
    update();
}

void CVideoPane::SetVideoPosition(const VideoRect& destination)
{
    m_rcDestination = QRect(destination.x, destination.y, destination.width, destination.height);
    // A destination of the whole pane keeps following the pane as it is zoomed or resized.
    m_bFillClient = m_rcDestination == rect();
    PlaceSurface();
    update();
}

bool CVideoPane::GpuAvailable()
{
    static const bool available = [] {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
        // Platforms that compose GL surfaces into widget windows. The offscreen and frame
        // buffer ones may make a GL context but cannot show one inside a widget.
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland")) &&
            !platform.startsWith(QLatin1String("eglfs")))
            return false;
        QOpenGLContext context;
        if (!context.create()) return false;
        QOffscreenSurface surface;
        surface.create();
        if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
        const auto* renderer = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
        context.doneCurrent();
        return !VideoGlSurface::SoftwareRasteriser(renderer) || qEnvironmentVariableIntValue("VIEWER_SOFTWARE_GL") == 1;
    }();
    return available;
}

QRect CVideoPane::ShownRect() const
{
    const QWidget* frame = boundsWindow ? boundsWindow() : parentWidget();
    if (!frame) return rect();
    const QRect bounds(mapFromGlobal(frame->mapToGlobal(QPoint(0, 0))), frame->size());
    return bounds & rect();
}

// The surface covers only what the frame shows of the pane, however far the pane is zoomed;
// the video's place in it follows the pane.
void CVideoPane::PlaceSurface()
{
    if (!m_gl) return;
    const QRect shown = ShownRect();
    const bool planes = m_frame && m_frame->planes.Present();
    if (!planes || shown.isEmpty()) {
        m_gl->hide();
        return;
    }
    if (m_gl->geometry() != shown) m_gl->setGeometry(shown);
    m_gl->SetDestination(VideoDestination().translated(-shown.topLeft()));
    if (!m_gl->isVisible()) m_gl->show();
}

void CVideoPane::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    PlaceSurface();
}

void CVideoPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceSurface();
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

void CVideoPane::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const std::shared_ptr<const VideoFrame> frame = m_frame;  // the image below shares its bytes
    const bool planes = frame && frame->planes.Present();
    const QRect destination = VideoDestination();
    if (planes && m_gl && m_gl->isVisible()) {
        painter.fillRect(event->rect(), Qt::black);  // under the surface
        return;
    }
    const QImage image = frame && !planes ? FrameImage(*frame) : QImage();
    if ((!planes && image.isNull()) || destination.isEmpty()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    // Black around the video where the destination leaves room.
    const QRegion around = QRegion(event->rect()).subtracted(QRegion(destination));
    for (const QRect& r : around) painter.fillRect(r, Qt::black);
    if (planes) {
        PaintPlanes(painter, *frame, destination);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(destination, image);
}

// Converts and scales the part of the picture that shows in one pass. When the pane paints
// straight into the window's own 32-bit pixels, the pass writes there, at the window's own
// pixel density; otherwise it writes an image of the shown part that is then drawn unscaled.
void CVideoPane::PaintPlanes(QPainter& painter, const VideoFrame& frame, const QRect& destination)
{
    const QRect shown = destination & ShownRect();
    if (shown.isEmpty() || frame.width <= 0 || frame.height <= 0) return;
    const double sx = double(frame.width) / destination.width(), sy = double(frame.height) / destination.height();
    const int x0 = int(std::floor((shown.left() - destination.left()) * sx));
    const int y0 = int(std::floor((shown.top() - destination.top()) * sy));
    const int x1 = int(std::ceil((shown.right() + 1 - destination.left()) * sx));
    const int y1 = int(std::ceil((shown.bottom() + 1 - destination.top()) * sy));
    const VideoRect crop = FrameScaler::EvenCrop(VideoRect{x0, y0, x1 - x0, y1 - y0}, frame.width, frame.height);
    if (crop.width <= 0 || crop.height <= 0) return;
    // Where the crop lands: the whole destination when all of it shows.
    const int left = destination.left() + int(std::lround(crop.x / sx));
    const int top = destination.top() + int(std::lround(crop.y / sy));
    const int right = destination.left() + int(std::lround((crop.x + crop.width) / sx));
    const int bottom = destination.top() + int(std::lround((crop.y + crop.height) / sy));
    const QRect target(left, top, right - left, bottom - top);
    if (target.isEmpty()) return;

    QPaintEngine* engine = painter.paintEngine();
    QPaintDevice* device = engine ? engine->paintDevice() : nullptr;
    const QTransform toDevice = painter.deviceTransform();
    // A window of more pixels than points (a high-density screen) only scales: the pass then
    // makes the device's pixels, never a picture of points that the painter would enlarge.
    if (engine && engine->type() == QPaintEngine::Raster && device && device->devType() == QInternal::Image &&
        toDevice.type() <= QTransform::TxScale && toDevice.m11() > 0 && toDevice.m22() > 0) {
        auto* window = static_cast<QImage*>(device);
        const QImage::Format f = window->format();
        const QRect inDevice = toDevice.mapRect(QRectF(target)).toRect();
        const QRegion clip = engine->systemClip();
        if ((f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied) &&
            !inDevice.isEmpty() && window->rect().contains(inDevice) &&
            (clip.isEmpty() || QRegion(inDevice).subtracted(clip).isEmpty())) {
            auto* bits = const_cast<uchar*>(window->constBits());  // no detach: the painter is on it
            const qsizetype row = window->bytesPerLine();
            m_scaler.Scale(frame.planes, frame.width, frame.height, crop, bits + inDevice.y() * row + inDevice.x() * 4,
                           int(row), inDevice.width(), inDevice.height());
            return;
        }
    }
    if (m_scaled.size() != target.size()) m_scaled = QImage(target.size(), QImage::Format_RGB32);
    if (!m_scaler.Scale(frame.planes, frame.width, frame.height, crop, m_scaled.bits(), int(m_scaled.bytesPerLine()),
                        target.width(), target.height()))
        return;
    painter.drawImage(target.topLeft(), m_scaled);
    ++FrameWork().copies;
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
