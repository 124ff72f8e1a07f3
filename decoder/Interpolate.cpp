#include "decoder/Interpolate.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dec {

void CopyBlock8(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) std::memcpy(dst, src, 8);
}

#if defined(__SSE2__)
// Eight samples per row in one register; pavgb is (a + b + 1) >> 1, and
// clearing its carry of odd sums gives (a + b) >> 1.
inline __m128i Load8(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
inline void Store8(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

template <int kRound>
inline __m128i Avg2(__m128i a, __m128i b) {
  const __m128i up = _mm_avg_epu8(a, b);
  return kRound ? up : _mm_sub_epi8(up, _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

// Pair sums of a row as 16-bit lanes.
inline __m128i PairSums(const uint8_t* p) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_add_epi16(_mm_unpacklo_epi8(Load8(p), zero), _mm_unpacklo_epi8(Load8(p + 1), zero));
}

template <int kRound, bool kAverage>
static inline void HalfH(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) {
    __m128i p = Avg2<kRound>(Load8(src), Load8(src + 1));
    if (kAverage) p = _mm_avg_epu8(Load8(dst), p);
    Store8(dst, p);
  }
}

template <int kRound, bool kAverage>
static inline void HalfV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  __m128i a = Load8(src);
  for (int y = 0; y < rows; ++y, dst += dstStride) {
    src += srcStride;
    const __m128i b = Load8(src);
    __m128i p = Avg2<kRound>(a, b);
    if (kAverage) p = _mm_avg_epu8(Load8(dst), p);
    Store8(dst, p);
    a = b;
  }
}

template <int kRound, bool kAverage>
static inline void HalfHV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  const __m128i round = _mm_set1_epi16(kRound);
  __m128i sums = PairSums(src);
  for (int y = 0; y < rows; ++y, dst += dstStride) {
    src += srcStride;
    const __m128i s = PairSums(src);
    const __m128i v = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(sums, s), round), 2);
    __m128i p = _mm_packus_epi16(v, v);
    if (kAverage) p = _mm_avg_epu8(Load8(dst), p);
    Store8(dst, p);
    sums = s;
  }
}

void HalfPelH0(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfH<1, false>(d, s, ds, ss, r); }
void HalfPelH1(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfH<0, false>(d, s, ds, ss, r); }
void HalfPelV0(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfV<1, false>(d, s, ds, ss, r); }
void HalfPelV1(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfV<0, false>(d, s, ds, ss, r); }
void HalfPelHV0(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfHV<2, false>(d, s, ds, ss, r); }
void HalfPelHV1(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfHV<1, false>(d, s, ds, ss, r); }

void AverageFull(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) Store8(dst, _mm_avg_epu8(Load8(dst), Load8(src)));
}
void AverageHalfH(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfH<1, true>(d, s, ds, ss, r); }
void AverageHalfV(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfV<1, true>(d, s, ds, ss, r); }
void AverageHalfHV(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfHV<2, true>(d, s, ds, ss, r); }
#else
// The horizontal routines keep the previous column's sample so each source
// sample is loaded once per row.
template <int kRound>
static inline void HalfH(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) {
    int a = src[0];
    for (int x = 0; x < 8; ++x) {
      const int b = src[x + 1];
      dst[x] = static_cast<uint8_t>((a + b + kRound) >> 1);
      a = b;
    }
  }
}

template <int kRound>
static inline void HalfV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) {
    const uint8_t* next = src + srcStride;
    for (int x = 0; x < 8; ++x) dst[x] = static_cast<uint8_t>((src[x] + next[x] + kRound) >> 1);
  }
}

// Two-way: column pair sums of each row are computed once and reused by the row below.
template <int kRound>
static inline void HalfHV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  int sums[8];
  for (int x = 0; x < 8; ++x) sums[x] = src[x] + src[x + 1];
  for (int y = 0; y < rows; ++y, dst += dstStride) {
    src += srcStride;
    for (int x = 0; x < 8; ++x) {
      const int s = src[x] + src[x + 1];
      dst[x] = static_cast<uint8_t>((sums[x] + s + kRound) >> 2);
      sums[x] = s;
    }
  }
}

