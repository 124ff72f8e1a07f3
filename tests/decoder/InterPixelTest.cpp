// Pixel routines of motion compensation, the post-filter, edge padding and the
// global-motion warp, each against a plain reference written here.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "decoder/Deblock.h"
#include "decoder/Gmc.h"
#include "decoder/Interpolate.h"
#include "decoder/Padding.h"

using namespace dec;

namespace {

std::vector<uint8_t> RandomPlane(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> p(static_cast<size_t>(w) * h);
  for (auto& v : p) v = static_cast<uint8_t>(rng());
  return p;
}

struct InterpCase {
  const char* name;
  PixelFn fn;
  int dx, dy;   // half-sample position
  int rounding; // 0/1 for half-pel; -1 marks an averager
};

class HalfPelTest : public ::testing::TestWithParam<InterpCase> {};

TEST_P(HalfPelTest, MatchesReferenceOnRandomBlocks) {
  const InterpCase c = GetParam();
  const int ss = 40, ds = 24;
  for (uint32_t seed = 1; seed < 40; ++seed) {
    const auto src = RandomPlane(ss, 20, seed);
    auto dst = RandomPlane(ds, 16, seed + 1000);
    const auto before = dst;
    const int rows = 4 + static_cast<int>(seed % 13);
    c.fn(dst.data(), src.data() + ss + 1, ds, ss, rows);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < ds; ++x) {
        const uint8_t* s = src.data() + (y + 1) * ss + x + 1;
        int want = before[y * ds + x];
        if (y < rows && x < 8) {
          const int a = s[0], b = s[c.dx], cc = s[c.dy * ss], d = s[c.dy * ss + c.dx];
          int p;
          const int r = c.rounding < 0 ? 0 : c.rounding;
          if (c.dx && c.dy) p = (a + b + cc + d + 2 - r) >> 2;
          else if (c.dx || c.dy) p = (a + (c.dx ? b : cc) + 1 - r) >> 1;
          else p = a;
          want = c.rounding < 0 ? (before[y * ds + x] + p + 1) >> 1 : p;
        }
        ASSERT_EQ(dst[y * ds + x], want) << c.name << " seed " << seed << " at " << x << "," << y;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(
    All, HalfPelTest,
    ::testing::Values(InterpCase{"copy", CopyBlock8, 0, 0, 0}, InterpCase{"h0", HalfPelH0, 1, 0, 0},
                      InterpCase{"h1", HalfPelH1, 1, 0, 1}, InterpCase{"v0", HalfPelV0, 0, 1, 0},
                      InterpCase{"v1", HalfPelV1, 0, 1, 1}, InterpCase{"hv0", HalfPelHV0, 1, 1, 0},
                      InterpCase{"hv1", HalfPelHV1, 1, 1, 1},
                      InterpCase{"avg", AverageFull, 0, 0, -1},
                      InterpCase{"avgh", AverageHalfH, 1, 0, -1},
                      InterpCase{"avgv", AverageHalfV, 0, 1, -1},
                      InterpCase{"avghv", AverageHalfHV, 1, 1, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HalfPel, RoundingTypeDecidesTies) {
  uint8_t src[2 * 16] = {};
  for (int i = 0; i < 32; i += 2) { src[i] = 10; src[i + 1] = 11; }
  uint8_t d0[8], d1[8];
  HalfPelH0(d0, src, 8, 16, 1);
  HalfPelH1(d1, src, 8, 16, 1);
  EXPECT_EQ(d0[0], 11);
  EXPECT_EQ(d1[0], 10);
  uint8_t dst[8] = {100, 100, 100, 100, 100, 100, 100, 100};
  uint8_t back[8] = {101, 101, 101, 101, 101, 101, 101, 101};
  AverageFull(dst, back, 8, 8, 1);
  EXPECT_EQ(dst[0], 101);
}

TEST(EmulateEdges, ReplicatesOutsideSamples) {
  const int w = 640, h = 48;
  const auto plane = RandomPlane(w, h, 7);
  struct Area { int x0, y0, cols, rows; } areas[] = {
      {-3, -2, 17, 17}, {630, 40, 17, 17}, {-100, 10, 9, 9}, {600, -50, 17, 17}, {5, 5, 17, 17},
      {637, 47, 9, 9}};
  for (const auto& a : areas) {
    uint8_t scratch[17 * kEdgePitch];
    EmulateEdges(scratch, plane.data(), a.x0, a.x0 + a.cols, w, a.y0, a.y0 + a.rows, h);
    for (int y = 0; y < a.rows; ++y)
      for (int x = 0; x < a.cols; ++x) {
        const int sx = std::min(std::max(a.x0 + x, 0), w - 1);
        const int sy = std::min(std::max(a.y0 + y, 0), h - 1);
        ASSERT_EQ(scratch[y * kEdgePitch + (a.x0 & 3) + x], plane[sy * w + sx])
            << a.x0 << "," << a.y0 << " at " << x << "," << y;
      }
  }
  // The first word of each row holds the row's first sample four times.
  uint8_t scratch[17 * kEdgePitch];
  EmulateEdges(scratch, plane.data(), -3, 14, w, -2, 15, h);
  for (int y = 0; y < 3; ++y)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(scratch[y * kEdgePitch + i], plane[0]);
}

// --- post-filter -------------------------------------------------------------

int Clip(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void RefFilter(int* p, int q) {  // p[0..5] = p2 p1 p0 q0 q1 q2
  int d = p[2] - p[3];
  const int a = std::abs(p[2] - p[3] - p[1] + p[4]);
  d = std::min(std::max(d, -2 * q), 2 * q);
  const int P0 = p[2], Q0 = p[3];
  if (2 * a >= q) {
    const int e = (3 * d + 8) >> 4;
    p[2] = Clip(P0 - e); p[3] = Clip(Q0 + e);
  } else if (8 * a < q) {
    const int f = (5 * d + 8) >> 4, g = d >> 3;
    p[2] = Clip(P0 - g - f); p[3] = Clip(Q0 + g + f);
    p[1] = Clip(p[1] - f); p[4] = Clip(p[4] + f);
    p[0] = Clip(p[0] - f + g); p[5] = Clip(p[5] + f - g);
  } else {
    const int e = (3 * d + 4) >> 3;
    p[2] = Clip(P0 - e); p[3] = Clip(Q0 + e);
    p[1] = (P0 + p[1] + 1) >> 1; p[4] = (Q0 + p[4] + 1) >> 1;
  }
}

// Reference: copy, then all vertical edges of a block row, then the
// horizontal edge above it, in block-row order.
std::vector<uint8_t> RefDeblock(const std::vector<uint8_t>& src, int w, int h,
                                const std::vector<uint8_t>& qp, int qpStride, int perMb) {
  std::vector<uint8_t> out = src;
  for (int b = 0; b < h / 8; ++b) {
    const int qrow = b / perMb;
    for (int c = 1; c < w / 8; ++c)
      for (int y = 8 * b; y < 8 * b + 8; ++y) {
        int p[6];
        for (int i = 0; i < 6; ++i) p[i] = out[y * w + 8 * c - 3 + i];
        RefFilter(p, qp[qrow * qpStride + c / perMb]);
        for (int i = 0; i < 6; ++i) out[y * w + 8 * c - 3 + i] = static_cast<uint8_t>(p[i]);
      }
    if (b == 0) continue;
    for (int x = 0; x < w; ++x) {
      int p[6];
      for (int i = 0; i < 6; ++i) p[i] = out[(8 * b - 3 + i) * w + x];
      RefFilter(p, qp[qrow * qpStride + (x / 8) / perMb]);
      for (int i = 0; i < 6; ++i) out[(8 * b - 3 + i) * w + x] = static_cast<uint8_t>(p[i]);
    }
  }
  return out;
}

TEST(Deblock, CopyingAndInPlaceMatchReference) {
  const int w = 64, h = 48;
  std::mt19937 rng(3);
  // Smooth areas with block steps, so all three filter branches are taken.
  std::vector<uint8_t> src(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      src[y * w + x] = static_cast<uint8_t>(Clip(100 + ((x / 8 + y / 8) % 3) * 9 + int(rng() % 5) +
                                                  ((x * 7 + y * 3) % 11 == 0 ? 60 : 0)));
  std::vector<uint8_t> qp = {1, 4, 9, 31, 12, 2, 6, 20, 16, 3, 28, 7};
  const auto want = RefDeblock(src, w, h, qp, 4, 2);
  std::vector<uint8_t> dst(w * h, 0);
  DeblockPlane(dst.data(), src.data(), w, w, h, qp.data(), 4, 2);
  EXPECT_EQ(dst, want);
  auto inPlace = src;
  DeblockPlane(inPlace.data(), inPlace.data(), w, w, h, qp.data(), 4, 2);
  EXPECT_EQ(inPlace, want);
  EXPECT_NE(want, src);
  // Chroma: one quantiser per 8x8 block.
  std::vector<uint8_t> qp8(48);
  for (int i = 0; i < 48; ++i) qp8[i] = qp[i % 12];
  const auto wantC8 = RefDeblock(src, w, h, qp8, 8, 1);
  DeblockPlane(dst.data(), src.data(), w, w, h, qp8.data(), 8, 1);
  EXPECT_EQ(dst, wantC8);
}

TEST(Deblock, FlatPictureAndZeroQuantiserStayUnchanged) {
  std::vector<uint8_t> flat(32 * 32, 77), out(32 * 32);
  std::vector<uint8_t> qp(4, 31);
  DeblockPlane(out.data(), flat.data(), 32, 32, 32, qp.data(), 2, 2);
  EXPECT_EQ(out, flat);
  auto noisy = RandomPlane(32, 32, 5);
  std::vector<uint8_t> zero(4, 0);
  DeblockPlane(out.data(), noisy.data(), 32, 32, 32, zero.data(), 2, 2);
  EXPECT_EQ(out, noisy);
}

// --- padding -------------------------------------------------------------------

TEST(Padding, RepeatsLastColumnAndRow) {
  const int stride = 640, ah = 496, w = 636, h = 482;
  auto y = RandomPlane(stride, ah, 1), u = RandomPlane(stride / 2, ah / 2, 2),
       v = RandomPlane(stride / 2, ah / 2, 3);
  const auto y0 = y, u0 = u;
  PadFrameEdges(y.data(), u.data(), v.data(), stride, ah, w, h);
  for (int r = 0; r < ah; ++r)
    for (int c = 0; c < stride; ++c) {
      const int sr = std::min(r, h - 1), sc = std::min(c, w - 1);
      ASSERT_EQ(y[r * stride + c], y0[sr * stride + sc]) << r << "," << c;
    }
  for (int r = 0; r < ah / 2; ++r)
    for (int c = 0; c < stride / 2; ++c) {
      const int sr = std::min(r, h / 2 - 1), sc = std::min(c, w / 2 - 1);
      ASSERT_EQ(u[r * stride / 2 + c], u0[sr * stride / 2 + sc]);
    }
  // A multiple of 16 in both directions changes nothing.
  auto y2 = y0;
  PadFrameEdges(y2.data(), u.data(), v.data(), stride, ah, stride, ah);
  EXPECT_EQ(y2, y0);
}

// --- global motion -----------------------------------------------------------------

TEST(Gmc, OnePointAtQuarterAccuracy) {
  GmcSetup st;
  st.points = 1;
  st.accuracy = 1;
  st.du[0] = 3;
  st.width = 352;
  st.height = 288;
  const GmcParams p = ComputeGmcParams(st);
  EXPECT_EQ(p.mode, 1);
  EXPECT_EQ(p.uo, 24);   // 1.5 pel
  EXPECT_EQ(p.uco, 12);
  EXPECT_EQ(p.vo, 0);
}

TEST(Gmc, PureTranslationWithTwoOrThreePointsFallsBackToTranslation) {
  for (int points = 2; points <= 3; ++points)
    for (int acc = 0; acc <= 3; ++acc) {
      GmcSetup st;
      st.points = points;
      st.accuracy = acc;
      st.du[0] = 5;
      st.dv[0] = -7;
      st.width = 352;
      st.height = 288;
      const GmcParams p = ComputeGmcParams(st);
      EXPECT_EQ(p.mode, 1) << points << " " << acc;
      const int s = 2 << acc;
      // du0 is in 1/s pel units scaled by s/2: offset in 1/16 pel = du0 * 8.
      EXPECT_EQ(p.uo, 5 * (s / 2) * (16 / s)) << points << " " << acc;
      EXPECT_EQ(p.vo, -7 * (s / 2) * (16 / s));
    }
}

// Reference bilinear sample at a position in 1/16 pel with clamped neighbours.
int RefSample(const std::vector<uint8_t>& pl, int w, int h, int px, int py, int rnd) {
  const int ix = px >> 4, iy = py >> 4, fx = px & 15, fy = py & 15;
  auto at = [&](int x, int y) {
    return pl[std::min(std::max(y, 0), h - 1) * w + std::min(std::max(x, 0), w - 1)];
  };
  return ((16 - fx) * (16 - fy) * at(ix, iy) + fx * (16 - fy) * at(ix + 1, iy) +
          (16 - fx) * fy * at(ix, iy + 1) + fx * fy * at(ix + 1, iy + 1) + 128 - rnd) >> 8;
}

TEST(Gmc, TranslationPredictionIncludingPictureEdges) {
  const int w = 64, h = 48;
  const auto Y = RandomPlane(w, h, 11), U = RandomPlane(w / 2, h / 2, 12), V = RandomPlane(w / 2, h / 2, 13);
  const GmcPlanes ref{Y.data(), U.data(), V.data(), w, h};
  for (int rnd = 0; rnd <= 1; ++rnd)
    for (int uo : {0, 37, -53, 200}) {
      GmcParams p;
      p.mode = 1;
      p.uo = uo;
      p.vo = -uo / 2 + 3;
      p.uco = uo / 2 + 1;
      p.vco = -uo / 3;
      for (int mby = 0; mby < 3; ++mby)
        for (int mbx = 0; mbx < 4; ++mbx) {
          uint8_t pred[16 * 24];
          uint8_t edge[17 * kEdgePitch];
          PredictGmcMacroblock(p, 3, ref, mbx, mby, rnd, pred, edge);
          for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
              ASSERT_EQ(pred[y * 16 + x],
                        RefSample(Y, w, h, (16 * mbx + x) * 16 + p.uo, (16 * mby + y) * 16 + p.vo, rnd));
          for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
              ASSERT_EQ(pred[256 + y * 16 + x], RefSample(U, w / 2, h / 2, (8 * mbx + x) * 16 + p.uco,
                                                          (8 * mby + y) * 16 + p.vco, rnd));
              ASSERT_EQ(pred[264 + y * 16 + x], RefSample(V, w / 2, h / 2, (8 * mbx + x) * 16 + p.uco,
                                                          (8 * mby + y) * 16 + p.vco, rnd));
            }
        }
    }
}

TEST(Gmc, AffineZoomSamplesTheWarpedPosition) {
  // Three points: a 1/16-pel zoom; check a sample against the warp equation.
  GmcSetup st;
  st.points = 3;
  st.accuracy = 3;
  st.du[0] = 4;
  st.du[1] = 16;
  st.dv[2] = 16;
  st.width = 64;
  st.height = 64;
  const GmcParams p = ComputeGmcParams(st);
  ASSERT_EQ(p.mode, 3);
  const auto Y = RandomPlane(64, 64, 21), U = RandomPlane(32, 32, 22), V = RandomPlane(32, 32, 23);
  const GmcPlanes ref{Y.data(), U.data(), V.data(), 64, 64};
  uint8_t pred[16 * 24], edge[17 * kEdgePitch];
  PredictGmcMacroblock(p, 3, ref, 1, 2, 0, pred, edge);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const int64_t U16 = (p.uo + int64_t(p.dudx) * (16 + x) + int64_t(p.dudy) * (32 + y)) >> 16;
      const int64_t V16 = (p.vo + int64_t(p.dvdx) * (16 + x) + int64_t(p.dvdy) * (32 + y)) >> 16;
      ASSERT_EQ(pred[y * 16 + x], RefSample(Y, 64, 64, int(U16), int(V16), 0)) << x << "," << y;
    }
  // Zoom of 16/16 pel over 64 pixels: the right edge moves by one pixel per 64.
  EXPECT_GT(p.dudx, 16 << 16);
  // The average vector of an MB grows with its distance from the origin.
  const uint32_t a0 = GmcAverageMv(p, 3, 0, 1, 0, 0), a3 = GmcAverageMv(p, 3, 0, 1, 3, 0);
  EXPECT_GT(int16_t(a3 & 0xFFFF), int16_t(a0 & 0xFFFF));
}

TEST(Gmc, AverageMvOfTranslationRoundsAndClips) {
  GmcParams p;
  p.mode = 1;
  p.uo = 24;   // 1.5 pel = 3 half-pel
  p.vo = -20;  // -1.25 pel: -2.5 half-pel rounds away from zero
  uint32_t mv = GmcAverageMv(p, 1, 0, 1, 0, 0);
  EXPECT_EQ(int16_t(mv & 0xFFFF), 3);
  EXPECT_EQ(int16_t(mv >> 16), -3);
  mv = GmcAverageMv(p, 1, 1, 1, 0, 0);  // quarter units
  EXPECT_EQ(int16_t(mv & 0xFFFF), 6);
  EXPECT_EQ(int16_t(mv >> 16), -5);
  p.uo = 16 * 100;  // 100 pel: clipped to f_code 1's range
  mv = GmcAverageMv(p, 1, 0, 1, 0, 0);
  EXPECT_EQ(int16_t(mv & 0xFFFF), 31);
}

}  // namespace
