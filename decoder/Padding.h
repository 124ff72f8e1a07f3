// Edge padding for old encoders whose pictures are not a multiple of 16: the
// area between the picture size and the 16-aligned size repeats the last
// column and row of the picture.
#pragma once

#include <cstdint>

namespace dec {

void PadFrameEdges(uint8_t* y, uint8_t* u, uint8_t* v, int stride, int alignedHeight,
                   int width, int height);

}  // namespace dec

struct DecoderInstance;

namespace dec {

// Pads the picture being decoded (cur) to its 16-aligned size.
void PadFrameEdges(DecoderInstance* d);

}  // namespace dec
