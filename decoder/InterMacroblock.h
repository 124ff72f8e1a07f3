// Inter macroblock loops (declared with the other slice decoders in
// DecoderInternal.h) and the helpers they share with other stages.
#pragma once

#include "decoder/DecoderInstance.h"

namespace dec {

// IDCT-adds the residual of the coded blocks of blockBuffer onto the
// prediction already in the current MB (field layout for the luma blocks
// when fieldDct is set).
void AddResidual(DecoderInstance* d, int cbp, int fieldDct);

// Copies the GMC prediction of predBuffer into the current MB.
void CopyPrediction(DecoderInstance* d);

}  // namespace dec
