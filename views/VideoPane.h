#pragma once
// A video pane: a child window the main player draws its latest frame into. The user zooms it
// with the wheel (the pane grows inside its frame window, which clips it), drags the zoomed
// video about and double-clicks to swap the front and rear layouts.
//
// Decoded pictures arrive in the decoder's own planes. Where a GL context can be made, a
// surface over the pane's visible part converts and scales them on the graphics card, the
// zoom and drag being where it puts the picture; elsewhere the pane converts and scales the
// part it shows in one libswscale pass, straight into the window's pixels when it can.
//
// The pane needs a little of its owner's state (rows in the list window, the player's state)
// and asks it to act (fit the video, swap the views); the owner wires these through the hooks.
#include "media/FrameScaler.h"
#include "platform/MouseKeys.h"
#include "platform/VideoWindow.h"

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>


// Player states as the player reports them.
inline constexpr int kPlayerRunning = 0;
inline constexpr int kPlayerPaused = 1;

class VideoGlSurface;

class CVideoPane : public QWidget, public IVideoWindow {
    Q_OBJECT
public:
    static constexpr int kMinZoomLevel = 1;
    static constexpr int kMaxZoomLevel = 15;
    static constexpr int kPaneId = 0xFFFF;

    explicit CVideoPane(QWidget* parent = nullptr);
    ~CVideoPane() override;

    // Rows in the list window's visible list; with none the wheel does nothing.
    std::function<int()> rowCount;
    // The main player's state (0 running, 1 paused, others stopped or no graph).
    std::function<int()> playerState;
    // Asks the main player to fit its video to its windows again.
    std::function<void()> updateVideoPosition;
    // The main dialog's swap-view command.
    std::function<void()> swapView;
    // The frame window whose client rectangle bounds the pane; the parent when unset.
    std::function<QWidget*()> boundsWindow;
    // The pane that takes the focus on a press (the one inside the main dialog's frame); this
    // pane when unset.
    std::function<QWidget*()> focusTarget;

    // IVideoWindow
    void PresentFrame(std::shared_ptr<const VideoFrame> frame) override;
    int ClientWidth() const override { return width(); }
    int ClientHeight() const override { return height(); }
    void Repaint() override { update(); }
    // The player's destination rectangle; the video fills the whole pane until it is set, and
    // again whenever it is set to the whole pane.
    void SetVideoPosition(const VideoRect& destination) override;
    QRect VideoDestination() const;

    // The handlers, callable directly (the zoom buttons and the screen-mode switch call the
    // wheel handler with their own flags, delta and point).
    bool OnMouseWheel(unsigned nFlags, short zDelta, QPoint ptScreen);
    void OnMouseMove(unsigned nFlags, QPoint point);
    void OnLButtonDown(unsigned nFlags, QPoint point);
    void OnLButtonUp(unsigned nFlags, QPoint point);
    virtual void OnLButtonDblClk(unsigned nFlags, QPoint point);

    int ZoomLevel() const { return m_nZoomLevel; }
    void SetZoomLevel(int level);
    QPoint PressPoint() const { return m_ptPress; }
    bool HasCapture() const { return m_bCapture; }
    std::shared_ptr<const VideoFrame> CurrentFrame() const { return m_frame; }

    // Zoom factor of a level: 1 + (level - 1) x 0.5, so level 15 is 8 times.
    static double ZoomFactor(int level) { return 1.0 + (level - 1) * 0.5; }

    // The frame's pixels as an image that shares them (null for a frame whose size and bytes
    // do not make a picture); it lives no longer than the frame.
    static QImage FrameImage(const VideoFrame& frame);

    // Key state flags of a Qt mouse event.
    static unsigned KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

    // Whether the decoded pictures are drawn on the graphics card (a GL context could be made).
    bool DrawsOnGpu() const { return m_gl != nullptr; }
    // Whether this process can make a GL context for the panes (asked once). A context whose
    // renderer is a software rasteriser does not count: drawing on it costs more processor time
    // than the one pass of the fallback. VIEWER_SOFTWARE_GL=1 in the environment takes it all
    // the same (the GL path's tests run so under Xvfb).
    static bool GpuAvailable();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    QSize BoundsSize() const;
    bool ZoomAllowed() const;
    // The part of the pane its frame lets be seen, in pane coordinates.
    QRect ShownRect() const;
    void PlaceSurface();
    void PaintPlanes(QPainter& painter, const VideoFrame& frame, const QRect& destination);

    int m_nZoomLevel = kMinZoomLevel;
    QPoint m_ptPress;
    bool m_bCapture = false;
    std::shared_ptr<const VideoFrame> m_frame;
    QRect m_rcDestination;
    bool m_bFillClient = true;
    VideoGlSurface* m_gl = nullptr;
    bool m_bGlTried = false;
    FrameScaler m_scaler;
    QImage m_scaled;  // the shown part, when it cannot be written into the window directly
};
