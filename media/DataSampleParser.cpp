#include "media/DataSampleParser.h"

#include "media/TrackData.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

char* s_pNextToken = nullptr;

constexpr double kArrowLength = 23.0;
constexpr double kKnotsToKmh = 1.852;
constexpr double kMetresPerDegreeLat = 110560.0;
constexpr double kMetresPerDegreeLon = 84800.0;

// Samples carry any bytes, so a field may read as inf or NaN: keep the conversions
// defined.
double ToSingle(double v)
{
    if (std::isnan(v))
        return v;
    if (v > FLT_MAX)
        return HUGE_VAL;
    if (v < -FLT_MAX)
        return -HUGE_VAL;
    return static_cast<float>(v);
}

std::int32_t TruncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return INT_MAX;
    if (v <= -2147483648.0)
        return INT_MIN;
    return static_cast<std::int32_t>(v);
}

// atoi over at most two characters of a field from position pos; 0 when the field
// is shorter.
int TwoDigits(const char* field, std::size_t pos)
{
    const std::size_t len = strnlen(field, pos + 2);
    if (len <= pos)
        return 0;
    char group[3] = {};
    std::memcpy(group, field + pos, len - pos);
    return std::atoi(group);
}

// Decimal degrees of a signed NMEA value divided by 100, as the planar
// coordinates have always been computed.
double PlanarDegrees(double nmea)
{
    const double v = nmea / 100;
    const double t = std::trunc(v);
    return t + (v - t) * 10 / 6;
}

void SetHeadingArrow(int r)
{
    GpsTableEntry& row = g_aGpsTable[r];
    double dx = 0.0;
    double dy = 0.0;
    if (r > 0 && row.dLongitude != 0.0) {
        const GpsTableEntry& prev = g_aGpsTable[r - 1];
        if (prev.dX == row.dX) {
            if (prev.dY == row.dY) {
                // Standing still: keep pointing where we were heading.
                row.nArrowDx = prev.nArrowDx;
                row.nArrowDy = prev.nArrowDy;
                return;
            }
            dy = prev.dY > row.dY ? -kArrowLength : kArrowLength;
        } else {
            const double m = std::fabs((row.dY - prev.dY) / (row.dX - prev.dX));
            dx = std::sqrt(kArrowLength * kArrowLength / (m * m + 1));
            dy = dx * m;
            if (prev.dX > row.dX)
                dx = -dx;
            if (prev.dY > row.dY)
                dy = -dy;
        }
    }
    row.nArrowDx = TruncToInt(dx);
    row.nArrowDy = TruncToInt(dy);
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// NMEA's checksum: two hex digits behind '*', the XOR of every byte between '$' and
// '*'. A sentence without one is taken as it stands, as the camera may write it so; one
// whose digits are missing or do not match was damaged on its way.
bool ChecksumHolds(const char* s, std::size_t n)
{
    const char* star = static_cast<const char*>(std::memchr(s, '*', n));
    if (!star) return true;
    const std::size_t at = static_cast<std::size_t>(star - s);
    if (n - at < 3) return false;
    const int high = HexDigit(star[1]);
    const int low = HexDigit(star[2]);
    if (high < 0 || low < 0) return false;
    unsigned sum = 0;
    for (std::size_t i = s[0] == '$' ? 1 : 0; i < at; ++i) sum ^= static_cast<unsigned char>(s[i]);
    return sum == static_cast<unsigned>(high * 16 + low);
}

// A whole, finite number: a field cut short or filled with other bytes is no coordinate.
bool IsNumber(const char* field)
{
    if (!field || !*field) return false;
    char* end = nullptr;
    const double v = std::strtod(field, &end);
    return *end == '\0' && std::isfinite(v);
}

// The position fields of a fix: latitude, N or S, longitude, E or W.
bool HasPosition(const char* const* fields)
{
    return IsNumber(fields[3]) && fields[4] && (fields[4][0] == 'N' || fields[4][0] == 'S') &&
           IsNumber(fields[5]) && fields[6] && (fields[6][0] == 'E' || fields[6][0] == 'W');
}

// A day of a month of the years the two-digit year stands for (1970-2069).
bool IsDate(int day, int month, int twoDigitYear)
{
    static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
    const int year = (twoDigitYear + 30) % 100 + 1970;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month != 2 || day <= 28 || leap;
}

std::uint16_t Le16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

double Signed16(const unsigned char* p)
{
    return static_cast<std::int16_t>(Le16(p));
}

}  // namespace

