#include "views/DashboardPainters.h"

#include "media/TrackData.h"
#include "platform/Resources.h"
#include "settings/CardLanguage.h"
#include "views/MapGlobals.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

const QImage& PainterBitmap(int id)
{
    static QHash<int, QImage> cache;
    auto it = cache.find(id);
    if (it == cache.end()) it = cache.insert(id, LoadBitmapResource(id));
    return *it;
}

void PrepareGlyphs(const QFont& font)
{
    // Every printable character: the date line shows the row's text as it stands.
    static const QString glyphs = [] {
        QString s;
        for (char c = ' '; c <= '~'; ++c) s += QLatin1Char(c);
        return s;
    }();
    const QFontMetrics metrics(font);
    QImage scratch(metrics.horizontalAdvance(glyphs) + 8, metrics.height(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&scratch);
    p.setFont(font);
    // Qt keeps a glyph drawn at each quarter of a pixel apart: four starts a quarter apart put
    // every glyph at each of them.
    for (int quarter = 0; quarter < 4; ++quarter) p.drawText(QPointF(quarter / 4.0 + 0.125, metrics.ascent()), glyphs);
}

int TruncPixel(double v)
{
    if (!(v == v)) return 0;
    return static_cast<int>(std::clamp(v, -2.0e9, 2.0e9));
}

int g_nLayoutMode = 0;
int g_nGraphMode = 0;
QString g_strPlayingFileText;

const GCurve kFirstGSet[3] = {{&GTrackRecord::dGz, 0xFFFFFF}, {&GTrackRecord::dGx, 0xFFFF00}, {&GTrackRecord::dGy, 0x00FF00}};
const GCurve kSecondGSet[3] = {{&GTrackRecord::dG2z, 0xFFFFFF}, {&GTrackRecord::dG2x, 0xFFFF00}, {&GTrackRecord::dG2y, 0x00FF00}};

namespace {

constexpr COLORREF kStripBack = 0x100E0C;  // the strip's ground, as dark as the skin's well
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kGreen = 0x00FF00;
constexpr COLORREF kCursorColour = 0x09A9FF;
constexpr COLORREF kNeedleColour = 0xCE981D;
constexpr COLORREF kLabelBack = 0x0C0C0C;
constexpr COLORREF kInfoBack = 0x323232;

constexpr int kSpeedDialId = 446;
constexpr int kHeadingDialId = 447;


// A one-pixel line from its start up to, not including, its end, pixel by pixel (Qt leaves out
// whichever end its own order of drawing puts last).
void PlotLine(QPainter* p, int x1, int y1, int x2, int y2)
{
    const std::int64_t dx = std::abs(std::int64_t(x2) - x1), dy = -std::abs(std::int64_t(y2) - y1);
    if (std::max(dx, -dy) > 65536) {
        p->drawLine(x1, y1, x2, y2);  // far outside anything drawn on; no need to be exact
        return;
    }
    if (dx == 0 || dy == 0) {
        // Straight across or down: the same pixels as a rectangle one pixel thick.
        // The end pixel is left out: the last one in the direction of drawing.
        const int left = x1 < x2 ? x1 : x2 + (x1 != x2), right = x1 < x2 ? x2 - 1 : x1;
        const int top = y1 < y2 ? y1 : y2 + (y1 != y2), bottom = y1 < y2 ? y2 - 1 : y1;
        p->fillRect(QRect(QPoint(left, top), QPoint(right, bottom)), p->pen().color());
        return;
    }
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    std::int64_t err = dx + dy;
    static std::vector<QPoint> points;
    points.clear();
    for (int x = x1, y = y1; x != x2 || y != y2;) {
        points.emplace_back(x, y);
        const std::int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    p->drawPoints(points.data(), static_cast<int>(points.size()));
}

int RecordCount() { return std::clamp(g_nGRecordCount, 0, kGTrackCapacity); }

// One line of the strip's curves, in the strip's plane.
struct StripLine {
    int x1, y1, x2, y2;
    COLORREF colour;
    bool operator==(const StripLine& o) const
    {
        return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2 && colour == o.colour;
    }
};

// The lines of the curves the mode shows, in drawing order.
void StripCurveLines(bool hasFixes, std::vector<StripLine>& lines)
{
    lines.clear();
    const int count = RecordCount();
    if (count == 0 && g_nGraphMode != 2) return;
    if (g_nGraphMode == 0 || g_nGraphMode == 1) {
        if (count <= 0) return;
        const double step = 397.0 / count;
        const bool first = g_nGraphMode == 0;
        auto y = [first](double v) {
            if (first) return 602 - TruncPixel(23 * std::clamp(v, -2.0, 2.0));
            return 640 - TruncPixel(46 * std::min(v, 2.0));
        };
        for (const GCurve& c : first ? kFirstGSet : kSecondGSet) {
            for (int i = 0; i < count - 1; ++i)
                lines.push_back({255 + TruncPixel(i * step), y(g_aGTrack[i].*c.value), 255 + TruncPixel((i + 1) * step),
                                 y(g_aGTrack[i + 1].*c.value), c.colour});
        }
        return;
    }
    if (g_nGraphMode == 2 && hasFixes) {
        const int secs = g_nDurationMs / 1000;
        if (secs <= 0) return;
        const double step = 397.0 / secs;
        for (int i = 0; i < secs; ++i) {
            const int b = SpeedCurveValue(i, secs);
            const int a = i == 0 ? b : SpeedCurveValue(i - 1, secs);
            lines.push_back({255 + TruncPixel(i * step), 640 - TruncPixel(0.5 * a), 255 + TruncPixel((i + 1) * step),
                             640 - TruncPixel(0.5 * b), kGreen});
        }
    }
}

// Label i of the strip's mode (none in another mode). Each is formatted once: they never change.
// The strip's label set: first G set, second G set, kph, mph; -1 for none.
int StripLabelSet()
{
    return g_nGraphMode == 0 || g_nGraphMode == 1 ? g_nGraphMode : g_nGraphMode == 2 ? 2 + (g_nSpeedUnit == 1) : -1;
}

QString StripLabel(int i)
{
    static std::array<std::array<QString, 5>, 4> made;
    const int set = StripLabelSet();
    if (set < 0) return {};
    QString& label = made[set][i];
    if (label.isNull()) {
        if (set == 0) label = QString::asprintf("     %5.1fG ", 2.0 - i);
        else if (set == 1) label = QString::asprintf("     %5.1fG ", 2.0 - i / 2.0);
        else label = QString::asprintf(set == 3 ? "      %dmph" : "      %dkph", 160 - 40 * i);
    }
    return label;
}

// Every number the curves of the mode are computed from, in order, handed to f. The same
// numbers give the same lines: comparing them is much cheaper than computing the lines.
template <class F>
void ForEachStripInput(bool hasFixes, F&& f)
{
    const int count = RecordCount();
    for (double v : {double(g_nGraphMode), double(count), double(hasFixes), double(g_nDurationMs), double(g_nSpeedUnit)})
        f(v);
    if (g_nGraphMode == 0 || g_nGraphMode == 1) {
        for (const GCurve& c : g_nGraphMode == 0 ? kFirstGSet : kSecondGSet)
            for (int i = 0; i < count; ++i) f(g_aGTrack[i].*c.value);
    } else if (g_nGraphMode == 2) {
        for (int i = 0; i < count; ++i) f(double(g_aSpeedAssist[i].words[SpeedAssistRecord::kSpeed]));
    }
}

bool SameStripInputs(bool hasFixes, const std::vector<double>& seen)
{
    std::size_t n = 0;
    bool same = true;
    ForEachStripInput(hasFixes, [&](double v) {
        same = same && n < seen.size() && seen[n] == v;
        ++n;
    });
    return same && n == seen.size();
}

}  // namespace

QString NmeaAngleText(double v, char hemisphere)
{
    const double whole = std::trunc(v);
    const int degrees = std::abs(TruncPixel(v / 100));
    const int minutes = std::abs(TruncPixel(std::fmod(whole, 100.0)));
    const double seconds = std::fabs(std::floor((v - whole) * 60 * 10 + 0.5) / 10);
    return QString::asprintf("%03d %03d %3.1f %c   ", degrees, minutes, seconds, hemisphere ? hemisphere : ' ');
}

namespace {

int SlotCount() { return std::clamp(g_nGSlotCount, 0, kGSlotCapacity); }

// The clock slot of the play position; negative when the position gives none, and possibly
// beyond the filled slots without a positive duration (readers check). The product is taken
// in 64 bits: in 32 it wraps for recordings longer than about five minutes and shows the clock
// of the wrong moment.
std::int64_t ClockSlot()
{
    const std::int64_t count = SlotCount();
    if (g_nDurationMs <= 0) return g_nPlayPositionMs / 50;
    const std::int64_t slot = count * static_cast<std::uint32_t>(g_nPlayPositionMs) / g_nDurationMs;
    if (count == 0) return 0;
    return std::min(slot, count - 1);
}

// The clock and the position change at most once a second, the info text is drawn five times:
// their texts are formatted again only when they change.
const QString& ClockText(const GTrackRecord& r)
{
    static int shown = -1;
    static QString text;
    const auto h = static_cast<unsigned char>(r.chHour), m = static_cast<unsigned char>(r.chMinute),
               sec = static_cast<unsigned char>(r.chSecond);
    if (const int key = h << 16 | m << 8 | sec; key != shown) {
        shown = key;
        text = QString::asprintf("%02d:%02d:%02d", h, m, sec);
    }
    return text;
}

struct AngleText {
    double value = 0;
    char hemisphere = 0;
    QString text;
    const QString& Of(double v, char h)
    {
        // Compared bit for bit: a NaN or a negative zero is formatted as it is.
        if (text.isNull() || std::memcmp(&v, &value, sizeof v) != 0 || h != hemisphere) {
            value = v;
            hemisphere = h;
            text = NmeaAngleText(v, h);
        }
        return text;
    }
};

}  // namespace

int DisplaySpeed(int kmh, int unit) { return unit == 1 ? kmh * 10 / 16 : kmh; }

int ProportionalGRow(double timeMs, std::int32_t durationMs, std::int32_t count)
{
    count = std::clamp(count, 0, kGTrackCapacity);
    if (count == 0) return -1;
    if (durationMs <= 0) return 0;
    const int row = TruncPixel(timeMs / durationMs * static_cast<std::uint32_t>(count));
    return std::clamp(row, 0, count - 1);
}

int SpeedOfRow(int row)
{
    if (row < 0 || row >= RecordCount()) return 0;
    return g_aSpeedAssist[row].words[SpeedAssistRecord::kSpeed];
}

int SpeedCurveValue(int i, int secs)
{
    const int count = RecordCount();
    const int row = count > 0 && secs > 0 ? std::clamp(TruncPixel(double(i) / secs * static_cast<std::uint32_t>(count)), 0, count - 1) : -1;
    return std::min(DisplaySpeed(SpeedOfRow(row), g_nSpeedUnit), 200);
}

void DrawLine(QPainter* pDC, int x1, int y1, int x2, int y2, COLORREF colour)
{
    DrawLineEx(pDC, x1, y1, x2, y2, 1, colour);
}

void DrawLineEx(QPainter* pDC, int x1, int y1, int x2, int y2, int width, COLORREF colour)
{
    const QColor c = ToQColor(colour);
    if (x1 == x2 && y1 == y2) {
        if (width > 1) pDC->fillRect(QRect(x1 - width / 2, y1 - width / 2, width, width), c);
        return;
    }
    const QPen previous = pDC->pen();
    QPen pen(c, std::max(width, 1));
    if (width <= 1) {
        pen.setCosmetic(true);
        pDC->setPen(pen);
        PlotLine(pDC, x1, y1, x2, y2);
    } else {
        pen.setCapStyle(Qt::RoundCap);
        pDC->setPen(pen);
        pDC->drawLine(x1, y1, x2, y2);
    }
    pDC->setPen(previous);
}

QFont PainterFont(const QString& face, int height, int width, int weight)
{
    // Measuring a face is slow and the painters ask for the same few fonts five times a second.
    struct Made {
        QString face;
        int height, width, weight;
        QFont font;
    };
    static std::vector<Made> made;
    for (const Made& m : made)
        if (m.height == height && m.width == width && m.weight == weight && m.face == face) return m.font;

    const bool bold = face.endsWith(QLatin1String(" Bold"), Qt::CaseInsensitive);
    QString family = bold ? face.chopped(5) : face;
    if (family.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0) family = QStringLiteral("Liberation Sans");
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    if (bold || weight >= 700) font.setWeight(QFont::Bold);
    // The height asked for is the character cell (ascent and descent); Qt sizes the em.
    QFont probe = font;
    probe.setPixelSize(100);
    const double cellPerEm = QFontMetricsF(probe).height() / 100.0;
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(height / cellPerEm))));
    if (width > 0) {
        const double average = QFontMetricsF(font).averageCharWidth();
        if (average > 0) font.setStretch(std::clamp(static_cast<int>(std::lround(100.0 * width / average)), 1, 4000));
    }
    made.push_back({face, height, width, weight, font});
    return font;
}

