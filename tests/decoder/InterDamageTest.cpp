// Damaged inter streams: lost video packets and overwritten bytes are
// concealed, marked in the error map and lower the decoded percentage; the
// picture is still output and the stream recovers at the next intra picture.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

constexpr int kWidth = 352, kHeight = 288;
constexpr int kMbs = (kWidth / 16) * (kHeight / 16);

struct Packet {
  size_t offset;  // byte of the resync marker (or of the VOP start code)
  int firstMb;
};

// Video packets of a P-VOP chunk of a resync-marker stream: the byte-aligned
// marker (16 + f_code - 1 zero bits and a 1) and the 9-bit MB number.
std::vector<Packet> FindPackets(const std::vector<uint8_t>& chunk) {
  std::vector<Packet> out{{0, 0}};
  for (size_t i = 4; i + 4 < chunk.size(); ++i) {
    if (chunk[i] != 0 || chunk[i + 1] != 0 || chunk[i + 2] == 0 || chunk[i + 2] == 1) continue;
    int z = 0;
    while (!(chunk[i + 2] & (0x80 >> z))) ++z;
    const uint32_t bits = (uint32_t(chunk[i + 2]) << 16) | (uint32_t(chunk[i + 3]) << 8) | chunk[i + 4];
    const int mb = static_cast<int>((bits >> (24 - (z + 1) - 9)) & 0x1FF);
    if (mb > out.back().firstMb && mb < kMbs) out.push_back({i, mb});
  }
  return out;
}

class InterDamageTest : public ::testing::Test {
 protected:
  // One stream and its reference decode serve every test.
  static void SetUpTestSuite() {
    const auto stream = Encode("damage", PannedSource(kWidth, kHeight, 60),
                               "-c:v mpeg4 -q:v 4 -g 30 -ps 400", "m4v");
    split_ = SplitMpeg4(stream);
    reference_ = DecodeWithFfmpeg(split_, AV_CODEC_ID_MPEG4);
  }

  void SetUp() override {
    ASSERT_EQ(split_.chunks.size(), 60u);
    ASSERT_EQ(reference_.size(), 60u);
  }

  // Decodes the chunks in low-delay mode, so picture i is chunk i.
  std::vector<Picture> DecodeLowDelay(const std::vector<std::vector<uint8_t>>& chunks) {
    OurDecoder dec(split_.config, 0, 640, 480, 0, 1);
    EXPECT_TRUE(dec.ok());
    std::vector<Picture> out;
    for (const auto& c : chunks) {
      const size_t before = out.size();
      dec.Decode(c.data(), c.size(), &out);
      EXPECT_EQ(out.size(), before + 1) << "a picture is output for every chunk";
    }
    return out;
  }

  static Split split_;
  static std::vector<Picture> reference_;
};

Split InterDamageTest::split_;
std::vector<Picture> InterDamageTest::reference_;

TEST_F(InterDamageTest, LostPacketIsConcealedAndMarked) {
  const int victim = 5;  // a P-VOP
  auto chunks = split_.chunks;
  const auto packets = FindPackets(chunks[victim]);
  ASSERT_GE(packets.size(), 4u) << "the P-VOP should hold several video packets";
  const Packet cut = packets[1], next = packets[2];
  chunks[victim].erase(chunks[victim].begin() + static_cast<long>(cut.offset),
                       chunks[victim].begin() + static_cast<long>(next.offset));

  const auto got = DecodeLowDelay(chunks);
  ASSERT_EQ(got.size(), 60u);
  const Picture& damaged = got[victim];
  ASSERT_EQ(damaged.codingType, 1);
  ASSERT_EQ(damaged.errorMap.size(), static_cast<size_t>(kMbs));
  for (int mb = 0; mb < kMbs; ++mb) {
    const int want = (mb >= cut.firstMb && mb < next.firstMb) ? 1 : 0;
    ASSERT_EQ(damaged.errorMap[mb], want) << "MB " << mb;
  }
  const int lost = next.firstMb - cut.firstMb;
  EXPECT_EQ(damaged.percent, (kMbs - lost) * 100 / kMbs);
  // The concealed MBs are copies of the previous picture.
  for (int mb = cut.firstMb; mb < next.firstMb; ++mb) {
    const int x0 = 16 * (mb % 22), y0 = 16 * (mb / 22);
    for (int y = y0; y < y0 + 16; ++y)
      for (int x = x0; x < x0 + 16; ++x)
        ASSERT_EQ(damaged.y[y * kWidth + x], got[victim - 1].y[y * kWidth + x]) << "MB " << mb;
  }
  EXPECT_GT(LumaPsnr(damaged, reference_[victim]), 20.0);
  for (int i = 0; i < victim; ++i) EXPECT_EQ(got[i].percent, 100);

  // Inter MBs do not clear the marks; the intra picture at 30 does.
  EXPECT_LT(got[victim + 1].percent, 100);
  for (int i = 30; i < 60; ++i) {
    EXPECT_EQ(got[i].percent, 100) << "picture " << i;
    EXPECT_GE(LumaPsnr(got[i], reference_[i]), 40.0) << "picture " << i;
  }
}

