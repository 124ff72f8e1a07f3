#include "decoder/Interpolate.h"

#include <cstring>

namespace dec {

void CopyBlock8(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows) {
  for (int y = 0; y < rows; ++y, dst += dstStride, src += srcStride) std::memcpy(dst, src, 8);
}

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
    for (int j = 0; j < width; ++j) {
      const int sx = first + j;
      scratch[j] = row[sx < 0 ? 0 : (sx >= stride ? stride - 1 : sx)];
    }
  }
}

}  // namespace dec