namespace {

// A text cell as DrawCellText paints it: the text's advance and the font's height and ascent,
// and, for an opaque cell whose ink stays inside it, its finished pixels. The painters draw the
// same few texts five times a second: a cell is laid out once and then only copied.
struct TextCell {
    int width = 0, height = 0, ascent = 0;
    QImage pixels;  // ARGB32 premultiplied; null when the text must be drawn each time
};

// A copy of a cell equals drawing it only on the same kind of image with the text on the same
// pixel grid: a premultiplied image, moved by whole pixels at most, painted over plainly.
bool CopiesCells(const QPainter* pDC)
{
    const QPaintDevice* device = pDC->device();
    if (!device || device->devType() != QInternal::Image) return false;
    if (static_cast<const QImage*>(device)->format() != QImage::Format_ARGB32_Premultiplied) return false;
    const QTransform& t = pDC->transform();
    return t.type() <= QTransform::TxTranslate && t.dx() == std::trunc(t.dx()) && t.dy() == std::trunc(t.dy()) &&
           pDC->compositionMode() == QPainter::CompositionMode_SourceOver && pDC->opacity() == 1.0;
}

const TextCell& CellOf(const QPainter* pDC, const QString& text, COLORREF textColour, bool opaque, COLORREF backColour)
{
    // The cells of each font, rendering and resolution, and within them of each pair of
    // colours (no back colour when the cell is not copied), by their text: a key of them all
    // is too slow to build for every text.
    struct ColourCells {
        COLORREF text, back;
        QHash<QString, TextCell> cells;
    };
    struct FontCells {
        QFont font;
        QPainter::RenderHints hints;
        int dpi;
        std::vector<ColourCells> colours;
    };
    static std::vector<FontCells> fonts;
    const QFont& font = pDC->font();
    const int dpi = pDC->device() ? pDC->device()->logicalDpiY() : 0;
    auto f = std::find_if(fonts.begin(), fonts.end(), [&](const FontCells& c) {
        return c.hints == pDC->renderHints() && c.dpi == dpi && c.font == font;
    });
    if (f == fonts.end()) {
        if (fonts.size() >= 16) fonts.clear();
        f = fonts.insert(fonts.end(), {font, pDC->renderHints(), dpi, {}});
    }
    const bool copies = opaque && CopiesCells(pDC);
    const COLORREF back = copies ? backColour : ~0u;
    auto c = std::find_if(f->colours.begin(), f->colours.end(),
                          [&](const ColourCells& k) { return k.text == textColour && k.back == back; });
    if (c == f->colours.end()) {
        if (f->colours.size() >= 16) f->colours.clear();
        c = f->colours.insert(f->colours.end(), {textColour, back, {}});
    }
    QHash<QString, TextCell>& cells = c->cells;
    if (auto found = cells.constFind(text); found != cells.constEnd()) return *found;
    if (cells.size() >= 256) cells.clear();  // the clock and the position texts come and go

    const QFontMetrics fm(pDC->font());
    TextCell cell{fm.horizontalAdvance(text), fm.height(), fm.ascent(), {}};
    const QRect box(0, 0, cell.width, cell.height);
    if (copies && !box.isEmpty()) {
        const auto draw = [&](QImage& img, QPoint origin) {
            QPainter p(&img);
            p.setRenderHints(pDC->renderHints());
            p.setFont(pDC->font());
            p.setPen(ToQColor(textColour));
            p.drawText(origin + QPoint(0, cell.ascent), text);
        };
        // Ink outside the cell would fall on whatever lies beneath: such a text is drawn each time.
        const QRect reach = (fm.boundingRect(text).translated(0, cell.ascent) | box).adjusted(-4, -4, 4, 4);
        QImage ink(reach.size(), QImage::Format_ARGB32_Premultiplied);
        ink.fill(Qt::transparent);
        draw(ink, -reach.topLeft());
        // The box in the ink's own pixels: each new text is scanned whole, pixel by pixel.
        const QRect within = box.translated(-reach.topLeft());
        const int w = ink.width(), h = ink.height();
        bool inside = true;
        for (int y = 0; y < h && inside; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(ink.constScanLine(y));
            const bool rowInside = y >= within.top() && y <= within.bottom();
            for (int x = 0; x < w; ++x)
                if (qAlpha(line[x]) != 0 && !(rowInside && x >= within.left() && x <= within.right())) {
                    inside = false;
                    break;
                }
        }
        if (inside) {
            cell.pixels = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
            cell.pixels.fill(ToQColor(backColour));
            draw(cell.pixels, QPoint(0, 0));
        }
    }
    return *cells.insert(text, cell);
}

}  // namespace

