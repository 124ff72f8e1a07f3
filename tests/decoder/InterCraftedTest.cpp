// Hand-made VOPs after an FFmpeg intra picture: a P-VOP of only not-coded
// macroblocks (with stuffing codes between them) and a B-VOP whose every
// macroblock is skipped with its co-located one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

constexpr int kMbs = (352 / 16) * (288 / 16);

struct BitWriter {
  std::vector<uint8_t> bytes;
  int used = 0;  // bits in the last byte
  void Put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
      if (used == 0) bytes.push_back(0);
      if ((v >> i) & 1) bytes.back() |= uint8_t(0x80 >> used);
      used = (used + 1) & 7;
    }
  }
  void Stuff() {  // a 0 and ones up to the byte boundary
    Put(0, 1);
    while (used) Put(1, 1);
  }
};

// VOP header for a VOL without interlace.
BitWriter VopHeader(int type, int increment, int quant, int incrementBits = 5, int seconds = 0) {
  BitWriter w;
  w.Put(0x000001B6, 32);
  w.Put(static_cast<uint32_t>(type), 2);
  for (int i = 0; i < seconds; ++i) w.Put(1, 1);  // modulo_time_base
  w.Put(0, 1);
  w.Put(1, 1);
  w.Put(static_cast<uint32_t>(increment), incrementBits);
  w.Put(1, 1);
  w.Put(1, 1);  // vop_coded
  if (type == 1) w.Put(0, 1);  // rounding
  w.Put(0, 3);  // intra_dc_vlc_thr
  w.Put(static_cast<uint32_t>(quant), 5);
  if (type != 0) w.Put(1, 3);  // fcode forward
  if (type == 2) w.Put(1, 3);  // fcode backward
  return w;
}

TEST(InterCrafted, NotCodedMacroblocksCopyTheReferenceAndSkippedBMacroblocksReadNothing) {
  const auto stream = Encode("crafted", PannedSource(352, 288, 1), "-c:v mpeg4 -q:v 4 -r 25", "m4v");
  const Split split = SplitMpeg4(stream);
  ASSERT_EQ(split.chunks.size(), 1u);

  // P-VOP at time 2: stuffing before the first MB and in mid-picture, then
  // not_coded for every MB.
  BitWriter p = VopHeader(1, 2, 6);
  for (int mb = 0; mb < kMbs; ++mb) {
    if (mb == 0 || mb == 200) {
      p.Put(0, 1);
      p.Put(1, 9);  // MCBPC stuffing 0000 0000 1
    }
    p.Put(1, 1);
  }
  p.Stuff();
  // B-VOP at time 1: no MB data at all.
  BitWriter b = VopHeader(2, 1, 6);
  b.Stuff();

  OurDecoder dec(split.config, 0);
  ASSERT_TRUE(dec.ok());
  std::vector<Picture> out;
  dec.Decode(split.chunks[0].data(), split.chunks[0].size(), &out);
  EXPECT_TRUE(out.empty());  // the anchor is held back
  const uint32_t usedP = dec.Decode(p.bytes.data(), p.bytes.size(), &out);
  EXPECT_EQ(usedP, p.bytes.size());
  const uint32_t usedB = dec.Decode(b.bytes.data(), b.bytes.size(), &out);
  EXPECT_EQ(usedB, b.bytes.size());
  dec.Decode(nullptr, 0, &out);
  ASSERT_EQ(out.size(), 3u);
  const Picture &i = out[0], &bp = out[1], &pp = out[2];
  EXPECT_EQ(i.codingType, 0);
  EXPECT_EQ(bp.codingType, 2);
  EXPECT_EQ(pp.codingType, 1);
  EXPECT_EQ(pp.y, i.y) << "a P-VOP of not-coded MBs reproduces its reference";
  EXPECT_EQ(bp.y, i.y) << "skipped B MBs are copies of the past reference";
  EXPECT_EQ(pp.errorMap, i.errorMap);
  for (uint8_t e : pp.errorMap) EXPECT_EQ(e, 0);
  EXPECT_EQ(pp.percent, 100);
  EXPECT_EQ(bp.percent, 100);
}

// A B-VOP claiming a day of seconds at a 30000 Hz time resolution: the
// temporal distances do not overflow (the sanitizer build would stop here).
TEST(InterCrafted, HugeTimeStampsDoNotOverflow) {
  const auto stream = Encode("crafted_ts", PannedSource(352, 288, 1), "-c:v mpeg4 -q:v 4 -r 30000/1001", "m4v");
  const Split split = SplitMpeg4(stream);
  ASSERT_EQ(split.chunks.size(), 1u);
  BitWriter p = VopHeader(1, 1001, 6, 15);
  for (int mb = 0; mb < kMbs; ++mb) p.Put(1, 1);
  p.Stuff();
  BitWriter b = VopHeader(2, 0, 6, 15, 86400);
  b.Stuff();
  OurDecoder dec(split.config, 0);
  ASSERT_TRUE(dec.ok());
  std::vector<Picture> out;
  dec.Decode(split.chunks[0].data(), split.chunks[0].size(), &out);
  dec.Decode(p.bytes.data(), p.bytes.size(), &out);
  dec.Decode(b.bytes.data(), b.bytes.size(), &out);
  dec.Decode(nullptr, 0, &out);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[1].codingType, 2);
  EXPECT_EQ(out[1].y, out[0].y);
}

}  // namespace
