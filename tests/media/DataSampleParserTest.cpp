// Data-sample parsing: RMC sentences into fixes and GPS rows, G records into the G
// tables, the tokenizer, and safety on any sample bytes.
#include "media/DataSampleParser.h"
#include "media/TrackData.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kExample = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";

class ParserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        g_nGRecordCount = 0;
        g_bResetGpsIndex = 0;
        g_dPeakG = 0.0;
    }

    // The sample as the open routine hands it over: in a zero-filled 1,024-byte buffer.
    void Feed(const std::string& sample, std::uint32_t stamp = 0)
    {
        std::vector<unsigned char> buffer(kDataSampleBufferSize, 0);
        std::memcpy(buffer.data(), sample.data(), std::min(sample.size(), buffer.size()));
        EXPECT_EQ(0, data.ParseLine(buffer.data(), stamp));
    }

    // A fix at signed NMEA latitude and longitude (ddmm.mmmm).
    void FeedAt(double lat, double lon)
    {
        char s[128];
        std::snprintf(s, sizeof s, "$GPRMC,120000,A,%.4f,%c,%.4f,%c,010.0,000.0,010124", std::abs(lat),
                      lat < 0 ? 'S' : 'N', std::abs(lon), lon < 0 ? 'W' : 'E');
        Feed(s);
    }

    CTextData data;
};

std::array<unsigned char, kGRecordSize> GRecord(char kind, const std::array<std::int16_t, 6>& raw,
                                                const std::array<std::int8_t, 6>& bytes,
                                                const std::array<std::uint16_t, 11>& words)
{
    std::array<unsigned char, kGRecordSize> r{};
    r[0] = static_cast<unsigned char>(kind);
    for (int i = 0; i < 6; ++i) {
        r[1 + 2 * i] = static_cast<unsigned char>(raw[i] & 0xFF);
        r[2 + 2 * i] = static_cast<unsigned char>((static_cast<std::uint16_t>(raw[i]) >> 8) & 0xFF);
    }
    for (int i = 0; i < 6; ++i)
        r[13 + i] = static_cast<unsigned char>(bytes[i]);
    for (int i = 0; i < 11; ++i) {
        r[19 + 2 * i] = static_cast<unsigned char>(words[i] & 0xFF);
        r[20 + 2 * i] = static_cast<unsigned char>(words[i] >> 8);
    }
    return r;
}

int YearOf(std::int64_t t)
{
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    return tm.tm_year + 1900;
}

TEST_F(ParserTest, ExampleSentenceGivesTheFix)
{
    Feed(kExample, 4321);
    ASSERT_EQ(1u, data.m_aGPSData.size());
    const CGPSData& f = data.m_aGPSData[0];
    EXPECT_EQ(21, f.m_nHour);
    EXPECT_EQ(35, f.m_nMinute);
    EXPECT_EQ(19, f.m_nSecond);
    EXPECT_EQ(1, f.m_bValid);
    EXPECT_DOUBLE_EQ(48 * 100 + 7.038, f.m_dLatitude);
    EXPECT_DOUBLE_EQ(11 * 100 + 31, f.m_dLongitude);
    EXPECT_EQ('N', f.m_chNS);
    EXPECT_EQ('E', f.m_chEW);
    EXPECT_EQ(static_cast<double>(static_cast<float>(22.4 * 1.852)), f.m_dSpeed);
    EXPECT_EQ(static_cast<double>(84.4f), f.m_dCourse);
    EXPECT_EQ(23, f.m_nDay);
    EXPECT_EQ(3, f.m_nMonth);
    EXPECT_EQ(94, f.m_nYear);
    EXPECT_EQ(764458519, f.m_Time);  // 1994-03-23 21:35:19
    EXPECT_EQ(4321u, f.m_nStamp);
    EXPECT_NEAR(48.1173, f.GetLatitude(), 1e-9);
    EXPECT_NEAR(11.516666666666667, f.GetLongitude(), 1e-9);

    const GpsTableEntry& row = g_aGpsTable[0];
    EXPECT_EQ(41, row.nSpeed);
    EXPECT_DOUBLE_EQ(4807.038, row.dLatitude);
    EXPECT_EQ('N', row.chNS);
    EXPECT_EQ('E', row.chEW);
    EXPECT_NEAR(110560.0 * 48.1173, row.dY, 1e-6);
    EXPECT_NEAR(84800.0 * (11 + 31.0 / 60), row.dX, 1e-6);
    EXPECT_EQ(1, data.m_nGpsIndex);
    EXPECT_EQ(1, data.m_nGpsCount);
}

