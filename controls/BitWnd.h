#pragma once
// A small window that shows one frame of a bitmap strip: normal, hover or pressed. Serves as the
// thumb of the bitmap slider, which gets the window's mouse input forwarded.
#include <QCursor>
#include <QWidget>
#include <memory>

class CBitmapStrip;

class CBitWnd : public QWidget {
    Q_OBJECT
public:
    enum Frame { FrameNormal = 0, FrameHover = 1, FramePressed = 2 };

    explicit CBitWnd(QWidget* parent = nullptr);
    ~CBitWnd() override;

    // Replaces the strip (the old one is deleted when owned) and sizes the window to one frame
    // at (0, 0).
    void SetStrip(CBitmapStrip* strip, bool owns);
    CBitmapStrip* GetStrip() const { return m_pStrip; }

    int GetCurrentFrame() const { return m_nFrame; }
    void SetForwardMouse(bool on) { m_bForwardMouse = on ? 1 : 0; }
    void SetToggleMode(bool on) { m_bToggle = on ? 1 : 0; }
    void SetCommandOnPress(bool on) { m_bCommandOnPress = on ? 1 : 0; }
    bool IsLatched() const { return m_bLatched != 0; }
    void SetBitCursor(const QCursor& cursor);
    int GetControlId() const { return m_nControlId; }

signals:
    // The parent's command notification with the window's control id.
    void Command(int id);

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;

private:
    void OnMouseHover();
    void SetFrame(int frame);
    void Forward(QMouseEvent* e);
    std::uint32_t FrameCount() const;

    int m_nFrame = FrameNormal;
    CBitmapStrip* m_pStrip = nullptr;
    bool m_bHasCursor = false;
    int m_bLatched = 0;
    int m_bToggle = 0;
    int m_bForwardMouse = 0;
    int m_bTracking = 0;
    int m_bOwnsStrip = 0;
    int m_bCommandOnPress = 0;
    int m_nControlId = 0;
};
