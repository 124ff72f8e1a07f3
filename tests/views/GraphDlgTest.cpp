// The graph window drawn from track tables filled by hand: the grid by duration, both layouts,
// the three modes with their labels, legend and curves, the mouse read-out and the mode button.
#include "controls/BitmapButton.h"
#include "controls/GuiTest.h"
#include "media/TrackData.h"
#include "platform/ColorRef.h"
#include "platform/Resources.h"
#include "settings/CardLanguage.h"
#include "views/DashboardPainters.h"
#include "views/GraphDlg.h"

#include <QPainter>
#include <QTest>

namespace {

QRgb Ref(COLORREF c) { return ToQColor(c).rgb() & 0xFFFFFF; }
constexpr COLORREF kGrid = 0x5B4D1C;

class GraphDlgTest : public GuiTest {
protected:
    void SetUp() override
    {
        g_nLayoutMode = 0;
        g_nSpeedUnit = 0;
        g_nDurationMs = 10000;
        g_nGRecordCount = 0;
    }
    void TearDown() override
    {
        g_nLayoutMode = 0;
        g_nSpeedUnit = 0;
        g_nGRecordCount = 0;
    }
    QImage Show()
    {
        dlg.OnInitDialog();
        dlg.show();
        return Render(&dlg);
    }
    // A fresh run in a layout and speed unit, switched to a mode by its button's handler.
    QImage ShowIn(int layout, int mode, int unit)
    {
        g_nLayoutMode = layout;
        g_nSpeedUnit = unit;
        Show();
        while (dlg.m_nGraphMode != mode) dlg.OnBnClickedChangeGraph();
        return Render(&dlg);
    }
    // Two records with the same values: flat curves across the plot's first half.
    static void TwoFlatRecords()
    {
        for (int i = 0; i < 2; ++i) {
            g_aGTrack[i] = GTrackRecord{};
            g_aGTrack[i].dGz = 1.0;
            g_aGTrack[i].dGx = 0.5;
            g_aGTrack[i].dGy = -1.0;
            g_aGTrack[i].dG2z = 1.0;
            g_aGTrack[i].dG2x = 0.5;
            g_aGTrack[i].dG2y = 0.25;
            g_aSpeedAssist[i] = SpeedAssistRecord{};
            g_aSpeedAssist[i].words[SpeedAssistRecord::kSpeed] = 100;
        }
        g_nGRecordCount = 2;
    }

    CGraphDlg dlg;
};

TEST_F(GraphDlgTest, WindowAndButtonInBothLayouts)
{
    struct Case {
        int layout;
        QSize size;
    } cases[] = {{0, {990, 600}}, {2, {800, 540}}};
    for (const Case& c : cases) {
        g_nLayoutMode = c.layout;
        Show();
        EXPECT_EQ(dlg.size(), c.size) << c.layout;
        EXPECT_EQ(dlg.pos(), QPoint(0, 0)) << c.layout;
        EXPECT_EQ(dlg.windowTitle(), "Graph");
        EXPECT_EQ(dlg.GetDlgItem(2196)->geometry(), QRect(920, 530, 40, 39));
        EXPECT_EQ(dlg.m_nGraphMode, 0);
    }
}

TEST_F(GraphDlgTest, ModeButtonCyclesImagesAndModes)
{
    Show();
    auto* button = qobject_cast<CBitmapButton*>(dlg.GetDlgItem(CGraphDlg::IDC_BTN_CHANGE_GRAPH));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->GetNormalImage(), LoadBitmapResource(405));
    const struct {
        int mode, image;
    } steps[] = {{1, 404}, {2, 406}, {0, 405}};
    for (const auto& s : steps) {
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(dlg.m_nGraphMode, s.mode);
        EXPECT_EQ(button->GetNormalImage(), LoadBitmapResource(s.image)) << s.mode;
    }
    // A fresh run starts in mode 0 again.
    QTest::mouseClick(button, Qt::LeftButton);
    Show();
    EXPECT_EQ(dlg.m_nGraphMode, 0);
}

