// The dashboard painters on a layer like the main window's, from track tables filled by hand:
// the strip's curves, cursor and labels, the info text's lines and what they leave standing,
// the needle and heading dials, the layouts that draw nothing, and reads that stay inside the
// tables whatever the position, duration and counts say.
#include "controls/GuiTest.h"
#include "media/TrackData.h"
#include "platform/ColorRef.h"
#include "settings/CardLanguage.h"
#include "views/DashboardPainters.h"
#include "views/MapGlobals.h"

#include <QPainter>
#include <QRegion>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace {

QRgb Ref(COLORREF c) { return ToQColor(c).rgb() & 0xFFFFFF; }
constexpr COLORREF kCursor = 0x09A9FF;
constexpr COLORREF kNeedle = 0xCE981D;
constexpr COLORREF kInfoBack = 0x323232;
// The strip right of its labels, where the curves run.
constexpr QRect kCurves(256, 575, 392, 85);

bool Transparent(const QImage& layer, int x, int y) { return qAlpha(layer.pixel(x, y)) == 0; }

// How far the 24 blanks of an invalid position reach.
int BlanksWidth() { return QFontMetrics(PainterFont("Arial", 12, 6)).horizontalAdvance(QString(24, ' ')); }

class Painters : public GuiTest {
protected:
    void SetUp() override
    {
        layer = QImage(1020, 720, QImage::Format_ARGB32_Premultiplied);
        layer.fill(Qt::transparent);
        g_nLayoutMode = 0;
        g_nGraphMode = 0;
        g_nSpeedUnit = 0;
        g_nPlayPositionMs = 0;
        g_nDurationMs = 10000;
        g_nGRecordCount = 0;
        g_nGSlotCount = 0;
        g_bGpsValid = 0;
        g_strPlayingFileText = "2017-08-11";
        std::fill(std::begin(g_aGTrack), std::begin(g_aGTrack) + 10, GTrackRecord{});
        std::fill(std::begin(g_aSpeedAssist), std::begin(g_aSpeedAssist) + 10, SpeedAssistRecord{});
        std::fill(std::begin(g_aGTrackResampled), std::begin(g_aGTrackResampled) + 10, GTrackRecord{});
        std::fill(std::begin(g_aGpsTable), std::begin(g_aGpsTable) + 10, GpsTableEntry{});
    }
    void TearDown() override
    {
        g_nLayoutMode = 0;
        g_nGraphMode = 0;
        g_nSpeedUnit = 0;
        g_nGRecordCount = 0;
        g_nGSlotCount = 0;
    }

    void Strip()
    {
        QPainter p(&layer);
        DrawGraphStrip(&p, data);
    }
    void Info()
    {
        QPainter p(&layer);
        DrawInfoText(&p);
    }
    void Dials()
    {
        QPainter p(&layer);
        DrawSpeedometer(&p);
    }
    QRgb At(int x, int y) const { return layer.pixel(x, y) & 0xFFFFFF; }
    // Light pixels of text in a rectangle of the layer (text is smoothed: few are pure white).
    int Ink(QRect r) const
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += !Transparent(layer, x, y) && qGray(layer.pixel(x, y)) > 160;
        return n;
    }
    // Ink of a colour in a rectangle of the layer.
    int Count(QRect r, COLORREF c) const
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) n += !Transparent(layer, x, y) && At(x, y) == Ref(c);
        return n;
    }
    static void OneSpeed(int kmh)
    {
        g_aSpeedAssist[0].words[SpeedAssistRecord::kSpeed] = static_cast<std::uint16_t>(kmh);
        g_nGRecordCount = 1;
    }
    static void AddFix(CTextData& d) { d.m_aGPSData.push_back(CGPSData()); }

    QImage layer;
    CTextData data;
};

