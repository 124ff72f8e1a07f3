// Quarter-sample interpolation of MPEG-4 luma blocks: the 8-tap half-sample
// filter applied horizontally, then vertically on its result, with the block's
// own samples mirrored at its edges.
#pragma once

#include <cstdint>

namespace dec {

// Quarter-pel interpolation of a width x height block (16 x 16, 16 x 8 or
// 8 x 8) whose (width + 1) x (height + 1) source samples start at src;
// dx, dy 0..3. `average` merges the prediction into what dst holds.
void QpelPredict(uint8_t* dst, const uint8_t* src, int dstPitch, int srcPitch, int width, int height,
                 int dx, int dy, bool average, int roundingType);

}  // namespace dec