struct SentenceCase {
    const char* name;
    const char* sentence;
    bool tenFields;
    int hour, minute, second, valid;
    double latitude, longitude;
    char ns, ew;
    double speed, course;
    int day, month, year;
    std::int64_t time;
};

class SentenceTable : public ParserTest, public ::testing::WithParamInterface<SentenceCase> {};

TEST_P(SentenceTable, Fields)
{
    const SentenceCase& c = GetParam();
    CGPSData f;
    EXPECT_EQ(c.tenFields, f.ParseRMC(c.sentence, 7));
    EXPECT_EQ(c.hour, f.m_nHour);
    EXPECT_EQ(c.minute, f.m_nMinute);
    EXPECT_EQ(c.second, f.m_nSecond);
    EXPECT_EQ(c.valid, f.m_bValid);
    EXPECT_DOUBLE_EQ(c.latitude, f.m_dLatitude);
    EXPECT_DOUBLE_EQ(c.longitude, f.m_dLongitude);
    EXPECT_EQ(c.ns, f.m_chNS);
    EXPECT_EQ(c.ew, f.m_chEW);
    EXPECT_EQ(static_cast<double>(static_cast<float>(c.speed)), f.m_dSpeed);
    EXPECT_EQ(static_cast<double>(static_cast<float>(c.course)), f.m_dCourse);
    EXPECT_EQ(c.day, f.m_nDay);
    EXPECT_EQ(c.month, f.m_nMonth);
    EXPECT_EQ(c.year, f.m_nYear);
    EXPECT_EQ(c.time, f.m_Time);
}

INSTANTIATE_TEST_SUITE_P(
    Rmc, SentenceTable,
    ::testing::Values(
        // The tokenizer does not merge commas: course and date keep their places.
        SentenceCase{"EmptySpeed", "$GPRMC,123519,A,4807.038,N,01131.000,E,,084.4,230394,003.1,W*40", true, 21,
                     35, 19, 1, 4807.038, 1131.0, 'N', 'E', 0.0, 84.4, 23, 3, 94, 764458519},
        // 23:59:59 UTC is hour 32, which rolls into 08:59:59 of the next day.
        SentenceCase{"LastSecondOfDay", "$GPRMC,235959,A,3733.500,N,12658.200,E,000.0,000.0,010120,,", true, 32,
                     59, 59, 1, 3733.5, 12658.2, 'N', 'E', 0.0, 0.0, 1, 1, 20, 1577955599},
        SentenceCase{"SouthWest", "$GPRMC,000000.00,A,3356.100,S,15112.300,W,001.0,270.5,150605", true, 9, 0, 0,
                     1, -3356.1, -15112.3, 'S', 'W', 1.852, 270.5, 15, 6, 5, 1118826000},
        // A void fix is still a fix.
        SentenceCase{"VoidFix", "$GPRMC,120000,V,,,,,,,010124,,,N", true, 21, 0, 0, 0, 0.0, 0.0, 0, 0, 0.0,
                     0.0, 1, 1, 24, 1704142800},
        // Fewer than ten fields: what was there stays, the time stays 0; without its
        // longitude it is no fix.
        SentenceCase{"ShortSentence", "$GPRMC,123519,A,4807.038,N", false, 21, 35, 19, 0, 4807.038, 0.0, 'N', 0,
                     0.0, 0.0, 0, 0, 0, 0},
        // Time and date fields shorter than six characters read their missing
        // groups as 0.
        SentenceCase{"ShortTimeAndDate", "$GPRMC,12,A,1.0,N,1.0,E,1,1,2303", true, 21, 0, 0, 1, 1.0, 1.0, 'N', 'E',
                     1.852, 1.0, 23, 3, 0, 953845200}),
    [](const ::testing::TestParamInfo<SentenceCase>& info) { return std::string(info.param.name); });

