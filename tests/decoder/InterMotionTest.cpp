// Motion vectors and block prediction: MVD codes and range wrap, the
// predictor at packet edges, chroma rounding, and prediction from outside
// the picture through edge emulation.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "decoder/DecoderInternal.h"
#include "decoder/Interpolate.h"
#include "decoder/MotionComp.h"
#include "decoder/MotionVector.h"
#include "decoder/Qpel.h"

using namespace dec;

namespace {

// Reads a bit string like "0101" through the decoder's reader.
struct Bits {
  std::vector<uint8_t> bytes;
  BitReader r;
  explicit Bits(const std::string& s) : bytes(s.size() / 8 + 8, 0) {
    for (size_t i = 0; i < s.size(); ++i)
      if (s[i] == '1') bytes[i / 8] |= uint8_t(0x80 >> (i % 8));
    BitstreamInit(&r, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
};

TEST(Mvd, StandardCodesAndResiduals) {
  struct Case { const char* bits; int fcode; int want; } cases[] = {
      {"1", 1, 0},           {"010", 1, 1},          {"011", 1, -1},       {"0010", 1, 2},
      {"0011", 1, -2},       {"00010", 1, 3},        {"0000110", 1, 4},    {"00001010", 1, 5},
      {"00000110", 1, 7},    {"0000010110", 1, 8},   {"00000001000", 1, 24},
      {"0000000000100", 1, 32}, {"0000000000101", 1, -32},
      {"0101", 2, 2},        {"0100", 2, 1},         {"0110", 2, -1},      {"00100", 2, 3},
      {"00101", 2, 4},       {"001110", 3, -7},      {"1", 7, 0},
  };
  for (const auto& c : cases) {
    Bits b(c.bits);
    EXPECT_EQ(ReadMvd(&b.r, c.fcode), c.want) << c.bits;
    EXPECT_EQ(BitstreamBitsLeft(&b.r), long(b.bytes.size() * 8 - std::strlen(c.bits))) << c.bits;
  }
  Bits invalid("000000000000");
  EXPECT_EQ(ReadMvd(&invalid.r, 1), kInvalidMvd);
}

TEST(Mvd, WrapFoldsIntoTheFcodeRange) {
  EXPECT_EQ(WrapMv(31 + 2, 1), -31);
  EXPECT_EQ(WrapMv(-32 - 1, 1), 31);
  EXPECT_EQ(WrapMv(-32, 1), -32);
  EXPECT_EQ(WrapMv(63 + 1, 2), -64);
  for (int f = 1; f <= 7; ++f)
    for (int v = -(64 << (f - 1)); v < (64 << (f - 1)); v += 7) {
      const int w = WrapMv(v, f);
      ASSERT_GE(w, -(32 << (f - 1)));
      ASSERT_LT(w, 32 << (f - 1));
      ASSERT_EQ((w - v) % (64 << (f - 1)), 0);
    }
}

class PredictorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::memset(&d_, 0, sizeof d_);
    d_.mbWidth = 4;
    mvs_.assign(4 * 12, DecMv{0, 0});
    for (size_t i = 0; i < mvs_.size(); ++i)
      mvs_[i] = DecMv{static_cast<int16_t>(i + 1), static_cast<int16_t>(-int(i) - 1)};
  }
  DecoderInstance d_;
  std::vector<DecMv> mvs_;
};

TEST_F(PredictorTest, FirstMbOfAPacketInMidPicture) {
  DecMv* entry = mvs_.data() + 4 * 6;  // MB (2, 1)
  entry[0] = DecMv{8, 2};
  entry[1] = DecMv{-4, 6};
  d_.neighbourFlags = NB_LEFT | NB_TOPLEFT | NB_TOP | NB_TOPRIGHT;
  const DecMv p0 = PredictMv(&d_, entry, 0);
  EXPECT_EQ(p0.x, 0);
  EXPECT_EQ(p0.y, 0);
  const DecMv p1 = PredictMv(&d_, entry, 1);  // only its own Y0 remains
  EXPECT_EQ(p1.x, 8);
  EXPECT_EQ(p1.y, 2);
  const DecMv p2 = PredictMv(&d_, entry, 2);  // median of 0, Y0, Y1
  EXPECT_EQ(p2.x, 0);
  EXPECT_EQ(p2.y, 2);
}

TEST_F(PredictorTest, MedianOfLeftAboveAndAboveRight) {
  DecMv* entry = mvs_.data() + 4 * 6;
  entry[-4 + 1] = DecMv{10, -3};     // left MB's Y1
  entry[-16 + 2] = DecMv{-2, 7};     // above MB's Y2
  entry[-16 + 4 + 2] = DecMv{5, 1};  // above-right MB's Y2
  d_.neighbourFlags = 0;
  DecMv p = PredictMv(&d_, entry, 0);
  EXPECT_EQ(p.x, 5);
  EXPECT_EQ(p.y, 1);
  d_.neighbourFlags = NB_TOPRIGHT;  // outside the picture: counts as zero
  p = PredictMv(&d_, entry, 0);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 0);
  d_.neighbourFlags = NB_TOP | NB_TOPRIGHT | NB_TOPLEFT;  // first row of a packet: the left one
  p = PredictMv(&d_, entry, 0);
  EXPECT_EQ(p.x, 10);
  EXPECT_EQ(p.y, -3);
}