TEST_F(Painters, CursorFollowsThePositionAndStopsAt647)
{
    struct Case {
        int position, duration, x;
    } cases[] = {{0, 10000, 255}, {5000, 10000, 453}, {10000, 10000, 647}, {9900, 10000, 647}, {30000, 10000, 647}};
    for (const Case& c : cases) {
        layer.fill(Qt::transparent);
        g_nPlayPositionMs = c.position;
        g_nDurationMs = c.duration;
        Strip();
        // The strip's rows 551 to 640 show from y 575: the cursor runs down the whole strip.
        for (int y : {575, 620, 659}) EXPECT_EQ(At(c.x, y), Ref(kCursor)) << c.position << " y " << y;
        EXPECT_NE(At(c.x + 1, 620), Ref(kCursor)) << c.position;
        EXPECT_EQ(Count(kGraphStripRect, kCursor), 85) << c.position;  // the whole height, x 647 included
    }
}

TEST_F(Painters, GridAndGroundWithoutRecords)
{
    Strip();
    // Lines at 560 ... 640 of the strip's plane appear 19 rows lower.
    for (int y : {579, 599, 619, 639, 659}) EXPECT_EQ(At(400, y), Ref(0x5B4D1C)) << y;
    EXPECT_EQ(At(400, 590), Ref(0x100E0C));
    EXPECT_EQ(Count(kCurves, 0xFFFFFF), 0);  // no curve
    EXPECT_TRUE(Transparent(layer, 300, 574));  // nothing above the strip
    EXPECT_TRUE(Transparent(layer, 648, 600));  // nor right of it
}

TEST_F(Painters, CurvesOfTheThreeModes)
{
    for (int i = 0; i < 2; ++i) {
        g_aGTrack[i].dGz = 1.0;
        g_aGTrack[i].dGx = 3.0;   // limited to 2.0
        g_aGTrack[i].dGy = -1.0;
        g_aGTrack[i].dG2z = 1.0;
        g_aGTrack[i].dG2x = 0.5;
        g_aGTrack[i].dG2y = -0.25;  // no lower limit: below the strip
        g_aSpeedAssist[i].words[SpeedAssistRecord::kSpeed] = 100;
    }
    g_nGRecordCount = 2;
    g_nDurationMs = 10000;
    AddFix(data);
    struct Case {
        int mode, unit;
        int white, yellow, green;  // y on screen, -1 none drawn
    } cases[] = {
        {0, 0, 602 - 23 + 19, 602 - 46 + 19, 602 + 23 + 19},
        {1, 0, 640 - 46 + 19, 640 - 23 + 19, -1},
        {2, 0, -1, -1, 640 - 50 + 19},
        {2, 1, -1, -1, 640 - 31 + 19},  // 100 km/h is 62 mph
    };
    for (const Case& c : cases) {
        layer.fill(Qt::transparent);
        g_nGraphMode = c.mode;
        g_nSpeedUnit = c.unit;
        Strip();
        const int x = 300;
        if (c.white >= 0) {
            EXPECT_EQ(At(x, c.white), Ref(0xFFFFFF)) << c.mode;
        } else {
            EXPECT_EQ(Count(kCurves, 0xFFFFFF), 0) << c.mode;
        }
        if (c.yellow >= 0) {
            EXPECT_EQ(At(x, c.yellow), Ref(0xFFFF00)) << c.mode;
        }
        if (c.green >= 0) {
            EXPECT_EQ(At(x, c.green), Ref(0x00FF00)) << c.mode << " unit " << c.unit;
        } else {
            EXPECT_EQ(Count(kCurves, 0x00FF00), 0) << c.mode;
        }
    }
}

