#pragma once
// What a video window offers the player: the renderer hands it decoded frames from
// the GUI thread and asks it where to draw. The panes implement it.
#include "platform/VideoFrame.h"

#include <memory>

// A rectangle in the window's client pixels.
struct VideoRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    // A new frame to show; called on the GUI thread.
    virtual void PresentFrame(std::shared_ptr<const VideoFrame> frame) = 0;
    // Client size of the window, the default destination rectangle of the video.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // Redraw whatever was last presented.
    virtual void Repaint() = 0;
    // Where in the client area the video is to be drawn (scaled to fill it). Called on the
    // GUI thread when the player fits the video to its windows; the full client area
    // until then. Windows that always fill their client area may ignore it.
    virtual void SetVideoPosition(const VideoRect& destination) { (void)destination; }
};
