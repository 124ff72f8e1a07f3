#include "decoder/Qpel.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dec {

namespace {

// Source index of tap position j of a block line with n + 1 samples (0..n):
// the 8-tap filter mirrors the block's own samples at both ends.
constexpr int Mirror(int j, int n) { return j < 0 ? -1 - j : (j > n ? 2 * n + 1 - j : j); }

#if defined(__SSE2__)
#define QPEL_INLINE __attribute__((always_inline)) inline

// Lines between the two passes are eight 16-bit lanes per register: every
// intermediate of the tap sum lies within -3570..11746.
QPEL_INLINE __m128i TapSum(__m128i m3, __m128i m2, __m128i m1, __m128i p0, __m128i p1, __m128i p2,
                           __m128i p3, __m128i p4, __m128i bias) {
  // 20a - 6b + 3c - d as 4 (5a - b) - 2b + 3c - d, in shifts and adds (the
  // multiplier is slower and has fewer ports).
  const __m128i a = _mm_add_epi16(p0, p1), b = _mm_add_epi16(m1, p2), c = _mm_add_epi16(m2, p3);
  const __m128i a5b = _mm_sub_epi16(_mm_add_epi16(_mm_slli_epi16(a, 2), a), b);
  const __m128i c3 = _mm_add_epi16(_mm_slli_epi16(c, 1), c);
  __m128i t = _mm_sub_epi16(_mm_slli_epi16(a5b, 2), _mm_slli_epi16(b, 1));
  t = _mm_add_epi16(_mm_sub_epi16(t, _mm_add_epi16(m3, p4)), _mm_add_epi16(c3, bias));
  return _mm_srai_epi16(t, 5);
}

// (a + b + 1 - rnd) >> 1 per byte, and per 16-bit lane.
QPEL_INLINE __m128i Mean8(__m128i a, __m128i b, int rnd) {
  const __m128i up = _mm_avg_epu8(a, b);
  return rnd ? _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1))) : up;
}
QPEL_INLINE __m128i Mean16(__m128i a, __m128i b, int rnd) {
  const __m128i up = _mm_avg_epu16(a, b);
  return rnd ? _mm_sub_epi16(up, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi16(1))) : up;
}