TEST_F(InterDamageTest, OverwrittenBytesAndTruncationLowerThePercentage) {
  auto chunks = split_.chunks;
  // Zero bytes in mid-packet of P-VOP 8; P-VOP 12 loses its second half.
  {
    auto& c = chunks[8];
    const auto packets = FindPackets(c);
    ASSERT_GE(packets.size(), 3u);
    const size_t at = packets[1].offset + (packets[2].offset - packets[1].offset) / 2;
    for (size_t i = at; i < at + 6 && i < c.size(); ++i) c[i] = 0;
  }
  chunks[12].resize(chunks[12].size() / 2);
  const auto got = DecodeLowDelay(chunks);
  ASSERT_EQ(got.size(), 60u);

  const auto packets8 = FindPackets(split_.chunks[8]);
  EXPECT_LT(got[8].percent, 100);
  for (int mb = 0; mb < packets8[1].firstMb; ++mb) EXPECT_EQ(got[8].errorMap[mb], 0) << mb;
  int marked = 0;
  for (int mb = packets8[1].firstMb; mb < packets8[2].firstMb; ++mb) marked += got[8].errorMap[mb] == 1;
  EXPECT_GT(marked, 0);

  EXPECT_LT(got[12].percent, 75);
  EXPECT_GT(got[12].percent, 10);
  EXPECT_EQ(got[12].errorMap[kMbs - 1], 1);
  for (int i = 30; i < 60; ++i) EXPECT_EQ(got[i].percent, 100) << "picture " << i;
}

// An intra picture cut short at the start of a stream: nothing to copy from,
// so lost MBs repeat the line above them, or in the first row the column to
// their left, or are grey at the top-left.
TEST_F(InterDamageTest, TruncatedFirstPictureIsFilledFromItsNeighbours) {
  for (const size_t keep : {size_t(60), split_.chunks[0].size() / 5, split_.chunks[0].size() / 2}) {
    std::vector<std::vector<uint8_t>> chunks{split_.chunks[0]};
    chunks[0].resize(keep);
    const auto got = DecodeLowDelay(chunks);
    ASSERT_EQ(got.size(), 1u);
    const Picture& p = got[0];
    int lost = 0;
    for (int mb = 0; mb < kMbs; ++mb) {
      if (p.errorMap[mb] == 0) continue;
      ASSERT_EQ(p.errorMap[mb], 1) << mb;
      ++lost;
      const int mx = mb % 22, my = mb / 22;
      for (int y = 16 * my; y < 16 * my + 16; ++y)
        for (int x = 16 * mx; x < 16 * mx + 16; ++x) {
          const int want = my > 0 ? p.y[(16 * my - 1) * kWidth + x] : (mx > 0 ? p.y[y * kWidth + 16 * mx - 1] : 128);
          ASSERT_EQ(p.y[y * kWidth + x], want) << "MB " << mb << " at " << x << "," << y;
        }
    }
    EXPECT_GT(lost, 0);
    EXPECT_EQ(p.percent, (kMbs - lost) * 100 / kMbs);
  }
}

TEST_F(InterDamageTest, StreamStartingWithAPVopHasNothingDecoded) {
  std::vector<std::vector<uint8_t>> chunks(split_.chunks.begin() + 1, split_.chunks.begin() + 31);
  const auto got = DecodeLowDelay(chunks);
  ASSERT_EQ(got.size(), 30u);
  // Nothing is genuine but intra MBs: the rest stays 255 (never decoded).
  int genuine = 0, never = 0;
  for (int mb = 0; mb < kMbs; ++mb) {
    genuine += got[0].errorMap[mb] == 0;
    never += got[0].errorMap[mb] == 255;
  }
  EXPECT_EQ(genuine + never, kMbs);
  EXPECT_GT(never, kMbs / 2);
  EXPECT_EQ(got[0].percent, genuine * 100 / kMbs);
  EXPECT_EQ(got.back().percent, 100);  // the intra picture at 30
}