CellDrawn DrawCellText(QPainter* pDC, int left, int top, int right, int bottom, const QString& text, int align,
                       COLORREF textColour, bool opaque, COLORREF backColour)
{
    const TextCell& cell = CellOf(pDC, text, textColour, opaque, backColour);
    const int x = (align & Qt::AlignRight) ? right - cell.width : left;
    const QRect clip(left, top, right - left, bottom - top);
    if (!cell.pixels.isNull()) {
        const QRect shown = QRect(x, top, cell.width, cell.height) & clip;
        if (!shown.isEmpty()) pDC->drawImage(shown.topLeft(), cell.pixels, shown.translated(-x, -top));
        return {shown, true};
    }
    pDC->save();
    pDC->setClipRect(clip, Qt::IntersectClip);
    if (opaque) pDC->fillRect(QRect(x, top, cell.width, cell.height), ToQColor(backColour));
    pDC->setPen(ToQColor(textColour));
    pDC->drawText(x, top + cell.ascent, text);
    pDC->restore();
    return {clip, false};
}

namespace {
QFont StripLabelFont() { return PainterFont(QStringLiteral("Arial"), 13, 6); }
QFont InfoTextFont() { return PainterFont(QStringLiteral("Arial"), 12, 6); }
}  // namespace

void PreparePainters()
{
    PainterBitmap(kSpeedDialId);
    PainterBitmap(kHeadingDialId);
    PrepareGlyphs(StripLabelFont());
    PrepareGlyphs(InfoTextFont());
}