char* NextToken(char* text, const char* separators)
{
    if (!separators)
        separators = "";
    char* start;
    if (text) {
        start = text + std::strspn(text, separators);
        if (*start == '\0') {
            s_pNextToken = nullptr;
            return nullptr;
        }
    } else {
        if (!s_pNextToken)
            return nullptr;
        start = s_pNextToken;
    }
    char* end = std::strpbrk(start, separators);
    if (end) {
        *end = '\0';
        s_pNextToken = end + 1;
    } else {
        s_pNextToken = nullptr;
    }
    return start;
}

double DegMinToDegrees(double v)
{
    const double t = std::trunc(v);
    return (v - t) * 100 / 60 + t;
}

CGPSData::CGPSData(const char* sentence, std::uint32_t stamp)
{
    ParseRMC(sentence, stamp);
}

double CGPSData::GetLatitude() const { return DegMinToDegrees(m_dLatitude * 0.01); }
double CGPSData::GetLongitude() const { return DegMinToDegrees(m_dLongitude * 0.01); }

bool CGPSData::ParseRMC(const char* sentence, std::uint32_t stamp)
{
    return ParseRMC(sentence, kDataSampleBufferSize - 1, stamp);
}

bool CGPSData::ParseRMC(const char* sentence, std::size_t length, std::uint32_t stamp)
{
    m_nStamp = stamp;
    // A sentence longer than the work buffer is cut at its end.
    char work[kDataSampleBufferSize];
    const std::size_t n = sentence ? strnlen(sentence, std::min(length, sizeof work - 1)) : 0;
    if (n)
        std::memcpy(work, sentence, n);
    work[n] = '\0';

    if (!ChecksumHolds(work, n))
        return false;  // nothing of a damaged sentence is taken

    const char* fields[10] = {};
    int i = 0;
    char* token = NextToken(work, ",");
    for (; token; ++i) {
        fields[i] = token;
        switch (i) {
        case 1: ParseTime(token); break;
        case 2: m_bValid = token[0] == 'A' ? 1 : 0; break;
        case 3: m_dLatitude = std::atof(token); break;
        case 4:
            m_chNS = token[0];
            if (m_chNS != 'N')
                m_dLatitude *= -1;
            break;
        case 5: m_dLongitude = std::atof(token); break;
        case 6:
            m_chEW = token[0];
            if (m_chEW != 'E')
                m_dLongitude *= -1;
            break;
        case 7: m_dSpeed = ToSingle(std::atof(token) * kKnotsToKmh); break;
        case 8: m_dCourse = ToSingle(std::atof(token)); break;
        case 9: ParseDate(token); break;
        default: break;
        }
        if (i == 9)
            break;
        token = NextToken(nullptr, ",");
    }
    const bool tenFields = i == 9 && token;
    // Leave no position pointing into this stack buffer.
    char empty[1] = {'\0'};
    NextToken(empty, ",");

    if (!HasPosition(fields))
        m_bValid = 0;  // a sentence cut short keeps what it had, but is no fix
    if (!tenFields)
        return false;
    if (!IsDate(m_nDay, m_nMonth, m_nYear)) {
        m_bValid = 0;  // a day or month out of range is no date, and no fix
        return false;
    }
    MakeTime();
    return true;
}

void CGPSData::ParseTime(const char* field)
{
    if (!field)
        field = "";
    m_nHour = TwoDigits(field, 0) + 9;
    m_nMinute = TwoDigits(field, 2);
    m_nSecond = TwoDigits(field, 4);
}

void CGPSData::ParseDate(const char* field)
{
    if (!field)
        field = "";
    m_nDay = TwoDigits(field, 0);
    m_nMonth = TwoDigits(field, 2);
    m_nYear = TwoDigits(field, 4);
}

void CGPSData::MakeTime()
{
    std::tm t{};
    t.tm_year = (m_nYear + 30) % 100 + 70;  // 00-69: 2000-2069, 70-99: 1970-1999
    t.tm_mon = m_nMonth - 1;
    t.tm_mday = m_nDay;
    t.tm_hour = m_nHour;  // 24 and more roll into the next day
    t.tm_min = m_nMinute;
    t.tm_sec = m_nSecond;
    t.tm_isdst = -1;  // the zone's own rule for that date
    m_Time = static_cast<std::int64_t>(std::mktime(&t));
}

std::uint32_t CGSensorData::ParseGRecord(const unsigned char* record, std::uint32_t index)
{
    return ParseGRecord(record, kGRecordSize, index);
}

