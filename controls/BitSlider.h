#pragma once
// A trackbar drawn from two bitmaps: one strip shows before the thumb, the other after it; the
// thumb is a bitmap window. Scroll notifications carry the trackbar codes.
#include <QCursor>
#include <QSlider>
#include <QString>

class CBitWnd;
class CBitmapStrip;

// Trackbar notification codes.
constexpr int TB_LINEUP = 0;
constexpr int TB_LINEDOWN = 1;
constexpr int TB_PAGEUP = 2;
constexpr int TB_PAGEDOWN = 3;
constexpr int TB_THUMBPOSITION = 4;
constexpr int TB_THUMBTRACK = 5;
constexpr int TB_TOP = 6;
constexpr int TB_BOTTOM = 7;
constexpr int TB_ENDTRACK = 8;

class CBitSlider : public QSlider {
    Q_OBJECT
public:
    explicit CBitSlider(Qt::Orientation orientation = Qt::Horizontal, QWidget* parent = nullptr);
    ~CBitSlider() override;

    // Creates the thumb window once, with a strip of the thumb bitmap; nothing for id 0 or when
    // a thumb exists.
    void CreateThumbWnd(int thumbBitmapId, int frameWidth, int frameHeight);
    // Whole bitmaps as single frames: afterId is drawn after the thumb, beforeId before it. The
    // slider takes the size of the before bitmap (no move).
    void SetBitmaps(int afterId, int beforeId);
    // The same with images (tests).
    void SetStrips(CBitmapStrip* after, CBitmapStrip* before);

    // The thumb's rectangle in client coordinates, as the trackbar reports it.
    QRect GetThumbRect() const;
    CBitWnd* GetThumbWnd() const { return m_pThumb; }
    // Offset of the thumb window across the channel.
    void SetThumbOffset(int offset) { m_nThumbOffset = offset; update(); }
    int GetThumbOffset() const { return m_nThumbOffset; }
    const QString& GetPositionText() const { return m_strPosition; }

signals:
    // The scroll notification: trackbar code and the position after the change.
    void Scroll(int code, int position);

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void sliderChange(SliderChange change) override;

private:
    void PaintChannel(QPainter& p, bool movingThumb);
    void PlaceThumbWnd();
    void UpdatePositionText();
    int ThumbLength() const;
    int ValueFromPixel(int pixel) const;
    void OnAction(int action);
    void FlushScroll();

    CBitWnd* m_pThumb = nullptr;
    CBitmapStrip* m_pBefore = nullptr;
    CBitmapStrip* m_pAfter = nullptr;
    bool m_bHasCursor = false;
    bool m_bOwnsStrips = false;
    int m_nThumbOffset = 0;
    QString m_strPosition;
    int m_nPendingCode = -1;
    int m_nDragOffset = -1;  // press point inside the thumb while dragging, else -1
    QRect m_rcThumbPainted;   // the thumb's rectangle at the last paint
};
