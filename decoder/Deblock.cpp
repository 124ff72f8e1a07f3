#include "decoder/Deblock.h"

#include <cstring>

namespace dec {

static inline int Clip255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void FilterEdge(uint8_t* at, int step, int q) {
  const int p2 = at[-3 * step], p1 = at[-2 * step], p0 = at[-step];
  const int q0 = at[0], q1 = at[step], q2 = at[2 * step];
  int d = p0 - q0;
  int a = p0 - q0 - p1 + q1;
  if (a < 0) a = -a;
  const int lim = 2 * q;
  if (d < -lim) d = -lim;
  if (d > lim) d = lim;
  if (2 * a >= q) {
    const int e = (3 * d + 8) >> 4;
    at[-step] = static_cast<uint8_t>(Clip255(p0 - e));
    at[0] = static_cast<uint8_t>(Clip255(q0 + e));
  } else if (8 * a < q) {
    const int f = (5 * d + 8) >> 4;
    const int g = d >> 3;
    at[-step] = static_cast<uint8_t>(Clip255(p0 - g - f));
    at[0] = static_cast<uint8_t>(Clip255(q0 + g + f));
    at[-2 * step] = static_cast<uint8_t>(Clip255(p1 - f));
    at[step] = static_cast<uint8_t>(Clip255(q1 + f));
    at[-3 * step] = static_cast<uint8_t>(Clip255(p2 - f + g));
    at[2 * step] = static_cast<uint8_t>(Clip255(q2 + f - g));
  } else {
    const int e = (3 * d + 4) >> 3;
    at[-step] = static_cast<uint8_t>(Clip255(p0 - e));
    at[0] = static_cast<uint8_t>(Clip255(q0 + e));
    at[-2 * step] = static_cast<uint8_t>((p0 + p1 + 1) >> 1);
    at[step] = static_cast<uint8_t>((q0 + q1 + 1) >> 1);
  }
}

void DeblockPlane(uint8_t* dst, const uint8_t* src, int stride, int width, int height,
                  const uint8_t* qpMap, int qpStride, int blocksPerMb) {
  const bool copying = dst != src;
  const int cols = width / 8;
  const int blockRows = height / 8;
  const uint8_t* qpRow = qpMap;
  for (int b = 0; b < blockRows; ++b) {
    uint8_t* drow = dst + static_cast<long>(b) * 8 * stride;
    const uint8_t* srow = src + static_cast<long>(b) * 8 * stride;
    if (copying) {
      for (int y = 0; y < 8; ++y) {
        std::memcpy(drow + y * stride, srow + y * stride, 4);
        std::memcpy(drow + y * stride + width - 4, srow + y * stride + width - 4, 4);
      }
    }
    for (int c = 1; c < cols; ++c) {
      const int q = qpRow[c / blocksPerMb];
      for (int y = 0; y < 8; ++y) {
        uint8_t* d = drow + y * stride + 8 * c;
        if (copying) std::memcpy(d - 4, srow + y * stride + 8 * c - 4, 8);
        FilterEdge(d, 1, q);
      }
    }
    if (b > 0) {
      for (int c = 0; c < cols; ++c) {
        const int q = qpRow[c / blocksPerMb];
        for (int x = 0; x < 8; ++x) FilterEdge(drow + 8 * c + x, stride, q);
      }
    }
    if (blocksPerMb == 1 || (b & 1)) qpRow += qpStride;
  }
}

void DeblockPicture(uint8_t* const dst[3], const uint8_t* const src[3], int stride,
                    int alignedHeight, const uint8_t* qpMap, int mbWidth) {
  DeblockPlane(dst[0], src[0], stride, stride, alignedHeight, qpMap, mbWidth, 2);
  DeblockPlane(dst[1], src[1], stride / 2, stride / 2, alignedHeight / 2, qpMap, mbWidth, 1);
  DeblockPlane(dst[2], src[2], stride / 2, stride / 2, alignedHeight / 2, qpMap, mbWidth, 1);
}

}  // namespace dec

#include "decoder/DecoderInternal.h"

namespace dec {

void DeblockFrame(DecoderInstance* d) {
  if (!d->bDeblock || !d->outRec || !d->outPlanes || d->stride <= 0) return;
  uint8_t* const dst[3] = {d->outPlanes->pY, d->outPlanes->pU, d->outPlanes->pV};
  if (d->outRec->codingType == VOP_B) {
    const uint8_t* const src[3] = {dst[0], dst[1], dst[2]};
    DeblockPicture(dst, src, d->stride, d->alignedHeight, d->curQpMap, d->mbWidth);
    return;
  }
  const uint8_t* const src[3] = {d->outRec->pY, d->outRec->pU, d->outRec->pV};
  DeblockPicture(dst, src, d->stride, d->alignedHeight, d->bLowDelay ? d->curQpMap : d->prevQpMap,
                 d->mbWidth);
}

}  // namespace dec
