#include "decoder/MotionComp.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decoder/DecoderInternal.h"
#include "decoder/Interpolate.h"
#include "decoder/MotionVector.h"

namespace dec {

namespace {

// Points src at the area's first sample, through the edge buffer when the
// area (cols x rows from (x0, y0)) leaves the plane.
const uint8_t* AreaSource(DecoderInstance* d, const McPlane& p, int x0, int y0, int cols, int rows,
                          int* pitch) {
  if (x0 < 0 || y0 < 0 || x0 + cols > p.width || y0 + rows > p.height) {
    if (p.parity < 0) {
      EmulateEdgesPitch(d->edgeBuffer, p.base, x0, x0 + cols, p.width, p.pitch, y0, y0 + rows, p.height);
    } else {
      // A field's rows are clamped as frame rows, as the encoders' own
      // reconstruction does: beyond the bottom every field repeats the
      // frame's last line, above the top its first.
      const uint8_t* frame = p.base - p.parity * (p.pitch / 2);
      const int frameRows = 2 * p.height;
      if (rows > 17) rows = 17;
      for (int r = 0; r < rows; ++r) {
        int fr = 2 * (y0 + r) + p.parity;
        fr = fr < 0 ? 0 : (fr >= frameRows ? frameRows - 1 : fr);
        EmulateEdgesPitch(d->edgeBuffer + r * kEdgePitch, frame + static_cast<long>(fr) * (p.pitch / 2), x0,
                          x0 + cols, p.width, p.pitch, 0, 1, 1);
      }
    }
    *pitch = kEdgePitch;
    return d->edgeBuffer + (x0 & 3);
  }
  *pitch = p.pitch;
  return p.base + static_cast<long>(y0) * p.pitch + x0;
}

}  // namespace

void PredictHalfPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x, int y,
                    int w, int h, int mvx, int mvy, bool average) {
  const int fx = mvx & 1, fy = mvy & 1;
  const int x0 = x + (mvx >> 1), y0 = y + (mvy >> 1);
  int pitch;
  const uint8_t* s = AreaSource(d, src, x0, y0, w + fx, h + fy, &pitch);
  const int i = fx + 2 * fy;
  PixelBlockFn fn = average ? d->averageFn[i] : (i == 0 ? d->copyBlockFn : d->halfPelFn[i - 1]);
  for (int c = 0; c < w; c += 8) fn(dst + c, s + c, dstPitch, pitch, h);
}