template <int N>
QPEL_INLINE __m128i LoadN(const uint8_t* p) {
  return N == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                 : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

template <int N>
QPEL_INLINE void StoreN(uint8_t* p, __m128i v) {
  if (N == 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
  else
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

template <int K>
QPEL_INLINE __m128i Tap16(__m128i v0, __m128i v1) {
  return _mm_or_si128(_mm_srli_si128(v0, K), _mm_slli_si128(v1, 16 - K));
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Horizontal pass of one line of N + 1 samples into N / 8 registers of
// lanes, clipped to 0..255; Phase is the quarter position (0 copies). The
// line with its mirrored samples (positions -3 .. N + 3) is built in
// registers: stored and reloaded at byte offsets it would stall the loads.
template <int N, int Phase>
QPEL_INLINE void HorizontalLine(__m128i* out, const uint8_t* s, int rnd) {
  const __m128i zero = _mm_setzero_si128();
  if (Phase == 0) {
    const __m128i a = LoadN<N>(s);
    out[0] = _mm_unpacklo_epi8(a, zero);
    if (N == 16) out[1] = _mm_unpackhi_epi8(a, zero);
    return;
  }
  // Byte-reversed words: s2 s1 s0 before the line, sN sN sN-1 sN-2 after it.
  const uint32_t last = Load32(s + N - 3);
  const __m128i head = _mm_cvtsi32_si128(static_cast<int>(__builtin_bswap32(Load32(s)) >> 8));
  const __m128i tail = _mm_cvtsi32_si128(static_cast<int>(__builtin_bswap32(last) << 8 | last >> 24));
  __m128i t[8];  // t[k]: positions k - 3 onwards
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
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(16 - rnd));
  const __m128i max = _mm_set1_epi16(255);
#pragma GCC unroll 2
  for (int half = 0; half < N / 8; ++half) {
    __m128i l[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) l[k] = half ? _mm_unpackhi_epi8(t[k], zero) : _mm_unpacklo_epi8(t[k], zero);
    __m128i h = TapSum(l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], bias);
    h = _mm_min_epi16(_mm_max_epi16(h, zero), max);
    if (Phase == 1) h = Mean16(h, l[3], rnd);
    if (Phase == 3) h = Mean16(h, l[4], rnd);
    out[half] = h;
  }
}

// Eight lines at once: transposed, the horizontal taps of a line become
// whole registers (one per column, lane y = line y), as the vertical taps
// are, and the mirroring is a choice of register.

// Columns 0..W of eight lines from s as 16-bit lanes.
template <int W>
QPEL_INLINE void LoadColumns(__m128i* c, const uint8_t* s, int pitch) {
  const __m128i zero = _mm_setzero_si128();
  __m128i r[8];
#pragma GCC unroll 8
  for (int y = 0; y < 8; ++y) {
    const uint8_t* p = s + static_cast<long>(y) * pitch;
    // Eight wide: columns 0..7, then 1..8 so that byte 15 is column 8.
    r[y] = W == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                   : _mm_unpacklo_epi64(LoadN<8>(p), LoadN<8>(p + 1));
  }
  __m128i a[8], b[8], q[8];
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    a[2 * k] = _mm_unpacklo_epi8(r[2 * k], r[2 * k + 1]);
    a[2 * k + 1] = _mm_unpackhi_epi8(r[2 * k], r[2 * k + 1]);
  }
#pragma GCC unroll 2
  for (int k = 0; k < 2; ++k) {
    b[4 * k] = _mm_unpacklo_epi16(a[4 * k], a[4 * k + 2]);
    b[4 * k + 1] = _mm_unpackhi_epi16(a[4 * k], a[4 * k + 2]);
    b[4 * k + 2] = _mm_unpacklo_epi16(a[4 * k + 1], a[4 * k + 3]);
    b[4 * k + 3] = _mm_unpackhi_epi16(a[4 * k + 1], a[4 * k + 3]);
  }
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    q[2 * k] = _mm_unpacklo_epi32(b[k], b[k + 4]);
    q[2 * k + 1] = _mm_unpackhi_epi32(b[k], b[k + 4]);
  }
  // q[k] holds columns 2k and 2k + 1.
#pragma GCC unroll 8
  for (int k = 0; k < W / 2; ++k) {
    c[2 * k] = _mm_unpacklo_epi8(q[k], zero);
    c[2 * k + 1] = _mm_unpackhi_epi8(q[k], zero);
  }
  if (W == 8) {
    c[8] = _mm_unpackhi_epi8(q[7], zero);
  } else {
    const uint8_t* p = s + W;
    const long p2 = 2L * pitch, p4 = 4L * pitch;
    c[W] = _mm_setr_epi16(p[0], p[pitch], p[p2], p[p2 + pitch], p[p4], p[p4 + pitch], p[p4 + p2], p[p4 + p2 + pitch]);
  }
}

// Tap sums of the W output columns from the W + 1 source columns.
template <int W>
QPEL_INLINE void FilterColumnTaps(__m128i* o, const __m128i* c, int rnd) {
  const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(16 - rnd));
#pragma GCC unroll 16
  for (int i = 0; i < W; ++i)
    o[i] = TapSum(c[Mirror(i - 3, W)], c[Mirror(i - 2, W)], c[Mirror(i - 1, W)], c[i], c[i + 1],
                  c[Mirror(i + 2, W)], c[Mirror(i + 3, W)], c[Mirror(i + 4, W)], bias);
}

// Eight columns of 16-bit lanes to eight lines.
QPEL_INLINE void ColumnsToLines(__m128i* line, int step, const __m128i* o) {
  __m128i a[8], b[8];
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    a[2 * k] = _mm_unpacklo_epi16(o[2 * k], o[2 * k + 1]);
    a[2 * k + 1] = _mm_unpackhi_epi16(o[2 * k], o[2 * k + 1]);
  }