TEST_F(Painters, SpeedModeNeedsFixesAndAWholeSecond)
{
    OneSpeed(80);
    g_nGraphMode = 2;
    g_nPlayPositionMs = 5000;
    struct Case {
        bool fixes;
        int duration;
        bool curve, cursor;
    } cases[] = {{false, 10000, false, false}, {true, 10000, true, true}, {true, 900, false, true}};
    for (const Case& c : cases) {
        layer.fill(Qt::transparent);
        data.m_aGPSData.clear();
        if (c.fixes) AddFix(data);
        g_nDurationMs = c.duration;
        Strip();
        EXPECT_EQ(Count(kCurves, 0x00FF00) > 0, c.curve) << c.fixes << " " << c.duration;
        EXPECT_EQ(Count(kGraphStripRect, kCursor) > 0, c.cursor) << c.fixes << " " << c.duration;
        // The labels stay: 160 at the top, ink on their dark cells.
        EXPECT_GT(Ink(QRect(216, 575, 39, 13)), 5);
        EXPECT_EQ(At(217, 576), Ref(0x0C0C0C));
    }
}

TEST_F(Painters, LabelsOfEachMode)
{
    struct Case {
        int mode, unit;
        const char* labels[5];
    } cases[] = {
        {0, 0, {"       2.0G ", "       1.0G ", "       0.0G ", "      -1.0G ", "      -2.0G "}},
        {1, 0, {"       2.0G ", "       1.5G ", "       1.0G ", "       0.5G ", "       0.0G "}},
        {2, 0, {"      160kph", "      120kph", "      80kph", "      40kph", "      0kph"}},
        {2, 1, {"      160mph", "      120mph", "      80mph", "      40mph", "      0mph"}},
    };
    for (const Case& c : cases) {
        layer.fill(Qt::transparent);
        g_nGraphMode = c.mode;
        g_nSpeedUnit = c.unit;
        Strip();
        QImage want = layer.copy();
        {
            QPainter p(&want);
            p.setFont(PainterFont("Arial", 13, 6));
            for (int i = 0; i < 5; ++i)
                DrawCellText(&p, 216, 575 + 18 * i, 255, 615 + 18 * i, QString::fromLatin1(c.labels[i]), Qt::AlignRight,
                             0xFFFFFF, true, 0x0C0C0C);
        }
        EXPECT_EQ(layer, want) << c.mode << " unit " << c.unit;
    }
}

// The needle's end for speeds in km/h and mph; above 160 it rests at 160.
TEST_F(Painters, NeedleEnds)
{
    struct Case {
        int kmh, unit;
        QPoint end;
    } cases[] = {
        {0, 0, {240, 542}},  {80, 0, {271, 466}},  {159, 0, {304, 541}}, {160, 0, {303, 542}},
        {200, 0, {303, 542}}, {128, 1, {271, 466}}, {100, 1, {249, 472}}, {400, 1, {303, 542}},
    };
    for (const Case& c : cases) {
        layer.fill(Qt::transparent);
        OneSpeed(c.kmh);
        g_nSpeedUnit = c.unit;
        Dials();
        EXPECT_EQ(At(c.end.x(), c.end.y()), Ref(kNeedle)) << c.kmh << " unit " << c.unit;
        // Two pixels further out along the needle there is dial, not needle.
        const QPointF dir = QPointF(c.end - QPoint(272, 511)) / 45.0;
        const QPoint beyond = (QPointF(c.end) + dir * 3).toPoint();
        EXPECT_NE(At(beyond.x(), beyond.y()), Ref(kNeedle)) << c.kmh << " unit " << c.unit;
    }
}

TEST_F(Painters, HeadingDotBelowTwoAndArrowOfTheSecond)
{
    g_aGpsTable[3].nArrowDx = 0;
    g_aGpsTable[3].nArrowDy = 23;  // due north
    struct Case {
        int kmh;
        bool arrow;
    } cases[] = {{0, false}, {1, false}, {2, true}, {159, true}, {160, true}};
    for (const Case& c : cases) {
        layer.fill(Qt::transparent);
        OneSpeed(c.kmh);
        g_nPlayPositionMs = 3500;  // second 3
        Dials();
        EXPECT_EQ(At(384, 510), Ref(kNeedle)) << c.kmh;
        EXPECT_EQ(At(384, 495) == Ref(kNeedle), c.arrow) << c.kmh;
        EXPECT_EQ(At(384, 488) == Ref(kNeedle), c.arrow) << c.kmh;
    }
}

