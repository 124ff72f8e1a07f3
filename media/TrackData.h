#pragma once
// The drive data of the open recording: GPS fixes, G-sensor records, speed and
// driver-assistance words. Filled once per opened recording on the GUI thread by
// CTextData::ParseLine and CTextData::InterpolateGTrack, then only read by the
// painters, graph windows, assistance panel and map.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

// Table sizes: one whole hour of recording. G records come at up to 50 a second,
// the resampled track holds 50 slots a second, GPS fixes come about once a second
// (room for two a second). Filling stops at these sizes; counters never pass them.
inline constexpr int kGTrackCapacity = 3600 * 50;
inline constexpr int kGSlotCapacity = 3600 * 50;
inline constexpr int kGpsTableCapacity = 3600 * 2;
// The fixes kept in CTextData::m_aGPSData per recording.
inline constexpr int kGpsFixCapacity = kGpsTableCapacity;

// Size of the buffer each data sample is read into (zero-filled before each read).
inline constexpr std::size_t kDataSampleBufferSize = 1024;
// The G-sensor samples' axes: 64 units a G, so the window's plot (0.625 pixels a unit, 80
// pixels either side of its middle) spans -2 G to 2 G.
inline constexpr int kGSensorUnitsPerG = 64;

// Size of a binary G record on the wire.
inline constexpr std::size_t kGRecordSize = 41;

// One GPS fix from an NMEA RMC sentence.
class CGPSData {
public:
    CGPSData() = default;
    CGPSData(const char* sentence, std::uint32_t stamp);
    virtual ~CGPSData() = default;
    CGPSData(const CGPSData&) = default;
    CGPSData& operator=(const CGPSData&) = default;

    // True when the sentence held at least ten comma-separated fields and a real date
    // (the fix's time is then made). A checksum that is present and wrong leaves every
    // field as it was; a fix needs status 'A', both coordinates with their hemispheres
    // and, once the date field is there, a real date.
    bool ParseRMC(const char* sentence, std::uint32_t stamp);
    // The same for a sentence of known length that need not end in a NUL.
    bool ParseRMC(const char* sentence, std::size_t length, std::uint32_t stamp);
    void ParseTime(const char* field);
    void ParseDate(const char* field);
    void MakeTime();

    // Decimal degrees; south and west are negative.
    double GetLatitude() const;
    double GetLongitude() const;

    std::int32_t m_nYear = 0;     // two digits, 0..99
    std::int32_t m_nMonth = 0;
    std::int32_t m_nDay = 0;
    std::int32_t m_nHour = 0;     // UTC hour + 9, not wrapped
    std::int32_t m_nMinute = 0;
    std::int32_t m_nSecond = 0;
    std::int32_t m_bValid = 0;    // status 'A'
    double m_dLatitude = 0.0;     // ddmm.mmmm, negative unless 'N'
    double m_dLongitude = 0.0;    // dddmm.mmmm, negative unless 'E'
    char m_chNS = 0;
    char m_chEW = 0;
    double m_dSpeed = 0.0;        // km/h, single precision
    double m_dCourse = 0.0;       // degrees, single precision
    std::int64_t m_Time = 0;      // fix time (hour + 9) as local time, from mktime
    std::uint32_t m_nStamp = 0;   // the data sample's time stamp
};

// The G-sensor sample class. Its parser writes the process-wide G tables; the samples the
// G-sensor window plots are made from each stored record (CTextData::m_aGSensorData).
class CGSensorData {
public:
    CGSensorData() = default;
    virtual ~CGSensorData() = default;

    // Writes record `index` of g_aGTrack and row `index` of g_aSpeedAssist from a
    // 41-byte G record and answers index + 1. A record beyond the tables' size is
    // not stored and the index is answered unchanged.
    std::uint32_t ParseGRecord(const unsigned char* record, std::uint32_t index);
    // For a record of known length: missing bytes read as zero.
    std::uint32_t ParseGRecord(const unsigned char* record, std::size_t length, std::uint32_t index);