namespace {

// Source index of tap position j of a block line with n + 1 samples (0..n):
// the 8-tap filter mirrors the block's own samples at both ends.
template <int N>
struct MirrorTable {
  int16_t idx[N + 7];  // positions -3 .. N + 3
  constexpr MirrorTable() : idx() {
    for (int j = -3; j <= N + 3; ++j) idx[j + 3] = static_cast<int16_t>(j < 0 ? -1 - j : (j > N ? 2 * N + 1 - j : j));
  }
};
template <int N>
constexpr MirrorTable<N> kMirror{};

inline int HalfTap(int m3, int m2, int m1, int p0, int p1, int p2, int p3, int p4, int rnd) {
  const int v = ((p0 + p1) * 20 - (m1 + p2) * 6 + (m2 + p3) * 3 - (m3 + p4) + 16 - rnd) >> 5;
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Horizontal pass over one row of N + 1 samples into N outputs.
template <int N, int Phase>
inline void FilterRow(uint8_t* out, const uint8_t* s, int rnd) {
  const int16_t* m = kMirror<N>.idx + 3;
  int v[N + 7];
  for (int j = -3; j <= N + 3; ++j) v[j + 3] = s[m[j]];
  const int* p = v + 3;
  for (int i = 0; i < N; ++i) {
    const int* q = p + i;
    int h = HalfTap(q[-3], q[-2], q[-1], q[0], q[1], q[2], q[3], q[4], rnd);
    if (Phase == 1) h = (h + q[0] + 1 - rnd) >> 1;
    if (Phase == 3) h = (h + q[1] + 1 - rnd) >> 1;
    out[i] = static_cast<uint8_t>(h);
  }
}

// Vertical pass: H output rows of W samples from H + 1 rows (pitch 16),
// row by row so the inner loop runs along contiguous samples.
template <int W, int H, int Phase>
inline void FilterColumns(uint8_t* out, const uint8_t* in, int rnd) {
  const int16_t* m = kMirror<H>.idx + 3;
  for (int i = 0; i < H; ++i) {
    const uint8_t* r[8];
    for (int t = 0; t < 8; ++t) r[t] = in + 16 * m[i + t - 3];
    uint8_t* o = out + 16 * i;
    for (int x = 0; x < W; ++x) {
      int h = HalfTap(r[0][x], r[1][x], r[2][x], r[3][x], r[4][x], r[5][x], r[6][x], r[7][x], rnd);
      if (Phase == 1) h = (h + r[3][x] + 1 - rnd) >> 1;
      if (Phase == 3) h = (h + r[4][x] + 1 - rnd) >> 1;
      o[x] = static_cast<uint8_t>(h);
    }
  }
}

#if defined(__SSE2__)
// The same two passes on 8 lanes of 16 bits: every intermediate of the tap
// sum lies within -3570..11746, and the saturating pack is the clip to 0..255.
__attribute__((always_inline)) inline __m128i TapSum(__m128i m3, __m128i m2, __m128i m1, __m128i p0, __m128i p1, __m128i p2, __m128i p3,
                      __m128i p4, __m128i bias) {
  // 20a - 6b + 3c - d as 4 (5a - b) - 2b + 3c - d, in shifts and adds (the
  // multiplier is slower and has fewer ports).
  const __m128i a = _mm_add_epi16(p0, p1), b = _mm_add_epi16(m1, p2), c = _mm_add_epi16(m2, p3);
  const __m128i a5b = _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(a, 2), a), b);
  const __m128i c3 = _mm_add_epi16(_mm_slli_epi16(c, 1), c);
  __m128i t = _mm_sub_epi16(_mm_slli_epi16(a5b, 2), _mm_slli_epi16(b, 1));
  t = _mm_add_epi16(_mm_sub_epi16(t, _mm_add_epi16(m3, p4)), _mm_add_epi16(c3, bias));
  return _mm_srai_epi16(t, 5);
}

// (a + b + 1 - rnd) >> 1 per byte.
__attribute__((always_inline)) inline __m128i Average(__m128i a, __m128i b, int rnd) {
  const __m128i up = _mm_avg_epu8(a, b);
  return rnd ? _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1))) : up;
}

// Taps t[0..7] are 16 (or 8, Wide false) bytes each; phase as in FilterRow.
template <int Phase, bool Wide>
__attribute__((always_inline)) inline __m128i FilterTaps(const __m128i* t, int rnd) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(16 - rnd));
  __m128i lo[8], hi[8];
#pragma GCC unroll 8
  for (int k = 0; k < 8; ++k) {
    lo[k] = _mm_unpacklo_epi8(t[k], zero);
    if (Wide) hi[k] = _mm_unpackhi_epi8(t[k], zero);
  }
  const __m128i a = TapSum(lo[0], lo[1], lo[2], lo[3], lo[4], lo[5], lo[6], lo[7], bias);
  const __m128i b = Wide ? TapSum(hi[0], hi[1], hi[2], hi[3], hi[4], hi[5], hi[6], hi[7], bias) : zero;
  __m128i h = _mm_packus_epi16(a, b);
  if (Phase == 1) h = Average(h, t[3], rnd);
  if (Phase == 3) h = Average(h, t[4], rnd);
  return h;
}

