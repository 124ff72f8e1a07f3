// Motion vectors: prediction from the neighbours, differential reading, range
// wrap, the chroma vector and B-VOP direct mode.
#pragma once

#include <cstdint>

#include "decoder/DecoderInstance.h"

namespace dec {

constexpr int kInvalidMvd = 32768;

// One MVD component (horizontal or vertical) with its f_code residual;
// kInvalidMvd for an invalid code.
int ReadMvd(BitReader* r, int fcode);

// predictor + mvd folded into [-32f, 32f - 1], f = 2^(fcode - 1).
inline int WrapMv(int mv, int fcode) {
  const int f = 1 << ((fcode >= 1 && fcode <= 7 ? fcode : 1) - 1);
  if (mv < -32 * f) mv += 64 * f;
  if (mv >= 32 * f) mv -= 64 * f;
  return mv;
}

// Predictor of luma block k (0..3) of the current MB from the candidates
// allowed by neighbourFlags; entry is the MB's first blockMvMap entry.
DecMv PredictMv(const DecoderInstance* d, const DecMv* entry, int k);

// Predicts, reads and wraps one vector: false on an invalid code.
bool DecodeMv(BitReader* r, DecMv pred, int fcode, DecMv* out);

// Chroma vector component from one luma vector component.
int ChromaMv1(int c, int quarterSample, int workaroundFlags);
// Chroma vector component from the four luma vector components.
int ChromaMv4(const int c[4], int quarterSample);

}  // namespace dec
