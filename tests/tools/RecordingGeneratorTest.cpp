#include "TestScratch.h"
#include "tools/recgen/RecordingGenerator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

std::string Scratch(const std::string& name)
{
    return TestScratchDir() + "/" + name;
}

struct Probe {
    int videoStreams = 0;
    int audioStreams = 0;
    std::vector<std::vector<int>> frameNumbers;  // per video stream, in decode order
    std::vector<recgen::DataSample> samples;
};

// Decodes every video stream and collects the data track, as a reader of the card would.
Probe ProbeFile(const std::string& path)
{
    Probe p;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return p;
    avformat_find_stream_info(fmt, nullptr);
    std::vector<AVCodecContext*> dec(fmt->nb_streams, nullptr);
    std::vector<int> videoIndex(fmt->nb_streams, -1);
    int dataStream = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        AVCodecParameters* par = fmt->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
            const AVCodec* c = avcodec_find_decoder(par->codec_id);
            dec[i] = avcodec_alloc_context3(c);
            avcodec_parameters_to_context(dec[i], par);
            dec[i]->thread_count = 1;
            avcodec_open2(dec[i], c, nullptr);
            videoIndex[i] = p.videoStreams++;
            p.frameNumbers.emplace_back();
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
            ++p.audioStreams;
        } else if (dataStream < 0) {
            dataStream = static_cast<int>(i);
        }
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](unsigned i) {
        while (avcodec_receive_frame(dec[i], frame) == 0)
            p.frameNumbers[videoIndex[i]].push_back(recgen::ReadFrameNumberLuma(
                frame->data[0], frame->width, frame->height, frame->linesize[0]));
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        const unsigned i = static_cast<unsigned>(pkt->stream_index);
        if (dec[i]) {
            avcodec_send_packet(dec[i], pkt);
            drain(i);
        } else if (static_cast<int>(i) == dataStream && pkt->size > 0) {
            const AVRational tb = fmt->streams[i]->time_base;
            p.samples.push_back({av_rescale_q(pkt->pts, tb, AVRational{1, 1000}),
                                 std::string(reinterpret_cast<const char*>(pkt->data), pkt->size)});
        }
        av_packet_unref(pkt);
    }
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (dec[i]) {
            avcodec_send_packet(dec[i], nullptr);
            drain(i);
            avcodec_free_context(&dec[i]);
        }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return p;
}

struct Case {
    const char* name;
    recgen::Container container;
    recgen::VideoCodec codec;
    recgen::AudioCodec audio;
    int videoTracks;
};

class Generated : public ::testing::TestWithParam<Case> {};