#pragma GCC unroll 2
  for (int k = 0; k < 2; ++k) {
    b[4 * k] = _mm_unpacklo_epi32(a[4 * k], a[4 * k + 2]);
    b[4 * k + 1] = _mm_unpackhi_epi32(a[4 * k], a[4 * k + 2]);
    b[4 * k + 2] = _mm_unpacklo_epi32(a[4 * k + 1], a[4 * k + 3]);
    b[4 * k + 3] = _mm_unpackhi_epi32(a[4 * k + 1], a[4 * k + 3]);
  }
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    line[2 * k * step] = _mm_unpacklo_epi64(b[k], b[k + 4]);
    line[(2 * k + 1) * step] = _mm_unpackhi_epi64(b[k], b[k + 4]);
  }
}

// Eight columns of tap sums to bytes (the pack clips), transposed: pair[k]
// holds lines 2k and 2k + 1.
QPEL_INLINE void ColumnsToBytePairs(__m128i* pair, const __m128i* o) {
  __m128i p[4], a[4], b[4];
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) p[k] = _mm_packus_epi16(o[k], o[k + 4]);
  a[0] = _mm_unpacklo_epi8(p[0], p[1]);  // columns 0 1
  a[1] = _mm_unpackhi_epi8(p[0], p[1]);  // 4 5
  a[2] = _mm_unpacklo_epi8(p[2], p[3]);  // 2 3
  a[3] = _mm_unpackhi_epi8(p[2], p[3]);  // 6 7
  b[0] = _mm_unpacklo_epi16(a[0], a[2]);  // columns 0..3 of lines 0..3
  b[1] = _mm_unpackhi_epi16(a[0], a[2]);  // 0..3 of 4..7
  b[2] = _mm_unpacklo_epi16(a[1], a[3]);  // 4..7 of 0..3
  b[3] = _mm_unpackhi_epi16(a[1], a[3]);  // 4..7 of 4..7
  pair[0] = _mm_unpacklo_epi32(b[0], b[2]);
  pair[1] = _mm_unpackhi_epi32(b[0], b[2]);
  pair[2] = _mm_unpacklo_epi32(b[1], b[3]);
  pair[3] = _mm_unpackhi_epi32(b[1], b[3]);
}

// Two lines of eight bytes in one register.
QPEL_INLINE __m128i LoadPair8(const uint8_t* p, int pitch) {
  return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(LoadN<8>(p)), reinterpret_cast<const double*>(p + pitch)));
}

QPEL_INLINE void PutPair8(uint8_t* dst, int pitch, __m128i v, bool average) {
  if (average) v = _mm_avg_epu8(v, LoadPair8(dst, pitch));
  StoreN<8>(dst, v);
  _mm_storeh_pd(reinterpret_cast<double*>(dst + pitch), _mm_castsi128_pd(v));
}

// Both passes of a W x H block. Lines hold the horizontal pass with three
// mirrored lines above and below, so the vertical taps of output row i are
// the eight lines from i on.
template <int W, int H>
class QpelBlockSse2 {
 public:
  static constexpr int R = W / 8;  // registers per line

  static void Predict(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, int dx, int dy,
                      bool average, int rnd) {
    if (dx == 0 && dy == 0) {
      // Full-sample position: straight from the source.
      for (int y = 0; y < H; ++y, dst += dstPitch, src += srcPitch) Put(dst, LoadN<W>(src), average);
      return;
    }
    if (dy == 0) {
      switch (dx) {
        case 1: HorizontalOnly<1>(dst, src, dstPitch, srcPitch, average, rnd); break;
        case 2: HorizontalOnly<2>(dst, src, dstPitch, srcPitch, average, rnd); break;
        default: HorizontalOnly<3>(dst, src, dstPitch, srcPitch, average, rnd); break;
      }
      return;
    }
    __m128i lines[(H + 7) * R];
    switch (dx) {
      case 0: Horizontal<0>(lines, src, srcPitch, rnd); break;
      case 1: Horizontal<1>(lines, src, srcPitch, rnd); break;
      case 2: Horizontal<2>(lines, src, srcPitch, rnd); break;
      default: Horizontal<3>(lines, src, srcPitch, rnd); break;
    }
    switch (dy) {
      case 1: Vertical<1>(dst, dstPitch, lines, average, rnd); break;
      case 2: Vertical<2>(dst, dstPitch, lines, average, rnd); break;
      default: Vertical<3>(dst, dstPitch, lines, average, rnd); break;
    }
  }