TEST(ChromaMv, RoundingRules) {
  // One vector, half-pel: 1/4 and 3/4 positions go to the half position.
  EXPECT_EQ(ChromaMv1(3, 0, 0), 1);
  EXPECT_EQ(ChromaMv1(2, 0, 0), 1);
  EXPECT_EQ(ChromaMv1(4, 0, 0), 2);
  EXPECT_EQ(ChromaMv1(-1, 0, 0), -1);
  EXPECT_EQ(ChromaMv1(-3, 0, 0), -1);
  // Quarter-pel: halved toward zero first.
  EXPECT_EQ(ChromaMv1(7, 1, 0), 1);
  EXPECT_EQ(ChromaMv1(-7, 1, 0), -1);
  // Four vectors: sixteenth-pel rounding of the sum.
  const int four[4] = {1, 1, 1, 0};  // sum 3 -> 0 + R[3] = 1
  EXPECT_EQ(ChromaMv4(four, 0), 1);
  const int eight[4] = {2, 2, 2, 2};  // sum 8 -> 1
  EXPECT_EQ(ChromaMv4(eight, 0), 1);
  const int neg[4] = {-1, -1, -1, -1};  // sum -4 -> -1 + R[12] = -1
  EXPECT_EQ(ChromaMv4(neg, 0), -1);
  // Four equal vectors give what one gives.
  for (int c = -40; c <= 40; ++c) {
    const int same[4] = {c, c, c, c};
    EXPECT_EQ(ChromaMv4(same, 0), ChromaMv1(c, 0, 0)) << c;
  }
}