TEST_F(Painters, LatitudeAndLongitudeTexts)
{
    struct Case {
        double v;
        char hemisphere;
        const char* text;
    } cases[] = {
        {3731.5126, 'N', "037 031 30.8 N   "},
        {-3731.5126, 'S', "037 031 30.8 S   "},
        {13946.4696, 'E', "139 046 28.2 E   "},
        {0.0, 'N', "000 000 0.0 N   "},
        {4807.999, 'N', "048 007 59.9 N   "},
    };
    for (const Case& c : cases) EXPECT_EQ(NmeaAngleText(c.v, c.hemisphere), QString::fromLatin1(c.text)) << c.v;
}

// Lines at 465, 490, 515, 540 as the slot allows: an invalid clock keeps what was drawn, a
// negative slot moves the positions up.
TEST_F(Painters, InfoLinesAndWhatTheyLeave)
{
    g_aGTrackResampled[0].chValid = 1;
    g_aGTrackResampled[0].chHour = 12;
    g_aGTrackResampled[0].chMinute = 34;
    g_aGTrackResampled[0].chSecond = 56;
    g_nGSlotCount = 2;  // slot 1 holds no record: its clock is not valid
    g_nPlayPositionMs = 0;
    g_bGpsValid = 1;
    g_dGpsLat = 3731.5126;
    g_chGpsNS = 'N';
    g_dGpsLon = 13946.4696;
    g_chGpsEW = 'E';
    Info();
    const QRect clock(500, 490, 250, 20);
    const QImage withClock = layer.copy(clock);
    EXPECT_GT(Ink(clock), 10);
    EXPECT_EQ(At(501, 491), Ref(kInfoBack));

    // Slot 1: the clock line stays as it was; the position lines are blank cells at 515, 540.
    g_nPlayPositionMs = 9000;
    g_bGpsValid = 0;
    Info();
    EXPECT_EQ(layer.copy(clock), withClock);
    EXPECT_EQ(Ink(QRect(500, 515, BlanksWidth(), 20)), 0);
    EXPECT_EQ(Ink(QRect(500, 540, BlanksWidth(), 20)), 0);
    EXPECT_EQ(At(501, 516), Ref(kInfoBack));
    EXPECT_EQ(At(501, 541), Ref(kInfoBack));

    // No duration and a negative position: no clock line, latitude and longitude at 490, 515.
    layer.fill(Qt::transparent);
    g_nDurationMs = 0;
    g_nPlayPositionMs = -100;
    g_bGpsValid = 1;
    Info();
    EXPECT_GT(Ink(QRect(500, 490, 250, 20)), 10);
    EXPECT_GT(Ink(QRect(500, 515, 250, 20)), 10);
    EXPECT_TRUE(Transparent(layer, 501, 541));
    EXPECT_TRUE(Transparent(layer, 501, 545));
}

// Blanks cover what a longer text left as far as they reach; the first line (no blanks) keeps
// the tail of a longer date.
TEST_F(Painters, OpaqueCellsCoverLongerTexts)
{
    g_bGpsValid = 1;
    g_dGpsLat = 3731.5126;
    g_chGpsNS = 'N';
    g_strPlayingFileText = "2017-08-11 12:34:56 long";
    Info();
    g_strPlayingFileText = "2017";
    g_bGpsValid = 0;
    Info();
    // The 24 blanks cover as far as they reach.
    EXPECT_EQ(Ink(QRect(500, 515, BlanksWidth(), 20)), 0);
    EXPECT_EQ(At(500 + BlanksWidth() - 1, 516), Ref(kInfoBack));
    EXPECT_GT(Ink(QRect(560, 465, 190, 14)), 10);  // the longer date's tail stays
}