 private:
  static QPEL_INLINE __m128i Pack(const __m128i* line) {
    return _mm_packus_epi16(line[0], line[R - 1]);
  }

  static QPEL_INLINE void Put(uint8_t* dst, __m128i v, bool average) {
    if (average) v = _mm_avg_epu8(v, LoadN<W>(dst));
    StoreN<W>(dst, v);
  }

  template <int Phase>
  static QPEL_INLINE void HorizontalOnly(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, bool average,
                                         int rnd) {
    for (int g = 0; g < H; g += 8, dst += 8 * dstPitch, src += 8 * srcPitch) {
      __m128i c[W + 1], o[W], pairs[R][4];
      LoadColumns<W>(c, src, srcPitch);
      FilterColumnTaps<W>(o, c, rnd);
#pragma GCC unroll 2
      for (int r = 0; r < R; ++r) ColumnsToBytePairs(pairs[r], o + 8 * r);
#pragma GCC unroll 4
      for (int k = 0; k < 4; ++k) {
        uint8_t* d = dst + 2 * k * dstPitch;
        const uint8_t* s = src + 2 * k * srcPitch + (Phase == 3);  // the nearer full samples
        if (W == 8) {
          __m128i v = pairs[0][k];
          if (Phase != 2) v = Mean8(v, LoadPair8(s, srcPitch), rnd);
          PutPair8(d, dstPitch, v, average);
        } else {
          __m128i v0 = _mm_unpacklo_epi64(pairs[0][k], pairs[R - 1][k]);
          __m128i v1 = _mm_unpackhi_epi64(pairs[0][k], pairs[R - 1][k]);
          if (Phase != 2) {
            v0 = Mean8(v0, LoadN<W>(s), rnd);
            v1 = Mean8(v1, LoadN<W>(s + srcPitch), rnd);
          }
          Put(d, v0, average);
          Put(d + dstPitch, v1, average);
        }
      }
    }
  }

  // The H + 1 lines the vertical pass reads: eight at a time, then the last.
  template <int Phase>
  static QPEL_INLINE void Horizontal(__m128i* lines, const uint8_t* src, int srcPitch, int rnd) {
    if (Phase != 0) {
      const __m128i zero = _mm_setzero_si128(), max = _mm_set1_epi16(255);
      for (int g = 0; g < H; g += 8) {
        __m128i c[W + 1], o[W];
        LoadColumns<W>(c, src + static_cast<long>(g) * srcPitch, srcPitch);
        FilterColumnTaps<W>(o, c, rnd);
#pragma GCC unroll 16
        for (int i = 0; i < W; ++i) {
          o[i] = _mm_min_epi16(_mm_max_epi16(o[i], zero), max);
          if (Phase == 1) o[i] = Mean16(o[i], c[i], rnd);
          if (Phase == 3) o[i] = Mean16(o[i], c[i + 1], rnd);
        }
#pragma GCC unroll 2
        for (int r = 0; r < R; ++r) ColumnsToLines(lines + (g + 3) * R + r, R, o + 8 * r);
      }
      HorizontalLine<W, Phase>(lines + (H + 3) * R, src + static_cast<long>(H) * srcPitch, rnd);
      return;
    }
    for (int y = 0; y <= H; ++y, src += srcPitch) HorizontalLine<W, Phase>(lines + (y + 3) * R, src, rnd);
  }

