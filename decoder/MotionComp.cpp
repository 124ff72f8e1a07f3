#include "decoder/MotionComp.h"

#include "decoder/DecoderInternal.h"
#include "decoder/Interpolate.h"
#include "decoder/MotionVector.h"
#include "decoder/Qpel.h"

namespace dec {

namespace {

// The area (cols x rows from (x0, y0)) leaves the plane: its samples with the
// plane's edges repeated, in the edge buffer (pitch kEdgePitch).
const uint8_t* EmulatedArea(DecoderInstance* d, const McPlane& p, int x0, int y0, int cols, int rows) {
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
  return d->edgeBuffer + (x0 & 3);
}

// Points at the area's first sample, through the edge buffer when the area
// leaves the plane. Inlined: most areas lie inside.
inline const uint8_t* AreaSource(DecoderInstance* d, const McPlane& p, int x0, int y0, int cols, int rows,
                                 int* pitch) {
  if (x0 >= 0 && y0 >= 0 && x0 + cols <= p.width && y0 + rows <= p.height) {
    *pitch = p.pitch;
    return p.base + static_cast<long>(y0) * p.pitch + x0;
  }
  *pitch = kEdgePitch;
  return EmulatedArea(d, p, x0, y0, cols, rows);
}

inline void HalfPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x, int y, int w,
                    int h, int mvx, int mvy, bool average) {
  const int fx = mvx & 1, fy = mvy & 1;
  const int x0 = x + (mvx >> 1), y0 = y + (mvy >> 1);
  int pitch;
  const uint8_t* s = AreaSource(d, src, x0, y0, w + fx, h + fy, &pitch);
  const int i = fx + 2 * fy;
  PixelBlockFn fn = average ? d->averageFn[i] : (i == 0 ? d->copyBlockFn : d->halfPelFn[i - 1]);
  for (int c = 0; c < w; c += 8) fn(dst + c, s + c, dstPitch, pitch, h);
}

inline void QuarterPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x, int y, int w,
                       int h, int mvx, int mvy, bool average, int roundingType) {
  const int dx = mvx & 3, dy = mvy & 3;
  const int x0 = x + (mvx >> 2), y0 = y + (mvy >> 2);
  int pitch;
  const uint8_t* s = AreaSource(d, src, x0, y0, w + (dx != 0), h + (dy != 0), &pitch);
  QpelPredict(dst, s, dstPitch, pitch, w, h, dx, dy, average, roundingType);
}

}  // namespace

void PredictHalfPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x, int y,
                    int w, int h, int mvx, int mvy, bool average) {
  HalfPel(d, dst, dstPitch, src, x, y, w, h, mvx, mvy, average);
}

void PredictQuarterPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x,
                       int y, int w, int h, int mvx, int mvy, bool average, int roundingType) {
  QuarterPel(d, dst, dstPitch, src, x, y, w, h, mvx, mvy, average, roundingType);
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
  HalfPel(d, d->curU, cs, u, 8 * d->mbX, 8 * d->mbY, 8, 8, cmx, cmy, average);
  HalfPel(d, d->curV, cs, v, 8 * d->mbX, 8 * d->mbY, 8, 8, cmx, cmy, average);
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
      QuarterPel(d, d->curY, stride, y, x, yy, 16, 16, mv[0].x, mv[0].y, average, rnd);
    else
      HalfPel(d, d->curY, stride, y, x, yy, 16, 16, mv[0].x, mv[0].y, average);
    cmx = ChromaMv1(mv[0].x, qpel, wa);
    cmy = ChromaMv1(mv[0].y, qpel, wa);
  } else {
    int cx[4], cy[4];
    for (int k = 0; k < 4; ++k) {
      const int bx = x + 8 * (k & 1), by = yy + 8 * (k >> 1);
      uint8_t* dst = d->curY + 8 * (k & 1) + 8 * (k >> 1) * stride;
      if (qpel)
        QuarterPel(d, dst, stride, y, bx, by, 8, 8, mv[k].x, mv[k].y, average, rnd);
      else
        HalfPel(d, dst, stride, y, bx, by, 8, 8, mv[k].x, mv[k].y, average);
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
      QuarterPel(d, dst, 2 * stride, y, 16 * d->mbX, 8 * d->mbY, 16, 8, mvx, mvy, average, rnd);
    else
      HalfPel(d, dst, 2 * stride, y, 16 * d->mbX, 8 * d->mbY, 16, 8, mvx, mvy, average);
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
    HalfPel(d, d->curU + f * cs, 2 * cs, u, 8 * d->mbX, 4 * d->mbY, 8, 4, cmx, cmy, average);
    HalfPel(d, d->curV + f * cs, 2 * cs, v, 8 * d->mbX, 4 * d->mbY, 8, 4, cmx, cmy, average);
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