template <int N>
__attribute__((always_inline)) inline __m128i LoadN(const uint8_t* p) {
  return N == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                 : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

template <int N>
__attribute__((always_inline)) inline void StoreN(uint8_t* p, __m128i v) {
  if (N == 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  else
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

template <int K>
__attribute__((always_inline)) inline __m128i Tap16(__m128i v0, __m128i v1) {
  return _mm_or_si128(_mm_srli_si128(v0, K), _mm_slli_si128(v1, 16 - K));
}

inline uint32_t Bytes4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return a | b << 8 | c << 16 | d << 24; }

// The row with its mirrored samples (positions -3 .. N + 3) is built in
// registers: stored and reloaded at byte offsets it would stall the loads.
template <int N, int Phase>
__attribute__((always_inline)) inline void FilterRowSse2(uint8_t* out, const uint8_t* s, int rnd) {
  __m128i t[8];
  const __m128i head = _mm_cvtsi32_si128(static_cast<int>(Bytes4(s[2], s[1], s[0], 0)));
  const __m128i tail = _mm_cvtsi32_si128(static_cast<int>(Bytes4(s[N], s[N], s[N - 1], s[N - 2])));
  if (N == 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i v0 = _mm_or_si128(_mm_slli_si128(a, 3), head);
    const __m128i v1 = _mm_or_si128(_mm_srli_si128(a, 13), _mm_slli_si128(tail, 3));
    t[0] = v0;
    t[1] = Tap16<1>(v0, v1);
    t[2] = Tap16<2>(v0, v1);
    t[3] = Tap16<3>(v0, v1);
    t[4] = Tap16<4>(v0, v1);
    t[5] = Tap16<5>(v0, v1);
    t[6] = Tap16<6>(v0, v1);
    t[7] = Tap16<7>(v0, v1);
  } else {
    const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
    const __m128i v = _mm_or_si128(_mm_or_si128(_mm_slli_si128(a, 3), head), _mm_slli_si128(tail, 11));
    t[0] = v;
    t[1] = _mm_srli_si128(v, 1);
    t[2] = _mm_srli_si128(v, 2);
    t[3] = _mm_srli_si128(v, 3);
    t[4] = _mm_srli_si128(v, 4);
    t[5] = _mm_srli_si128(v, 5);
    t[6] = _mm_srli_si128(v, 6);
    t[7] = _mm_srli_si128(v, 7);
  }
  StoreN<N>(out, FilterTaps<Phase, N == 16>(t, rnd));
}

// The vertical pass reads each row eight times: the rows are widened to
// 16 bits once, into wide (pitch 16).
template <int W, int H, int Phase>
__attribute__((always_inline)) inline void FilterColumnsSse2(uint8_t* out, const uint8_t* in, int rnd) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(16 - rnd));
  alignas(16) int16_t wide[(H + 1) * 16];
  for (int y = 0; y <= H; ++y) {
    const __m128i v = LoadN<W>(in + 16 * y);
    _mm_store_si128(reinterpret_cast<__m128i*>(wide + 16 * y), _mm_unpacklo_epi8(v, zero));
    if (W == 16) _mm_store_si128(reinterpret_cast<__m128i*>(wide + 16 * y + 8), _mm_unpackhi_epi8(v, zero));
  }
  const int16_t* m = kMirror<H>.idx + 3;
  for (int i = 0; i < H; ++i) {
    const int16_t* r[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) r[k] = wide + 16 * m[i + k - 3];
    auto row = [&](int k, int half) { return _mm_load_si128(reinterpret_cast<const __m128i*>(r[k] + 8 * half)); };
    const __m128i a = TapSum(row(0, 0), row(1, 0), row(2, 0), row(3, 0), row(4, 0), row(5, 0), row(6, 0), row(7, 0), bias);
    const __m128i b = W == 16 ? TapSum(row(0, 1), row(1, 1), row(2, 1), row(3, 1), row(4, 1), row(5, 1), row(6, 1),
                                       row(7, 1), bias)
                              : zero;
    __m128i h = _mm_packus_epi16(a, b);
    if (Phase == 1) h = Average(h, LoadN<W>(in + 16 * m[i]), rnd);
    if (Phase == 3) h = Average(h, LoadN<W>(in + 16 * m[i + 1]), rnd);
    StoreN<W>(out + 16 * i, h);
  }
}
#endif

template <int W, int H>
void FilterColumnsAt(int phase, uint8_t* out, const uint8_t* in, int rnd) {
#if defined(__SSE2__)
  if (phase == 1) FilterColumnsSse2<W, H, 1>(out, in, rnd);
  else if (phase == 2) FilterColumnsSse2<W, H, 2>(out, in, rnd);
  else FilterColumnsSse2<W, H, 3>(out, in, rnd);
  return;
#endif
  if (phase == 1) FilterColumns<W, H, 1>(out, in, rnd);
  else if (phase == 2) FilterColumns<W, H, 2>(out, in, rnd);
  else FilterColumns<W, H, 3>(out, in, rnd);
}

