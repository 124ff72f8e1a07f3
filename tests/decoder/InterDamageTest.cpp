// Damaged inter streams: lost video packets and overwritten bytes are
// concealed, marked in the error map and lower the decoded percentage; the
// picture is still output and the stream recovers at the next intra picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/decoder/InterTestSupport.h"

using namespace intertest;

namespace {

constexpr int kWidth = 352, kHeight = 288;
constexpr int kMbs = (kWidth / 16) * (kHeight / 16);

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
  const auto packets = FindPackets(chunks[victim], kMbs);
  ASSERT_GE(packets.size(), 4u) << "the P-VOP should hold several video packets";
  const Packet cut = packets[1], next = packets[2];
  chunks[victim].erase(chunks[victim].begin() + static_cast<long>(cut.offset),
                       chunks[victim].begin() + static_cast<long>(next.offset));

  const auto got = DecodeLowDelay(chunks);
  ASSERT_EQ(got.size(), 60u);
  const Picture& damaged = got[victim];
  ASSERT_EQ(damaged.codingType, 1);
  ASSERT_EQ(damaged.errorMap.size(), static_cast<size_t>(kMbs));
  // The packet before the gap ends with fewer MBs than the next header says,
  // as a damaged one that resynchronised would: its MBs count as lost too,
  // with their pictures kept.
  for (int mb = 0; mb < kMbs; ++mb) {
    const int want = mb < next.firstMb ? 1 : 0;
    ASSERT_EQ(damaged.errorMap[mb], want) << "MB " << mb;
  }
  EXPECT_EQ(damaged.percent, (kMbs - next.firstMb) * 100 / kMbs);
  auto mse = [&](const Picture& a, int mb) {
    const int x0 = 16 * (mb % 22), y0 = 16 * (mb / 22);
    double e = 0;
    for (int y = y0; y < y0 + 16; ++y)
      for (int x = x0; x < x0 + 16; ++x) e += std::pow(a.y[y * kWidth + x] - reference_[victim].y[y * kWidth + x], 2);
    return e;
  };
  // Kept MBs are as decoded; concealed ones follow the motion of their
  // neighbours, closer to the lost picture than a copy of the last one.
  double concealed = 0, copied = 0;
  for (int mb = 0; mb < next.firstMb; ++mb) {
    if (mb < cut.firstMb) {
      EXPECT_LT(mse(damaged, mb), 256.0 * 4) << "MB " << mb;
    } else {
      concealed += mse(damaged, mb);
      copied += mse(got[victim - 1], mb);
    }
  }
  EXPECT_LT(concealed, copied);
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
    const auto packets = FindPackets(c, kMbs);
    ASSERT_GE(packets.size(), 3u);
    const size_t at = packets[1].offset + (packets[2].offset - packets[1].offset) / 2;
    for (size_t i = at; i < at + 6 && i < c.size(); ++i) c[i] = 0;
  }
  chunks[12].resize(chunks[12].size() / 2);
  const auto got = DecodeLowDelay(chunks);
  ASSERT_EQ(got.size(), 60u);

  const auto packets8 = FindPackets(split_.chunks[8], kMbs);
  EXPECT_LT(got[8].percent, 100);
  for (int mb = 0; mb < packets8[1].firstMb; ++mb) EXPECT_EQ(got[8].errorMap[mb], 0) << mb;
  int marked = 0;
  for (int mb = packets8[1].firstMb; mb < packets8[2].firstMb; ++mb) marked += got[8].errorMap[mb] == 1;
  EXPECT_GT(marked, 0);

  // Every MB from the packet the cut falls in on is lost.
  const auto packets12 = FindPackets(split_.chunks[12], kMbs);
  int cutMb = 0;
  for (const auto& p : packets12)
    if (p.offset < chunks[12].size()) cutMb = p.firstMb;
  for (int mb = cutMb; mb < kMbs; ++mb) EXPECT_EQ(got[12].errorMap[mb], 1) << mb;
  EXPECT_LE(got[12].percent, cutMb * 100 / kMbs);
  EXPECT_GT(got[12].percent, 10);
  for (int i = 30; i < 60; ++i) EXPECT_EQ(got[i].percent, 100) << "picture " << i;
}

