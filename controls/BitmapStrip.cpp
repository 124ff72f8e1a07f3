#include "controls/BitmapStrip.h"

#include "platform/Resources.h"

#include <QPainter>

CBitmapStrip::CBitmapStrip(int frameHeight, int resourceId, int frameWidth)
    : m_bitmap(LoadBitmapResource(resourceId))
{
    Layout(frameHeight, frameWidth);
}

CBitmapStrip::CBitmapStrip(const QImage& bitmap, int frameHeight, int frameWidth) : m_bitmap(bitmap)
{
    Layout(frameHeight, frameWidth);
}

void CBitmapStrip::Layout(int frameHeight, int frameWidth)
{
    const int bw = m_bitmap.width();
    const int bh = m_bitmap.height();
    m_nFrameWidth = frameWidth > 0 ? frameWidth : bw;
    m_nFrameHeight = frameHeight > 0 ? frameHeight : bh;
    m_bVertical = bh > bw ? 1 : 0;
    // A missing bitmap has no frames (and no division by a zero frame size).
    if (m_bVertical)
        m_nFrameCount = m_nFrameHeight > 0 ? static_cast<std::uint32_t>(bh / m_nFrameHeight) : 0;
    else
        m_nFrameCount = m_nFrameWidth > 0 ? static_cast<std::uint32_t>(bw / m_nFrameWidth) : 0;
}

void CBitmapStrip::Blit(int height, QPainter* dc, int x, int y, int width, int sourceX, int sourceY) const
{
    if (!dc || m_bitmap.isNull())
        return;
    const int w = width != 0 ? width : m_bitmap.width();
    const int h = height != 0 ? height : m_bitmap.height();
    if (w <= 0 || h <= 0)
        return;
    dc->drawImage(QRect(x, y, w, h), m_bitmap, QRect(sourceX, sourceY, w, h));
}

bool CBitmapStrip::GetFrameRect(int index, QRect* rect) const
{
    if (index < 0 || static_cast<std::uint32_t>(index) >= m_nFrameCount)
        return false;
    if (rect) {
        if (m_bVertical)
            *rect = QRect(0, index * m_nFrameHeight, m_nFrameWidth, m_nFrameHeight);
        else
            *rect = QRect(index * m_nFrameWidth, 0, m_nFrameWidth, m_nFrameHeight);
    }
    return true;
}

bool CBitmapStrip::DrawFrame(int index, QPainter* dc) const
{
    QRect r;
    if (!dc || !GetFrameRect(index, &r))
        return false;
    dc->drawImage(QRect(m_ptDraw, r.size()), m_bitmap, r);
    return true;
}