template <int W>
void QpelBlock(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, int height, int dx, int dy,
               bool average, int rnd) {
  uint8_t mid[17 * 16];  // horizontally filtered rows, pitch 16
  uint8_t res[16 * 16];
  if (dx == 0 && dy == 0) {
    // Full-sample position: straight from the source.
    for (int y = 0; y < height; ++y, dst += dstPitch, src += srcPitch) {
#if defined(__SSE2__)
      __m128i v = LoadN<W>(src);
      if (average) v = _mm_avg_epu8(v, LoadN<W>(dst));
      StoreN<W>(dst, v);
#else
      if (average)
        for (int x = 0; x < W; ++x) dst[x] = static_cast<uint8_t>((dst[x] + src[x] + 1) >> 1);
      else
        std::memcpy(dst, src, W);
#endif
    }
    return;
  }
  const int rows = dy ? height + 1 : height;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* s = src + static_cast<long>(y) * srcPitch;
    uint8_t* o = mid + 16 * y;
#if defined(__SSE2__)
    if (dx == 1) FilterRowSse2<W, 1>(o, s, rnd);
    else if (dx == 2) FilterRowSse2<W, 2>(o, s, rnd);
    else if (dx == 3) FilterRowSse2<W, 3>(o, s, rnd);
#else
    if (dx == 1) FilterRow<W, 1>(o, s, rnd);
    else if (dx == 2) FilterRow<W, 2>(o, s, rnd);
    else if (dx == 3) FilterRow<W, 3>(o, s, rnd);
#endif
    else std::memcpy(o, s, W);
  }
  const uint8_t* out = mid;
  if (dy && height == 16) {
    FilterColumnsAt<W, 16>(dy, res, mid, rnd);
    out = res;
  } else if (dy && height == 8) {
    FilterColumnsAt<W, 8>(dy, res, mid, rnd);
    out = res;
  }
  for (int y = 0; y < height; ++y, dst += dstPitch, out += 16) {
#if defined(__SSE2__)
    __m128i v = LoadN<W>(out);
    if (average) v = _mm_avg_epu8(v, LoadN<W>(dst));
    StoreN<W>(dst, v);
    continue;
#endif
    if (average)
      for (int x = 0; x < W; ++x) dst[x] = static_cast<uint8_t>((dst[x] + out[x] + 1) >> 1);
    else
      std::memcpy(dst, out, W);
  }
}

}  // namespace

void QpelPredict(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, int width, int height,
                 int dx, int dy, bool average, int rnd) {
  if (height > 16) height = 16;
  if (width == 16)
    QpelBlock<16>(dst, src, dstPitch, srcPitch, height, dx, dy, average, rnd);
  else
    QpelBlock<8>(dst, src, dstPitch, srcPitch, height, dx, dy, average, rnd);
}

void PredictQuarterPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x,
                       int y, int w, int h, int mvx, int mvy, bool average, int roundingType) {
  const int dx = mvx & 3, dy = mvy & 3;
  const int x0 = x + (mvx >> 2), y0 = y + (mvy >> 2);
  int pitch;
  const uint8_t* s = AreaSource(d, src, x0, y0, w + (dx != 0), h + (dy != 0), &pitch);
  QpelPredict(dst, s, dstPitch, pitch, w, h, dx, dy, average, roundingType);
}

namespace {

int LumaRounding(const DecoderInstance* d) {
  if (d->bShortHeader) return d->vol->vop_rounding_type & 1;
  return d->vol->vop_coding_type == VOP_B ? 0 : (d->vol->vop_rounding_type & 1);
}

void PredictChromaFrame(DecoderInstance* d, const FrameRecord* ref, int cmx, int cmy, bool average) {
  const int cs = d->stride / 2;
  const McPlane u{ref->pU, cs, cs, d->alignedHeight / 2};
  const McPlane v{ref->pV, cs, cs, d->alignedHeight / 2};
  PredictHalfPel(d, d->curU, cs, u, 8 * d->mbX, 8 * d->mbY, 8, 8, cmx, cmy, average);
  PredictHalfPel(d, d->curV, cs, v, 8 * d->mbX, 8 * d->mbY, 8, 8, cmx, cmy, average);
}

}  // namespace