void DrawGraphStrip(QPainter* pDC, const CTextData& textData, DashboardShown* shown)
{
    if (g_nLayoutMode != 0) return;
    // The ground, the grid and the curves change only with the mode and the recording: the
    // strip keeps them composed off screen and draws them again only when their lines change,
    // and computes the lines again only when what they are computed from changes.
    // Only the part that is shown is composed: (216, 556) to (648, 641) of the strip's plane.
    constexpr QPoint kPlane(216, 556);
    static QImage curves;
    static std::uint64_t curvesVersion = 0;
    static std::vector<StripLine> drawn;
    static std::vector<double> drawnFrom;  // the numbers `drawn` was computed from
    const bool hasFixes = !textData.m_aGPSData.empty();
    if (curves.isNull() || !SameStripInputs(hasFixes, drawnFrom)) {
        std::vector<StripLine> lines;
        StripCurveLines(hasFixes, lines);
        drawnFrom.clear();
        ForEachStripInput(hasFixes, [](double v) { drawnFrom.push_back(v); });
        if (curves.isNull() || lines != drawn) {
            curves = QImage(kGraphStripRect.size(), QImage::Format_RGB32);
            curves.fill(ToQColor(kStripBack));
            QPainter p(&curves);
            p.translate(-kPlane);
            DrawLine(&p, 0, 640, 668, 640, kGraphGridColour);
            for (int y : {560, 580, 600, 620, 640}) DrawLine(&p, 0, y, 668, y, kGraphGridColour);
            for (const StripLine& l : lines) DrawLineEx(&p, l.x1, l.y1, l.x2, l.y2, 1, l.colour);
            drawn = std::move(lines);
            ++curvesVersion;
        }
    }
    int cursor = DashboardShown::kNone;
    if (g_nGraphMode != 2 || hasFixes) {
        cursor = g_nDurationMs != 0 ? TruncPixel(double(g_nPlayPositionMs) / g_nDurationMs * 397) + 255 : 255;
        if (cursor > 647) cursor = 647;
    }
    // The cursor's column in the window: the line from 640 up to 550 of the strip's plane,
    // which lies 19 pixels lower, fills the strip's whole height.
    const auto cursorColumn = [](int x) { return QRect(x, kGraphStripRect.top(), 1, kGraphStripRect.height()) & kGraphStripRect; };
    const auto drawCursor = [&] {
        if (cursor != DashboardShown::kNone) pDC->fillRect(cursorColumn(cursor), ToQColor(kCursorColour));
    };
    const int labels = StripLabelSet();
    if (shown && shown->stripDrawn && shown->stripCurves == curvesVersion && shown->stripLabels == labels) {
        // Only the cursor may have moved. Right of the labels (x 255 on) its columns are the
        // curves' and the cursor's alone: the column it leaves gets the curves back.
        const auto rightOfLabels = [](int x) { return x == DashboardShown::kNone || x >= 255; };
        if (cursor == shown->stripCursor) return;
        if (rightOfLabels(cursor) && rightOfLabels(shown->stripCursor)) {
            QRect left, moved;
            if (shown->stripCursor != DashboardShown::kNone) {
                left = cursorColumn(shown->stripCursor);
                if (!left.isEmpty()) pDC->drawImage(left.topLeft(), curves, left.translated(-kGraphStripRect.topLeft()));
            }
            drawCursor();
            if (cursor != DashboardShown::kNone) moved = cursorColumn(cursor);
            // A step of a few pixels is shown as one rectangle: a repaint costs by its rows.
            if (!left.isEmpty() && !moved.isEmpty() && (left | moved).width() <= 16) {
                shown->changed.push_back(left | moved);
            } else {
                for (const QRect& r : {left, moved})
                    if (!r.isEmpty()) shown->changed.push_back(r);
            }
            shown->stripCursor = cursor;
            return;
        }
    }
    pDC->drawImage(kGraphStripRect.topLeft(), curves);
    drawCursor();

    pDC->save();
    pDC->setFont(StripLabelFont());
    for (int i = 0; i < 5; ++i)
        DrawCellText(pDC, 216, 575 + 18 * i, 255, 615 + 18 * i, StripLabel(i), Qt::AlignRight, kWhite, true, kLabelBack);
    pDC->restore();
    if (shown) {
        if (!shown->stripDrawn) shown->opaque.push_back(kGraphStripRect);  // the curves cover it
        shown->stripDrawn = true;
        shown->stripCurves = curvesVersion;
        shown->stripLabels = labels;
        shown->stripCursor = cursor;
        shown->changed.push_back(kGraphStripRect | kGraphLabelRect);
    }
}