std::uint32_t CGSensorData::ParseGRecord(const unsigned char* record, std::size_t length,
                                         std::uint32_t index)
{
    if (index >= static_cast<std::uint32_t>(kGTrackCapacity))
        return index;  // the tables are full: the count stays
    unsigned char b[kGRecordSize] = {};
    if (record)
        std::memcpy(b, record, std::min(length, kGRecordSize));

    GTrackRecord& g = g_aGTrack[index];
    g.dGx = (Signed16(b + 1) - 2048) / 1024;
    g.dGy = (Signed16(b + 3) - 2048) / 1024;
    g.dGz = (Signed16(b + 5) - 2048) / 1024;
    g.dG2x = Signed16(b + 7) / 1024;
    g.dG2y = Signed16(b + 9) / 1024;
    g.dG2z = Signed16(b + 11) / 1024;
    g.chValid = static_cast<std::int8_t>(b[13]);
    g.chByte1 = static_cast<std::int8_t>(b[14]);
    g.chByte2 = static_cast<std::int8_t>(b[15]);
    g.chHour = static_cast<std::int8_t>(b[16]);
    g.chMinute = static_cast<std::int8_t>(b[17]);
    g.chSecond = static_cast<std::int8_t>(b[18]);

    SpeedAssistRecord& sa = g_aSpeedAssist[index];
    for (int k = 0; k < SpeedAssistRecord::kWordCount; ++k)
        sa.words[k] = Le16(b + 19 + 2 * k);

    double peak = -1000.0;
    for (double v : {g.dG2z, g.dG2x, g.dG2y})
        if (v > peak)
            peak = v;
    g_dPeakG = peak;
    return index + 1;
}

int CTextData::ParseLine(const unsigned char* sample, std::uint32_t stamp)
{
    return ParseLine(sample, kDataSampleBufferSize, stamp);
}

int CTextData::ParseLine(const unsigned char* sample, std::size_t length, std::uint32_t stamp)
{
    if (!sample || length == 0)
        return 0;
    if (sample[0] == 'M' || sample[0] == 'A') {
        CGSensorData record;
        const auto index = static_cast<std::uint32_t>(g_nGRecordCount);
        g_nGRecordCount = static_cast<std::int32_t>(record.ParseGRecord(sample, length, index));
        if (static_cast<std::uint32_t>(g_nGRecordCount) != index) AddGSensorSample(g_aGTrack[index], stamp);
        return 0;
    }
    // Any talker: bytes 1 and 2 are not looked at.
    const auto is = [](unsigned char c, char upper) { return c == upper || c == upper + ('a' - 'A'); };
    if (length >= 6 && sample[0] == '$' && (is(sample[3], 'R') || is(sample[3], 'N')) &&
        is(sample[4], 'M') && is(sample[5], 'C'))
        AddGpsFix(reinterpret_cast<const char*>(sample), length, stamp);
    return 0;
}

void CTextData::AddGSensorSample(const GTrackRecord& record, std::uint32_t stamp)
{
    // The G-sensor window's samples: the first set by the axes' names (X, Y, Z), at the
    // sample's time.
    auto units = [](double g) { return static_cast<std::int32_t>(g * kGSensorUnitsPerG); };
    CGSensorData s;
    s.m_nAxis1 = units(record.dGz);
    s.m_nAxis2 = units(record.dGx);
    s.m_nAxis3 = units(record.dGy);
    s.m_nTimeMs = stamp;
    m_aGSensorData.push_back(s);
}

void CTextData::AddGpsFix(const char* sentence, std::size_t length, std::uint32_t stamp)
{
    CGPSData fix;
    fix.ParseRMC(sentence, length, stamp);  // a short sentence still gives a fix and a row
    if (m_aGPSData.size() < static_cast<std::size_t>(kGpsFixCapacity))
        m_aGPSData.push_back(fix);

    const int r = m_nGpsIndex;
    if (r >= 0 && r < kGpsTableCapacity) {
        GpsTableEntry& row = g_aGpsTable[r];
        row.nSpeed = TruncToInt(fix.m_dSpeed);
        row.dLatitude = fix.m_dLatitude;
        row.dLongitude = fix.m_dLongitude;
        row.chNS = fix.m_chNS;
        row.chEW = fix.m_chEW;
        row.dY = kMetresPerDegreeLat * PlanarDegrees(row.dLatitude);
        row.dX = kMetresPerDegreeLon * PlanarDegrees(row.dLongitude);
        SetHeadingArrow(r);
        ++m_nGpsIndex;  // stops at the table's end
    }
    if (m_nGpsCount < INT_MAX)
        ++m_nGpsCount;
    if (g_bResetGpsIndex == 1) {
        m_nGpsIndex = 0;
        g_bResetGpsIndex = 0;
    }
}