// A vertical grid line a second; the last whole second has one only from 30 seconds on.
TEST_F(GraphDlgTest, SecondLinesByDuration)
{
    struct Case {
        int layout, durationMs;
        bool lastLine;
    } cases[] = {{0, 10500, false}, {0, 29500, false}, {0, 30500, true}, {2, 10500, false}, {2, 30500, true}};
    for (const Case& c : cases) {
        g_nLayoutMode = c.layout;
        g_nDurationMs = c.durationMs;
        const CGraphDlg::Geometry g = CGraphDlg::PlotGeometry();
        const QImage shot = Show();
        const int secs = c.durationMs / 1000;
        const double pps = double(g.width) / c.durationMs * 1000;
        const int y = g.y0 - g.row / 2;  // between two horizontal lines
        for (int i = 0; i < secs; ++i)
            EXPECT_EQ(Rgb(shot, g.x0 + int(i * pps), y), Ref(kGrid)) << c.durationMs << " second " << i;
        const int lastX = g.x0 + int(secs * pps);
        EXPECT_EQ(Rgb(shot, lastX, y) == Ref(kGrid), c.lastLine) << c.durationMs << " layout " << c.layout;
        // Between two seconds there is ground; the rows are g.row apart up to 20 rows.
        EXPECT_EQ(Rgb(shot, g.x0 + int(pps / 2), y), Ref(0x0C0C0C));
        for (int k = 1; k <= 20; ++k) EXPECT_EQ(Rgb(shot, g.x0 + int(pps / 2), g.y0 - k * g.row), Ref(kGrid)) << k;
        EXPECT_EQ(Rgb(shot, g.x0 + g.width, y), Ref(kGrid));  // the frame's right edge
    }
}

