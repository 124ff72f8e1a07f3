// Block motion compensation: half-pel and quarter-pel prediction of luma and
// chroma areas from a reference plane, with edge emulation for vectors that
// point outside the picture.
#pragma once

#include <cstdint>

#include "decoder/DecoderInstance.h"

namespace dec {

// A plane as motion compensation sees it: a frame plane, or one field of it
// (pitch twice the width, half the rows).
struct McPlane {
  const uint8_t* base;
  int width;
  int pitch;
  int height;
  int parity = -1;  // -1 a frame plane, else the field (0 top, 1 bottom) that base starts
};

// Predicts a w x h area (w 8 or 16) at (x, y) of the plane displaced by the
// half-pel vector (mvx, mvy) into dst; `average` merges it into what dst holds.
void PredictHalfPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x, int y,
                    int w, int h, int mvx, int mvy, bool average);

// The same with a quarter-pel vector (luma of quarter_sample VOLs).
void PredictQuarterPel(DecoderInstance* d, uint8_t* dst, int dstPitch, const McPlane& src, int x,
                       int y, int w, int h, int mvx, int mvy, bool average, int roundingType);

// Macroblock-level prediction into the current MB of `cur`.
// Frame vectors: one (count 1) or four (count 4) luma vectors in the stream's
// units; chroma follows from them.
void PredictFrameMb(DecoderInstance* d, const FrameRecord* ref, const DecMv* mv, int count,
                    bool average);
// Field prediction: fieldMv[0] top, [1] bottom, vertical components as stored
// (doubled); select[f] is the reference field of field f.
void PredictFieldMb(DecoderInstance* d, const FrameRecord* ref, const DecMv fieldMv[2],
                    const int select[2], bool average);
// Copies the co-located MB of ref into the current MB.
void CopyColocatedMb(DecoderInstance* d, const FrameRecord* ref);

}  // namespace dec