void PredictFrameMb(DecoderInstance* d, const FrameRecord* ref, const DecMv* mv, int count,
                    bool average) {
  const int stride = d->stride;
  const McPlane y{ref->pY, stride, stride, d->alignedHeight};
  const int qpel = d->bShortHeader ? 0 : d->vol->quarter_sample;
  const int wa = d->bShortHeader ? 0 : d->vol->workaroundFlags;
  const int x = 16 * d->mbX, yy = 16 * d->mbY;
  const int rnd = LumaRounding(d);
  int cmx, cmy;
  if (count == 1) {
    if (qpel)
      PredictQuarterPel(d, d->curY, stride, y, x, yy, 16, 16, mv[0].x, mv[0].y, average, rnd);
    else
      PredictHalfPel(d, d->curY, stride, y, x, yy, 16, 16, mv[0].x, mv[0].y, average);
    cmx = ChromaMv1(mv[0].x, qpel, wa);
    cmy = ChromaMv1(mv[0].y, qpel, wa);
  } else {
    int cx[4], cy[4];
    for (int k = 0; k < 4; ++k) {
      const int bx = x + 8 * (k & 1), by = yy + 8 * (k >> 1);
      uint8_t* dst = d->curY + 8 * (k & 1) + 8 * (k >> 1) * stride;
      if (qpel)
        PredictQuarterPel(d, dst, stride, y, bx, by, 8, 8, mv[k].x, mv[k].y, average, rnd);
      else
        PredictHalfPel(d, dst, stride, y, bx, by, 8, 8, mv[k].x, mv[k].y, average);
      cx[k] = mv[k].x;
      cy[k] = mv[k].y;
    }
    cmx = ChromaMv4(cx, qpel);
    cmy = ChromaMv4(cy, qpel);
  }
  PredictChromaFrame(d, ref, cmx, cmy, average);
}

void PredictFieldMb(DecoderInstance* d, const FrameRecord* ref, const DecMv fieldMv[2],
                    const int select[2], bool average) {
  const int stride = d->stride, cs = stride / 2;
  const int qpel = d->vol->quarter_sample;
  const int rnd = LumaRounding(d);
  for (int f = 0; f < 2; ++f) {
    const int sel = select[f] & 1;
    const McPlane y{ref->pY + sel * stride, stride, 2 * stride, d->alignedHeight / 2, sel};
    const int mvx = fieldMv[f].x;
    const int mvy = fieldMv[f].y >> 1;  // field units
    uint8_t* dst = d->curY + f * stride;
    if (qpel)
      PredictQuarterPel(d, dst, 2 * stride, y, 16 * d->mbX, 8 * d->mbY, 16, 8, mvx, mvy, average, rnd);
    else
      PredictHalfPel(d, dst, 2 * stride, y, 16 * d->mbX, 8 * d->mbY, 16, 8, mvx, mvy, average);
    int cmx, cmy;
    if (qpel) {
      const int hx = mvx / 2, hy = mvy >> 1;
      cmx = (hx >> 1) | (hx & 1);
      cmy = (hy >> 1) | (hy & 1);
    } else {
      cmx = (mvx >> 1) | (mvx & 1);
      cmy = (mvy >> 1) | (mvy & 1);
    }
    const McPlane u{ref->pU + sel * cs, cs, 2 * cs, d->alignedHeight / 4, sel};
    const McPlane v{ref->pV + sel * cs, cs, 2 * cs, d->alignedHeight / 4, sel};
    PredictHalfPel(d, d->curU + f * cs, 2 * cs, u, 8 * d->mbX, 4 * d->mbY, 8, 4, cmx, cmy, average);
    PredictHalfPel(d, d->curV + f * cs, 2 * cs, v, 8 * d->mbX, 4 * d->mbY, 8, 4, cmx, cmy, average);
  }
}

void CopyColocatedMb(DecoderInstance* d, const FrameRecord* ref) {
  const int stride = d->stride, cs = stride / 2;
  const long lo = static_cast<long>(d->mbY) * 16 * stride + 16 * d->mbX;
  const long co = static_cast<long>(d->mbY) * 8 * cs + 8 * d->mbX;
  CopyBlock16x16(d->curY, ref->pY + lo, stride, stride);
  CopyBlock8x8(d->curU, ref->pU + co, cs, cs);
  CopyBlock8x8(d->curV, ref->pV + co, cs, cs);
}

}  // namespace dec
