#pragma once
// The one place where pictures cross from the renderers' streaming threads to the GUI
// thread: each renderer stores its latest picture here, and the GUI thread is woken
// once (a queued call on the application object) to hand the pending pictures to the
// windows. The latest pictures can also be taken synchronously.
#include "platform/VideoWindow.h"

#include <atomic>
#include <memory>
#include <mutex>

class FrameRelay : public std::enable_shared_from_this<FrameRelay> {
public:
    static constexpr int kRenderers = 2;

    void SetWindow(int index, IVideoWindow* window);
    // Any thread.
    void Store(int index, std::shared_ptr<const VideoFrame> frame);
    std::shared_ptr<const VideoFrame> Last(int index) const;
    // GUI thread: presents the pictures stored since the last delivery.
    void Deliver();
    // GUI thread: no more presenting (the windows may go away).
    void Detach();
    // Forgets the pictures (a new recording).
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const VideoFrame> m_last[kRenderers];
    bool m_pending[kRenderers] = {false, false};
    IVideoWindow* m_windows[kRenderers] = {nullptr, nullptr};
    std::atomic<bool> m_posted{false};
};
