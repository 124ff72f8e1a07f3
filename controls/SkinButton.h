#pragma once
// An owner-drawn button painted from state bitmaps, with a window shape cut from a shape bitmap.
// Push button, check box or radio button; a radio button that becomes checked unchecks the other
// controls of its group.
#include <QAbstractButton>
#include <QColor>
#include <QEvent>
#include <QImage>
#include <QRegion>

// Button styles the kind is taken from.
constexpr unsigned BS_PUSHBUTTON = 0x0;
constexpr unsigned BS_AUTOCHECKBOX = 0x3;
constexpr unsigned BS_AUTORADIOBUTTON = 0x9;

// The private "uncheck" message sent to the other controls of a radio button's group.
constexpr QEvent::Type kSkinUncheckEvent = static_cast<QEvent::Type>(QEvent::User + 0x0500);

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    enum Kind { KindPush = 0, KindCheck = 2, KindRadio = 4 };

    explicit CSkinButton(QWidget* parent = nullptr, unsigned style = BS_PUSHBUTTON);
    ~CSkinButton() override;

    // Loads each non-zero id; a disabled id of 0 takes the normal image. The draw mode is kept to
    // 0..2 (0 plain, the button sized to the normal image; 1 stretched; 2 tiled).
    void SetButtonBitmaps(int normal, int pressed, int hover, int disabled, int focus, int shape,
                          int drawMode = 1, bool edge = false, int focusInset = 0);
    // The same with images (a null image is "no bitmap").
    void SetButtonImages(const QImage& normal, const QImage& pressed, const QImage& hover,
                         const QImage& disabled, const QImage& focus, const QImage& shape,
                         int drawMode = 1, bool edge = false, int focusInset = 0);

    // The region of every pixel that is not exactly white, as one-pixel-high runs.
    static QRegion RegionFromBitmap(const QImage& bitmap);

    void SetCheck(int check);
    int GetCheck() const { return m_bChecked ? 1 : 0; }
    int GetButtonKind() const { return m_nButtonKind; }
    // A control that starts a new group (as a dialog's group style does); by default all the
    // siblings form one group.
    void SetGroupStart(bool on) { m_bGroupStart = on; }
    bool IsGroupStart() const { return m_bGroupStart; }
    bool IsHovering() const { return m_bHovering != 0; }
    int GetDrawMode() const { return m_nDrawMode; }
    void SetTextColor(const QColor& c) { m_crText = c; update(); }
    const QRegion& GetWindowRegion() const { return m_rgnWindow; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void customEvent(QEvent* e) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void DrawStateBitmap(QPainter& p, const QImage& bitmap);
    void ApplyShape();
    QList<QWidget*> GroupSiblings() const;

    unsigned char m_bChecked = 0;
    int m_nButtonKind = KindPush;
    unsigned char m_bHovering = 0;
    unsigned char m_bPressed = 0;
    QImage m_bmpNormal;
    QImage m_bmpPressed;
    QImage m_bmpDisabled;
    QImage m_bmpShape;
    QImage m_bmpHover;
    QImage m_bmpFocus;
    short m_nFocusInset = 0;
    QColor m_crText;
    QRegion m_rgnWindow;
    int m_bEdge = 0;
    short m_nDrawMode = 1;
    bool m_bGroupStart = false;
};
