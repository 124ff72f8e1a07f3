// Post-filter on 8-pixel block edges of an output picture, strength from the
// quantiser of the macroblock holding the right or lower block.
#pragma once

#include <cstdint>

namespace dec {

// Filters the six pixels p2 p1 p0 | q0 q1 q2 around an edge; `step` is the
// distance between neighbours across it (1 for a vertical edge, the stride for
// a horizontal one), `at` points at q0.
void FilterEdge(uint8_t* at, int step, int q);

// One plane of width x height (multiples of 8). qpMap has one entry per
// macroblock, qpStride per macroblock row; blocksPerMb is 2 for luma and 1 for
// chroma. With dst != src the vertical edges are filtered from src into dst
// (every pixel of dst is written); with dst == src the plane is filtered in place.
void DeblockPlane(uint8_t* dst, const uint8_t* src, int stride, int width, int height,
                  const uint8_t* qpMap, int qpStride, int blocksPerMb);

// All three planes of a 4:2:0 picture; luma stride `stride`, chroma half of it.
void DeblockPicture(uint8_t* const dst[3], const uint8_t* const src[3], int stride,
                    int alignedHeight, const uint8_t* qpMap, int mbWidth);

}  // namespace dec

struct DecoderInstance;

namespace dec {

// Filters the output picture: a B-VOP in place with curQpMap, an anchor from
// outRec into outPlanes with its own quantiser map.
void DeblockFrame(DecoderInstance* d);

}  // namespace dec
