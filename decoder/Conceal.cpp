// Concealment of macroblocks that could not be decoded, and their marks in
// the error map.
#include <cstdlib>
#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Gmc.h"
#include "decoder/InterMacroblock.h"
#include "decoder/Interpolate.h"
#include "decoder/MotionComp.h"

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

// Error-map mark of an MB concealed in the picture being decoded by a copy
// of the reference; it becomes 1 when the picture is done.
constexpr uint8_t kGuess = 2;
constexpr uint8_t kGuessed = 3;  // guessed once, to be guessed again
// An MB without a reference picture, filled from its neighbours when the
// picture is done.
constexpr uint8_t kFill = 4;
// An MB decoded in a damaged packet before the damage showed: it keeps its
// picture unless a guess joins the neighbours much better.
constexpr uint8_t kSuspect = 5;
// The same where nothing checked the MB (a plain packet, or one whose motion
// or DC partition did not check): until every such MB is weighed (kWeighed),
// its picture is no edge to join or to guess from, as the garbage decoded
// from the damage joins the garbage next to it.
constexpr uint8_t kUnsure = 6;
constexpr uint8_t kWeighed = 7;

// An MB of a packet that ended where it must with fewer MBs than the next
// header says: a packet lost after it, or damage its codes resynchronised
// from. Replaced only where it steps far from the MBs decoded around it.
constexpr uint8_t kShort = 8;
// Filled from within the picture; no edge for the other fills of the pass.
constexpr uint8_t kFilled = 9;

// The MB holds no picture of its own (or none to be trusted) yet.
inline bool Pending(uint8_t mark) {
  return mark == kGuess || mark == kFill || mark == kUnsure || mark == kWeighed || mark == kShort || mark == kFilled;
}

inline int Sad(const uint8_t* a, int aStep, const uint8_t* b, int bStep) {
  int s = 0;
  for (int i = 0; i < 16; ++i) s += std::abs(int(a[i * aStep]) - int(b[i * bStep]));
  return s;
}

// How badly the current MB's edges join its neighbours that hold decoded
// (or already refined) pictures: the sum of absolute steps across them.
// decodedOnly: only neighbours decoded in this picture, not concealed;
// *edges gets how many edges were weighed.
int EdgeMismatch(const DecoderInstance* d, int mb, bool decodedOnly = false, int* edges = nullptr) {
  const int w = d->mbWidth, stride = d->stride;
  const uint8_t* p = d->curY;
  const uint8_t* map = d->errorMap;
  auto use = [&](int n) { return decodedOnly ? map[n] == 0 : !Pending(map[n]); };
  int s = 0, n = 0;
  if (d->mbX > 0 && use(mb - 1)) s += Sad(p, stride, p - 1, stride), ++n;
  if (d->mbX + 1 < w && use(mb + 1)) s += Sad(p + 15, stride, p + 16, stride), ++n;
  if (d->mbY > 0 && use(mb - w)) s += Sad(p, 1, p - stride, 1), ++n;
  if (mb + w < d->mbCount && use(mb + w)) s += Sad(p + 15 * stride, 1, p + 16 * stride, 1), ++n;
  if (edges) *edges = n;
  return s;
}

// Each sample from the nearest edges of MBs that hold decoded (or refined)
// pictures in the four directions (left, top, right, bottom), gap[k] lost
// MBs away (-1: none). Along each axis the sample lies between its two
// edges: an edge weighs by how far the sample is from the other one over
// the axis' span, and the axis by the inverse of its span.
void InterpolateBlock(uint8_t* p, int pitch, int size, const int gap[4]) {
  uint8_t out[16 * 16];
  int g[4];
  for (int k = 0; k < 4; ++k) g[k] = gap[k] > 0 ? gap[k] * size : 0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int dist[4] = {x + 1 + g[0], y + 1 + g[1], size - x + g[2], size - y + g[3]};
      const long at[4] = {long(y) * pitch - 1 - g[0], x - long(pitch) * (1 + g[1]), long(y) * pitch + size + g[2],
                          long(pitch) * (size + g[3]) + x};
      long num = 0, den = 0;
      for (int k = 0; k < 4; ++k) {
        if (gap[k] < 0) continue;
        const long span = dist[k] + dist[k ^ 2];
        const long w = (span - dist[k]) * (1L << 24) / (span * span);
        num += w * p[at[k]], den += w;
      }
      out[y * 16 + x] = den ? static_cast<uint8_t>((num + den / 2) / den) : p[y * pitch + x];
    }
  for (int y = 0; y < size; ++y) std::memcpy(p + y * pitch, out + y * 16, size);
}

