#pragma once
// The small G-sensor window: 60 seconds of the open recording's G-sensor samples over a bitmap
// background, with a cursor at the play position that the main window's position update moves.
// Made once by the main window's G-sensor command and then only shown again.
#include <QDialog>
#include <QImage>
#include <QPolygon>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class CTextData;

class CGSensorDlg : public QDialog {
    Q_OBJECT
public:
    enum : int { IDD = 217 };

    // trackData: the main window's track data, whose samples the window plots.
    explicit CGSensorDlg(const CTextData* trackData, QWidget* pParent = nullptr);
    ~CGSensorDlg() override;

    bool OnInitDialog();
    // The cursor at the play position; 0 draws no cursor.
    void UpdateGSensorCursor(std::uint32_t nPositionMs);
    void DrawGSensorGraph(QPainter* pDC, std::uint32_t nPositionMs);
    void DrawGSensorCurves(QPainter* pDC);

    std::uint32_t CursorPosition() const { return m_nCursorMs; }

    // Where the plot bitmap goes in the window, and its size.
    static constexpr int kPlotX = 46, kPlotY = 31;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QRect PlotRect();
    static std::optional<int> CursorColumn(std::uint32_t nPositionMs);
    // The three curves of the samples in the plot's pixels (none without samples).
    std::array<QPolygon, 3> CurveLines() const;
    // Whether the samples the curves are drawn from (those of the first 60 seconds) are still
    // the ones m_bmpPlot was drawn from; comparing them is cheaper than computing the curves.
    bool PlotIsCurrent() const;
    template <class F>
    void ForEachPlottedSample(F&& f) const;

    const CTextData* m_pTrackData;
    QImage m_bmpPlot;  // the plot bitmap with the curves drawn on it
    std::vector<std::array<std::int32_t, 4>> m_plotSamples;  // time and axes m_bmpPlot is drawn from
    std::uint32_t m_nCursorMs = 0;
};
