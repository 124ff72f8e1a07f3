// Global motion compensation of S-VOPs: warp parameters from the sprite
// trajectory, the per-macroblock warped prediction and the macroblock's
// average vector used by later vector prediction.
#pragma once

#include <cstdint>

namespace dec {

struct GmcParams {
  int mode = 0;  // 1 translation, 2 or 3 affine (number of warping points)
  int uo = 0, vo = 0;    // luma offset
  int uco = 0, vco = 0;  // chroma offset
  int dudx = 0, dudy = 0, dvdx = 0, dvdy = 0;
};

struct GmcSetup {
  int points = 0;    // no_of_sprite_warping_points, 0..3
  int accuracy = 0;  // sprite_warping_accuracy, 0..3
  int du[3] = {0, 0, 0};
  int dv[3] = {0, 0, 0};
  int width = 0, height = 0;  // coded picture size (video_object_layer_width/height)
  bool divx500Trajectory = false;  // workaround flag 0x40
};

// Translation: offsets in 1/16 pel. Affine: 16 fraction bits of 1/s-pel units
// (s = 2^(accuracy+1)).
GmcParams ComputeGmcParams(const GmcSetup& setup);

struct GmcPlanes {
  const uint8_t* y;
  const uint8_t* u;
  const uint8_t* v;
  int stride;         // luma; chroma is half
  int alignedHeight;  // luma; chroma is half
};

// Predicts macroblock (mbX, mbY) into pred: 16x16 luma, then the 8x8 U and V
// blocks side by side below it, all with a pitch of 16 (16 x 24 bytes).
// edge: scratch of at least 17 rows of kEdgePitch bytes.
void PredictGmcMacroblock(const GmcParams& p, int accuracy, const GmcPlanes& ref, int mbX, int mbY,
                          int roundingType, uint8_t* pred, uint8_t* edge);

// Average vector of the macroblock's warp in the stream's vector units,
// clipped to the f_code range. Packed: y in the high 16 bits, x in the low.
uint32_t GmcAverageMv(const GmcParams& p, int accuracy, int quarterSample, int fcodeForward,
                      int mbX, int mbY);

}  // namespace dec

struct DecoderInstance;

namespace dec {

// Instance forms: the current MB (mbX, mbY) from fwdRef into predBuffer with
// the instance's warp, and its average vector.
void PredictGmcMacroblock(DecoderInstance* d);
uint32_t GmcAverageMv(DecoderInstance* d);

}  // namespace dec
