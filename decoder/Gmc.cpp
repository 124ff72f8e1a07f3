#include "decoder/Gmc.h"

#include <cstdint>
#include <limits>

#include "decoder/Interpolate.h"

namespace dec {

namespace {

// Division rounding halves away from zero.
int64_t RoundDiv(int64_t a, int64_t b) { return (a >= 0 ? a + b / 2 : a - b / 2) / b; }

int64_t RoundShift(int64_t v, int n) {
  const int64_t half = n > 0 ? (int64_t{1} << (n - 1)) : 0;
  return v < 0 ? -((-v + half) >> n) : ((v + half) >> n);
}

bool FitsInt(int64_t v) {
  return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
}

int64_t Shl(int64_t v, int n) { return n >= 0 ? v * (int64_t{1} << n) : (v >> -n); }

}  // namespace

GmcParams ComputeGmcParams(const GmcSetup& st) {
  GmcParams out;
  const int a = st.accuracy & 3;
  const int s = 2 << a;
  const int r = 16 / s;
  const int rho = 3 - a;
  const int64_t W = st.width > 0 ? st.width : 16;
  const int64_t H = st.height > 0 ? st.height : 16;
  int alpha = 0, beta = 0;
  while ((int64_t{1} << alpha) < W) ++alpha;
  while ((int64_t{1} << beta) < H) ++beta;
  const int64_t Wp = int64_t{1} << alpha, Hp = int64_t{1} << beta;
  const int64_t du0 = st.du[0], du1 = st.du[1], du2 = st.du[2];
  const int64_t dv0 = st.dv[0], dv1 = st.dv[1], dv2 = st.dv[2];
  const int points = st.points < 0 ? 0 : (st.points > 3 ? 3 : st.points);

  int64_t i0, j0, i1, j1, i2, j2;
  if (st.divx500Trajectory && points == 2) {
    i0 = du0;
    j0 = dv0;
    i1 = s * W + du0 + du1;
    j1 = dv0 + dv1;
    i2 = du0 + du2;
    j2 = 2 * H + dv0 + dv2;
  } else {
    const int64_t k = (st.divx500Trajectory && points == 3) ? s : s / 2;
    i0 = k * du0;
    j0 = k * dv0;
    i1 = k * (2 * W + du0 + du1);
    j1 = k * (dv0 + dv1);
    i2 = k * (du0 + du2);
    j2 = k * (2 * H + dv0 + dv2);
  }
  const int64_t i1v = 16 * Wp + RoundDiv((W - Wp) * r * i0 + Wp * (r * i1 - 16 * W), W);
  const int64_t j1v = RoundDiv((W - Wp) * r * j0 + Wp * r * j1, W);
  const int64_t i2v = RoundDiv((H - Hp) * r * i0 + Hp * r * i2, H);
  const int64_t j2v = 16 * Hp + RoundDiv((H - Hp) * r * j0 + Hp * (r * j2 - 16 * H), H);

  int64_t uo = 0, vo = 0, uco = 0, vco = 0, dudx = s, dudy = 0, dvdx = 0, dvdy = s;
  int shift = 0, cshift = 0;
  if (points == 1) {
    uo = i0;
    vo = j0;
    uco = (i0 >> 1) | (i0 & 1);
    vco = (j0 >> 1) | (j0 & 1);
  } else if (points == 2) {
    shift = rho + alpha;
    uo = Shl(i0, shift) + (int64_t{1} << (shift - 1));
    vo = Shl(j0, shift) + (int64_t{1} << (shift - 1));
    uco = ((2 * Wp - 1) * i0 + j0) * r - 16 * Wp - j1v + i1v + (int64_t{1} << (shift + 1));
    vco = ((2 * Wp - 1) * j0 - i0) * r - 16 * Wp + j1v + i1v + (int64_t{1} << (shift + 1));
    dudx = dvdy = i1v - r * i0;
    dvdx = j1v - r * j0;
    dudy = -dvdx;
    cshift = shift + 2;
  } else if (points == 3) {
    const int m = alpha < beta ? alpha : beta;
    shift = rho + (alpha > beta ? alpha : beta);
    uo = Shl(i0, shift) + (int64_t{1} << (shift - 1));
    vo = Shl(j0, shift) + (int64_t{1} << (shift - 1));
    dudx = (i1v - r * i0) * (Hp >> m);
    dudy = (i2v - r * i0) * (Wp >> m);
    dvdx = (j1v - r * j0) * (Hp >> m);
    dvdy = (j2v - r * j0) * (Wp >> m);
    uco = ((2 * Wp - 1) * r * i0 - 16 * Wp + i1v) * (Hp >> m) + dudy + (int64_t{1} << (shift + 1));
    vco = ((2 * Wp - 1) * r * j0 - 16 * Wp + j1v) * (Hp >> m) + dvdy + (int64_t{1} << (shift + 1));
    cshift = shift + 2;
  }

  const int64_t unit = Shl(s, shift);
  if (dudx == unit && dvdy == unit && dudy == 0 && dvdx == 0) {
    out.mode = 1;
    uo = Shl(uo >> shift, rho);
    vo = Shl(vo >> shift, rho);
    uco = Shl(uco >> cshift, rho);
    vco = Shl(vco >> cshift, rho);
    dudx = dvdy = Shl(s, rho);
    dudy = dvdx = 0;
  } else {
    out.mode = points;
    uo = Shl(uo, 16 - shift);
    vo = Shl(vo, 16 - shift);
    dudx = Shl(dudx, 16 - shift);
    dudy = Shl(dudy, 16 - shift);
    dvdx = Shl(dvdx, 16 - shift);
    dvdy = Shl(dvdy, 16 - shift);
    uco = Shl(uco, 16 - cshift);
    vco = Shl(vco, 16 - cshift);
  }
  if (!FitsInt(uo) || !FitsInt(vo) || !FitsInt(uco) || !FitsInt(vco) || !FitsInt(dudx) ||
      !FitsInt(dudy) || !FitsInt(dvdx) || !FitsInt(dvdy)) {
    // A warp this large cannot come from a sane stream: fall back to no motion.
    GmcParams still;
    still.mode = 1;
    still.dudx = still.dvdy = 16;
    return still;
  }
  out.uo = static_cast<int>(uo);
  out.vo = static_cast<int>(vo);
  out.uco = static_cast<int>(uco);
  out.vco = static_cast<int>(vco);
  out.dudx = static_cast<int>(dudx);
  out.dudy = static_cast<int>(dudy);
  out.dvdx = static_cast<int>(dvdx);
  out.dvdy = static_cast<int>(dvdy);
  return out;
}

namespace {

// Translation: one 1/16-pel fraction for the whole block.
void TranslateBlock(uint8_t* dst, int size, const uint8_t* plane, int stride, int height, int x,
                    int y, int fx, int fy, int rounding, uint8_t* edge) {
  const uint8_t* src;
  int pitch;
  if (static_cast<unsigned>(x) >= static_cast<unsigned>(stride - size) ||
      static_cast<unsigned>(y) >= static_cast<unsigned>(height - size)) {
    EmulateEdges(edge, plane, x, x + size + 1, stride, y, y + size + 1, height);
    src = edge + (x & 3);
    pitch = kEdgePitch;
  } else {
    src = plane + static_cast<long>(y) * stride + x;
    pitch = stride;
  }
  const int w00 = (16 - fx) * (16 - fy), w01 = fx * (16 - fy), w10 = (16 - fx) * fy, w11 = fx * fy;
  const int c = 128 - rounding;
  for (int j = 0; j < size; ++j, src += pitch, dst += 16)
    for (int i = 0; i < size; ++i)
      dst[i] = static_cast<uint8_t>(
          (w00 * src[i] + w01 * src[i + 1] + w10 * src[i + pitch] + w11 * src[i + pitch + 1] + c) >> 8);
}

// Affine: per-sample positions in 1/s pel, neighbours clamped to the plane.
void WarpBlock(uint8_t* dst, int size, const uint8_t* plane, int stride, int height, int x0, int y0,
               int64_t uo, int64_t vo, const GmcParams& p, int accuracy, int rounding) {
  const int shift = accuracy + 1;
  const int s = 1 << shift;
  const int round = (1 << (2 * shift - 1)) - rounding;
  for (int j = 0; j < size; ++j, dst += 16) {
    const int64_t y = y0 + j;
    for (int i = 0; i < size; ++i) {
      const int64_t x = x0 + i;
      const int64_t U = uo + p.dudx * x + p.dudy * y;
      const int64_t V = vo + p.dvdx * x + p.dvdy * y;
      const int64_t pu = U >> 16, pv = V >> 16;
      const int fx = static_cast<int>(pu & (s - 1)), fy = static_cast<int>(pv & (s - 1));
      int64_t ix = pu >> shift, iy = pv >> shift;
      auto cx = [&](int64_t v) { return v < 0 ? 0 : (v >= stride ? stride - 1 : static_cast<int>(v)); };
      auto cy = [&](int64_t v) { return v < 0 ? 0 : (v >= height ? height - 1 : static_cast<int>(v)); };
      const int xa = cx(ix), xb = cx(ix + 1), ya = cy(iy), yb = cy(iy + 1);
      const uint8_t* ra = plane + static_cast<long>(ya) * stride;
      const uint8_t* rb = plane + static_cast<long>(yb) * stride;
      const int v = ((s - fx) * ra[xa] + fx * ra[xb]) * (s - fy) + ((s - fx) * rb[xa] + fx * rb[xb]) * fy;
      dst[i] = static_cast<uint8_t>((v + round) >> (2 * shift));
    }
  }
}

}  // namespace

void PredictGmcMacroblock(const GmcParams& p, int accuracy, const GmcPlanes& ref, int mbX, int mbY,
                          int roundingType, uint8_t* pred, uint8_t* edge) {
  const int cs = ref.stride / 2, ch = ref.alignedHeight / 2;
  if (p.mode <= 1) {
    TranslateBlock(pred, 16, ref.y, ref.stride, ref.alignedHeight, 16 * mbX + (p.uo >> 4),
                   16 * mbY + (p.vo >> 4), p.uo & 15, p.vo & 15, roundingType, edge);
    const int cx = 8 * mbX + (p.uco >> 4), cy = 8 * mbY + (p.vco >> 4);
    TranslateBlock(pred + 256, 8, ref.u, cs, ch, cx, cy, p.uco & 15, p.vco & 15, roundingType, edge);
    TranslateBlock(pred + 264, 8, ref.v, cs, ch, cx, cy, p.uco & 15, p.vco & 15, roundingType, edge);
    return;
  }
  WarpBlock(pred, 16, ref.y, ref.stride, ref.alignedHeight, 16 * mbX, 16 * mbY, p.uo, p.vo, p,
            accuracy, roundingType);
  WarpBlock(pred + 256, 8, ref.u, cs, ch, 8 * mbX, 8 * mbY, p.uco, p.vco, p, accuracy, roundingType);
  WarpBlock(pred + 264, 8, ref.v, cs, ch, 8 * mbX, 8 * mbY, p.uco, p.vco, p, accuracy, roundingType);
}

uint32_t GmcAverageMv(const GmcParams& p, int accuracy, int quarterSample, int fcodeForward,
                      int mbX, int mbY) {
  int64_t mv[2];
  if (p.mode <= 1) {
    mv[0] = RoundShift(p.uo, 3 - quarterSample);
    mv[1] = RoundShift(p.vo, 3 - quarterSample);
  } else {
    const int64_t unit = int64_t{1} << (accuracy + 17);
    int64_t sx = 0, sy = 0;
    for (int j = 0; j < 16; ++j) {
      const int64_t y = 16 * mbY + j;
      for (int i = 0; i < 16; ++i) {
        const int64_t x = 16 * mbX + i;
        sx += (p.uo + p.dudx * x + p.dudy * y - unit * x) >> 16;
        sy += (p.vo + p.dvdx * x + p.dvdy * y - unit * y) >> 16;
      }
    }
    mv[0] = RoundShift(sx, accuracy + 8 - quarterSample);
    mv[1] = RoundShift(sy, accuracy + 8 - quarterSample);
  }
  const int len = 16 << (fcodeForward < 1 ? 1 : (fcodeForward > 7 ? 7 : fcodeForward));
  for (auto& c : mv) c = c < -len ? -len : (c > len - 1 ? len - 1 : c);
  return (static_cast<uint32_t>(static_cast<uint16_t>(mv[1])) << 16) |
         static_cast<uint16_t>(mv[0]);
}

}  // namespace dec