// Cells are laid out once and copied after: a copy is what drawing the text there gives, on
// any ground, aligned either way, clipped by its rectangle, and drawn once more.
TEST_F(Painters, TextCellsDrawAsTheTextItself)
{
    const auto reference = [](QPainter* p, QRect clip, const QString& text, bool right, bool opaque) {
        const QFontMetrics fm(p->font());
        const int x = right ? clip.right() + 1 - fm.horizontalAdvance(text) : clip.left();
        p->save();
        p->setClipRect(clip);
        if (opaque) p->fillRect(QRect(x, clip.top(), fm.horizontalAdvance(text), fm.height()), QColor(0x32, 0x32, 0x32));
        p->setPen(Qt::white);
        p->drawText(x, clip.top() + fm.ascent(), text);
        p->restore();
    };
    struct Case {
        const char* text;
        int size;
        QRect clip;
        bool right, opaque;
    } cases[] = {
        {"      -1.0G ", 13, {216, 611, 39, 40}, true, true},
        {"      120kph", 13, {216, 593, 39, 40}, true, true},
        {"12:34:56", 12, {500, 490, 250, 20}, false, true},
        {"037 031 30.8 N   ", 12, {500, 515, 250, 20}, false, true},
        {"                        ", 12, {500, 540, 250, 20}, false, true},
        {"2017-08-11 12:34:56 long", 12, {500, 465, 60, 6}, false, true},  // clipped on two sides
        {"j_/\xC7\xB0\xC5\xB4", 12, {40, 40, 100, 20}, false, true},  // ink beyond its cell (ǰŴ)
        {" 62", 42, {30, 25, 80, 125}, true, false},
    };
    QImage ground(300, 200, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < ground.height(); ++y)
        for (int x = 0; x < ground.width(); ++x) ground.setPixel(x, y, qRgba(x % 256, (y * 3) % 256, (x ^ y) % 256, 255));
    for (const Case& c : cases) {
        const QPoint origin = c.clip.topLeft() - QPoint(20, 20);
        QImage got = ground.copy(), want = ground.copy();
        {
            QPainter p(&got);
            p.translate(-origin);
            p.setFont(PainterFont("Arial", c.size, c.size == 42 ? 0 : 6));
            for (int i = 0; i < 2; ++i)
                DrawCellText(&p, c.clip.left(), c.clip.top(), c.clip.right() + 1, c.clip.bottom() + 1, c.text,
                             c.right ? Qt::AlignRight : Qt::AlignLeft, 0xFFFFFF, c.opaque, kInfoBack);
            QPainter q(&want);
            q.translate(-origin);
            q.setFont(p.font());
            for (int i = 0; i < 2; ++i) reference(&q, c.clip, c.text, c.right, c.opaque);
        }
        EXPECT_EQ(got, want) << c.text;
        EXPECT_NE(got, ground) << c.text;
    }
}

// The strip follows records that change under the same mode and count.
TEST_F(Painters, StripFollowsChangedRecords)
{
    g_nGRecordCount = 2;
    for (double v : {1.0, -1.0, 1.0}) {
        g_aGTrack[0].dGz = g_aGTrack[1].dGz = v;
        layer.fill(Qt::transparent);
        Strip();
        EXPECT_EQ(At(300, 602 - TruncPixel(23 * v) + 19), Ref(0xFFFFFF)) << v;
        EXPECT_NE(At(300, 602 + TruncPixel(23 * v) + 19), Ref(0xFFFFFF)) << v;
    }
    g_nGraphMode = 2;
    AddFix(data);
    Strip();
    EXPECT_EQ(Count(kCurves, 0xFFFFFF), 0);
    EXPECT_GT(Count(kCurves, 0x00FF00), 0);
}

