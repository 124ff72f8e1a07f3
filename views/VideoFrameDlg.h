#pragma once
// A child frame window that holds one video pane and clips it while it is zoomed. It is black
// where the pane does not cover it, swallows Enter and Escape so no key closes it, and keeps
// the scroll bars of its template (hidden by the main dialog).
#include "media/DShowPlayer.h"
#include "views/VideoPane.h"

#include <QDialog>

class QScrollBar;

// Scroll bar ids and scroll codes of scroll messages.
inline constexpr int SB_HORZ = 0;
inline constexpr int SB_VERT = 1;
inline constexpr int SB_BOTH = 3;
inline constexpr unsigned SB_LINEUP = 0;
inline constexpr unsigned SB_LINELEFT = 0;
inline constexpr unsigned SB_LINEDOWN = 1;
inline constexpr unsigned SB_LINERIGHT = 1;
inline constexpr unsigned SB_PAGEUP = 2;
inline constexpr unsigned SB_PAGELEFT = 2;
inline constexpr unsigned SB_PAGEDOWN = 3;
inline constexpr unsigned SB_PAGERIGHT = 3;
inline constexpr unsigned SB_THUMBPOSITION = 4;
inline constexpr unsigned SB_THUMBTRACK = 5;
inline constexpr unsigned SB_TOP = 6;
inline constexpr unsigned SB_BOTTOM = 7;
inline constexpr unsigned SB_ENDSCROLL = 8;

class CVideoFrameDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 227;

    explicit CVideoFrameDlg(QWidget* parent = nullptr);
    ~CVideoFrameDlg() override;

    virtual CVideoPane* Pane() const = 0;

    // Control 0xFFFF is the pane.
    QWidget* GetDlgItem(int id) const;

    // Set by the main dialog's swap-view command: the pane starts again at level 1.
    void SetPaneChanged();
    bool m_bPaneChanged = false;

    // The frame's own player renders nothing: the main dialog's player draws into the pane.
    CDShowPlayer m_player;

    void ShowScrollBar(int bar, bool show);
    void SetScrollRange(int bar, int minPos, int maxPos);
    int GetScrollPos(int bar) const;
    void SetScrollPos(int bar, int pos);

    void OnVScroll(unsigned nSBCode, int nPos);
    void OnHScroll(unsigned nSBCode, int nPos);
    // A sideways wheel of exactly one notch scrolls the frame up or down by 20 pixels.
    void OnMouseHWheel(unsigned nFlags, short zDelta);

    // Step of a scroll code: lines 1, pages 20, the thumb to its position.
    static int ScrollStep(unsigned nSBCode, int nPos, int current);
    // The step cut so the position stays within [min, max - extent].
    static int ClampScrollStep(int step, int current, int minPos, int maxPos, int extent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Enter and Escape, in whatever key event, go no further.
    static bool IsSwallowedKey(QEvent* event);
    // Installs the key filter on the pane; called once the pane exists.
    void AdoptPane(CVideoPane* pane, const QString& caption, QRect created, QSize sized);

private:
    QScrollBar* Bar(int bar) const;
    void Scroll(int bar, unsigned nSBCode, int nPos);
    void ApplyStep(int bar, int step);
    void PlaceScrollBars();

    QScrollBar* m_pVScroll = nullptr;
    QScrollBar* m_pHScroll = nullptr;
};