void DrawInfoText(QPainter* pDC, DashboardShown* shown)
{
    pDC->save();
    pDC->setFont(InfoTextFont());
    const std::int64_t slot = ClockSlot();
    if (g_nLayoutMode == 0) {
        int y = 465;
        // A line shown already as the same exact cell needs no drawing.
        auto line = [&](const QString& text) {
            const int i = (y - 465) / 25;
            if (shown && !shown->infoLines[i].isNull() && shown->infoLines[i] == text) return;
            const CellDrawn d = DrawCellText(pDC, 500, y, 750, y + 20, text, Qt::AlignLeft, kWhite, true, kInfoBack);
            if (!shown) return;
            shown->infoLines[i] = d.exact ? text : QString();
            if (!d.rect.isEmpty()) shown->changed.push_back(d.rect);
        };
        line(g_strPlayingFileText);
        if (slot >= 0) {
            y += 25;
            // Only a slot that holds a record carries its clock; between records the line
            // keeps the clock drawn last.
            if (slot < SlotCount() && g_aGTrackResampled[slot].chValid != 0) line(ClockText(g_aGTrackResampled[slot]));
        }
        static const QString blanks(24, QLatin1Char(' '));
        static AngleText latitude, longitude;
        y += 25;
        line(g_bGpsValid ? latitude.Of(g_dGpsLat, g_chGpsNS) : blanks);
        y += 25;
        line(g_bGpsValid ? longitude.Of(g_dGpsLon, g_chGpsEW) : blanks);
    }
    pDC->restore();
    g_bResetGpsIndex = 1;
}