TEST_F(Painters, OtherLayoutsDrawNothing)
{
    OneSpeed(100);
    g_nSpeedUnit = 0;
    g_nGSlotCount = 1;
    g_aGTrackResampled[0].chValid = 1;
    for (int layout : {1, 2}) {
        layer.fill(Qt::transparent);
        g_nLayoutMode = layout;
        g_bResetGpsIndex = 0;
        Strip();
        Info();
        Dials();
        EXPECT_EQ(g_bResetGpsIndex, 1) << layout;
        QImage empty(layer.size(), layer.format());
        empty.fill(Qt::transparent);
        EXPECT_EQ(layer, empty) << layout;
    }
}

// The info text marks the GPS index for a restart: the next recording's second fix writes row 0.
TEST_F(Painters, InfoTextRestartsTheGpsRows)
{
    const char* rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
    CTextData track;
    g_bResetGpsIndex = 0;
    for (int i = 0; i < 3; ++i) track.ParseLine(reinterpret_cast<const unsigned char*>(rmc), std::strlen(rmc), 1000 * i);
    EXPECT_EQ(track.m_nGpsIndex, 3);
    Info();
    EXPECT_EQ(g_bResetGpsIndex, 1);
    track.ParseLine(reinterpret_cast<const unsigned char*>(rmc), std::strlen(rmc), 0);
    EXPECT_EQ(track.m_nGpsIndex, 0);
    EXPECT_EQ(g_bResetGpsIndex, 0);
}

// Positions, durations and counts that point outside the tables read inside them (the
// sanitizer build checks every read).
TEST_F(Painters, ReadsStayInsideTheTables)
{
    struct Case {
        int position, duration, records, slotCount;
    } cases[] = {
        {INT_MAX, 1, 5, 5},
        {INT_MAX, 0, 5, 5},
        {INT_MIN, -7, 5, 5},
        {-5000, 10000, 5, 5},
        {3'000'000, 1000, 0, 0},
        {INT_MAX, 0, kGTrackCapacity + 10, kGSlotCapacity + 10},
        {1'800'000'000, 2'000'000'000, kGTrackCapacity, kGSlotCapacity},
    };
    for (const Case& c : cases) {
        g_nPlayPositionMs = c.position;
        g_nDurationMs = c.duration;
        g_nGRecordCount = c.records;
        g_nGSlotCount = c.slotCount;
        AddFix(data);
        for (int mode : {0, 1, 2}) {
            g_nGraphMode = mode;
            Strip();
        }
        Info();
        Dials();
        EXPECT_GE(ProportionalGRow(c.position, c.duration, c.records), c.records > 0 ? 0 : -1);
        EXPECT_LT(ProportionalGRow(c.position, c.duration, c.records), std::min(c.records, kGTrackCapacity));
    }
    g_nGRecordCount = 0;
}

// A long recording's clock comes from the slot of its position: 32-bit arithmetic would wrap
// after about five minutes.
TEST_F(Painters, ClockOfALongRecording)
{
    g_nDurationMs = 600'000;
    g_nGSlotCount = 30'000;
    const int slot = 29'000;
    g_aGTrackResampled[slot] = GTrackRecord{};
    g_aGTrackResampled[slot].chValid = 1;
    g_aGTrackResampled[slot].chHour = 23;
    g_aGTrackResampled[slot].chMinute = 59;
    g_aGTrackResampled[slot].chSecond = 58;
    g_nPlayPositionMs = 580'000;
    Info();
    QImage want(layer.size(), layer.format());
    want.fill(Qt::transparent);
    {
        QPainter p(&want);
        p.setFont(PainterFont("Arial", 12, 6));
        DrawCellText(&p, 500, 490, 750, 510, "23:59:58", Qt::AlignLeft, 0xFFFFFF, true, kInfoBack);
    }
    EXPECT_EQ(layer.copy(500, 490, 250, 20), want.copy(500, 490, 250, 20));
    g_aGTrackResampled[slot] = GTrackRecord{};
}

