// A generated recording's data track read back with libavformat and fed through the
// line parser gives exactly the fixes, G records and speed words that were written.
#include "TestScratch.h"
#include "media/TrackData.h"
#include "tools/recgen/RecordingGenerator.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// The data samples of a recording's data track: stamp in milliseconds and bytes.
struct DataTrack {
    int type = AVMEDIA_TYPE_UNKNOWN;
    std::uint32_t tag = 0;
    std::vector<recgen::DataSample> samples;
};

bool ReadDataTrack(const std::string& path, DataTrack* track, std::string* error)
{
    std::vector<recgen::DataSample>* out = &track->samples;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        *error = "cannot open " + path;
        return false;
    }
    int data = -1;
    // MP4 lists the track as data tagged gpmd; the AVI demuxer lists it as a stream
    // of unknown type with no tag.
    for (unsigned i = 0; i < fmt->nb_streams && data < 0; ++i) {
        const AVCodecParameters* par = fmt->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_DATA || par->codec_type == AVMEDIA_TYPE_UNKNOWN ||
            par->codec_tag == MKTAG('g', 'p', 'm', 'd'))
            data = static_cast<int>(i);
    }
    if (data < 0) {
        avformat_close_input(&fmt);
        *error = "no data stream";
        return false;
    }
    const AVStream* stream = fmt->streams[data];
    track->type = stream->codecpar->codec_type;
    track->tag = stream->codecpar->codec_tag;
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == data) {
            const std::int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
            out->push_back({av_rescale_q(ts, stream->time_base, AVRational{1, 1000}),
                            std::string(reinterpret_cast<const char*>(pkt->data), static_cast<std::size_t>(pkt->size))});
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return true;
}

std::vector<std::string> Fields(const std::string& sentence)
{
    std::vector<std::string> f(1);
    for (char c : sentence) {
        if (c == ',')
            f.emplace_back();
        else
            f.back() += c;
    }
    return f;
}

int Digits(const std::string& s, std::size_t pos) { return std::stoi(s.substr(pos, 2)); }

struct RoundTripCase {
    const char* name;
    recgen::Container container;
    const char* talker;
    bool southWest;
    int voidEvery;
    int emptyFieldsEvery;
    int gRate;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        g_nGRecordCount = 0;
        g_bResetGpsIndex = 0;
    }
};