void DrawSpeedometer(QPainter* pDC, DashboardShown* shown)
{
    if (g_nLayoutMode != 0) return;
    const int sec = std::clamp(g_nPlayPositionMs / 1000, 0, kGpsTableCapacity - 1);
    const int kmh = SpeedOfRow(ProportionalGRow(g_nPlayPositionMs, g_nDurationMs, g_nGRecordCount));
    const int v = std::min(DisplaySpeed(kmh, g_nSpeedUnit), 160);

    constexpr double kRadians = 0.0174532925;
    int ex, ey;
    if (v <= 80) {
        const double t = (v * 1.6875 - 45) * kRadians;
        ex = TruncPixel(272 - 45 * std::cos(t));
        ey = TruncPixel(511 - 45 * std::sin(t));
    } else {
        const double t = ((160 - v) * 1.6875 - 45) * kRadians;
        ex = TruncPixel(272 + 45 * std::cos(t));
        ey = TruncPixel(511 - 45 * std::sin(t));
    }
    int hx = 384, hy = 510;
    if (v >= 2) {
        const GpsTableEntry& row = g_aGpsTable[sec];
        hx = 384 + row.nArrowDx;
        hy = 510 - row.nArrowDy;
    }
    // The dial's copy rectangle is larger than its bitmap; beyond the bitmap the panel (and the
    // strip drawn before) stays as it is.
    const QImage& speedDial = PainterBitmap(kSpeedDialId);
    const QImage& headingDial = PainterBitmap(kHeadingDialId);
    // A needle two pixels wide with round ends, from the dial's middle.
    const auto reach = [](int x1, int y1, int x2, int y2) {
        return QRect(QPoint(std::min(x1, x2), std::min(y1, y2)), QPoint(std::max(x1, x2), std::max(y1, y2))).adjusted(-2, -2, 2, 2);
    };
    // Drawn within `clip` (everything when null): what lies wholly outside it is left out.
    const auto draw = [&](const QRect& clip = QRect()) {
        const auto reaches = [&](const QRect& r) { return clip.isNull() || clip.intersects(r); };
        if (reaches(QRect(QPoint(219, 459), speedDial.size()))) pDC->drawImage(QPoint(219, 459), speedDial);
        if (reaches(reach(272, 511, ex, ey))) DrawLineEx(pDC, 272, 511, ex, ey, 2, kNeedleColour);
        if (reaches(QRect(QPoint(339, 466), headingDial.size()))) pDC->drawImage(QPoint(339, 466), headingDial);
        if (reaches(reach(384, 510, hx, hy))) DrawLineEx(pDC, 384, 510, hx, hy, 2, kNeedleColour);
    };
    if (!shown) {
        draw();
        return;
    }
    const int needles[4] = {ex, ey, hx, hy};
    if (shown->dialsDrawn && std::equal(needles, needles + 4, shown->needles)) return;
    const QPoint middles[2] = {{272, 511}, {384, 510}};
    if (!shown->dialsDrawn) {
        draw();
        for (const auto& [at, dial] : {std::pair{QPoint(219, 459), &speedDial}, {QPoint(339, 466), &headingDial}})
            if (!dial->hasAlphaChannel()) shown->opaque.push_back(QRect(at, dial->size()));
        QRect all = QRect(QPoint(219, 459), speedDial.size()) | QRect(QPoint(339, 466), headingDial.size());
        for (int k = 0; k < 2; ++k) all |= reach(middles[k].x(), middles[k].y(), needles[2 * k], needles[2 * k + 1]);
        shown->changed.push_back(all);
    } else {
        // The dials are opaque: where neither needle is nor was, drawing them again changes
        // nothing. Around a needle that moved everything is drawn again, in order.
        for (int k = 0; k < 2; ++k) {
            const int* was = shown->needles + 2 * k;
            if (was[0] == needles[2 * k] && was[1] == needles[2 * k + 1]) continue;
            const QPoint m = middles[k];
            const QRect around = reach(m.x(), m.y(), was[0], was[1]) | reach(m.x(), m.y(), needles[2 * k], needles[2 * k + 1]);
            pDC->save();
            pDC->setClipRect(around, Qt::IntersectClip);
            draw(around);
            pDC->restore();
            shown->changed.push_back(around);
        }
    }
    shown->dialsDrawn = true;
    std::copy(needles, needles + 4, shown->needles);
}
