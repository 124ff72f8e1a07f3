#pragma once
// The drive data painted around the video panes of the main window: the graph strip (G or
// speed curves with the play cursor), the info text (date, record clock, latitude, longitude)
// and the two dials (speed needle, heading arrow). They keep no state between calls: every call
// reads the track tables anew and draws on the painter it is given, in main-window client pixels.
// The main window paints them onto its persistent dashboard layer, so what a call leaves
// undrawn keeps what an earlier call drew there.
//
// Also the drawing helpers the graph windows and the assistance panel share: lines with the
// end point left out, the fonts by their face names, and text on an opaque background cell.
#include "media/TrackData.h"
#include "platform/ColorRef.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>
#include <cstdint>
#include <vector>

class QPainter;

extern int g_nLayoutMode;  // 0 normal, 1 full screen, 2 compact; the painters draw only in 0
extern int g_nGraphMode;   // the strip's curves: 0 first G set, 1 second G set, 2 speed
extern QString g_strPlayingFileText;  // the date text of the playing row, the info text's first line

// What the painters draw into, in main-window client pixels.
// The strip shows x 216 to 647: the cursor stops at 647, so that column is shown too.
inline constexpr QRect kGraphStripRect(216, 575, 432, 85);
inline constexpr QRect kGraphLabelRect(216, 575, 39, 112);
inline constexpr QRect kInfoTextRect(500, 465, 250, 95);
inline constexpr QRect kSpeedometerRect(219, 459, 209, 106);

// What the painters last drew on a layer that keeps its pixels (the main window's dashboard),
// always through a painter with the same transform. Handed it, a painter draws only what
// differs from its last drawing there, with the same pixels as drawing it all again, and adds
// the rectangles whose pixels it may have changed to `changed`. A new one (or Reset) makes the
// next call of each painter draw everything.
struct DashboardShown {
    static constexpr int kNone = -0x7FFFFFFF;
    bool stripDrawn = false;
    std::uint64_t stripCurves = 0;  // the composed curves, by their version
    int stripLabels = kNone;        // the label set
    int stripCursor = kNone;        // the cursor's column, kNone for no cursor
    // Each info line's text when it was last drawn as an exact copy of its cell (null when it
    // was not, or is yet to be drawn).
    QString infoLines[4];
    bool dialsDrawn = false;
    int needles[4] = {};  // the two needles' end points: speed x, y, heading x, y
    std::vector<QRect> changed;
    // Where the layer holds opaque bitmaps that only opaque drawing goes over: what lies beneath
    // there never shows.
    std::vector<QRect> opaque;
    void Reset() { *this = DashboardShown(); }
};

void DrawGraphStrip(QPainter* pDC, const CTextData& textData, DashboardShown* shown = nullptr);
// Sets g_bResetGpsIndex to 1 in every layout.
void DrawInfoText(QPainter* pDC, DashboardShown* shown = nullptr);
void DrawSpeedometer(QPainter* pDC, DashboardShown* shown = nullptr);

// The grid colour of the strip and the graph window.
inline constexpr COLORREF kGraphGridColour = 0x5B4D1C;
// One G value of a record and its curve's colour. Every display draws X axis (dGz) white,
// Y axis (dGx) 0xFFFF00 and Z axis (dGy) green, and the second set alike.
struct GCurve {
    double GTrackRecord::*value;
    COLORREF colour;
};
extern const GCurve kFirstGSet[3];
extern const GCurve kSecondGSet[3];

// A bitmap resource the painters copy from: they never change, so each is loaded once.
const QImage& PainterBitmap(int id);

// Load ahead of play what the first update to use it would otherwise load (a bitmap or a
// face costs about a millisecond, a frame's time of the video): the dials' bitmaps and the
// painters' fonts; a font's face with the glyphs of every printable character.
void PreparePainters();
void PrepareGlyphs(const QFont& font);

// A pixel coordinate truncated toward zero from a double that may lie outside int (or be NaN).
int TruncPixel(double v);

// A straight line with a temporary pen. A one-pixel line leaves its end point unpainted (so a
// zero-length one paints nothing); a wider one has round ends (a zero-length one is a dot).
void DrawLine(QPainter* pDC, int x1, int y1, int x2, int y2, COLORREF colour);
void DrawLineEx(QPainter* pDC, int x1, int y1, int x2, int y2, int width, COLORREF colour);

// A font by the face name the drawing code asks for ("Arial", "Arial Bold" map to Liberation
// Sans, its metric twin), with the cell height in pixels and, when not 0, the average
// character width; weight 0 is the face's own.
QFont PainterFont(const QString& face, int height, int width = 0, int weight = 0);

// Text in the rectangle (left, top, right, bottom; right and bottom exclusive), clipped to it,
// aligned left or right (Qt::AlignLeft or Qt::AlignRight) at the top. With an opaque background
// the text's own cell (its advance by the font's height) is filled first, so trailing blanks
// cover what a longer text left. Answers the rectangle it may have changed, and whether those
// pixels are the same whatever lay beneath (an opaque cell with all its ink inside): drawing
// such a text again where it is already changes nothing.
struct CellDrawn {
    QRect rect;
    bool exact = false;
};
CellDrawn DrawCellText(QPainter* pDC, int left, int top, int right, int bottom, const QString& text, int align,
                  COLORREF textColour, bool opaque, COLORREF backColour = 0);

// "037 031 30.8 N   ": degrees, minutes and seconds to a tenth of an NMEA value ddmm.mmmm
// (dddmm.mmmm) with its hemisphere letter, as the info text shows a position.
QString NmeaAngleText(double v, char hemisphere);

// Speed in the display unit: mph is km/h x 10 / 16, truncated.
int DisplaySpeed(int kmh, int unit);
// The G record that belongs to a time, spread evenly over the duration, inside the records
// (-1 when there are none).
int ProportionalGRow(double timeMs, std::int32_t durationMs, std::int32_t count);
// Speed word of a G record row, 0 for a row outside the records.
int SpeedOfRow(int row);
// The speed curve's value at whole second i of secs: the speed of the G record spread onto
// that second, in the display unit, at most 200.
int SpeedCurveValue(int i, int secs);