// ---------------------------------------------------------------------------
// Instance-level entry points.

#include "decoder/DecoderInternal.h"

namespace dec {

static GmcParams ParamsOf(const DecoderInstance* d) {
  GmcParams p;
  p.mode = d->gmcMode;
  p.uo = d->gmcUo;
  p.vo = d->gmcVo;
  p.uco = d->gmcUco;
  p.vco = d->gmcVco;
  p.dudx = d->gmcDuDx;
  p.dudy = d->gmcDuDy;
  p.dvdx = d->gmcDvDx;
  p.dvdy = d->gmcDvDy;
  return p;
}

void PredictGmcMacroblock(DecoderInstance* d) {
  const GmcPlanes ref{d->fwdRef->pY, d->fwdRef->pU, d->fwdRef->pV, d->stride, d->alignedHeight};
  PredictGmcMacroblock(ParamsOf(d), d->vol->sprite_warping_accuracy & 3, ref, d->mbX, d->mbY,
                       d->vol->vop_rounding_type, d->predBuffer, d->edgeBuffer);
}

uint32_t GmcAverageMv(DecoderInstance* d) {
  return GmcAverageMv(ParamsOf(d), d->vol->sprite_warping_accuracy & 3, d->vol->quarter_sample,
                      d->vol->vop_fcode_forward, d->mbX, d->mbY);
}

}  // namespace dec
