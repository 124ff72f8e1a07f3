// Inter streams from FFmpeg's encoders decode to the pictures FFmpeg's own
// decoder gives: same count, same order of picture types, PSNR of every plane.
#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

struct StreamCase {
  const char* name;
  int width, height;
  const char* codecArgs;
  bool h263;
  double worstAllowed = 40.0;  // dB, lowest plane of any picture
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class InterStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(InterStreamTest, MatchesFfmpegDecoder) {
  const StreamCase c = GetParam();
  const auto stream =
      Encode(c.name, PannedSource(c.width, c.height, 60), c.codecArgs, c.h263 ? "h263" : "m4v");
  ASSERT_FALSE(stream.empty()) << "ffmpeg could not make the " << c.name << " stream";
  const Split split = c.h263 ? SplitH263(stream) : SplitMpeg4(stream);
  ASSERT_GE(split.chunks.size(), 60u);

  const auto want = DecodeWithFfmpeg(split, c.h263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4);
  OurDecoder dec(split.config, c.h263 ? 1 : 0, (c.width + 15) & ~15, (c.height + 15) & ~15);
  ASSERT_TRUE(dec.ok());
  const auto got = dec.DecodeAll(split.chunks);

  ASSERT_EQ(got.size(), want.size());
  double sum = 0, worst = 99;
  int worstIndex = -1;
  bool sawInter = false;
  std::string table;  // one line per picture, shown on failure
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_EQ(got[i].width, c.width);
    ASSERT_EQ(got[i].height, c.height);
    EXPECT_EQ(got[i].codingType, want[i].codingType) << "picture " << i;
    sawInter |= got[i].codingType > 0;
    const YuvPsnr planes = ComparePictures(got[i], want[i]);
    const double psnr = planes.Worst();
    char line[128];
    std::snprintf(line, sizeof line, "%3zu type %d/%d %3d%% Y %6.2f U %6.2f V %6.2f dB\n", i,
                  got[i].codingType, want[i].codingType, got[i].percent, planes.y, planes.u, planes.v);
    table += line;
    sum += psnr;
    if (psnr < worst) worst = psnr, worstIndex = static_cast<int>(i);
  }
  EXPECT_TRUE(sawInter);
  for (const auto& p : got)
    if (p.percent != 100) ADD_FAILURE() << "picture not wholly decoded\n" << table;
  const double average = sum / double(got.size());
  EXPECT_GE(average, 48.0) << c.name << "\n" << table;
  EXPECT_GE(worst, c.worstAllowed) << c.name << ": picture " << worstIndex << "\n" << table;
  RecordProperty("average_psnr", std::to_string(average));
}

const StreamCase kCases[] = {
    {"simple", 352, 288, "-c:v mpeg4 -q:v 4 -g 30", false},
    {"bframes", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -bf 2", false},
    {"fourmv", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -flags +mv4", false},
    {"qpel", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -flags +qpel", false},
    {"qpel_bframes_mv4", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -bf 2 -flags +qpel+mv4", false},
    {"partitioned", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -data_partitioning 1 -ps 800", false},
    {"partitioned_mv4_bframes", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -data_partitioning 1 -ps 600 -flags +mv4 -bf 1", false},
    {"resync", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -ps 500 -bf 1", false},
    {"mpeg_quant", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -mpeg_quant 1 -bf 1", false},
    {"interlaced", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -flags +ildct+ilme", false},
    {"interlaced_bframes", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -bf 2 -flags +ildct+ilme", false},
    {"xvid_gmc", 352, 288, "-c:v libxvid -q:v 4 -g 30 -gmc 1", false},
    {"xvid_gmc_qpel_bframes", 352, 288, "-c:v libxvid -q:v 4 -g 30 -gmc 1 -bf 2 -flags +qpel", false},
    // The warp's reference points at picture sizes off the macroblock grid.
    {"xvid_gmc_200x120", 200, 120, "-c:v libxvid -q:v 4 -g 30 -gmc 1", false, 50.0},
    {"xvid_gmc_qpel_176x150", 176, 150, "-c:v libxvid -q:v 4 -g 30 -gmc 1 -flags +qpel", false, 50.0},
    {"xvid_gmc_bframes_330x250", 330, 250, "-c:v libxvid -q:v 4 -g 30 -gmc 1 -bf 2", false, 50.0},
    {"xvid_gmc_qpel_bframes_200x120", 200, 120, "-c:v libxvid -q:v 4 -g 30 -gmc 1 -bf 2 -flags +qpel", false, 50.0},
    {"vga", 640, 480, "-c:v mpeg4 -q:v 5 -g 30 -bf 2", false},
    {"h263", 352, 288, "-c:v h263 -q:v 4 -g 30", true},
    {"h263_qcif", 176, 144, "-c:v h263 -q:v 4 -g 30 -ps 300", true},
};

INSTANTIATE_TEST_SUITE_P(Encoders, InterStreamTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

#include "decoder/Deblock.h"

namespace {

// With a constant quantiser every output picture with the post-filter on is
// the unfiltered picture filtered with that quantiser: the filter never feeds
// back into the references, in either output mode, with and without B-VOPs.
TEST(InterDeblock, OutputIsTheFilteredPictureAndReferencesStayUnfiltered) {
  struct Case { const char* args; int bQp; } cases[] = {
      {"-c:v mpeg4 -qscale:v 8 -g 10", 8},
      // A fixed quantiser holds for B-VOPs too (filtered in place, not as anchors).
      {"-c:v mpeg4 -qscale:v 8 -g 10 -bf 1", 8},
  };
  for (const auto& c : cases) {
    const auto stream = Encode("deblock", PannedSource(352, 288, 20), c.args, "m4v");
    const Split split = SplitMpeg4(stream);
    ASSERT_EQ(split.chunks.size(), 20u);
    for (int lowDelay = 0; lowDelay <= 1; ++lowDelay) {
      OurDecoder plain(split.config, 0, 640, 480, 0, lowDelay);
      OurDecoder filtered(split.config, 0, 640, 480, 1, lowDelay);
      const auto a = plain.DecodeAll(split.chunks);
      const auto b = filtered.DecodeAll(split.chunks);
      ASSERT_EQ(a.size(), b.size());
      ASSERT_GE(a.size(), 20u);
      for (size_t i = 0; i < 20; ++i) {
        const std::vector<uint8_t> qp((352 / 16) * (288 / 16), uint8_t(a[i].codingType == 2 ? c.bQp : 8));
        std::vector<uint8_t> want(a[i].y.size());
        dec::DeblockPlane(want.data(), a[i].y.data(), 352, 352, 288, qp.data(), 352 / 16, 2);
        ASSERT_NE(want, a[i].y);
        ASSERT_EQ(b[i].y, want) << c.args << ": picture " << i << " low delay " << lowDelay;
        ASSERT_EQ(b[i].codingType, a[i].codingType);
      }
    }
  }
}

}  // namespace