// A plane and a copy of it with replicated borders: prediction from outside
// the plane through edge emulation equals prediction from the bordered copy.
TEST(EdgeEmulation, PredictionOutsideThePictureUsesReplicatedEdges) {
  const int w = 48, h = 32, border = 64;
  std::mt19937 rng(9);
  std::vector<uint8_t> plane(w * h);
  for (auto& v : plane) v = uint8_t(rng());
  const int bw = w + 2 * border, bh = h + 2 * border;
  std::vector<uint8_t> big(bw * bh);
  for (int y = 0; y < bh; ++y)
    for (int x = 0; x < bw; ++x)
      big[y * bw + x] = plane[std::min(std::max(y - border, 0), h - 1) * w + std::min(std::max(x - border, 0), w - 1)];

  DecoderInstance d;
  std::memset(&d, 0, sizeof d);
  std::vector<uint8_t> edge(WORK_EDGE_BYTES);
  d.edgeBuffer = edge.data();
  d.copyBlockFn = CopyBlock8;
  for (int i = 0; i < 3; ++i) d.halfPelFn[i] = kHalfPelRound0[i];
  for (int i = 0; i < 4; ++i) d.averageFn[i] = kAverageFns[i];
  const McPlane small{plane.data(), w, w, h};
  const McPlane large{big.data() + border * bw + border, bw, bw, bh};  // never leaves the big plane

  for (int iter = 0; iter < 400; ++iter) {
    const int size = iter % 2 ? 16 : 8;
    const int bx = int(rng() % (w / 8)) * 8 % (w - size + 1), by = int(rng() % (h / 8)) * 8 % (h - size + 1);
    const int mvx = int(rng() % 200) - 100, mvy = int(rng() % 160) - 80;  // up to 50 pels out
    const bool qpel = iter % 3 == 0;
    const int rnd = iter % 5 == 0;
    uint8_t a[16 * 16], b[16 * 16];
    std::memset(a, 7, sizeof a);
    std::memset(b, 7, sizeof b);
    const bool avg = iter % 7 == 0;
    if (qpel) {
      PredictQuarterPel(&d, a, 16, small, bx, by, size, size, mvx, mvy, avg, rnd);
      PredictQuarterPel(&d, b, 16, large, bx, by, size, size, mvx, mvy, avg, rnd);
    } else {
      PredictHalfPel(&d, a, 16, small, bx, by, size, size, mvx, mvy, avg);
      PredictHalfPel(&d, b, 16, large, bx, by, size, size, mvx, mvy, avg);
    }
    ASSERT_EQ(0, std::memcmp(a, b, sizeof a)) << "iter " << iter << " mv " << mvx << "," << mvy;
  }
  // 100 pixels left of the picture: every sample is the left edge column.
  uint8_t out[8 * 8];
  PredictHalfPel(&d, out, 8, small, 0, 8, 8, 8, -200, 0, false);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(out[y * 8 + x], plane[(8 + y) * w]);
}

// Straight from the definition: mirror the block's samples, 8-tap half
// sample, quarter positions as the mean with the nearer full sample;
// horizontal first, vertical on its result.
void RefQpelLine(int* out, const int* in, int n, int phase, int rnd) {
  auto at = [&](int j) { return in[j < 0 ? -1 - j : (j > n ? 2 * n + 1 - j : j)]; };
  for (int i = 0; i < n; ++i) {
    int half = ((at(i) + at(i + 1)) * 20 - (at(i - 1) + at(i + 2)) * 6 + (at(i - 2) + at(i + 3)) * 3 -
                (at(i - 3) + at(i + 4)) + 16 - rnd) >> 5;
    half = std::min(std::max(half, 0), 255);
    out[i] = phase == 2 ? half : (half + at(phase == 1 ? i : i + 1) + 1 - rnd) >> 1;
  }
}

void RefQpel(uint8_t* dst, const uint8_t* src, int pitch, int w, int h, int dx, int dy, int rnd) {
  int mid[17][17], in[17], out[17];
  for (int y = 0; y <= h; ++y) {
    for (int x = 0; x <= w; ++x) in[x] = src[y * pitch + x];
    if (dx) RefQpelLine(out, in, w, dx, rnd);
    for (int x = 0; x < w; ++x) mid[y][x] = dx ? out[x] : in[x];
  }
  for (int x = 0; x < w; ++x) {
    for (int y = 0; y <= h; ++y) in[y] = mid[y][x];
    if (dy) RefQpelLine(out, in, h, dy, rnd);
    for (int y = 0; y < h; ++y) dst[y * 16 + x] = uint8_t(dy ? out[y] : in[y]);
  }
}