void HalfPelH0(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfH<1>(d, s, ds, ss, r); }
void HalfPelH1(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfH<0>(d, s, ds, ss, r); }
void HalfPelV0(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfV<1>(d, s, ds, ss, r); }
void HalfPelV1(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfV<0>(d, s, ds, ss, r); }
void HalfPelHV0(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfHV<2>(d, s, ds, ss, r); }
void HalfPelHV1(uint8_t* d, const uint8_t* s, int ds, int ss, int r) { HalfHV<1>(d, s, ds, ss, r); }

void AverageFull(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride)
    for (int x = 0; x < 8; ++x) dst[x] = static_cast<uint8_t>((dst[x] + src[x] + 1) >> 1);
}

void AverageHalfH(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride)
    for (int x = 0; x < 8; ++x) {
      const int p = (src[x] + src[x + 1] + 1) >> 1;
      dst[x] = static_cast<uint8_t>((dst[x] + p + 1) >> 1);
    }
}

void AverageHalfV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) {
    const uint8_t* next = src + srcStride;
    for (int x = 0; x < 8; ++x) {
      const int p = (src[x] + next[x] + 1) >> 1;
      dst[x] = static_cast<uint8_t>((dst[x] + p + 1) >> 1);
    }
  }
}

void AverageHalfHV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  int sums[8];
  for (int x = 0; x < 8; ++x) sums[x] = src[x] + src[x + 1];
  for (int y = 0; y < rows; ++y, dst += dstStride) {
    src += srcStride;
    for (int x = 0; x < 8; ++x) {
      const int s = src[x] + src[x + 1];
      const int p = (sums[x] + s + 2) >> 2;
      dst[x] = static_cast<uint8_t>((dst[x] + p + 1) >> 1);
      sums[x] = s;
    }
  }
}

#endif

const PixelFn kHalfPelRound0[3] = {HalfPelH0, HalfPelV0, HalfPelHV0};
const PixelFn kHalfPelRound1[3] = {HalfPelH1, HalfPelV1, HalfPelHV1};
const PixelFn kAverageFns[4] = {AverageFull, AverageHalfH, AverageHalfV, AverageHalfHV};

void CopyBlock8x8(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride) {
  CopyBlock8(dst, src, dstStride, srcStride, 8);
}

void CopyBlock16x16(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride) {
  for (int y = 0; y < 16; ++y, dst += dstStride, src += srcStride) std::memcpy(dst, src, 16);
}

void EmulateEdges(uint8_t* scratch, const uint8_t* plane, int x0, int x1, int stride,
                  int y0, int y1, int height) {
  EmulateEdgesPitch(scratch, plane, x0, x1, stride, stride, y0, y1, height);
}

void EmulateEdgesPitch(uint8_t* scratch, const uint8_t* plane, int x0, int x1, int stride, int pitch,
                       int y0, int y1, int height) {
  const int first = x0 & ~3;  // rounds toward minus infinity for negative x0 too
  int units = ((x1 + 3) >> 2) - (first >> 2);
  if (units > kEdgePitch / 4) units = kEdgePitch / 4;
  const int width = units * 4;
  if (y1 > y0 + 17) y1 = y0 + 17;
  for (int y = y0; y < y1; ++y, scratch += kEdgePitch) {
    const int sy = y < 0 ? 0 : (y >= height ? height - 1 : y);
    const uint8_t* row = plane + static_cast<long>(sy) * pitch;
    // Samples left of the plane repeat its first one, right of it its last.
    int j = 0;
    for (; j < width && first + j < 0; ++j) scratch[j] = row[0];
    int inside = stride - (first + j);
    if (inside > width - j) inside = width - j;
    if (inside > 0) {
      std::memcpy(scratch + j, row + first + j, static_cast<size_t>(inside));
      j += inside;
    }
    for (; j < width; ++j) scratch[j] = row[stride - 1];
  }
}

}  // namespace dec
