// Intra-only streams from FFmpeg's encoders decode to the same pictures as
// FFmpeg's own decoder (PSNR of every plane of every picture at least 50 dB).
#include <gtest/gtest.h>

#include "decoder/DecoderTestUtil.h"
#include "decoder/FfmpegReference.h"

using namespace dectest;

namespace {

struct IntraCase {
    const char* name;
    const char* size;
    bool h263;
    const char* options;
};

const IntraCase kCases[] = {
    {"mpeg4_plain", "352x288", false, ""},
    {"mpeg4_partitioned", "176x144", false, "-data_partitioning 1"},
    {"mpeg4_packets", "176x144", false, "-ps 500"},
    {"mpeg4_partitioned_packets", "176x144", false, "-data_partitioning 1 -ps 500"},
    {"mpeg4_mpeg_quant", "176x144", false, "-mpeg_quant 1"},
    {"mpeg4_odd_size", "200x120", false, "-q:v 2"},
    // Quantiser changing from MB to MB: dquant, DC VLC threshold, AC rescaling.
    {"mpeg4_adaptive_quant", "176x144", false, "-b:v 150k -lumi_mask 0.5 -dark_mask 0.5"},
    {"mpeg4_adaptive_matrix_packets", "176x144", false, "-b:v 150k -lumi_mask 0.5 -mpeg_quant 1 -ps 400"},
    {"h263_adaptive_quant", "176x144", true, "-b:v 100k -lumi_mask 0.5 -dark_mask 0.5"},
    {"xvid_intra", "352x288", false, "-c:v libxvid"},
    {"h263_qcif", "176x144", true, ""},
    {"h263_cif", "352x288", true, ""},
    {"h263_cif_gobs", "352x288", true, "-ps 300"},
};

void PrintTo(const IntraCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string FileOf(const IntraCase& c)
{
    return ScratchDir() + "/" + c.name + (c.h263 ? ".h263" : ".m4v");
}

class IntraStreamTest : public ::testing::TestWithParam<IntraCase> {
public:
    // One ffmpeg run writes every stream (one output per case).
    static void SetUpTestSuite()
    {
        std::string cmd = "ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc2=size=352x288:rate=25";
        for (const IntraCase& c : kCases) {
            cmd += std::string(" -frames:v 3 -s ") + c.size + (c.h263 ? " -c:v h263 -g 1 " : " -c:v mpeg4 -g 1 ") +
                   c.options + (c.h263 ? " -f h263 '" : " -f m4v '") + FileOf(c) + "'";
        }
        made_ = std::system(cmd.c_str()) == 0;
    }
    static bool made_;
};
bool IntraStreamTest::made_ = false;

TEST_P(IntraStreamTest, MatchesFfmpegPictureForPicture)
{
    const IntraCase& c = GetParam();
    ASSERT_TRUE(made_) << "ffmpeg could not make the streams";
    const std::vector<uint8_t> stream = ReadFile(FileOf(c));
    ASSERT_FALSE(stream.empty()) << c.name;

    const auto ref = FfmpegDecode(stream, c.h263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4);
    ASSERT_EQ(ref.size(), 3u);
    const int w = ref[0].width, h = ref[0].height;

    const auto chunks = SplitPictures(stream, c.h263);
    const std::vector<uint8_t> config = c.h263 ? chunks.front() : ConfigHeaders(stream);
    OurDecoder dec(uint32_t((w + 15) & ~15), uint32_t((h + 15) & ~15), config, -1, true);
    ASSERT_NE(dec.handle(), nullptr);
    EXPECT_EQ(dec.isShortHeader(), c.h263 ? 1 : 0);
    const auto pics = dec.DecodeAll(chunks, false);

    ASSERT_EQ(pics.size(), ref.size());
    for (size_t i = 0; i < pics.size(); ++i) {
        EXPECT_EQ(pics[i].codingType, 0) << "picture " << i;
        EXPECT_EQ(pics[i].percent, 100) << "picture " << i;
        ASSERT_EQ(pics[i].width, w);
        ASSERT_EQ(pics[i].height, h);
        const YuvPsnr psnr = ComparePictures(pics[i], ref[i]);
        EXPECT_GE(psnr.Worst(), 50.0) << "picture " << i << " PSNR Y " << psnr.y << " U " << psnr.u << " V "
                                      << psnr.v;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, IntraStreamTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<IntraCase>& i) { return std::string(i.param.name); });

// The held-back picture comes out with the flush when pictures are delayed.
TEST(IntraStreamDelay, DelayedOutputFlushesTheLastPicture)
{
    const std::vector<uint8_t> stream = MakeStream("delay.m4v", "176x144", 4, "-c:v mpeg4 -g 1 -f m4v");
    ASSERT_FALSE(stream.empty());
    const auto ref = FfmpegDecode(stream, AV_CODEC_ID_MPEG4);
    OurDecoder dec(176, 144, ConfigHeaders(stream), 0, false);
    ASSERT_NE(dec.handle(), nullptr);
    const auto chunks = SplitPictures(stream, false);
    std::vector<Picture> pics;
    dec.Decode(chunks[0].data(), uint32_t(chunks[0].size()), &pics);
    EXPECT_TRUE(pics.empty()); // the first anchor waits for the next one
    for (size_t i = 1; i < chunks.size(); ++i)
        dec.Decode(chunks[i].data(), uint32_t(chunks[i].size()), &pics);
    dec.Decode(nullptr, 0, &pics);
    ASSERT_EQ(pics.size(), ref.size());
    for (size_t i = 0; i < pics.size(); ++i)
        EXPECT_GE(ComparePictures(pics[i], ref[i]).Worst(), 50.0) << i;
    // 25 pictures a second: 3600 ticks of 90 kHz after the first.
    EXPECT_EQ(pics[0].duration, 0u);
    EXPECT_EQ(pics[1].duration, 3600u);
    // A second flush gives the same picture again with no duration.
    std::vector<Picture> again;
    dec.Decode(nullptr, 0, &again);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].duration, 0u);
    EXPECT_EQ(again[0].y, pics.back().y);