TEST(Qpel, EveryPhaseMatchesTheDefinition) {
  std::mt19937 rng(4);
  uint8_t src[17 * 24];
  const int sizes[][2] = {{16, 16}, {8, 8}, {16, 8}};
  for (int iter = 0; iter < 20; ++iter) {
    for (auto& v : src) v = uint8_t(rng());
    for (const auto& sz : sizes)
      for (int dx = 0; dx < 4; ++dx)
        for (int dy = 0; dy < 4; ++dy)
          for (int rnd = 0; rnd <= 1; ++rnd) {
            uint8_t want[16 * 16] = {}, got[16 * 16] = {};
            RefQpel(want, src, 24, sz[0], sz[1], dx, dy, rnd);
            QpelPredict(got, src, 16, 24, sz[0], sz[1], dx, dy, false, rnd);
            ASSERT_EQ(0, std::memcmp(want, got, sizeof want)) << sz[0] << "x" << sz[1] << " " << dx << dy << rnd;
            // Averaged into a destination: the mean, rounded up.
            uint8_t avg[16 * 16];
            std::memset(avg, 200, sizeof avg);
            QpelPredict(avg, src, 16, 24, sz[0], sz[1], dx, dy, true, rnd);
            for (int y = 0; y < sz[1]; ++y)
              for (int x = 0; x < sz[0]; ++x) ASSERT_EQ(avg[y * 16 + x], (200 + want[y * 16 + x] + 1) >> 1);
          }
  }
}

// Field prediction past the picture clamps rows as frame rows: below the
// bottom both fields repeat the frame's last line, above the top its first.
TEST(EdgeEmulation, FieldRowsClampAsFrameRows) {
  const int w = 16, h = 16;
  std::vector<uint8_t> frame(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) frame[y * w + x] = uint8_t(10 * y + x);
  DecoderInstance d;
  std::memset(&d, 0, sizeof d);
  std::vector<uint8_t> edge(WORK_EDGE_BYTES);
  d.edgeBuffer = edge.data();
  d.copyBlockFn = CopyBlock8;
  for (int parity = 0; parity <= 1; ++parity) {
    const McPlane field{frame.data() + parity * w, w, 2 * w, h / 2, parity};
    uint8_t out[8 * 8];
    PredictHalfPel(&d, out, 8, field, 0, 0, 8, 8, 0, 2 * 5, false);  // 5 field rows down
    for (int r = 0; r < 8; ++r) {
      const int fr = std::min(2 * (r + 5) + parity, h - 1);
      for (int x = 0; x < 8; ++x) ASSERT_EQ(out[r * 8 + x], frame[fr * w + x]) << parity << " row " << r;
    }
    PredictHalfPel(&d, out, 8, field, 0, 0, 8, 8, 0, -2 * 3, false);  // 3 field rows up
    for (int r = 0; r < 8; ++r) {
      const int fr = std::max(2 * (r - 3) + parity, 0);
      for (int x = 0; x < 8; ++x) ASSERT_EQ(out[r * 8 + x], frame[fr * w + x]) << parity << " row " << r;
    }
  }
}

TEST(Qpel, FlatAreasStayFlatAndRampsInterpolate) {
  uint8_t src[17 * 24];
  std::memset(src, 90, sizeof src);
  for (int dx = 0; dx < 4; ++dx)
    for (int dy = 0; dy < 4; ++dy)
      for (int rnd = 0; rnd <= 1; ++rnd) {
        uint8_t out[16 * 16];
        QpelPredict(out, src, 16, 24, 16, 16, dx, dy, false, rnd);
        for (uint8_t v : out) ASSERT_EQ(v, 90) << dx << dy << rnd;
      }
  // A horizontal ramp of step 8: away from the block edges the half sample is
  // the midpoint and the quarter samples are a quarter step either side.
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 24; ++x) src[y * 24 + x] = uint8_t(20 + 8 * x);
  uint8_t q1[16 * 16], q2[16 * 16], q3[16 * 16];
  QpelPredict(q1, src, 16, 24, 16, 16, 1, 0, false, 0);
  QpelPredict(q2, src, 16, 24, 16, 16, 2, 0, false, 0);
  QpelPredict(q3, src, 16, 24, 16, 16, 3, 0, false, 0);
  for (int x = 3; x < 12; ++x) {
    EXPECT_EQ(q2[x], 20 + 8 * x + 4);
    EXPECT_EQ(q1[x], 20 + 8 * x + 2);
    EXPECT_EQ(q3[x], 20 + 8 * x + 6);
  }
}

}  // namespace