TEST_P(RoundTrip, DataTrackReproducesWhatWasWritten)
{
    const RoundTripCase& c = GetParam();
    recgen::RecordingSpec spec;
    spec.durationMs = 4000;
    spec.width = 160;
    spec.height = 120;
    spec.audio = recgen::AudioCodec::None;
    spec.container = c.container;
    spec.talker = c.talker;
    spec.southWest = c.southWest;
    spec.voidEvery = c.voidEvery;
    spec.emptyFieldsEvery = c.emptyFieldsEvery;
    spec.gRecordsPerSecond = c.gRate;

    const std::string& dir = TestScratchDir();
    const std::string path = dir + "/" + c.name +
                             (c.container == recgen::Container::Avi ? "_round_trip.avi" : "_round_trip.mp4");
    std::vector<recgen::DataSample> written;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(path, spec, &written, &error)) << error;

    DataTrack track;
    ASSERT_TRUE(ReadDataTrack(path, &track, &error)) << error;
    if (c.container == recgen::Container::Mp4) {
        EXPECT_EQ(AVMEDIA_TYPE_DATA, track.type);
        EXPECT_EQ(MKTAG('g', 'p', 'm', 'd'), track.tag);
    }
    const std::vector<recgen::DataSample>& read = track.samples;
    ASSERT_EQ(written.size(), read.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        ASSERT_EQ(written[i].bytes, read[i].bytes) << i;
        ASSERT_EQ(written[i].stampMs, read[i].stampMs) << i;
    }

    // As the open routine does: each sample in a zero-filled 1,024-byte buffer.
    CTextData data;
    for (const recgen::DataSample& s : read) {
        ASSERT_LT(s.bytes.size(), kDataSampleBufferSize);
        unsigned char buffer[kDataSampleBufferSize] = {};
        std::memcpy(buffer, s.bytes.data(), s.bytes.size());
        data.ParseLine(buffer, static_cast<std::uint32_t>(s.stampMs));
    }

    std::size_t fix = 0;
    int g = 0;
    for (const recgen::DataSample& s : written) {
        if (s.bytes[0] == '$') {
            ASSERT_LT(fix, data.m_aGPSData.size());
            const CGPSData& f = data.m_aGPSData[fix];
            const GpsTableEntry& row = g_aGpsTable[fix];
            const std::vector<std::string> w = Fields(s.bytes);
            ASSERT_GE(w.size(), 10u) << s.bytes;
            EXPECT_EQ(std::string("$") + c.talker + "RMC", w[0]);
            EXPECT_EQ(Digits(w[1], 0) + 9, f.m_nHour) << s.bytes;
            EXPECT_EQ(Digits(w[1], 2), f.m_nMinute);
            EXPECT_EQ(Digits(w[1], 4), f.m_nSecond);
            EXPECT_EQ(w[2] == "A" ? 1 : 0, f.m_bValid) << s.bytes;
            const double lat = std::strtod(w[3].c_str(), nullptr) * (w[4] == "N" ? 1 : -1);
            const double lon = std::strtod(w[5].c_str(), nullptr) * (w[6] == "E" ? 1 : -1);
            EXPECT_EQ(lat, f.m_dLatitude);
            EXPECT_EQ(lon, f.m_dLongitude);
            EXPECT_EQ(w[4][0], f.m_chNS);
            EXPECT_EQ(w[6][0], f.m_chEW);
            EXPECT_EQ(static_cast<double>(static_cast<float>(std::strtod(w[7].c_str(), nullptr) * 1.852)), f.m_dSpeed);
            EXPECT_EQ(static_cast<double>(static_cast<float>(std::strtod(w[8].c_str(), nullptr))), f.m_dCourse);
            EXPECT_EQ(Digits(w[9], 0), f.m_nDay);
            EXPECT_EQ(Digits(w[9], 2), f.m_nMonth);
            EXPECT_EQ(Digits(w[9], 4), f.m_nYear);
            std::tm tm{};
            tm.tm_year = 100 + Digits(w[9], 4);
            tm.tm_mon = Digits(w[9], 2) - 1;
            tm.tm_mday = Digits(w[9], 0);
            tm.tm_hour = Digits(w[1], 0) + 9;
            tm.tm_min = Digits(w[1], 2);
            tm.tm_sec = Digits(w[1], 4);
            EXPECT_EQ(static_cast<std::int64_t>(timegm(&tm)), f.m_Time);
            EXPECT_EQ(static_cast<std::uint32_t>(s.stampMs), f.m_nStamp);

            EXPECT_EQ(lat, row.dLatitude);
            EXPECT_EQ(lon, row.dLongitude);
            EXPECT_EQ(static_cast<int>(f.m_dSpeed), row.nSpeed);
            EXPECT_EQ(f.m_chNS, row.chNS);
            ++fix;
        } else {
            ASSERT_EQ(41u, s.bytes.size());
            ASSERT_LT(g, g_nGRecordCount);
            const auto* b = reinterpret_cast<const unsigned char*>(s.bytes.data());
            auto raw = [&](int at) { return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8)); };
            const GTrackRecord& r = g_aGTrack[g];
            EXPECT_EQ((raw(1) - 2048) / 1024.0, r.dGx) << g;
            EXPECT_EQ((raw(3) - 2048) / 1024.0, r.dGy) << g;
            EXPECT_EQ((raw(5) - 2048) / 1024.0, r.dGz) << g;
            EXPECT_EQ(raw(7) / 1024.0, r.dG2x) << g;
            EXPECT_EQ(raw(9) / 1024.0, r.dG2y) << g;
            EXPECT_EQ(raw(11) / 1024.0, r.dG2z) << g;
            EXPECT_EQ(static_cast<std::int8_t>(b[13]), r.chValid);
            EXPECT_EQ(static_cast<std::int8_t>(b[16]), r.chHour);
            EXPECT_EQ(static_cast<std::int8_t>(b[17]), r.chMinute);
            EXPECT_EQ(static_cast<std::int8_t>(b[18]), r.chSecond);
            for (int k = 0; k < 11; ++k)
                EXPECT_EQ(static_cast<std::uint16_t>(b[19 + 2 * k] | (b[20 + 2 * k] << 8)), g_aSpeedAssist[g].words[k])
                    << g << " word " << k;
            ++g;
        }
    }
    EXPECT_EQ(fix, data.m_aGPSData.size());
    EXPECT_EQ(g, g_nGRecordCount);

    // Anchored to the drive as specified: a fix a second from the start time and place.
    EXPECT_EQ(static_cast<std::size_t>((spec.durationMs + 999) / 1000), data.m_aGPSData.size());
    EXPECT_EQ(spec.durationMs * c.gRate / 1000, g_nGRecordCount);
    ASSERT_FALSE(data.m_aGPSData.empty());
    const CGPSData& first = data.m_aGPSData[0];
    EXPECT_EQ(spec.hour + 9, first.m_nHour);
    EXPECT_EQ(spec.minute, first.m_nMinute);
    EXPECT_EQ(spec.second, first.m_nSecond);
    EXPECT_EQ(spec.year % 100, first.m_nYear);
    const double sign = c.southWest ? -1.0 : 1.0;
    EXPECT_NEAR(sign * spec.startLatDeg, first.GetLatitude(), 1e-5);
    EXPECT_NEAR(sign * spec.startLonDeg, first.GetLongitude(), 1e-5);
    if (c.voidEvery == 0) {
        for (const CGPSData& f : data.m_aGPSData)
            EXPECT_EQ(1, f.m_bValid);
    }

    // The resampled track covers the recording.
    g_nDurationMs = spec.durationMs;
    data.InterpolateGTrack();
    if (c.gRate > 0) {
        EXPECT_GT(g_nGSlotCount, spec.durationMs * 50 / 1000 * 8 / 10);
    }
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, RoundTrip,
    ::testing::Values(RoundTripCase{"Mp4", recgen::Container::Mp4, "GP", false, 0, 0, 10},
                      RoundTripCase{"Mp4FiftyASecondSouthWest", recgen::Container::Mp4, "GN", true, 0, 0, 50},
                      RoundTripCase{"Mp4VoidAndEmptyFields", recgen::Container::Mp4, "GP", false, 2, 3, 25},
                      RoundTripCase{"Avi", recgen::Container::Avi, "GP", false, 3, 2, 10},
                      RoundTripCase{"Mp4NoGRecords", recgen::Container::Mp4, "GP", false, 0, 0, 0}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

}  // namespace
