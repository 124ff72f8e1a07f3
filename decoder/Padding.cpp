#include "decoder/Padding.h"

#include <cstring>

namespace dec {

static void PadPlane(uint8_t* p, int stride, int rows, int width, int height) {
  if (width > 0 && width < stride)
    for (int r = 0; r < rows; ++r) {
      uint8_t* row = p + static_cast<long>(r) * stride;
      std::memset(row + width, row[width - 1], static_cast<size_t>(stride - width));
    }
  if (height > 0 && height < rows) {
    const uint8_t* last = p + static_cast<long>(height - 1) * stride;
    for (int r = height; r < rows; ++r) std::memcpy(p + static_cast<long>(r) * stride, last, stride);
  }
}

void PadFrameEdges(uint8_t* y, uint8_t* u, uint8_t* v, int stride, int alignedHeight,
                   int width, int height) {
  const int cw = width % 16 ? width / 2 : stride / 2;
  const int ch = height % 16 ? height / 2 : alignedHeight / 2;
  PadPlane(y, stride, alignedHeight, width % 16 ? width : stride, height % 16 ? height : alignedHeight);
  PadPlane(u, stride / 2, alignedHeight / 2, cw, ch);
  PadPlane(v, stride / 2, alignedHeight / 2, cw, ch);
}

}  // namespace dec

#include "decoder/DecoderInternal.h"

namespace dec {

void PadFrameEdges(DecoderInstance* d) {
  const VolInfo* vol = d->vol;
  if (!d->cur || d->stride <= 0) return;
  PadFrameEdges(d->cur->pY, d->cur->pU, d->cur->pV, d->stride, d->alignedHeight,
                vol->video_object_layer_width, vol->video_object_layer_height);
}

}  // namespace dec
