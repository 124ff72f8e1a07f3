#include "media/FrameRelay.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

void FrameRelay::SetWindow(int index, IVideoWindow* window)
{
    if (index < 0 || index >= kRenderers) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_windows[index] = window;
}

void FrameRelay::Store(int index, std::shared_ptr<const VideoFrame> frame)
{
    if (index < 0 || index >= kRenderers) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_last[index] = std::move(frame);
        m_pending[index] = true;
    }
    Wake();
}

void FrameRelay::StoreEnd()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_endPending = true;
    }
    Wake();
}

void FrameRelay::SetEndHandler(std::function<void()> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_onEnd = std::move(handler);
}

void FrameRelay::Wake()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || m_posted.exchange(true)) return;
    std::weak_ptr<FrameRelay> weak = weak_from_this();
    QMetaObject::invokeMethod(
        app, [weak] {
            if (auto relay = weak.lock()) relay->Deliver();
        },
        Qt::QueuedConnection);
}

std::shared_ptr<const VideoFrame> FrameRelay::Last(int index) const
{
    if (index < 0 || index >= kRenderers) return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last[index];
}

void FrameRelay::Deliver()
{
    m_posted = false;
    std::shared_ptr<const VideoFrame> frames[kRenderers];
    IVideoWindow* windows[kRenderers] = {nullptr, nullptr};
    std::function<void()> onEnd;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (std::exchange(m_endPending, false)) onEnd = m_onEnd;
        for (int i = 0; i < kRenderers; ++i) {
            if (!m_pending[i]) continue;
            m_pending[i] = false;
            frames[i] = m_last[i];
            windows[i] = m_windows[i];
        }
    }
    for (int i = 0; i < kRenderers; ++i)
        if (windows[i] && frames[i]) windows[i]->PresentFrame(frames[i]);
    if (onEnd) onEnd();
}

void FrameRelay::Detach()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < kRenderers; ++i) {
        m_windows[i] = nullptr;
        m_pending[i] = false;
    }
    m_endPending = false;
    m_onEnd = nullptr;
}

void FrameRelay::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (int i = 0; i < kRenderers; ++i) {
        m_last[i].reset();
        m_pending[i] = false;
    }
}