    // A reset marks everything lost and outputs the picture it decodes at once.
    std::vector<Picture> reset;
    dec.Decode(chunks[0].data(), uint32_t(chunks[0].size()), &reset, true, true);
    ASSERT_EQ(reset.size(), 1u);
    EXPECT_GE(ComparePictures(reset[0], ref[0]).Worst(), 50.0);
    for (uint8_t e : reset[0].errorMap)
        ASSERT_EQ(e, 0); // every position decoded again from intra data
}

// A picture whose data stops after its first rows is concealed and reported.
TEST(IntraStreamLoss, TruncatedPictureIsConcealedAndCounted)
{
    const std::vector<uint8_t> stream = MakeStream("cut.m4v", "176x144", 1, "-c:v mpeg4 -g 1 -f m4v");
    ASSERT_FALSE(stream.empty());
    OurDecoder dec(176, 144, ConfigHeaders(stream), 0, true);
    ASSERT_NE(dec.handle(), nullptr);
    std::vector<Picture> pics;
    const size_t cut = stream.size() / 3;
    dec.Decode(stream.data(), uint32_t(cut), &pics);
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_GT(pics[0].percent, 0);
    EXPECT_LT(pics[0].percent, 100);
    int decoded = 0;
    for (uint8_t e : pics[0].errorMap) {
        EXPECT_TRUE(e == 0 || e == 1);
        decoded += e == 0;
    }
    EXPECT_EQ(decoded * 100 / 99, pics[0].percent);
    EXPECT_EQ(pics[0].errorMap.back(), 1);
}

}  // namespace

namespace {

// A chunk with only a not-coded VOP repeats the reference picture.
TEST(IntraStreamNotCoded, NotCodedVopCopiesTheReference)
{
    const std::vector<uint8_t> stream = MakeStream("nc.m4v", "176x144", 1, "-c:v mpeg4 -g 1 -f m4v");
    ASSERT_FALSE(stream.empty());
    OurDecoder dec(176, 144, ConfigHeaders(stream), 0, true);
    ASSERT_NE(dec.handle(), nullptr);
    std::vector<Picture> pics;
    dec.Decode(stream.data(), uint32_t(stream.size()), &pics);
    ASSERT_EQ(pics.size(), 1u);

    // P-VOP, modulo_time_base 0, marker, vop_time_increment 1 (5 bits at 25/s), marker, vop_coded 0.
    BitWriter w;
    w.Bytes({0, 0, 1, 0xB6});
    w.Put(1, 2);
    w.Put(0, 1);
    w.Put(1, 1);
    w.Put(1, 5);
    w.Put(1, 1);
    w.Put(0, 1);
    const std::vector<uint8_t> vop = w.Finish();
    dec.Decode(vop.data(), uint32_t(vop.size()), &pics);
    ASSERT_EQ(pics.size(), 2u);
    EXPECT_EQ(pics[1].codingType, 1);
    EXPECT_EQ(pics[1].percent, 100);
    EXPECT_EQ(pics[1].y, pics[0].y);
    EXPECT_EQ(pics[1].duration, 3600u);
}

}  // namespace