// Labels and legend are the texts of the mode, at their places.
TEST_F(GraphDlgTest, LabelsAndLegendByMode)
{
    auto expectText = [](const QImage& shot, QRect r, const QString& text, int align, COLORREF colour, const char* what) {
        QImage want(shot.size(), QImage::Format_RGB32);
        want.fill(ToQColor(0x0C0C0C));
        QPainter p(&want);
        p.setFont(PainterFont("Arial Bold", 14, 7));
        DrawCellText(&p, r.left(), r.top(), r.right() + 1, r.bottom() + 1, text, align, colour, true, 0x0C0C0C);
        p.end();
        // The text's own cell: where the expected drawing has ink, the window has the same.
        int ink = 0;
        for (int y = r.top(); y < std::min(r.top() + 16, r.bottom() + 1); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (Rgb(want, x, y) != Ref(0x0C0C0C)) {
                    ++ink;
                    EXPECT_EQ(Rgb(shot, x, y), Rgb(want, x, y)) << what << " " << text.toStdString() << " at " << x << "," << y;
                    if (Rgb(shot, x, y) != Rgb(want, x, y)) return;
                }
        EXPECT_GT(ink, 10) << what;
    };
    struct Case {
        int layout, mode, unit;
        const char *bottom, *middle, *top;
    } cases[] = {
        {0, 0, 0, "-2.00G", "0.00G", "2.00G"},  {0, 1, 0, "0.00G", "1.00G", "2.00G"},
        {0, 2, 0, "0kph", "100kph", "200kph"},  {0, 2, 1, "0mph", "100mph", "200mph"},
        {2, 0, 0, "-2.00G", "0.00G", "2.00G"},
    };
    for (const Case& c : cases) {
        const QImage shot = ShowIn(c.layout, c.mode, c.unit);
        const CGraphDlg::Geometry g = CGraphDlg::PlotGeometry();
        // Row i's label starts at y0 - 7 - i * row; only its first line shows above the next.
        auto labelRect = [&](int i) { return QRect(QPoint(g.x0 - 55, g.y0 - 7 - i * g.row), QPoint(g.x0 - 6, g.y0 - 7 - i * g.row + 15)); };
        expectText(shot, labelRect(0), c.bottom, Qt::AlignRight, 0xFFFFFF, "bottom label");
        expectText(shot, labelRect(10), c.middle, Qt::AlignRight, 0xFFFFFF, "middle label");
        expectText(shot, labelRect(20), c.top, Qt::AlignRight, 0xFFFFFF, "top label");
        if (c.layout == 0) {
            if (c.mode == 2) {
                expectText(shot, QRect(QPoint(810, 24), QPoint(959, 64)), "Speed", Qt::AlignRight, 0x00FF00, "legend");
            } else {
                expectText(shot, QRect(QPoint(810, 24), QPoint(859, 64)), "X axis", Qt::AlignRight, 0xFFFFFF, "legend");
                expectText(shot, QRect(QPoint(860, 24), QPoint(909, 64)), "Y axis", Qt::AlignRight, 0xFFFF00, "legend");
                expectText(shot, QRect(QPoint(910, 24), QPoint(959, 64)), "Z axis", Qt::AlignRight, 0x00FF00, "legend");
            }
        }
    }
}

// Mode 0 keeps 120 pixels a G around the middle line and mode 2 2.4 pixels a unit in both
// layouts; mode 1 follows the rows.
TEST_F(GraphDlgTest, CurvesByModeAndLayout)
{
    TwoFlatRecords();
    struct Case {
        int layout, mode, unit;
        int y[3];  // white, yellow, green; -1 none
    } cases[] = {
        {0, 0, 0, {280 - 120, 280 - 60, 280 + 120}}, {2, 0, 0, {250 - 120, 250 - 60, 250 + 120}},
        {0, 1, 0, {520 - 240, 520 - 120, 520 - 60}}, {2, 1, 0, {460 - 210, 460 - 105, 460 - 52}},
        {0, 2, 0, {-1, -1, 520 - 240}},              {2, 2, 0, {-1, -1, 460 - 240}},
        {0, 2, 1, {-1, -1, 520 - 148}},              // 100 km/h is 62 mph
    };
    const COLORREF colours[3] = {0xFFFFFF, 0xFFFF00, 0x00FF00};
    for (const Case& c : cases) {
        const QImage shot = ShowIn(c.layout, c.mode, c.unit);
        const int x = 60 + CGraphDlg::PlotGeometry().width / 4;
        for (int k = 0; k < 3; ++k) {
            if (c.y[k] < 0) continue;
            EXPECT_EQ(Rgb(shot, x, c.y[k]), Ref(colours[k])) << "layout " << c.layout << " mode " << c.mode << " curve " << k;
        }
    }
}

TEST_F(GraphDlgTest, NoRecordsDrawsNoGCurve)
{
    g_nGRecordCount = 0;
    g_aGTrack[0].dGz = 1.0;  // left over from an earlier recording: not drawn
    const QImage shot = Show();
    EXPECT_NE(Rgb(shot, 285, 160), Ref(0xFFFFFF));
    EXPECT_EQ(Rgb(shot, 285, 170), Ref(0x0C0C0C));
}

TEST_F(GraphDlgTest, MouseReadOut)
{
    struct Case {
        int layout, mode, unit, y;
        const char* text;
    } cases[] = {
        {0, 0, 0, 520, "-2.00 G"}, {0, 0, 0, 40, " 2.00 G"},  {0, 0, 0, 600, "-2.00 G"}, {0, 0, 0, 0, " 2.00 G"},
        {0, 1, 0, 280, " 1.00 G"}, {0, 1, 0, 600, " 0.00 G"}, {0, 2, 0, 0, "200 kph"},   {0, 2, 0, 520, "000 kph"},
        // The speed is truncated from y / -480 + 520 / 480, which lies a hair below the line's
        // value: the line at 40 reads 199.
        {0, 2, 0, 40, "199 kph"},  {0, 2, 1, 280, "099 mph"}, {2, 0, 0, 520, "-2.00 G"},  {2, 0, 0, 40, " 2.00 G"},
    };
    for (const Case& c : cases) {
        ShowIn(c.layout, c.mode, c.unit);
        QTest::mouseMove(&dlg, QPoint(300, c.y));
        dlg.OnMouseMove(0, QPoint(300, c.y));
        EXPECT_EQ(dlg.ReadOut(), QString::fromLatin1(c.text)) << c.y;
        const QImage shot = Render(&dlg);
        // White ink at (60, 10) onwards.
        int ink = 0;
        for (int y = 10; y < 26; ++y)
            for (int x = 60; x < 130; ++x) ink += Rgb(shot, x, y) == Ref(0xFFFFFF);
        EXPECT_GT(ink, 10) << c.text;
    }
}

TEST_F(GraphDlgTest, ScreenshotOfEachMode)
{
    g_nDurationMs = 40000;
    for (int i = 0; i < 400; ++i) {
        const double t = i / 10.0;
        g_aGTrack[i] = GTrackRecord{};
        g_aGTrack[i].dGz = 0.3 * std::sin(t);
        g_aGTrack[i].dGx = 0.2 * std::cos(t * 1.3);
        g_aGTrack[i].dGy = 1.0 + 0.1 * std::sin(t * 5);
        g_aGTrack[i].dG2z = 0.1 * t / 4;
        g_aGTrack[i].dG2x = 0.5 + 0.5 * std::sin(t);
        g_aGTrack[i].dG2y = 0.4 + 0.4 * std::cos(t);
        g_aSpeedAssist[i].words[SpeedAssistRecord::kSpeed] = static_cast<std::uint16_t>(40 + 20 * std::sin(t / 10));
    }
    g_nGRecordCount = 400;
    Show();
    for (int mode = 0; mode < 3; ++mode) {
        EXPECT_FALSE(SaveArtefact(&dlg, QString("graph_window_mode%1").arg(mode)).isEmpty());
        dlg.OnBnClickedChangeGraph();
    }
}

}  // namespace