    std::int32_t m_nAxis1 = 0;
    std::int32_t m_nAxis2 = 0;
    std::int32_t m_nAxis3 = 0;
    std::uint32_t m_nTimeMs = 0;
};

struct GTrackRecord;

// The track data of the open recording.
class CTextData {
public:
    CTextData();
    virtual ~CTextData();
    CTextData(const CTextData&) = delete;
    CTextData& operator=(const CTextData&) = delete;

    // One data sample in the 1,024-byte zero-filled buffer the open routine reads
    // it into. Answers 0.
    int ParseLine(const unsigned char* sample, std::uint32_t stamp);
    // One data sample of known length (need not end in a NUL). Answers 0.
    int ParseLine(const unsigned char* sample, std::size_t length, std::uint32_t stamp);
    // Spreads g_aGTrack over g_nDurationMs at 50 slots a second. Answers 0.
    int InterpolateGTrack();

    std::vector<CGSensorData> m_aGSensorData;  // one per stored G record, emptied at open
    std::vector<CGPSData> m_aGPSData;          // one per RMC sentence, arrival order
    std::int32_t m_nGpsIndex = 0;              // row of g_aGpsTable the next fix writes
    std::int32_t m_nGpsCount = 0;              // RMC sentences taken while the object lives

private:
    void AddGpsFix(const char* sentence, std::size_t length, std::uint32_t stamp);
    void AddGSensorSample(const GTrackRecord& record, std::uint32_t stamp);
};

// One G-sensor record. "X axis" is dGz, "Y axis" dGx, "Z axis" dGy.
struct GTrackRecord {
    double dGz = 0.0;   // (raw - 2048) / 1024
    double dGx = 0.0;
    double dGy = 0.0;
    double dG2z = 0.0;  // raw / 1024
    double dG2x = 0.0;
    double dG2y = 0.0;
    std::int8_t chValid = 0;  // nonzero when the record's clock is valid
    std::int8_t chByte1 = 0;
    std::int8_t chByte2 = 0;
    std::int8_t chHour = 0;
    std::int8_t chMinute = 0;
    std::int8_t chSecond = 0;
};

// Eleven 16-bit words of a G record, as they stand.
struct SpeedAssistRecord {
    enum Word {
        kSpeed = 0,             // km/h
        kLeftGate = 2,          // a left lane warning shows only while this is 0
        kRightGate = 3,
        kLeftLaneState = 4,     // 0 none, 1 lane seen, 2 warning
        kRightLaneState = 5,
        kLeftLaneWarning = 6,
        kRightLaneWarning = 7,
        kCollisionState = 9,    // 0, 1, 2
        kDistance = 10,         // distance to the vehicle ahead x 1000
        kWordCount = 11
    };
    std::uint16_t words[kWordCount] = {};
};

// One row per GPS fix.
struct GpsTableEntry {
    QString strText;              // left empty
    std::int32_t nSpeed = 0;      // km/h, truncated
    double dLatitude = 0.0;       // signed NMEA values as in CGPSData
    double dLongitude = 0.0;
    char chNS = 0;
    char chEW = 0;
    std::int32_t nArrowDx = 0;    // heading arrow of length 23, east and north positive
    std::int32_t nArrowDy = 0;
    double dX = 0.0;              // metres east: 84,800 x longitude degrees
    double dY = 0.0;              // metres north: 110,560 x latitude degrees
};

// Process-wide tables and counters; rows of an earlier, longer recording stay
// beyond the counts, so readers index below the counts only.
extern GTrackRecord g_aGTrack[kGTrackCapacity];
extern std::int32_t g_nGRecordCount;
extern SpeedAssistRecord g_aSpeedAssist[kGTrackCapacity];
extern double g_dPeakG;
extern GTrackRecord g_aGTrackResampled[kGSlotCapacity];
extern std::int32_t g_nGSlotCount;
extern GpsTableEntry g_aGpsTable[kGpsTableCapacity];
extern std::uint8_t g_bResetGpsIndex;

// Play position and duration in milliseconds, published by the main dialog; the
// resampler and the painters read them.
extern std::int32_t g_nPlayPositionMs;
extern std::int32_t g_nDurationMs;