// How many lost MBs lie between the current MB and the nearest one in
// direction (dx, dy) that holds a picture; -1 when there is none, or when a
// decoded MB yet to be weighed stands in the way.
int Gap(const DecoderInstance* d, int dx, int dy) {
  const int rows = d->mbCount / d->mbWidth;
  int n = 0;
  for (int x = d->mbX + dx, y = d->mbY + dy; x >= 0 && y >= 0 && x < d->mbWidth && y < rows; x += dx, y += dy, ++n) {
    const uint8_t mark = d->errorMap[y * d->mbWidth + x];
    if (!Pending(mark)) return n;
    if (mark != kFill && mark != kFilled && mark != kGuess) break;
  }
  return -1;
}

void InterpolateMb(DecoderInstance* d) {
  int gap[4] = {Gap(d, -1, 0), Gap(d, 0, -1), Gap(d, 1, 0), Gap(d, 0, 1)};
  // Edges that agree across the MB (the line above with the one below, or
  // the column left with the one right) carry the picture through it alone.
  const uint8_t* p = d->curY;
  const int stride = d->stride;
  const int v = gap[1] >= 0 && gap[3] >= 0
                    ? Sad(p - long(stride) * (1 + 16 * gap[1]), 1, p + long(stride) * 16 * (1 + gap[3]), 1) / 16
                    : -1;
  const int h = gap[0] >= 0 && gap[2] >= 0 ? Sad(p - 1 - 16 * gap[0], stride, p + 16 * (1 + gap[2]), stride) / 16 : -1;
  constexpr int kAgree = 3;  // mean absolute difference
  if (v >= 0 && v < kAgree && (h < 0 || 2 * v < h))
    gap[0] = gap[2] = -1;
  else if (h >= 0 && h < kAgree && (v < 0 || 2 * h < v))
    gap[1] = gap[3] = -1;
  InterpolateBlock(d->curY, d->stride, 16, gap);
  InterpolateBlock(d->curU, d->stride / 2, 8, gap);
  InterpolateBlock(d->curV, d->stride / 2, 8, gap);
}

inline int Sad16x16(const uint8_t* a, const uint8_t* b, int stride) {
  int s = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) s += std::abs(int(a[y * stride + x]) - int(b[y * stride + x]));
  return s;
}

// An intra picture's losses are filled from within the picture when its
// decoded MBs differ more from the past picture than that picture differs
// from itself one MB row lower (a cut, or fast motion).
bool SpatialFillLikely(const DecoderInstance* d) {
  const int stride = d->stride;
  long score = 0;
  for (int mb = 0; mb + d->mbWidth < d->mbCount; ++mb) {
    if (d->errorMap[mb] != 0) continue;
    if (d->fwdRef->errorMap[mb] == 255) return true;
    const long off = long(mb / d->mbWidth) * 16 * stride + (mb % d->mbWidth) * 16;
    const uint8_t* past = d->fwdRef->pY + off;
    score += Sad16x16(d->cur->pY + off, past, stride) - Sad16x16(past, past + 16 * stride, stride);
  }
  return score > 0;
}

// A predicted picture whose decoded MBs are mostly intra (a cut, or motion
// too fast to follow) fills its losses from within itself too.
bool MostlyIntra(const DecoderInstance* d) {
  int score = 0;
  for (int mb = 0; mb < d->mbCount; ++mb)
    if (d->errorMap[mb] == 0) score += d->mbTypeMap[mb] == MB_INTRA || d->mbTypeMap[mb] == MB_INTRA_Q ? 1 : -1;
  return score > 0;
}

// The current MB's picture to (or back from) 384 bytes: luma, then U and V.
void KeepMb(DecoderInstance* d, uint8_t* buf, bool restore) {
  const int stride = d->stride, cs = stride / 2;
  uint8_t* planes[3] = {d->curY, d->curU, d->curV};
  for (int p = 0, at = 0; p < 3; ++p) {
    const int size = p ? 8 : 16, pitch = p ? cs : stride;
    for (int y = 0; y < size; ++y, at += size) {
      uint8_t* row = planes[p] + y * pitch;
      if (restore)
        std::memcpy(row, buf + at, size);
      else
        std::memcpy(buf + at, row, size);
    }
  }
}

void CopyReferenceMb(DecoderInstance* d) {
  const int stride = d->stride, cs = stride / 2;
  CopyBlock16x16(d->curY, d->refY, stride, stride);
  CopyBlock8x8(d->curU, d->refU, cs, cs);
  CopyBlock8x8(d->curV, d->refV, cs, cs);
}

