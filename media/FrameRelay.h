#pragma once
// The one place where pictures and the pipeline's end cross from the streaming threads to
// the GUI thread: each renderer stores its latest picture here, the bus marks the end, and
// the GUI thread is woken once (a queued call on the application object) to hand the
// pending pictures to the windows and report the end. The latest pictures can also be
// taken synchronously.
#include "platform/VideoWindow.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class FrameRelay : public std::enable_shared_from_this<FrameRelay> {
public:
    static constexpr int kRenderers = 2;

    void SetWindow(int index, IVideoWindow* window);
    // Any thread.
    void Store(int index, std::shared_ptr<const VideoFrame> frame);
    std::shared_ptr<const VideoFrame> Last(int index) const;
    // Any thread: the recording has ended; the end handler is called on the GUI thread.
    void StoreEnd();
    void SetEndHandler(std::function<void()> handler);
    // GUI thread: presents the pictures stored since the last delivery.
    void Deliver();
    // GUI thread: no more presenting or reporting (the windows may go away).
    void Detach();
    // Forgets the pictures (a new recording).
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<const VideoFrame> m_last[kRenderers];
    bool m_pending[kRenderers] = {false, false};
    IVideoWindow* m_windows[kRenderers] = {nullptr, nullptr};
    bool m_endPending = false;
    std::function<void()> m_onEnd;
    std::atomic<bool> m_posted{false};

    void Wake();
};
