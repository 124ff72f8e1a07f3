#include "platform/VideoFrame.h"

VideoFrameWork& FrameWork()
{
    static VideoFrameWork work;
    return work;
}

FramePixels::FramePixels(const FramePixels& other) : m_bytes(other.Bytes())
{
    if (!m_bytes.empty()) ++FrameWork().copies;
}

FramePixels& FramePixels::operator=(const FramePixels& other)
{
    if (this == &other) return *this;
    std::vector<std::uint8_t> bytes = other.Bytes();
    if (!bytes.empty()) ++FrameWork().copies;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes = std::move(bytes);
    m_fill = nullptr;
    m_pending = 0;
    return *this;
}

void FramePixels::MakeOnFirstRead(std::size_t size, Fill fill)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bytes.clear();
    m_fill = std::move(fill);
    m_pending = m_fill ? size : 0;
}

bool FramePixels::Made() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_fill;
}

std::size_t FramePixels::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fill ? m_pending : m_bytes.size();
}

std::vector<std::uint8_t>& FramePixels::Bytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fill) {
        m_bytes.assign(m_pending, 0);
        m_fill(m_bytes.data());
        m_fill = nullptr;  // lets go of what it held to make them
        m_pending = 0;
    }
    return m_bytes;
}

void FramePixels::assign(std::size_t n, std::uint8_t value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fill = nullptr;
    m_pending = 0;
    m_bytes.assign(n, value);
}

void FramePixels::resize(std::size_t n) { Bytes().resize(n); }
