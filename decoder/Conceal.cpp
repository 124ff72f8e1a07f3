// Concealment of macroblocks that could not be decoded, and their marks in
// the error map.
#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Interpolate.h"

namespace dec {

namespace {

// Every line repeats the line just above the MB.
void RepeatAbove(uint8_t* p, int pitch, int size) {
  for (int y = 0; y < size; ++y) std::memcpy(p + y * pitch, p - pitch, size);
}

// Every line is filled with the sample just left of the MB on that line.
void RepeatLeft(uint8_t* p, int pitch, int size) {
  for (int y = 0; y < size; ++y) std::memset(p + y * pitch, p[y * pitch - 1], size);
}

void Fill(uint8_t* p, int pitch, int size, uint8_t v) {
  for (int y = 0; y < size; ++y) std::memset(p + y * pitch, v, size);
}

}  // namespace

void ConcealLostMacroblocks(DecoderInstance* d, int targetMb) {
  if (targetMb > d->mbCount) targetMb = d->mbCount;
  if (!d->cur || !d->fwdRef) return;
  const int stride = d->stride, cs = stride / 2;
  const bool bVop = d->vol->vop_coding_type == VOP_B && !d->bShortHeader;
  const uint8_t qp = static_cast<uint8_t>(d->vol->vop_quant);
  while (d->mbNum < targetMb) {
    if (*d->errorMapCursor < 255) {
      CopyBlock16x16(d->curY, d->refY, stride, stride);
      CopyBlock8x8(d->curU, d->refU, cs, cs);
      CopyBlock8x8(d->curV, d->refV, cs, cs);
    } else if (d->mbY > 0) {
      RepeatAbove(d->curY, stride, 16);
      RepeatAbove(d->curU, cs, 8);
      RepeatAbove(d->curV, cs, 8);
    } else if (d->mbX > 0) {
      RepeatLeft(d->curY, stride, 16);
      RepeatLeft(d->curU, cs, 8);
      RepeatLeft(d->curV, cs, 8);
    } else {
      Fill(d->curY, stride, 16, 128);
      Fill(d->curU, cs, 8, 128);
      Fill(d->curV, cs, 8, 128);
    }
    *d->curQpCursor = qp;
    *d->errorMapCursor = 1;
    // A B-VOP is no reference: its losses leave the future reference's MB
    // types and vectors (which its direct mode and skips read) alone. A lost
    // MB of an anchor counts as coded without motion: the B-VOPs after it
    // read bits for it, as they do for most MBs.
    if (!bVop) {
      *d->mbTypeCursor = MB_INTER;
      std::memset(d->blockMvCursor, 0, 4 * sizeof(DecMv));
      *d->fieldSelectCursor = -1;
    }
    NextMacroblock(d);
  }
}

}  // namespace dec
