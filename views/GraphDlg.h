#pragma once
// The graph window: the whole open recording plotted in one of three modes (first G set,
// second G set, speed) on a grid with axis labels and a legend, and the value under the mouse.
// Run modally by the main window's GRAPH command; every paint reads the track tables anew.
#include <QDialog>
#include <QPoint>
#include <QSize>
#include <QString>

class CBitmapButton;

class CGraphDlg : public QDialog {
    Q_OBJECT
public:
    enum : int { IDD = 359, IDC_BTN_CHANGE_GRAPH = 2196 };

    // The plot's place in the window, by layout (the compact layout is g_nLayoutMode 2).
    struct Geometry {
        QSize size;   // client size
        int x0;       // plot left
        int y0;       // baseline
        int width;    // plot width
        int row;      // height of one of the 20 grid rows
    };
    static Geometry PlotGeometry();

    explicit CGraphDlg(QWidget* pParent = nullptr);
    ~CGraphDlg() override;

    // Sets the window up and runs it modally; each run starts in mode 0.
    int DoModal();
    bool OnInitDialog();
    void OnBnClickedChangeGraph();
    void OnMouseMove(unsigned nFlags, QPoint point);

    QWidget* GetDlgItem(int id) const;
    // The read-out the mouse last left (empty after a repaint of the whole window).
    QString ReadOut() const { return m_strReadOut; }

    int m_nGraphMode = 0;  // 0 first G set, 1 second G set, 2 speed; the strip's mode is its own
    CBitmapButton* m_btnChangeGraph = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void LoadButtonImages(int normal, int pressed);

    QString m_strReadOut;
};