  template <int Phase>
  static QPEL_INLINE void Vertical(uint8_t* dst, int dstPitch, __m128i* lines, bool average, int rnd) {
#pragma GCC unroll 3
    for (int j = 1; j <= 3; ++j)
#pragma GCC unroll 2
      for (int r = 0; r < R; ++r) {
        lines[(3 - j) * R + r] = lines[(3 + Mirror(-j, H)) * R + r];
        lines[(3 + H + j) * R + r] = lines[(3 + Mirror(H + j, H)) * R + r];
      }
    const __m128i bias = _mm_set1_epi16(static_cast<int16_t>(16 - rnd));
    const __m128i* p = lines;
    for (int i = 0; i < H; ++i, dst += dstPitch, p += R) {
      __m128i v[R];
#pragma GCC unroll 2
      for (int r = 0; r < R; ++r)
        v[r] = TapSum(p[r], p[R + r], p[2 * R + r], p[3 * R + r], p[4 * R + r], p[5 * R + r], p[6 * R + r],
                      p[7 * R + r], bias);
      __m128i h = _mm_packus_epi16(v[0], v[R - 1]);
      if (Phase == 1) h = Mean8(h, Pack(p + 3 * R), rnd);
      if (Phase == 3) h = Mean8(h, Pack(p + 4 * R), rnd);
      Put(dst, h, average);
    }
  }
};
#else
inline int HalfTap(int m3, int m2, int m1, int p0, int p1, int p2, int p3, int p4, int rnd) {
  const int v = ((p0 + p1) * 20 - (m1 + p2) * 6 + (m2 + p3) * 3 - (m3 + p4) + 16 - rnd) >> 5;
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// One pass over a line of n + 1 samples (step apart) into n outputs (ostep apart).
inline void FilterLine(uint8_t* out, int ostep, const uint8_t* s, int step, int n, int phase, int rnd) {
  for (int i = 0; i < n; ++i) {
    auto at = [&](int k) { return s[Mirror(i + k, n) * step]; };
    int h = HalfTap(at(-3), at(-2), at(-1), at(0), at(1), at(2), at(3), at(4), rnd);
    if (phase == 1) h = (h + at(0) + 1 - rnd) >> 1;
    if (phase == 3) h = (h + at(1) + 1 - rnd) >> 1;
    out[i * ostep] = static_cast<uint8_t>(h);
  }
}

void QpelBlockPlain(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, int w, int h, int dx,
                    int dy, bool average, int rnd) {
  uint8_t mid[17 * 16];  // horizontally filtered rows, pitch 16
  uint8_t res[16 * 16];
  const int rows = dy ? h + 1 : h;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* s = src + static_cast<long>(y) * srcPitch;
    if (dx)
      FilterLine(mid + 16 * y, 1, s, 1, w, dx, rnd);
    else
      std::memcpy(mid + 16 * y, s, static_cast<size_t>(w));
  }
  const uint8_t* out = mid;
  if (dy) {
    for (int x = 0; x < w; ++x) FilterLine(res + x, 16, mid + x, 16, h, dy, rnd);
    out = res;
  }
  for (int y = 0; y < h; ++y, dst += dstPitch, out += 16)
    for (int x = 0; x < w; ++x) dst[x] = average ? static_cast<uint8_t>((dst[x] + out[x] + 1) >> 1) : out[x];
}
#endif

}  // namespace

void QpelPredict(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, int width, int height,
                 int dx, int dy, bool average, int rnd) {
#if defined(__SSE2__)
  if (width == 8)
    QpelBlockSse2<8, 8>::Predict(dst, src, dstPitch, srcPitch, dx, dy, average, rnd);
  else if (height == 16)
    QpelBlockSse2<16, 16>::Predict(dst, src, dstPitch, srcPitch, dx, dy, average, rnd);
  else
    QpelBlockSse2<16, 8>::Predict(dst, src, dstPitch, srcPitch, dx, dy, average, rnd);
#else
  QpelBlockPlain(dst, src, dstPitch, srcPitch, width == 8 ? 8 : 16, width == 8 || height != 16 ? 8 : 16, dx, dy,
                 average, rnd);
#endif
}

}  // namespace dec