// An intra picture cut short at the start of a stream: nothing to copy from,
// so lost MBs are filled from the neighbours that hold pictures, or are grey
// at the top-left.
TEST_F(InterDamageTest, TruncatedFirstPictureIsFilledFromItsNeighbours) {
  for (const size_t keep : {size_t(60), split_.chunks[0].size() / 5, split_.chunks[0].size() / 2}) {
    std::vector<std::vector<uint8_t>> chunks{split_.chunks[0]};
    chunks[0].resize(keep);
    const auto got = DecodeLowDelay(chunks);
    ASSERT_EQ(got.size(), 1u);
    const Picture& p = got[0];
    // A fill blends the line above and the column to the left (the MBs
    // below and to the right are lost too): every sample lies within theirs.
    auto fillError = [&](int mb) {
      const int mx = mb % 22, my = mb / 22;
      int lo = 255, hi = 0;
      for (int i = 0; i < 16; ++i) {
        const int edge[2] = {my > 0 ? p.y[(16 * my - 1) * kWidth + 16 * mx + i] : -1,
                             mx > 0 ? p.y[(16 * my + i) * kWidth + 16 * mx - 1] : -1};
        for (const int v : edge)
          if (v >= 0) lo = std::min(lo, v), hi = std::max(hi, v);
      }
      if (mx == 0 && my == 0) lo = hi = 128;
      for (int y = 16 * my; y < 16 * my + 16; ++y)
        for (int x = 16 * mx; x < 16 * mx + 16; ++x)
          if (p.y[y * kWidth + x] < lo || p.y[y * kWidth + x] > hi) return "at " + std::to_string(x) + "," + std::to_string(y);
      return std::string();
    };
    // The MBs decoded from the cut packet keep their pictures; every lost
    // MB after the last of them is a fill.
    int lost = 0, lastKept = -1;
    for (int mb = 0; mb < kMbs; ++mb) {
      if (p.errorMap[mb] == 0) continue;
      ASSERT_EQ(p.errorMap[mb], 1) << mb;
      ++lost;
      if (!fillError(mb).empty()) lastKept = mb;
    }
    EXPECT_LT(lastKept, kMbs - 1);
    EXPECT_EQ(p.errorMap[kMbs - 1], 1);
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
      const auto packets = FindPackets(chunks[v], kMbs);
      ASSERT_GE(packets.size(), 3u) << v;
      const size_t k = 1 + rng() % (packets.size() - 2);
      chunks[v].erase(chunks[v].begin() + static_cast<long>(packets[k].offset),
                      chunks[v].begin() + static_cast<long>(packets[k + 1].offset));
      // The packet before the gap counts as lost too (see above).
      for (int mb = packets[k - 1].firstMb; mb < packets[k + 1].firstMb; ++mb) lost[v][mb] = 1;
    }

    // Expected maps in decoding order: 1 where the picture lost the MB, 2
    // where it inherited a mark (0 or 1 allowed), else 0. A B-VOP packet
    // over MBs its future anchor lost may be lost too: whether they were
    // skipped, which decides its syntax, was lost with them.
    std::vector<std::vector<uint8_t>> want(30);
    std::vector<int> order;  // chunk index of each output picture
    int anchor = -1;  // the latest: past for an anchor, future for a B-VOP
    for (int i = 0; i < 30; ++i) {
      const bool isB = (clean.chunks[i][4] >> 6) == 2;
      want[i] = lost[i];
      for (int mb = 0; anchor >= 0 && mb < kMbs; ++mb)
        if (!want[i][mb] && want[anchor][mb]) want[i][mb] = 2;
      if (isB) {
        const auto packets = FindPackets(clean.chunks[i], kMbs);
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
      for (int mb = 0; mb < kMbs; ++mb) {
        zeros += p.errorMap[mb] == 0;
        if (want[i][mb] == 2)
          ASSERT_LE(p.errorMap[mb], 1) << "seed " << seed << " picture " << i << " MB " << mb;
        else
          ASSERT_EQ(p.errorMap[mb], want[i][mb]) << "seed " << seed << " picture " << i << " MB " << mb;
      }
      EXPECT_EQ(p.percent, zeros * 100 / kMbs) << "seed " << seed << " picture " << i;
    }
  }
}

}  // namespace