// Handed what they drew last, the painters draw only what changed: after every step of a play
// the layer is exactly the one drawn in full each time, and each pixel that changed lies in a
// rectangle they report.
TEST_F(Painters, DrawingOnlyWhatChangedEqualsDrawingItAll)
{
    g_nGRecordCount = 10;
    g_nGSlotCount = 10;
    for (int i = 0; i < 10; ++i) {
        g_aGTrack[i].dGz = 0.2 * i - 1;
        g_aGTrack[i].dGx = 0.1 * i;
        g_aGTrack[i].dG2y = 0.15 * i;
        g_aSpeedAssist[i].words[SpeedAssistRecord::kSpeed] = static_cast<std::uint16_t>(20 * i);
        g_aGpsTable[i].nArrowDx = 23 - 5 * i;
        g_aGpsTable[i].nArrowDy = 2 * i - 9;
        g_aGTrackResampled[i].chValid = 1;
        g_aGTrackResampled[i].chHour = 12;
        g_aGTrackResampled[i].chSecond = static_cast<std::int8_t>(i);
    }
    g_bGpsValid = 1;
    g_dGpsLat = 3731.5126;
    g_chGpsNS = 'N';
    g_dGpsLon = 12702.25;
    g_chGpsEW = 'E';
    const auto at = [](int position, int duration = 10000) {
        return [=] {
            g_nPlayPositionMs = position;
            g_nDurationMs = duration;
        };
    };
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"first", at(1000)},
        {"same position", at(1000)},
        {"later", at(2500)},
        {"slot without a clock", [] { g_aGTrackResampled[3].chValid = 0; g_nPlayPositionMs = 3500; }},
        {"position lost", [] { g_bGpsValid = 0; }},
        {"position back", [] { g_bGpsValid = 1; g_dGpsLat = 3731.6; }},
        {"cursor over the labels", at(-1000)},
        {"negative slot", at(-100, 0)},
        {"back on the curves", at(4200)},
        {"speed without fixes", [] { g_nGraphMode = 2; }},
        {"speed with fixes", [this] { AddFix(data); }},
        {"mph", [] { g_nSpeedUnit = 1; }},
        {"second G set", [] { g_nGraphMode = 1; g_nPlayPositionMs = 5100; }},
        {"standing still", [] { g_aSpeedAssist[5].words[SpeedAssistRecord::kSpeed] = 1; }},
        {"other records", [] { g_aGTrack[4].dG2y = -1.5; }},
        {"full screen", [] { g_nLayoutMode = 1; g_nPlayPositionMs = 7000; }},
        {"normal again", [] { g_nLayoutMode = 0; }},
        {"end", at(10000)},
    };
    QImage full = layer;
    DashboardShown shown;
    for (const auto& [name, step] : steps) {
        step();
        const QImage before = layer.copy();
        {
            QPainter p(&layer);
            DrawGraphStrip(&p, data, &shown);
            DrawInfoText(&p, &shown);
            DrawSpeedometer(&p, &shown);
        }
        {
            QPainter p(&full);
            DrawGraphStrip(&p, data);
            DrawInfoText(&p);
            DrawSpeedometer(&p);
        }
        ASSERT_EQ(layer, full) << name;
        QRegion changed;
        for (const QRect& r : shown.changed) changed += r;
        shown.changed.clear();
        int outside = 0;
        for (int y = 0; y < layer.height(); ++y)
            for (int x = 0; x < layer.width(); ++x)
                outside += layer.pixel(x, y) != before.pixel(x, y) && !changed.contains(QPoint(x, y));
        EXPECT_EQ(outside, 0) << name;
        if (std::string(name) == "same position") {
            EXPECT_TRUE(changed.isEmpty());
        }
    }
    data.m_aGPSData.clear();
}

}  // namespace
