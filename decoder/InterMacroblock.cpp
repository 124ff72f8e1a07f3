// Slice decoders for P-, S- and B-VOPs (and the advanced I-VOP loop), the
// data-partitioned P/S packet and the H.263 P picture.
#include "decoder/InterMacroblock.h"

#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Gmc.h"
#include "decoder/MotionComp.h"
#include "decoder/MotionVector.h"

namespace dec {

namespace {

enum MbResult { MB_FAILED = 0, MB_DONE = 1, MB_STUFFED = 2 };

inline bool IsIntra(int type) { return type == MB_INTRA || type == MB_INTRA_Q; }

inline int ClipQp(int q) { return q < 1 ? 1 : (q > 31 ? 31 : q); }

inline void SetMvs(DecMv* mv, DecMv v) { mv[0] = mv[1] = mv[2] = mv[3] = v; }

inline DecMv Unpack(uint32_t packed) {
  return DecMv{static_cast<int16_t>(packed & 0xFFFF), static_cast<int16_t>(packed >> 16)};
}

// Decoded-MB bookkeeping shared by all loops: count what is genuine, advance.
inline void FinishMacroblock(DecoderInstance* d) {
  if (*d->errorMapCursor == 0) d->cur->decodedMbs += 1;
  NextMacroblock(d);
}

// Stored vectors of a field-predicted MB: the top field's in the first entry,
// the bottom field's in fieldMvMap, their mean in the entries later MBs read.
void StoreFieldMvs(DecoderInstance* d, const DecMv f[2]) {
  DecMv* mv = d->blockMvCursor;
  mv[0] = DecMv{f[0].x, static_cast<int16_t>(2 * f[0].y)};
  d->fieldMvCursor->mv = DecMv{f[1].x, static_cast<int16_t>(2 * f[1].y)};
  const int sx = f[0].x + f[1].x;
  const int sy = 2 * f[0].y + 2 * f[1].y;
  const DecMv avg{static_cast<int16_t>((sx >> 1) | (sx & 1)), static_cast<int16_t>((sy >> 1) | (sy & 1))};
  mv[1] = mv[2] = mv[3] = avg;
}

}  // namespace

void CopyPrediction(DecoderInstance* d) {
  const int stride = d->stride, cs = stride / 2;
  const uint8_t* p = d->predBuffer;
  for (int y = 0; y < 16; ++y) std::memcpy(d->curY + y * stride, p + 16 * y, 16);
  for (int y = 0; y < 8; ++y) {
    std::memcpy(d->curU + y * cs, p + 256 + 16 * y, 8);
    std::memcpy(d->curV + y * cs, p + 264 + 16 * y, 8);
  }
}

void AddResidual(DecoderInstance* d, int cbp, int fieldDct) {
  const int stride = d->stride, cs = stride / 2;
  const int pitch = fieldDct ? 2 * stride : stride;
  for (int b = 0; b < 4; ++b) {
    if (!(cbp & (32 >> b))) continue;
    uint8_t* dst = d->curY + 8 * (b & 1) + (b >> 1) * (fieldDct ? stride : 8 * stride);
    IdctAdd(dst, dst, d->blockBuffer + 64 * b, pitch, pitch, d->blockPattern[b]);
  }
  if (cbp & 2) IdctAdd(d->curU, d->curU, d->blockBuffer + 256, cs, cs, d->blockPattern[4]);
  if (cbp & 1) IdctAdd(d->curV, d->curV, d->blockBuffer + 320, cs, cs, d->blockPattern[5]);
}

namespace {

// Intra MB of any VOP type, after its header: texture, reconstruction, maps.
bool DecodeIntraTexture(DecoderInstance* d, int type, int cbp, int acPred, int dcQp, int fieldDct) {
  d->acPredFlag = acPred;
  d->useDcVlc = dcQp < d->vol->intraDcThreshold;
  d->bPartitionDc = 0;
  d->dctType = fieldDct;
  *d->mbTypeCursor = static_cast<int8_t>(type);
  *d->curQpCursor = static_cast<uint8_t>(d->qp);
  if (d->intraBlockFn(d, d->qp, cbp) < 0) return false;
  PutIntraMacroblock(d, fieldDct);
  SetMvs(d->blockMvCursor, DecMv{0, 0});
  *d->fieldSelectCursor = -1;
  *d->errorMapCursor = 0;
  return true;
}

// One MB of an I-, P- or S-VOP (advanced and simple paths share it).
MbResult DecodeIpsMacroblock(DecoderInstance* d) {
  BitReader* r = &d->reader;
  const VolInfo* vol = d->vol;
  const int vopType = vol->vop_coding_type;
  const bool gmc = vopType == VOP_S && vol->sprite_enable == 2;
  DecMv* mv = d->blockMvCursor;

  if (vopType != VOP_I && BitstreamGetBit(r)) {  // not_coded
    *d->curQpCursor = static_cast<uint8_t>(d->qp);
    *d->fieldSelectCursor = -1;
    if (gmc) {
      *d->mbTypeCursor = MB_INTER;
      PredictGmcMacroblock(d);
      CopyPrediction(d);
      SetMvs(mv, Unpack(GmcAverageMv(d)));
    } else {
      *d->mbTypeCursor = MB_NOT_CODED;
      CopyColocatedMb(d, d->fwdRef);
      SetMvs(mv, DecMv{0, 0});
    }
    return MB_DONE;
  }

  const int mcbpc = vopType == VOP_I ? ReadMcbpcIntra(r) : ReadMcbpcInter(r);
  if (mcbpc < 0) return MB_FAILED;
  if (mcbpc == (MB_STUFFING << 2)) return MB_STUFFED;
  const int type = mcbpc >> 2;
  if (type > MB_INTRA_Q || (vopType == VOP_I && !IsIntra(type))) return MB_FAILED;
  const int intra = IsIntra(type);
  const int mcsel = (gmc && type <= MB_INTER_Q) ? BitstreamGetBit(r) : 0;
  const int acPred = intra ? BitstreamGetBit(r) : 0;
  int cbpy = ReadCbpy(r);
  if (cbpy < 0) return MB_FAILED;
  if (intra) cbpy = 15 - cbpy;
  const int cbp = (cbpy << 2) | (mcbpc & 3);
  const int oldQp = d->qp;
  if (type == MB_INTER_Q || type == MB_INTRA_Q) d->qp = ClipQp(d->qp + ReadDquant(r));

  int fieldDct = 0, fieldPred = 0, sel[2] = {0, 1};
  if (vol->interlaced) {
    if (intra || cbp) fieldDct = BitstreamGetBit(r);
    if ((type == MB_INTER || type == MB_INTER_Q) && !mcsel) {
      fieldPred = BitstreamGetBit(r);
      if (fieldPred) {
        sel[0] = BitstreamGetBit(r);
        sel[1] = BitstreamGetBit(r);
      }
    }
  }

  if (intra) {
    const int dcQp = d->mbInPacket == 0 ? d->qp : oldQp;
    return DecodeIntraTexture(d, type, cbp, acPred, dcQp, fieldDct) ? MB_DONE : MB_FAILED;
  }

  *d->mbTypeCursor = static_cast<int8_t>(type);
  *d->curQpCursor = static_cast<uint8_t>(d->qp);
  const int fcode = vol->vop_fcode_forward;
  DecMv field[2];
  if (mcsel) {
    SetMvs(mv, Unpack(GmcAverageMv(d)));
  } else if (type == MB_INTER4V) {
    for (int k = 0; k < 4; ++k)
      if (!DecodeMv(r, PredictMv(d, mv, k), fcode, &mv[k])) return MB_FAILED;
  } else if (fieldPred) {
    DecMv pred = PredictMv(d, mv, 0);
    pred.y = static_cast<int16_t>(pred.y / 2);
    for (int i = 0; i < 2; ++i)
      if (!DecodeMv(r, pred, fcode, &field[i])) return MB_FAILED;
    StoreFieldMvs(d, field);
  } else {
    DecMv m;
    if (!DecodeMv(r, PredictMv(d, mv, 0), fcode, &m)) return MB_FAILED;
    SetMvs(mv, m);
  }
  if (cbp && d->interBlockFn(d, d->qp, cbp) < 0) return MB_FAILED;

  if (mcsel) {
    PredictGmcMacroblock(d);
    CopyPrediction(d);
  } else if (fieldPred) {
    const DecMv stored[2] = {mv[0], d->fieldMvCursor->mv};
    PredictFieldMb(d, d->fwdRef, stored, sel, false);
  } else {
    PredictFrameMb(d, d->fwdRef, mv, type == MB_INTER4V ? 4 : 1, false);
  }
  AddResidual(d, cbp, fieldDct);
  *d->fieldSelectCursor = static_cast<int8_t>(fieldPred ? (sel[0] << 1) | sel[1] : -1);
  return MB_DONE;
}

void DecodeIpsSlice(DecoderInstance* d) {
  BitReader* r = &d->reader;
  d->qp = ClipQp(d->vol->vop_quant);
  while (d->mbNum < d->mbCount) {
    if (BitstreamBitsLeft(r) <= 0 || CheckResyncMarker(r)) return;
    const MbResult res = DecodeIpsMacroblock(d);
    if (res == MB_STUFFED) continue;
    // An MB that needed bits beyond the chunk is damaged.
    if (res == MB_FAILED || BitstreamBitsLeft(r) < 0) return;
    FinishMacroblock(d);
  }
}

// --- B-VOPs ------------------------------------------------------------------

struct BPredictors {
  DecMv fwd[2];  // frame or top field, bottom field
  DecMv bwd[2];
  void Reset() { fwd[0] = fwd[1] = bwd[0] = bwd[1] = DecMv{0, 0}; }
};

// Scaled co-located vector component: (num * v) / den truncating toward zero,
// in 64 bits (damaged time stamps may give any distances), kept in range.
inline int ScaleMv(int64_t num, int v, int64_t den) {
  if (den == 0) return 0;
  int64_t q = num * v / den;
  if (q < -4096) q = -4096;
  if (q > 4095) q = 4095;
  return static_cast<int>(q);
}

// Frame direct mode: forward and backward vectors per 8x8 block.
void DirectFrameMvs(const DecoderInstance* d, const DecMv* col, DecMv mvd, DecMv fwd[4], DecMv bwd[4]) {
  const int trd = d->trd, trb = d->trb;
  for (int k = 0; k < 4; ++k) {
    const int cx = col[k].x, cy = col[k].y;
    fwd[k].x = static_cast<int16_t>(ScaleMv(trb, cx, trd) + mvd.x);
    fwd[k].y = static_cast<int16_t>(ScaleMv(trb, cy, trd) + mvd.y);
    bwd[k].x = static_cast<int16_t>(mvd.x ? fwd[k].x - cx : ScaleMv(int64_t{trb} - trd, cx, trd));
    bwd[k].y = static_cast<int16_t>(mvd.y ? fwd[k].y - cy : ScaleMv(int64_t{trb} - trd, cy, trd));
  }
}

MbResult DecodeBMacroblock(DecoderInstance* d, BPredictors* pr) {
  BitReader* r = &d->reader;
  const VolInfo* vol = d->vol;
  const int colType = *d->mbTypeCursor;  // of the future reference

  int mbType = 0, cbp = 0;
  if (BitstreamGetBit(r)) {  // modb 1: direct, no vector difference, no residual
    mbType = -1;
  } else {
    const int hasCbp = !BitstreamGetBit(r);
    mbType = ReadBMbType(r);
    if (mbType < 0) return MB_FAILED;
    if (hasCbp) cbp = static_cast<int>(BitstreamGetBits(r, 6));
    if (mbType != 0 && cbp && BitstreamGetBit(r)) d->qp = ClipQp(d->qp + (BitstreamGetBit(r) ? 2 : -2));
  }
  const bool direct = mbType <= 0;
  int fieldDct = 0, fieldPred = 0, fsel[2] = {0, 1}, bsel[2] = {0, 1};
  if (vol->interlaced) {
    if (cbp) fieldDct = BitstreamGetBit(r);
    if (!direct && BitstreamGetBit(r)) {
      fieldPred = 1;
      if (mbType != 2) fsel[0] = BitstreamGetBit(r), fsel[1] = BitstreamGetBit(r);
      if (mbType != 3) bsel[0] = BitstreamGetBit(r), bsel[1] = BitstreamGetBit(r);
    }
  }

  const bool useFwd = !direct && mbType != 2;
  const bool useBwd = !direct && mbType != 3;
  DecMv fwd[4], bwd[4];  // frame: [0] (or four for direct); field: [0] top, [1] bottom (stored form)
  if (!direct) {
    if (useFwd) {
      if (!fieldPred) {
        if (!DecodeMv(r, pr->fwd[0], vol->vop_fcode_forward, &fwd[0])) return MB_FAILED;
        pr->fwd[0] = pr->fwd[1] = fwd[0];
      } else {
        for (int i = 0; i < 2; ++i) {
          DecMv p = pr->fwd[i];
          p.y = static_cast<int16_t>(p.y / 2);
          DecMv m;
          if (!DecodeMv(r, p, vol->vop_fcode_forward, &m)) return MB_FAILED;
          m.y = static_cast<int16_t>(2 * m.y);
          fwd[i] = pr->fwd[i] = m;
        }
      }
    }
    if (useBwd) {
      if (!fieldPred) {
        if (!DecodeMv(r, pr->bwd[0], vol->vop_fcode_backward, &bwd[0])) return MB_FAILED;
        pr->bwd[0] = pr->bwd[1] = bwd[0];
      } else {
        for (int i = 0; i < 2; ++i) {
          DecMv p = pr->bwd[i];
          p.y = static_cast<int16_t>(p.y / 2);
          DecMv m;
          if (!DecodeMv(r, p, vol->vop_fcode_backward, &m)) return MB_FAILED;
          m.y = static_cast<int16_t>(2 * m.y);
          bwd[i] = pr->bwd[i] = m;
        }
      }
    }
  }
  DecMv mvd{0, 0};
  if (direct && mbType == 0) {
    const int dx = ReadMvd(r, 1);
    if (dx == kInvalidMvd) return MB_FAILED;
    const int dy = ReadMvd(r, 1);
    if (dy == kInvalidMvd) return MB_FAILED;
    mvd = DecMv{static_cast<int16_t>(dx), static_cast<int16_t>(dy)};
  }
  *d->curQpCursor = static_cast<uint8_t>(d->qp);
  if (cbp && d->interBlockFn(d, d->qp, cbp) < 0) return MB_FAILED;

  if (direct) {
    const int colSel = vol->interlaced && !IsIntra(colType) ? *d->fieldSelectCursor : -1;
    if (colSel >= 0 && colType != MB_INTER4V) {
      // Field direct mode: per field its own temporal distances.
      const DecMv colMv[2] = {d->blockMvCursor[0], d->fieldMvCursor->mv};
      const int sels[2] = {(colSel >> 1) & 1, colSel & 1};
      int df[2] = {sels[0], sels[1] - 1};
      if (vol->top_field_first) df[0] = -df[0], df[1] = -df[1];
      DecMv ff[2], bf[2];
      for (int f = 0; f < 2; ++f) {
        const int64_t trdF = int64_t{d->trdField} + df[f], trbF = int64_t{d->trbField} + df[f];
        const int cx = colMv[f].x, cy = colMv[f].y >> 1;  // field units
        const int fx = ScaleMv(trbF, cx, trdF) + mvd.x;
        const int fy = ScaleMv(trbF, cy, trdF) + mvd.y;
        const int bx = mvd.x ? fx - cx : ScaleMv(int64_t{d->trbField} - d->trdField, cx, trdF);
        const int by = mvd.y ? fy - cy : ScaleMv(int64_t{d->trbField} - d->trdField, cy, trdF);
        ff[f] = DecMv{static_cast<int16_t>(fx), static_cast<int16_t>(2 * fy)};
        bf[f] = DecMv{static_cast<int16_t>(bx), static_cast<int16_t>(2 * by)};
      }
      const int bwdSel[2] = {0, 1};
      PredictFieldMb(d, d->fwdRef, ff, sels, false);
      PredictFieldMb(d, d->bwdRef, bf, bwdSel, true);
    } else {
      DirectFrameMvs(d, d->blockMvCursor, mvd, fwd, bwd);
      // Four vectors when the co-located MB had four, or always with quarter-pel.
      const int count = (colType == MB_INTER4V || vol->quarter_sample) ? 4 : 1;
      PredictFrameMb(d, d->fwdRef, fwd, count, false);
      PredictFrameMb(d, d->bwdRef, bwd, count, true);
    }
  } else if (fieldPred) {
    if (useFwd) PredictFieldMb(d, d->fwdRef, fwd, fsel, false);
    if (useBwd) PredictFieldMb(d, d->bwdRef, bwd, bsel, useFwd);
  } else {
    if (useFwd) PredictFrameMb(d, d->fwdRef, fwd, 1, false);
    if (useBwd) PredictFrameMb(d, d->bwdRef, bwd, 1, useFwd);
  }
  AddResidual(d, cbp, fieldDct);
  return MB_DONE;
}

}  // namespace

void DecodePVopSimple(DecoderInstance* d) { DecodeIpsSlice(d); }

void DecodeVopAdvanced(DecoderInstance* d) { DecodeIpsSlice(d); }

static void DecodeBSlice(DecoderInstance* d) {
  BitReader* r = &d->reader;
  d->qp = ClipQp(d->vol->vop_quant);
  BPredictors pr;
  pr.Reset();
  while (d->mbNum < d->mbCount) {
    if (d->mbX == 0) pr.Reset();
    const bool atEnd = BitstreamBitsLeft(r) <= 0 || CheckResyncMarker(r);
    if (*d->mbTypeCursor == MB_NOT_CODED) {
      // Skipped with the co-located MB: a copy of the past reference, no bits.
      // At the packet's end it still belongs to the packet, up to the next
      // packet's first MB (when the next header cannot tell it, it does not).
      if (atEnd && (d->packetCheck == 1 || d->mbNum >= d->packetEndMb)) return;
      CopyColocatedMb(d, d->fwdRef);
      *d->curQpCursor = static_cast<uint8_t>(d->qp);
      FinishMacroblock(d);
      continue;
    }
    if (atEnd) return;
    const MbResult res = DecodeBMacroblock(d, &pr);
    if (res == MB_FAILED || BitstreamBitsLeft(r) < 0) return;
    FinishMacroblock(d);
  }
}

void DecodeBVopSimple(DecoderInstance* d) { DecodeBSlice(d); }

void DecodeBVopAdvanced(DecoderInstance* d) { DecodeBSlice(d); }

// --- data-partitioned P/S packet ------------------------------------------------

void DecodePVopDataPartitioned(DecoderInstance* d) {
  BitReader* r = &d->reader;
  const VolInfo* vol = d->vol;
  const bool gmc = vol->vop_coding_type == VOP_S && vol->sprite_enable == 2;
  const int first = d->mbNum;
  const int room = d->mbCount - first;
  FieldWord* words = d->fieldMvMap;
  d->qp = ClipQp(vol->vop_quant);

  // Partition 1: MB types and vector differentials, up to the motion marker.
  int n = 0;
  for (;;) {
    if (BitstreamBitsLeft(r) <= 0) return;
    if (BitstreamShowBits(r, 17) == 0x1F001) break;
    if (n >= room) return;
    const int mb = first + n;
    uint32_t word = 0;
    DecMv* mv = d->blockMvMap + 4 * mb;
    if (BitstreamGetBit(r)) {
      word = 1;
      if (gmc) {
        word |= 2;
        d->mbTypeMap[mb] = MB_INTER;
      } else {
        d->mbTypeMap[mb] = MB_NOT_CODED;
      }
    } else {
      const int mcbpc = ReadMcbpcInter(r);
      if (mcbpc < 0) return;
      if (mcbpc == (MB_STUFFING << 2)) continue;
      const int type = mcbpc >> 2;
      if (type > MB_INTRA_Q) return;
      d->mbTypeMap[mb] = static_cast<int8_t>(type);
      word = static_cast<uint32_t>(mcbpc & 3) << 4;
      const int mcsel = (gmc && type <= MB_INTER_Q) ? BitstreamGetBit(r) : 0;
      if (mcsel) word |= 2;
      if (!IsIntra(type) && !mcsel) {
        const int count = type == MB_INTER4V ? 4 : 1;
        for (int k = 0; k < count; ++k) {
          const int dx = ReadMvd(r, vol->vop_fcode_forward);
          if (dx == kInvalidMvd) return;
          const int dy = ReadMvd(r, vol->vop_fcode_forward);
          if (dy == kInvalidMvd) return;
          mv[k] = DecMv{static_cast<int16_t>(dx), static_cast<int16_t>(dy)};
        }
      }
    }
    words[n].partition = word;
    ++n;
  }
  BitstreamSkipBits(r, 17);
  // The marker where the next MB header would start, and no MB past the
  // next packet's first: the motion partition checks.
  if (first + n <= d->packetEndMb) d->packetPartsEnd = first + n;

  // Vectors from their differentials, ahead of the texture: a packet whose
  // texture fails is concealed with them.
  const int flags = d->neighbourFlags;
  const int fcode = vol->vop_fcode_forward;
  for (int i = 0; i < n; ++i) {
    const uint32_t word = words[i].partition;
    const int type = *d->mbTypeCursor;
    DecMv* mv = d->blockMvCursor;
    if (word & 2) {
      SetMvs(mv, Unpack(GmcAverageMv(d)));
    } else if ((word & 1) || IsIntra(type)) {
      SetMvs(mv, DecMv{0, 0});
    } else {
      const int count = type == MB_INTER4V ? 4 : 1;
      for (int k = 0; k < count; ++k) {
        const DecMv diff = mv[k];
        const DecMv p = PredictMv(d, mv, k);
        mv[k] = DecMv{static_cast<int16_t>(WrapMv(p.x + diff.x, fcode)),
                      static_cast<int16_t>(WrapMv(p.y + diff.y, fcode))};
      }
      if (count == 1) SetMvs(mv, mv[0]);
    }
    NextMacroblock(d);
  }
  SeekMacroblock(d, first);
  d->mbInPacket = 0;
  d->neighbourFlags = flags;

  // Partition 2: ac_pred_flag, CBPY, dquant and the intra DC differentials.
  for (int i = 0; i < n; ++i) {
    uint32_t& word = words[i].partition;
    if (word & 1) continue;
    const int mb = first + i;
    const int type = d->mbTypeMap[mb];
    const int intra = IsIntra(type);
    if (intra && BitstreamGetBit(r)) word |= 4;
    int cbpy = ReadCbpy(r);
    if (cbpy < 0) return;
    if (intra) cbpy = 15 - cbpy;
    word |= static_cast<uint32_t>(cbpy) << 6;
    const int oldQp = d->qp;
    if (type == MB_INTER_Q || type == MB_INTRA_Q) d->qp = ClipQp(d->qp + ReadDquant(r));
    d->curQpMap[mb] = static_cast<uint8_t>(d->qp);
    if (intra && (i == 0 ? d->qp : oldQp) < vol->intraDcThreshold) {
      word |= 8;
      const int mbx = mb % d->mbWidth, mby = mb / d->mbWidth;
      int16_t* luma = d->lumaDcStore + mby * 2 * d->blockStride + 2 * mbx;
      for (int b = 0; b < 6; ++b) {
        const int diff = ReadIntraDc(r, b >= 4);
        if (diff == 32768) return;
        int16_t* at = b < 4 ? luma + (b & 1) + ((b & 2) ? d->blockStride : 0)
                            : (b == 4 ? d->cbDcStore : d->crDcStore) + mb;
        *at = static_cast<int16_t>(diff);
      }
    }
    if (BitstreamBitsLeft(r) < 0) return;
  }
  d->packetDcKnown = 1;

  // Partition 3: texture and reconstruction MB by MB.
  for (int i = 0; i < n; ++i) {
    const uint32_t word = words[i].partition;
    const int type = *d->mbTypeCursor;
    DecMv* mv = d->blockMvCursor;
    *d->fieldSelectCursor = -1;
    if (word & 1) {
      if (word & 2) {
        PredictGmcMacroblock(d);
        CopyPrediction(d);
      } else {
        CopyColocatedMb(d, d->fwdRef);
      }
      FinishMacroblock(d);
      d->packetTextureMb = d->mbNum;
      continue;
    }
    const int cbp = static_cast<int>((word >> 4) & 63);
    const int qp = *d->curQpCursor;
    if (IsIntra(type)) {
      d->acPredFlag = (word >> 2) & 1;
      d->useDcVlc = (word >> 3) & 1;
      d->bPartitionDc = 1;
      d->dctType = 0;
      const PartitionDcs saved = SavePartitionDcs(d);
      const int res = d->intraBlockFn(d, qp, cbp);
      d->bPartitionDc = 0;
      if (res < 0) {
        RestorePartitionDcs(d, saved);
        return;
      }
      PutIntraMacroblock(d, 0);
      *d->errorMapCursor = 0;
    } else {
      if (cbp && d->interBlockFn(d, qp, cbp) < 0) return;
      if (word & 2) {
        PredictGmcMacroblock(d);
        CopyPrediction(d);
      } else {
        PredictFrameMb(d, d->fwdRef, mv, type == MB_INTER4V ? 4 : 1, false);
      }
      AddResidual(d, cbp, 0);
    }
    d->packetTextureMb = d->mbNum + 1;
    if (BitstreamBitsLeft(r) < 0) return;
    FinishMacroblock(d);
  }
}

// --- H.263 P picture ---------------------------------------------------------------

namespace {

// A GOB start code ahead (after zero stuffing up to the byte boundary).
bool GobStartAhead(BitReader* r) {
  BitstreamRefill(r);
  const int k = r->bitsValid & 7;
  const uint32_t v = BitstreamShowBits(r, k + 17);
  if (v != 1) return false;
  BitstreamSkipBits(r, k);
  return true;
}

}  // namespace

void DecodeH263PPicture(DecoderInstance* d) {
  BitReader* r = &d->reader;
  d->qp = ClipQp(d->vol->vop_quant);
  while (d->mbNum < d->mbCount) {
    if (BitstreamBitsLeft(r) <= 0) return;
    if (d->mbX == 0 && d->mbInPacket > 0 && GobStartAhead(r)) return;
    DecMv* mv = d->blockMvCursor;
    if (BitstreamGetBit(r)) {  // COD: not coded
      *d->mbTypeCursor = MB_NOT_CODED;
      *d->curQpCursor = static_cast<uint8_t>(d->qp);
      CopyColocatedMb(d, d->fwdRef);
      SetMvs(mv, DecMv{0, 0});
      FinishMacroblock(d);
      continue;
    }
    const int mcbpc = ReadMcbpcInter(r);
    if (mcbpc < 0) return;
    if (mcbpc == (MB_STUFFING << 2)) continue;
    const int type = mcbpc >> 2;
    if (type == MB_INTER4V || type > MB_INTRA_Q) return;  // no advanced prediction mode
    const int intra = IsIntra(type);
    int cbpy = ReadCbpy(r);
    if (cbpy < 0) return;
    if (intra) cbpy = 15 - cbpy;
    const int cbp = (cbpy << 2) | (mcbpc & 3);
    if (type == MB_INTER_Q || type == MB_INTRA_Q) d->qp = ClipQp(d->qp + ReadDquant(r));
    *d->mbTypeCursor = static_cast<int8_t>(type);
    *d->curQpCursor = static_cast<uint8_t>(d->qp);
    if (intra) {
      if (DecodeIntraBlockShortHdr(d, d->qp, cbp) < 0) return;
      PutIntraMacroblock(d, 0);
      SetMvs(mv, DecMv{0, 0});
      *d->errorMapCursor = 0;
    } else {
      DecMv m;
      if (!DecodeMv(r, PredictMv(d, mv, 0), 1, &m)) return;
      SetMvs(mv, m);
      if (cbp && DecodeInterBlockShortHdr(d, d->qp, cbp) < 0) return;
      PredictFrameMb(d, d->fwdRef, mv, 1, false);
      AddResidual(d, cbp, 0);
    }
    if (BitstreamBitsLeft(r) < 0) return;
    FinishMacroblock(d);
  }
}

}  // namespace dec
