#pragma once
// A bitmap resource cut into equal frames, left to right, or top to bottom when the bitmap is
// taller than wide.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>

class QPainter;

class CBitmapStrip {
public:
    // A frame size of 0 means the bitmap's own width or height.
    CBitmapStrip(int frameHeight, int resourceId, int frameWidth);
    // Takes an image directly (tests, generated strips).
    CBitmapStrip(const QImage& bitmap, int frameHeight, int frameWidth);

    // Copies a rectangle of the bitmap to (x, y); a width or height of 0 means the bitmap's full
    // width or height. Nothing happens without a painter.
    void Blit(int height, QPainter* dc, int x, int y, int width, int sourceX, int sourceY) const;
    // The rectangle of frame index in the bitmap; false for an index at or beyond the count.
    bool GetFrameRect(int index, QRect* rect) const;
    // Copies frame index to the draw point; false when there is no such frame.
    bool DrawFrame(int index, QPainter* dc) const;

    std::uint32_t GetFrameCount() const { return m_nFrameCount; }
    int GetFrameWidth() const { return m_nFrameWidth; }
    int GetFrameHeight() const { return m_nFrameHeight; }
    bool IsVertical() const { return m_bVertical != 0; }
    const QImage& GetBitmap() const { return m_bitmap; }

private:
    void Layout(int frameHeight, int frameWidth);

    std::uint32_t m_nFrameCount = 0;
    int m_nFrameWidth = 0;
    int m_nFrameHeight = 0;
    int m_bAlternate = 0;  // the alternate bitmap is never loaded
    int m_bVertical = 0;
    QPoint m_ptDraw{0, 0};
    QImage m_bitmap;
};
