#pragma once
// The small G-sensor window: 60 seconds of the open recording's G-sensor samples over a bitmap
// background, with a cursor at the play position that the main window's position update moves.
// Made once by the main window's G-sensor command and then only shown again.
#include <QDialog>
#include <QImage>
#include <cstdint>

class CTextData;

class CGSensorDlg : public QDialog {
    Q_OBJECT
public:
    enum : int { IDD = 217 };

    // trackData: the main window's track data, whose samples the window plots.
    explicit CGSensorDlg(const CTextData* trackData, QWidget* pParent = nullptr);
    ~CGSensorDlg() override;

    bool OnInitDialog();
    // The plot again with the cursor at the play position; 0 draws no cursor.
    void UpdateGSensorCursor(std::uint32_t nPositionMs);
    void DrawGSensorGraph(QPainter* pDC, std::uint32_t nPositionMs);
    void DrawGSensorCurves(QPainter* pDC);

    std::uint32_t CursorPosition() const { return m_nCursorMs; }

    // Where the plot bitmap goes in the window, and its size.
    static constexpr int kPlotX = 46, kPlotY = 31;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const CTextData* m_pTrackData;
    QImage m_bmpPlot;            // the plot bitmap, fresh for every drawing
    std::uint32_t m_nCursorMs = 0;
};
