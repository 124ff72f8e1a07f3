// Inter streams from FFmpeg's encoders decode to the pictures FFmpeg's own
// decoder gives: same count, same order of picture types, luma PSNR.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

struct StreamCase {
  const char* name;
  int width, height;
  const char* codecArgs;
  bool h263;
};

class InterStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(InterStreamTest, MatchesFfmpegDecoder) {
  const StreamCase c = GetParam();
  const auto stream =
      Encode(c.name, PannedSource(c.width, c.height, 60), c.codecArgs, c.h263 ? "h263" : "m4v");
  ASSERT_FALSE(stream.empty()) << "ffmpeg could not make the " << c.name << " stream";
  const Split split = c.h263 ? SplitH263(stream) : SplitMpeg4(stream);
  ASSERT_GE(split.chunks.size(), 60u);

  const auto want = DecodeWithFfmpeg(split, c.h263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4);
  OurDecoder dec(split.config, c.h263 ? 1 : 0);
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
    const double psnr = LumaPsnr(got[i], want[i]);
    char line[96];
    std::snprintf(line, sizeof line, "%3zu type %d/%d %3d%% %6.2f dB\n", i, got[i].codingType,
                  want[i].codingType, got[i].percent, psnr);
    table += line;
    sum += psnr;
    if (psnr < worst) worst = psnr, worstIndex = static_cast<int>(i);
  }
  EXPECT_TRUE(sawInter);
  for (const auto& p : got)
    if (p.percent != 100) ADD_FAILURE() << "picture not wholly decoded\n" << table;
  const double average = sum / double(got.size());
  EXPECT_GE(average, 48.0) << c.name << "\n" << table;
  EXPECT_GE(worst, 40.0) << c.name << ": picture " << worstIndex << "\n" << table;
  RecordProperty("average_psnr", std::to_string(average));
}

const StreamCase kCases[] = {
    {"simple", 352, 288, "-c:v mpeg4 -q:v 4 -g 30", false},
    {"bframes", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -bf 2", false},
    {"fourmv", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -flags +mv4", false},
    {"qpel", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -flags +qpel", false},
    {"qpel_bframes_mv4", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -bf 2 -flags +qpel+mv4", false},
    {"partitioned", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -data_partitioning 1 -ps 800", false},
    {"resync", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -ps 500 -bf 1", false},
    {"mpeg_quant", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -mpeg_quant 1 -bf 1", false},
    {"interlaced", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -flags +ildct+ilme", false},
    {"interlaced_bframes", 352, 288, "-c:v mpeg4 -q:v 4 -g 30 -bf 2 -flags +ildct+ilme", false},
    {"xvid_gmc", 352, 288, "-c:v libxvid -q:v 4 -g 30 -gmc 1", false},
    {"xvid_gmc_qpel_bframes", 352, 288, "-c:v libxvid -q:v 4 -g 30 -gmc 1 -bf 2 -flags +qpel", false},
    {"vga", 640, 480, "-c:v mpeg4 -q:v 5 -g 30 -bf 2", false},
    {"h263", 352, 288, "-c:v h263 -q:v 4 -g 30", true},
    {"h263_qcif", 176, 144, "-c:v h263 -q:v 4 -g 30 -ps 300", true},
};

INSTANTIATE_TEST_SUITE_P(Encoders, InterStreamTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