// With B-VOPs the output lags the decoding: each output picture comes with
// its own error map. A B-VOP's map is its future anchor's with its own losses
// added; an anchor's is the past anchor's with its losses added (intra MBs
// may clear inherited marks). One packet is cut from a B-VOP and one from a
// P-VOP, chosen by seed.
TEST_F(InterDamageTest, EveryOutputPictureCarriesItsOwnErrorMap) {
  const auto stream = Encode("damage_b2", PannedSource(kWidth, kHeight, 30),
                             "-c:v mpeg4 -q:v 4 -g 30 -bf 2 -ps 400", "m4v");
  const Split clean = SplitMpeg4(stream);
  ASSERT_EQ(clean.chunks.size(), 30u);
  std::vector<int> anchors, bs;
  for (int i = 1; i < 30; ++i) ((clean.chunks[i][4] >> 6) == 2 ? bs : anchors).push_back(i);
  ASSERT_GE(bs.size(), 10u);
  for (const uint32_t seed : {1u, 2u, 3u, 4u}) {
    std::mt19937 rng(seed);
    const int victimP = anchors[rng() % (anchors.size() - 1)];
    const int victimB = bs[rng() % bs.size()];
    auto chunks = clean.chunks;
    std::vector<std::vector<uint8_t>> lost(30, std::vector<uint8_t>(kMbs, 0));  // per chunk
    for (const int v : {victimP, victimB}) {
      const auto packets = FindPackets(chunks[v]);
      ASSERT_GE(packets.size(), 3u) << v;
      const size_t k = 1 + rng() % (packets.size() - 2);
      chunks[v].erase(chunks[v].begin() + static_cast<long>(packets[k].offset),
                      chunks[v].begin() + static_cast<long>(packets[k + 1].offset));
      for (int mb = packets[k].firstMb; mb < packets[k + 1].firstMb; ++mb) lost[v][mb] = v == victimB ? 3 : 1;
    }

    // Expected maps in decoding order: 1 where the picture lost the MB, 2
    // where it inherited a mark (0 or 1 allowed), else 0. In the lost packet
    // of the B-VOP (3), the MBs up to its first coded one need no bits (their
    // co-located MBs were skipped) and are decoded with the packet before. A
    // B-VOP packet over MBs its future anchor lost may be lost too: whether
    // they were skipped, which decides its syntax, was lost with them.
    std::vector<std::vector<uint8_t>> want(30);
    std::vector<int> order;  // chunk index of each output picture
    int anchor = -1;  // the latest: past for an anchor, future for a B-VOP
    for (int i = 0; i < 30; ++i) {
      const bool isB = (clean.chunks[i][4] >> 6) == 2;
      want[i] = lost[i];
      for (int mb = 0; anchor >= 0 && mb < kMbs; ++mb)
        if (!want[i][mb] && want[anchor][mb]) want[i][mb] = 2;
      if (isB) {
        const auto packets = FindPackets(clean.chunks[i]);
        for (size_t k = 0; k < packets.size(); ++k) {
          const int end = k + 1 < packets.size() ? packets[k + 1].firstMb : kMbs;
          bool over = false;
          for (int mb = packets[k].firstMb; mb < end; ++mb) over |= lost[anchor][mb] != 0;
          for (int mb = packets[k].firstMb; over && mb < end; ++mb)
            if (!want[i][mb]) want[i][mb] = 2;
        }
        order.push_back(i);
      } else {
        if (anchor >= 0) order.push_back(anchor);
        anchor = i;
      }
    }
    order.push_back(anchor);

    OurDecoder dec(clean.config, 0);
    const auto got = dec.DecodeAll(chunks);
    ASSERT_EQ(got.size(), 30u);
    for (size_t n = 0; n < got.size(); ++n) {
      const int i = order[n];
      const Picture& p = got[n];
      ASSERT_EQ(p.errorMap.size(), static_cast<size_t>(kMbs));
      int zeros = 0;
      bool leading = true;  // in the skipped run at the start of a lost B-VOP packet
      for (int mb = 0; mb < kMbs; ++mb) {
        const int e = p.errorMap[mb], w = want[i][mb];
        zeros += e == 0;
        const std::string where = "seed " + std::to_string(seed) + " picture " + std::to_string(i) + " MB " +
                                  std::to_string(mb);
        if (w != 3) leading = true;
        if (w == 2) {
          ASSERT_LE(e, 1) << where;
        } else if (w == 3 && leading && e == 0) {
          continue;
        } else {
          if (w == 3) leading = false;
          ASSERT_EQ(e, w == 3 ? 1 : w) << where;
        }
      }
      EXPECT_EQ(p.percent, zeros * 100 / kMbs) << "seed " << seed << " picture " << i;
    }
  }
}

}  // namespace