TEST_P(Generated, WritesTheTracksAndFrameNumbersAsAsked)
{
    const Case c = GetParam();
    recgen::RecordingSpec spec;
    spec.durationMs = 2000;
    spec.container = c.container;
    spec.codec = c.codec;
    spec.audio = c.audio;
    spec.videoTracks = c.videoTracks;
    spec.rearWidth = 160;
    spec.rearHeight = 120;
    const std::string path = Scratch(std::string(c.name) + (c.container == recgen::Container::Avi ? ".avi" : ".mp4"));
    std::vector<recgen::DataSample> written;
    std::string error;
    ASSERT_TRUE(recgen::WriteRecording(path, spec, &written, &error)) << error;

    const Probe p = ProbeFile(path);
    EXPECT_EQ(p.videoStreams, c.videoTracks);
    EXPECT_EQ(p.audioStreams, c.audio == recgen::AudioCodec::None ? 0 : 1);
    for (const auto& numbers : p.frameNumbers) {
        ASSERT_EQ(numbers.size(), 20u);
        for (int k = 0; k < 20; ++k) EXPECT_EQ(numbers[k], k) << "stream frame " << k;
    }
    // 2 sentences and 20 G records, in time order, byte for byte.
    ASSERT_EQ(written.size(), 22u);
    ASSERT_EQ(p.samples.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(p.samples[i].bytes, written[i].bytes) << i;
        EXPECT_EQ(p.samples[i].stampMs, written[i].stampMs) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, Generated,
                         ::testing::Values(Case{"h264_aac_mp4", recgen::Container::Mp4, recgen::VideoCodec::H264, recgen::AudioCodec::Aac, 1},
                                           Case{"two_pcm_mp4", recgen::Container::Mp4, recgen::VideoCodec::H264, recgen::AudioCodec::Pcm, 2},
                                           Case{"mpeg4_avi", recgen::Container::Avi, recgen::VideoCodec::Mpeg4, recgen::AudioCodec::Pcm, 2},
                                           Case{"h264_none_avi", recgen::Container::Avi, recgen::VideoCodec::H264, recgen::AudioCodec::None, 1},
                                           Case{"h264_aac_avi", recgen::Container::Avi, recgen::VideoCodec::H264, recgen::AudioCodec::Aac, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Generated, NoDataTrackMeansNoSamples)
{
    recgen::RecordingSpec spec;
    spec.durationMs = 1000;
    spec.dataTrack = false;
    const std::string path = Scratch("nodata.mp4");
    ASSERT_TRUE(recgen::WriteRecording(path, spec));
    EXPECT_TRUE(ProbeFile(path).samples.empty());
}

TEST(DriveSamples, SentencesCarryTheChosenShapes)
{
    recgen::RecordingSpec spec;
    spec.durationMs = 4000;
    spec.gRecordsPerSecond = 0;
    spec.talker = "GN";
    spec.voidEvery = 2;
    spec.emptyFieldsEvery = 4;
    spec.southWest = true;
    const auto samples = recgen::MakeDriveSamples(spec);
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(samples[0].bytes.rfind("$GNRMC,033456.00,A,", 0), 0u) << samples[0].bytes;
    EXPECT_NE(samples[1].bytes.find(",V,"), std::string::npos);
    EXPECT_NE(samples[0].bytes.find(",S,"), std::string::npos);
    EXPECT_NE(samples[0].bytes.find(",W,"), std::string::npos);
    EXPECT_NE(samples[3].bytes.find(",W,,,110817,"), std::string::npos) << samples[3].bytes;
    for (std::size_t i = 1; i < samples.size(); ++i) EXPECT_LT(samples[i - 1].stampMs, samples[i].stampMs);
}

TEST(DriveSamples, GRecordLayout)
{
    recgen::GRecordValues v;
    v.axis[0] = 3072;
    v.set2[2] = -1024;
    v.bytes[3] = 21;
    v.words[0] = 57;
    v.words[10] = 0xBEEF;
    const std::string r = recgen::EncodeGRecord(v);
    ASSERT_EQ(r.size(), 41u);
    EXPECT_EQ(r[0], 'M');
    EXPECT_EQ(static_cast<unsigned char>(r[1]) | static_cast<unsigned char>(r[2]) << 8, 3072);
    EXPECT_EQ(static_cast<unsigned char>(r[11]), 0x00);
    EXPECT_EQ(static_cast<unsigned char>(r[12]), 0xFC);
    EXPECT_EQ(r[16], 21);
    EXPECT_EQ(static_cast<unsigned char>(r[19]), 57);
    EXPECT_EQ(static_cast<unsigned char>(r[39]), 0xEF);
    EXPECT_EQ(static_cast<unsigned char>(r[40]), 0xBE);
}

TEST(FramePattern, ReadsBackFromBgrxAndRefusesPlainPictures)
{
    const int w = 320, h = 240;
    std::vector<std::uint8_t> luma(w * h, 90);
    recgen::DrawFrameNumber(luma.data(), w, h, w, 12345);
    std::vector<std::uint8_t> bgrx(w * h * 4);
    for (int i = 0; i < w * h; ++i) bgrx[i * 4] = bgrx[i * 4 + 1] = bgrx[i * 4 + 2] = luma[i];
    EXPECT_EQ(recgen::ReadFrameNumber(bgrx.data(), w, h, w * 4), 12345);
    std::vector<std::uint8_t> grey(w * h * 4, 128);
    EXPECT_EQ(recgen::ReadFrameNumber(grey.data(), w, h, w * 4), -1);
    EXPECT_EQ(recgen::ReadFrameNumber(nullptr, w, h, w * 4), -1);
}

TEST(FileNames, FollowTheCameraScheme)
{
    EXPECT_EQ(recgen::RecordingFileName("Normal", 2017, 8, 11, 12, 34, 56), "20170811_123456_NI.mp4");
    EXPECT_EQ(recgen::RecordingFileName("Event", 2017, 8, 11, 1, 2, 3, recgen::Container::Avi), "20170811_010203_E.avi");
}

}  // namespace