TEST_F(ParserTest, TwoDigitYearsMapTo1970To2069)
{
    for (const auto& [field, year] : std::vector<std::pair<std::string, int>>{
             {"010100", 2000}, {"010169", 2069}, {"010170", 1970}, {"010199", 1999}}) {
        CGPSData f;
        ASSERT_TRUE(f.ParseRMC(("$GPRMC,000000,A,0,N,0,E,0,0," + field).c_str(), 0));
        EXPECT_EQ(year, YearOf(f.m_Time)) << field;
    }
}

// Damaged sentences still take their row (one a second), but are no fix.
enum class Kept {
    Nothing,         // a wrong checksum: no field of it is trusted
    Fields,          // cut short, or no date: the fields that were there, no time
    FieldsAndTime,   // whole and dated, but without a position
};

struct DamagedCase {
    const char* name;
    const char* sentence;
    Kept kept;
};

class DamagedTable : public ParserTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedTable, LeavesNoFix)
{
    const DamagedCase& c = GetParam();
    Feed(c.sentence, 500);
    ASSERT_EQ(1u, data.m_aGPSData.size());
    const CGPSData& f = data.m_aGPSData[0];
    EXPECT_EQ(0, f.m_bValid);
    EXPECT_EQ(c.kept == Kept::FieldsAndTime, f.m_Time != 0);
    EXPECT_EQ(500u, f.m_nStamp);
    EXPECT_EQ(1, data.m_nGpsIndex);
    if (c.kept == Kept::Nothing) {
        EXPECT_EQ(0.0, f.m_dLatitude);
        EXPECT_EQ(0.0, f.m_dLongitude);
        EXPECT_EQ(0, f.m_nHour);
        EXPECT_EQ(0, g_aGpsTable[0].nSpeed);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rmc, DamagedTable,
    ::testing::Values(
        // The right checksum of this one is 60.
        DamagedCase{"WrongChecksum", "$GPRMC,000344.03,A,4808.9992,N,4,02.3*05", Kept::Nothing},
        DamagedCase{"ChecksumOneOff", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6B", Kept::Nothing},
        DamagedCase{"DigitChanged", "$GPRMC,123519,A,4807.938,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", Kept::Nothing},
        DamagedCase{"ChecksumCut", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6", Kept::Nothing},
        DamagedCase{"ChecksumNotHex", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*ZZ", Kept::Nothing},
        DamagedCase{"CutInLatitude", "$GPRMC,000346.03,A,4808", Kept::Fields},
        DamagedCase{"CutInLongitude", "$GPRMC,123519,A,4807.038,N,0113", Kept::Fields},
        DamagedCase{"LetterForLongitude", "$GPRMC,000344.03,A,4808.9992,N,4,02.3*60", Kept::Fields},
        DamagedCase{"EmptyLatitude", "$GPRMC,123519,A,,N,01131.000,E,022.4,084.4,230394,003.1,W*74",
                    Kept::FieldsAndTime},
        DamagedCase{"EmptyDate", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,,003.1,W", Kept::Fields},
        DamagedCase{"Day0", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,000394,003.1,W*6B", Kept::Fields},
        DamagedCase{"Day32", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,320394,003.1,W*6A", Kept::Fields},
        DamagedCase{"Month0", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230094,003.1,W*69", Kept::Fields},
        DamagedCase{"Month13", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,231394,003.1,W*6B", Kept::Fields},
        DamagedCase{"February30", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,300294,003.1,W*69", Kept::Fields},
        DamagedCase{"February29Of2023", "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,290223,003.1,W*6D",
                    Kept::Fields}),
    [](const ::testing::TestParamInfo<DamagedCase>& info) { return std::string(info.param.name); });

TEST_F(ParserTest, SentencesWithTheirRightChecksumOrWithoutOneParseAsBefore)
{
    const std::string body = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W";
    for (const char* tail : {"*6A", "*6a", "*6A\r\n", ""}) {
        CGPSData f;
        EXPECT_TRUE(f.ParseRMC((body + tail).c_str(), 0)) << tail;
        EXPECT_EQ(1, f.m_bValid) << tail;
        EXPECT_DOUBLE_EQ(4807.038, f.m_dLatitude) << tail;
        EXPECT_DOUBLE_EQ(1131.0, f.m_dLongitude) << tail;
        EXPECT_EQ(764458519, f.m_Time) << tail;
    }
    // Fixes: February 29 of a leap year, and a sentence that ends behind its position.
    for (const char* fix : {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,290224,003.1,W*6A",
                             "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,290200",
                             "$GPRMC,000346.03,A,4808.0000,N,00402.3000,W"}) {
        CGPSData f;
        f.ParseRMC(fix, 0);
        EXPECT_EQ(1, f.m_bValid) << fix;
    }
}

TEST_F(ParserTest, DispatchTakesRmcOfAnyTalkerOnly)
{
    Feed("$GNRMC,120000,A,0,N,0,E,0,0,010124");
    Feed("$xxrmc,120000,A,0,N,0,E,0,0,010124");
    Feed("$GPNMC,120000,A,0,N,0,E,0,0,010124");
    Feed("$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
    Feed("GPRMC,120000,A,0,N,0,E,0,0,010124");
    Feed("");
    EXPECT_EQ(3u, data.m_aGPSData.size());
    EXPECT_EQ(3, data.m_nGpsIndex);
    EXPECT_EQ(0, g_nGRecordCount);
}

TEST_F(ParserTest, EmptyHemisphereNegatesAndLeavesLetterZero)
{
    Feed("$GPRMC,120000,A,4807.038,,01131.000,,0,0,010124");
    const CGPSData& f = data.m_aGPSData.at(0);
    EXPECT_EQ(0, f.m_chNS);
    EXPECT_EQ(0, f.m_chEW);
    EXPECT_DOUBLE_EQ(-4807.038, f.m_dLatitude);
    EXPECT_DOUBLE_EQ(-1131.0, f.m_dLongitude);
    EXPECT_LT(f.GetLatitude(), 0.0);
}

struct ArrowCase {
    const char* name;
    std::vector<std::pair<double, double>> fixes;  // signed NMEA latitude, longitude
    int dx, dy;                                    // arrow of the last row
};

class ArrowTable : public ParserTest, public ::testing::WithParamInterface<ArrowCase> {};

TEST_P(ArrowTable, LastRowArrow)
{
    const ArrowCase& c = GetParam();
    for (const auto& [lat, lon] : c.fixes)
        FeedAt(lat, lon);
    const GpsTableEntry& row = g_aGpsTable[c.fixes.size() - 1];
    EXPECT_EQ(c.dx, row.nArrowDx);
    EXPECT_EQ(c.dy, row.nArrowDy);
}

INSTANTIATE_TEST_SUITE_P(
    Heading, ArrowTable,
    ::testing::Values(ArrowCase{"First", {{3700.0, 12700.0}}, 0, 0},
                      ArrowCase{"North", {{3700.0, 12700.0}, {3700.1, 12700.0}}, 0, 23},
                      ArrowCase{"South", {{3700.1, 12700.0}, {3700.0, 12700.0}}, 0, -23},
                      ArrowCase{"East", {{3700.0, 12700.0}, {3700.0, 12700.1}}, 23, 0},
                      ArrowCase{"West", {{3700.0, 12700.1}, {3700.0, 12700.0}}, -23, 0},
                      // Repeated position: the previous row's arrow again.
                      ArrowCase{"Repeated", {{3700.0, 12700.0}, {3700.1, 12700.0}, {3700.1, 12700.0}}, 0, 23},
                      ArrowCase{"RepeatedAfterSouth",
                                {{3700.1, 12700.0}, {3700.0, 12700.0}, {3700.0, 12700.0}, {3700.0, 12700.0}}, 0,
                                -23},
                      // No position: longitude exactly 0.
                      ArrowCase{"LongitudeZero", {{3700.0, 12700.0}, {3700.1, 0.0}}, 0, 0},
                      // South-west, across the equator and the meridian's sign.
                      ArrowCase{"SouthWest", {{-100.0, -200.0}, {-100.5, -200.5}}, -13, -18}),
    [](const ::testing::TestParamInfo<ArrowCase>& info) { return std::string(info.param.name); });

TEST_F(ParserTest, DiagonalArrowHasLength23)
{
    // Equal planar steps east and north: slope 1.
    FeedAt(0.0 + 1.0, 100.0);
    const double dLatDeg = 84800.0 / 110560.0 * (1.0 / 60);  // metres equal to one minute of longitude
    FeedAt(1.0 + dLatDeg * 60, 101.0);
    EXPECT_EQ(16, g_aGpsTable[1].nArrowDx);
    EXPECT_EQ(16, g_aGpsTable[1].nArrowDy);
}

TEST_F(ParserTest, ResetFlagRestartsRowsAfterTheNextSentence)
{
    FeedAt(3700.0, 12700.0);
    FeedAt(3700.1, 12700.0);
    ASSERT_EQ(2, data.m_nGpsIndex);
    g_bResetGpsIndex = 1;  // the info text was drawn
    FeedAt(3700.2, 12700.0);
    EXPECT_DOUBLE_EQ(3700.2, g_aGpsTable[2].dLatitude);
    EXPECT_EQ(0, data.m_nGpsIndex);
    EXPECT_EQ(0, g_bResetGpsIndex);
    FeedAt(3700.3, 12700.0);
    EXPECT_DOUBLE_EQ(3700.3, g_aGpsTable[0].dLatitude);
    EXPECT_EQ(1, data.m_nGpsIndex);
    EXPECT_EQ(4, data.m_nGpsCount);
}

TEST_F(ParserTest, GpsTableStopsAtItsEnd)
{
    for (int i = 0; i < kGpsTableCapacity + 5; ++i)
        FeedAt(3700.0 + i * 0.001, 12700.0);
    EXPECT_EQ(kGpsTableCapacity, data.m_nGpsIndex);
    EXPECT_EQ(static_cast<std::size_t>(kGpsFixCapacity), data.m_aGPSData.size());
    EXPECT_EQ(kGpsTableCapacity + 5, data.m_nGpsCount);
    EXPECT_NEAR(3700.0 + (kGpsTableCapacity - 1) * 0.001, g_aGpsTable[kGpsTableCapacity - 1].dLatitude, 1e-6);
    // A reset still brings the index back to the start.
    g_bResetGpsIndex = 1;
    FeedAt(3600.0, 12700.0);
    EXPECT_EQ(0, data.m_nGpsIndex);
}

TEST_F(ParserTest, GRecordValues)
{
    const auto r = GRecord('M', {3072, 2048, 1024, 1024, -2048, 3072}, {1, -2, 3, 23, 59, 58},
                           {100, 1, 0, 1, 2, 1, 0, 1, 9, 2, 65535});
    Feed(std::string(r.begin(), r.end()));
    ASSERT_EQ(1, g_nGRecordCount);
    const GTrackRecord& g = g_aGTrack[0];
    EXPECT_EQ(1.0, g.dGx);
    EXPECT_EQ(0.0, g.dGy);
    EXPECT_EQ(-1.0, g.dGz);
    EXPECT_EQ(1.0, g.dG2x);
    EXPECT_EQ(-2.0, g.dG2y);
    EXPECT_EQ(3.0, g.dG2z);
    EXPECT_EQ(1, g.chValid);
    EXPECT_EQ(-2, g.chByte1);
    EXPECT_EQ(3, g.chByte2);
    EXPECT_EQ(23, g.chHour);
    EXPECT_EQ(59, g.chMinute);
    EXPECT_EQ(58, g.chSecond);
    const std::uint16_t expected[11] = {100, 1, 0, 1, 2, 1, 0, 1, 9, 2, 65535};
    for (int k = 0; k < 11; ++k)
        EXPECT_EQ(expected[k], g_aSpeedAssist[0].words[k]) << k;
    EXPECT_EQ(3.0, g_dPeakG);
    EXPECT_TRUE(data.m_aGPSData.empty());
}

TEST_F(ParserTest, GRecordRaw2048And3072)
{
    const auto zero = GRecord('A', {2048, 2048, 2048, 2048, 2048, 2048}, {}, {});
    const auto one = GRecord('M', {3072, 3072, 3072, 3072, 3072, 3072}, {}, {});
    Feed(std::string(zero.begin(), zero.end()));
    Feed(std::string(one.begin(), one.end()));
    ASSERT_EQ(2, g_nGRecordCount);
    for (double v : {g_aGTrack[0].dGx, g_aGTrack[0].dGy, g_aGTrack[0].dGz})
        EXPECT_EQ(0.0, v);
    for (double v : {g_aGTrack[1].dGx, g_aGTrack[1].dGy, g_aGTrack[1].dGz})
        EXPECT_EQ(1.0, v);
    EXPECT_EQ(2.0, g_aGTrack[0].dG2x);
    EXPECT_EQ(3.0, g_dPeakG);  // second set 3072 / 1024
}

TEST_F(ParserTest, ShortGRecordReadsZeros)
{
    const unsigned char m = 'M';
    data.ParseLine(&m, 1, 0);
    ASSERT_EQ(1, g_nGRecordCount);
    EXPECT_EQ(-2.0, g_aGTrack[0].dGx);
    EXPECT_EQ(0.0, g_aGTrack[0].dG2z);
    EXPECT_EQ(0, g_aSpeedAssist[0].words[0]);
}

TEST_F(ParserTest, GTablesStopAtOneHourOfRecords)
{
    auto r = GRecord('M', {2048, 2048, 2048, 0, 0, 0}, {}, {});
    for (int i = 0; i < kGTrackCapacity + 10; ++i) {
        r[19] = static_cast<unsigned char>(i & 0xFF);
        data.ParseLine(r.data(), r.size(), static_cast<std::uint32_t>(i));
    }
    EXPECT_EQ(kGTrackCapacity, g_nGRecordCount);
    EXPECT_EQ((kGTrackCapacity - 1) & 0xFF, g_aSpeedAssist[kGTrackCapacity - 1].words[0]);
    EXPECT_GE(kGTrackCapacity, 3600 * 50);

    CGSensorData g;
    EXPECT_EQ(static_cast<std::uint32_t>(kGTrackCapacity),
              g.ParseGRecord(r.data(), static_cast<std::uint32_t>(kGTrackCapacity)));
}

TEST(NextToken, EmptyFieldsKeepTheirPlaces)
{
    char text[] = ",,a,,b,";
    EXPECT_STREQ("a", NextToken(text, ","));  // leading separators skipped on the first call
    EXPECT_STREQ("", NextToken(nullptr, ","));
    EXPECT_STREQ("b", NextToken(nullptr, ","));
    EXPECT_STREQ("", NextToken(nullptr, ","));
    EXPECT_EQ(nullptr, NextToken(nullptr, ","));
    EXPECT_EQ(nullptr, NextToken(nullptr, ","));

    char none[] = ",,,";
    EXPECT_EQ(nullptr, NextToken(none, ","));
    EXPECT_EQ(nullptr, NextToken(nullptr, ","));
}

TEST(DegMinToDegrees, Values)
{
    EXPECT_NEAR(48.1173, DegMinToDegrees(48.07038), 1e-12);
    EXPECT_NEAR(-33.935, DegMinToDegrees(-33.561), 1e-12);
    EXPECT_EQ(0.0, DegMinToDegrees(0.0));
}

// Samples carry any bytes: none of these may read or write outside its buffers.
TEST_F(ParserTest, SampleOfFullBufferWithoutTerminator)
{
    std::vector<unsigned char> sample(kDataSampleBufferSize, '7');
    std::memcpy(sample.data(), "$GPRMC,", 7);
    data.ParseLine(sample.data(), 0);
    ASSERT_EQ(1u, data.m_aGPSData.size());
    EXPECT_EQ(9 + 77, data.m_aGPSData[0].m_nHour);

    // Longer than the work buffer with an explicit length: cut, still parsed.
    std::vector<unsigned char> longer(3000, ',');
    std::memcpy(longer.data(), "$GPRMC,101010,A", 15);
    data.ParseLine(longer.data(), longer.size(), 0);
    ASSERT_EQ(2u, data.m_aGPSData.size());
    EXPECT_EQ(19, data.m_aGPSData[1].m_nHour);
}

TEST_F(ParserTest, ThousandsOfCommas)
{
    std::string s = "$GPRMC" + std::string(5000, ',');
    CGPSData f;
    EXPECT_FALSE(f.ParseRMC(s.c_str(), 0));  // ten fields, but an empty date
    EXPECT_EQ(0, f.m_bValid);
    EXPECT_EQ(9, f.m_nHour);
    data.ParseLine(reinterpret_cast<const unsigned char*>(s.data()), s.size(), 0);
    EXPECT_EQ(1u, data.m_aGPSData.size());
}

TEST_F(ParserTest, NumbersOutOfRangeStayDefined)
{
    Feed("$GPRMC,999999,A,nan,N,1e400,E,1e300,-1e999,999999");
    Feed("$GPRMC,-9-9-9,A,inf,S,-inf,W,nan,nan,-9-9-9");
    ASSERT_EQ(2u, data.m_aGPSData.size());
    EXPECT_EQ(0, g_aGpsTable[1].nArrowDx);
    EXPECT_EQ(0, g_aGpsTable[1].nArrowDy);
    EXPECT_EQ(99 + 9, data.m_aGPSData[0].m_nHour);
}

TEST_F(ParserTest, RandomBytes)
{
    std::mt19937 rng(20240131);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(1, 1500);
    const char* const heads[] = {"", "$GPRMC,", "M", "A", "$GNRMC,1", "$GPRMC,,,,,,,,,,"};
    for (int n = 0; n < 3000; ++n) {
        // Exactly as long as said, so a read behind it is caught.
        std::vector<unsigned char> sample(static_cast<std::size_t>(length(rng)));
        for (auto& b : sample)
            b = static_cast<unsigned char>(byte(rng));
        const std::string head = heads[n % 6];
        std::memcpy(sample.data(), head.data(), std::min(head.size(), sample.size()));
        if (n % 2)
            sample.back() = 0;
        data.ParseLine(sample.data(), sample.size(), static_cast<std::uint32_t>(n));
        if (sample.size() >= kDataSampleBufferSize) {
            data.ParseLine(sample.data(), static_cast<std::uint32_t>(n));
        }
    }
    EXPECT_GT(data.m_aGPSData.size(), 0u);
    EXPECT_GT(g_nGRecordCount, 0);
    EXPECT_LE(g_nGRecordCount, kGTrackCapacity);
    EXPECT_LE(data.m_nGpsIndex, kGpsTableCapacity);
}

}  // namespace