// Truncating (num * v) / den, as direct mode scales a co-located vector.
inline int16_t Scale(int num, int v, int den) {
  return den ? static_cast<int16_t>(int64_t(num) * v / den) : 0;
}

// An MB of a P- or S-VOP: of the vectors of its neighbours (and none), the
// one whose prediction joins its neighbours best; returns that mismatch.
int GuessInterMb(DecoderInstance* d, int mb) {
  const int w = d->mbWidth;
  const uint8_t* map = d->errorMap;
  DecMv cand[6];
  int n = 0;
  cand[n++] = DecMv{0, 0};
  cand[n++] = d->blockMvMap[4 * mb];  // as last decoded here, in this picture or before
  const int nb[4] = {d->mbX > 0 ? mb - 1 : -1, d->mbY > 0 ? mb - w : -1, d->mbX + 1 < w ? mb + 1 : -1,
                     mb + w < d->mbCount ? mb + w : -1};
  const int block[4] = {1, 2, 0, 0};  // the neighbour's vector next to this MB
  for (int k = 0; k < 4; ++k) {
    if (nb[k] < 0 || Pending(map[nb[k]]) || map[nb[k]] == 255) continue;
    const DecMv v = d->blockMvMap[4 * nb[k] + block[k]];
    bool seen = false;
    for (int i = 0; i < n; ++i) seen |= cand[i].x == v.x && cand[i].y == v.y;
    if (!seen) cand[n++] = v;
  }
  DecMv best = cand[0];
  int bestScore = -1;
  // On a tie the later candidate wins: the edges cannot tell them apart,
  // and a neighbour's vector is likelier than none or the MB's stale one.
  auto tryMv = [&](DecMv v) {
    PredictFrameMb(d, d->fwdRef, &v, 1, false);
    const int score = EdgeMismatch(d, mb);
    if (bestScore < 0 || score <= bestScore) best = v, bestScore = score;
  };
  // Only vectors the picture used: a search around them fits the edges'
  // few samples rather than the MB and so loses more than it wins.
  for (int i = 0; i < n; ++i)
    if (i != 1 || cand[1].x != 0 || cand[1].y != 0) tryMv(cand[i]);
  PredictFrameMb(d, d->fwdRef, &best, 1, false);
  DecMv* mv = d->blockMvMap + 4 * mb;
  mv[0] = mv[1] = mv[2] = mv[3] = best;
  return bestScore;
}

// A decoded MB of an I- or P-VOP packet whose partitions checked, from
// them alone: its DCs (intra) or its prediction without the residual.
void RebuildFromPartitions(DecoderInstance* d) {
  const int type = *d->mbTypeCursor;
  if (d->vol->vop_coding_type == VOP_I || type == MB_INTRA || type == MB_INTRA_Q) {
    const int16_t* luma = d->lumaDcCursor;
    const int16_t dc[6] = {luma[0], luma[1], luma[d->blockStride], luma[d->blockStride + 1], *d->cbDcCursor,
                           *d->crDcCursor};
    for (int b = 0; b < 6; ++b) {
      std::memset(d->blockBuffer + 64 * b, 0, 64 * sizeof(int16_t));
      d->blockBuffer[64 * b] = dc[b];
      d->blockPattern[b] = 0;
    }
    PutIntraMacroblock(d, 0);
  } else if (type == MB_NOT_CODED) {
    CopyColocatedMb(d, d->fwdRef);
  } else {
    PredictFrameMb(d, d->fwdRef, d->blockMvCursor, type == MB_INTER4V ? 4 : 1, false);
  }
}

// An MB of a B-VOP: direct mode without a vector difference, from the
// co-located vectors of the future anchor.
void GuessBMb(DecoderInstance* d, int mb) {
  const DecMv* col = d->blockMvMap + 4 * mb;
  const int count = d->mbTypeMap[mb] == MB_INTER4V ? 4 : 1;
  DecMv fwd[4], bwd[4];
  for (int k = 0; k < count; ++k) {
    fwd[k] = DecMv{Scale(d->trb, col[k].x, d->trd), Scale(d->trb, col[k].y, d->trd)};
    bwd[k] = DecMv{Scale(d->trb - d->trd, col[k].x, d->trd), Scale(d->trb - d->trd, col[k].y, d->trd)};
  }
  PredictFrameMb(d, d->fwdRef, fwd, count, false);
  PredictFrameMb(d, d->bwdRef, bwd, count, true);
}

}  // namespace

void ConcealLostMacroblocks(DecoderInstance* d, int targetMb) {
  if (targetMb > d->mbCount) targetMb = d->mbCount;
  if (!d->cur || !d->fwdRef) return;
  const int stride = d->stride, cs = stride / 2;
  const bool bVop = d->vol->vop_coding_type == VOP_B && !d->bShortHeader;
  const uint8_t qp = static_cast<uint8_t>(d->vol->vop_quant);
  while (d->mbNum < targetMb) {
    // A copy of the reference is refined when the picture is done (kGuess),
    // an MB without one is filled from its neighbours then (kFill).
    uint8_t mark = kFill;
    if (*d->errorMapCursor < 255) {
      CopyReferenceMb(d);
      mark = kGuess;
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
    *d->errorMapCursor = mark;
    // A B-VOP is no reference: its losses leave the future reference's MB
    // types and vectors (which its direct mode and skips read) alone. A lost
    // MB of an anchor counts as coded without motion: the B-VOPs after it
    // read bits for it, as they do for most MBs.
    if (!bVop) {
      *d->mbTypeCursor = MB_INTER;
      // A copy keeps the MB's last vectors as a candidate for the refinement.
      if (mark != kGuess) std::memset(d->blockMvCursor, 0, 4 * sizeof(DecMv));
      *d->fieldSelectCursor = -1;
    }
    NextMacroblock(d);
  }
}

void MarkSuspect(DecoderInstance* d, int from, int to, bool whole) {
  if (to <= from) return;
  if (whole) {
    std::memset(d->errorMap + from, kShort, size_t(to - from));
    return;
  }
  // Only MBs whose motion or DC partition checked are more than unsure.
  int checked = d->vol->data_partitioned ? d->packetPartsEnd : from;
  checked = checked < from ? from : checked > to ? to : checked;
  std::memset(d->errorMap + from, kSuspect, size_t(checked - from));
  std::memset(d->errorMap + checked, kUnsure, size_t(to - checked));
}

void RefineConcealment(DecoderInstance* d) {
  if (!d->cur || !d->errorMap || d->mbCount <= 0) return;
  const int type = d->vol->vop_coding_type;
  const bool inter = d->bShortHeader ? type != VOP_I : (type == VOP_P || type == VOP_S);
  const bool bVop = !d->bShortHeader && type == VOP_B;
  // Whether losses are filled from within the picture (an intra picture
  // weighed against its reference, a predicted one by its MB types) costs a
  // pass over the whole picture, so it is asked only once a damaged MB needs it.
  int spatialLikely = -1;
  auto spatial = [&] {
    if (spatialLikely < 0) spatialLikely = !bVop && (inter ? MostlyIntra(d) : SpatialFillLikely(d));
    return spatialLikely == 1;
  };
  for (int mb = 0; mb < d->mbCount; ++mb) {
    if (d->errorMap[mb] == kFill) {
      SeekMacroblock(d, mb);
      InterpolateMb(d);
      d->errorMap[mb] = kFilled;
    }
    if (d->errorMap[mb] != kGuess) continue;
    SeekMacroblock(d, mb);
    const bool fill = !bVop && spatial();
    if (bVop)
      GuessBMb(d, mb);
    else if (fill)
      InterpolateMb(d);
    else if (inter)
      GuessInterMb(d, mb);
    d->errorMap[mb] = inter && !fill ? kGuessed : bVop ? 1 : kFilled;
  }
  for (int mb = 0; mb < d->mbCount; ++mb)
    if (d->errorMap[mb] == kFilled) d->errorMap[mb] = 1;
  // MBs decoded before the damage showed keep their pictures unless a guess
  // joins the neighbours several times better (garbage decoded from the
  // damage seldom joins them at all).
  constexpr int kBetter = 3;
  constexpr int kOwnStep = 4;  // mean absolute step across an edge
  // A suspect MB of a data-partitioned packet has its partitions checked:
  // when it gives way, it gives way to its DCs or its own prediction.
  const bool ownParts = d->vol->data_partitioned && (type == VOP_I || type == VOP_P);
  bool unsure = false;
  for (int mb = 0; mb < d->mbCount; ++mb) {
    const uint8_t mark = d->errorMap[mb];
    if (mark != kSuspect && mark != kUnsure && mark != kShort) continue;
    unsure |= mark != kSuspect;
    const uint8_t weighed = mark != kSuspect ? kWeighed : 1;
    SeekMacroblock(d, mb);
    int edges = 0;
    const int decoded = EdgeMismatch(d, mb, mark == kShort, &edges);
    uint8_t saved[384];
    DecMv mvs[4];
    KeepMb(d, saved, false);
    std::memcpy(mvs, d->blockMvCursor, sizeof mvs);
    int guessed;
    if (bVop) {
      GuessBMb(d, mb);
      guessed = EdgeMismatch(d, mb);
    } else if (inter && !spatial()) {
      guessed = GuessInterMb(d, mb);
    } else {
      if (spatial())
        InterpolateMb(d);
      else
        CopyReferenceMb(d);
      guessed = EdgeMismatch(d, mb);
    }
    // An MB of a short packet is weighed against decoded MBs only, and kept
    // unless it steps far from them: a lost packet after it leaves it whole.
    constexpr int kGarbageStep = 4;  // mean absolute step across an edge
    if (mark == kShort) guessed = decoded < kGarbageStep * 16 * edges ? decoded : EdgeMismatch(d, mb, true);
    if (kBetter * guessed >= decoded) {
      KeepMb(d, saved, true);
      std::memcpy(d->blockMvCursor, mvs, sizeof mvs);
    } else if (mark == kSuspect && ownParts) {
      // Its own vectors, or its own DCs unless they step far more than the
      // guess: damage may have resynchronised inside the DC partition.
      uint8_t guess[384];
      DecMv guessMvs[4];
      KeepMb(d, guess, false);
      std::memcpy(guessMvs, d->blockMvCursor, sizeof guessMvs);
      std::memcpy(d->blockMvCursor, mvs, sizeof mvs);
      RebuildFromPartitions(d);
      if (!inter && EdgeMismatch(d, mb) > guessed + kOwnStep * 16 * edges) {
        KeepMb(d, guess, true);
        std::memcpy(d->blockMvCursor, guessMvs, sizeof guessMvs);
      }
    }
    d->errorMap[mb] = weighed;
  }
  for (int mb = 0; unsure && mb < d->mbCount; ++mb)
    if (d->errorMap[mb] == kWeighed) d->errorMap[mb] = 1;
  // Once more, now that every neighbour holds a picture.
  for (int mb = 0; inter && mb < d->mbCount; ++mb) {
    if (d->errorMap[mb] != kGuessed) continue;
    SeekMacroblock(d, mb);
    GuessInterMb(d, mb);
    d->errorMap[mb] = 1;
  }
}

void ConcealFromPartitions(DecoderInstance* d, int targetMb) {
  if (targetMb > d->packetPartsEnd) targetMb = d->packetPartsEnd;
  const FieldWord* words = d->fieldMvMap;  // the packet's partition words, from its first MB
  const bool iVop = d->vol->vop_coding_type == VOP_I;
  // A partition that ended on its marker with fewer MBs than the next
  // header says may have resynchronised from damage: its MBs are unsure.
  const uint8_t mark = d->packetCheck == 2 && d->packetPartsEnd < d->packetEndMb ? kUnsure : 1;
  while (d->mbNum < targetMb) {
    const uint32_t word = words[d->mbNum - d->packetFirstMb].partition;
    const int type = *d->mbTypeCursor;
    const bool intra = iVop || type == MB_INTRA || type == MB_INTRA_Q;
    // The DCs come from the DC VLC of the first (I) or second (P) partition.
    if (intra && !((word & 8) && (iVop || d->packetDcKnown))) {
      ConcealLostMacroblocks(d, d->mbNum + 1);
      continue;
    }
    if (intra) {
      d->acPredFlag = 0;
      d->useDcVlc = 1;
      d->dctType = 0;
      if (d->mbNum >= d->packetTextureMb) {
        // Differentials in the DC stores: predicted as the texture would have been.
        d->bPartitionDc = 1;
        d->intraBlockFn(d, *d->curQpCursor, 0);
        d->bPartitionDc = 0;
      } else {
        // Decoded MB: DC values in the stores.
        const int16_t* luma = d->lumaDcCursor;
        const int16_t dc[6] = {luma[0], luma[1], luma[d->blockStride], luma[d->blockStride + 1],
                               *d->cbDcCursor, *d->crDcCursor};
        for (int b = 0; b < 6; ++b) {
          std::memset(d->blockBuffer + 64 * b, 0, 64 * sizeof(int16_t));
          d->blockBuffer[64 * b] = dc[b];
          d->blockPattern[b] = 0;
        }
      }
      PutIntraMacroblock(d, 0);
    } else if (word & 2) {
      PredictGmcMacroblock(d);
      CopyPrediction(d);
    } else if (word & 1) {
      CopyColocatedMb(d, d->fwdRef);
    } else {
      PredictFrameMb(d, d->fwdRef, d->blockMvCursor, type == MB_INTER4V ? 4 : 1, false);
    }
    *d->errorMapCursor = mark;
    *d->fieldSelectCursor = -1;
    NextMacroblock(d);
  }
}

}  // namespace dec
