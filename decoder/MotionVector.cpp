#include "decoder/MotionVector.h"

#include "decoder/DecoderInternal.h"

namespace dec {

namespace {

// The motion vector VLC (magnitudes 0..32, code and length without the sign
// bit), as in ISO/IEC 14496-2 Table B-12 / H.263 Table 14.
struct Code {
  uint16_t code;
  uint8_t len;
};
constexpr Code kMvdCodes[33] = {
    {1, 1},   {1, 2},   {1, 3},   {1, 4},   {3, 6},   {5, 7},   {4, 7},   {3, 7},   {11, 9},
    {10, 9},  {9, 9},   {17, 10}, {16, 10}, {15, 10}, {14, 10}, {13, 10}, {12, 10}, {11, 10},
    {10, 10}, {9, 10},  {8, 10},  {7, 10},  {6, 10},  {5, 10},  {4, 10},  {7, 11},  {6, 11},
    {5, 11},  {4, 11},  {3, 11},  {2, 11},  {3, 12},  {2, 12}};

// Lookup on the next 12 bits: magnitude in the low byte, length in the high
// byte; 0 marks an invalid code.
struct MvdLookup {
  uint16_t entry[4096];
  constexpr MvdLookup() : entry() {
    for (int m = 0; m < 33; ++m) {
      const int len = kMvdCodes[m].len;
      const int first = kMvdCodes[m].code << (12 - len);
      for (int i = 0; i < (1 << (12 - len)); ++i)
        entry[first + i] = static_cast<uint16_t>((len << 8) | m);
    }
  }
};
constexpr MvdLookup kMvdLookup;

}  // namespace

int ReadMvd(BitReader* r, int fcode) {
  const uint32_t v = BitstreamShowBits(r, 12);
  const int e = kMvdLookup.entry[v];
  if (e == 0) return kInvalidMvd;
  BitstreamSkipBits(r, e >> 8);
  const int mag = e & 0xFF;
  if (mag == 0) return 0;
  const int sign = BitstreamGetBit(r);
  int mvd = mag;
  if (fcode > 1 && fcode <= 7) {
    const int rbits = fcode - 1;
    mvd = ((mag - 1) << rbits) + static_cast<int>(BitstreamGetBits(r, rbits)) + 1;
  }
  return sign ? -mvd : mvd;
}

static inline int Median(int a, int b, int c) {
  const int mx = a > b ? a : b, mn = a > b ? b : a;
  return c > mx ? mx : (c < mn ? mn : c);
}

DecMv PredictMv(const DecoderInstance* d, const DecMv* entry, int k) {
  const int w4 = 4 * d->mbWidth;
  const int f = d->neighbourFlags;
  const DecMv* cand[3];
  bool ok[3];
  const DecMv* own = entry + k;
  switch (k) {
    case 0:
      cand[0] = own - 3, ok[0] = !(f & NB_LEFT);
      cand[1] = own + 2 - w4, ok[1] = !(f & NB_TOP);
      cand[2] = own + 6 - w4, ok[2] = !(f & NB_TOPRIGHT);
      break;
    case 1:
      cand[0] = own - 1, ok[0] = true;
      cand[1] = own + 2 - w4, ok[1] = !(f & NB_TOP);
      cand[2] = own + 5 - w4, ok[2] = !(f & NB_TOPRIGHT);
      break;
    case 2:
      cand[0] = own - 3, ok[0] = !(f & NB_LEFT);
      cand[1] = own - 2, ok[1] = true;
      cand[2] = own - 1, ok[2] = true;
      break;
    default:
      cand[0] = own - 1, ok[0] = true;
      cand[1] = own - 2, ok[1] = true;
      cand[2] = own - 3, ok[2] = true;
      break;
  }
  const int n = ok[0] + ok[1] + ok[2];
  DecMv p{0, 0};
  if (n == 1) {
    for (int i = 0; i < 3; ++i)
      if (ok[i]) p = *cand[i];
  } else if (n >= 2) {
    int x[3], y[3];
    for (int i = 0; i < 3; ++i) {
      x[i] = ok[i] ? cand[i]->x : 0;
      y[i] = ok[i] ? cand[i]->y : 0;
    }
    p.x = static_cast<int16_t>(Median(x[0], x[1], x[2]));
    p.y = static_cast<int16_t>(Median(y[0], y[1], y[2]));
  }
  return p;
}

bool DecodeMv(BitReader* r, DecMv pred, int fcode, DecMv* out) {
  const int dx = ReadMvd(r, fcode);
  if (dx == kInvalidMvd) return false;
  const int dy = ReadMvd(r, fcode);
  if (dy == kInvalidMvd) return false;
  out->x = static_cast<int16_t>(WrapMv(pred.x + dx, fcode));
  out->y = static_cast<int16_t>(WrapMv(pred.y + dy, fcode));
  return true;
}

int ChromaMv1(int c, int quarterSample, int workaroundFlags) {
  if (quarterSample) {
    if (workaroundFlags & WA_DIVX4_5) return (((c >> 1) | (c & 2)) >> 1) | (c & 1);
    c = c / 2;
  }
  return (c >> 1) | (c & 1);
}

int ChromaMv4(const int c[4], int quarterSample) {
  static const int kRound[16] = {0, 0, 0, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 1, 1};
  int s = 0;
  for (int i = 0; i < 4; ++i) s += quarterSample ? c[i] / 2 : c[i];
  return (s >> 3) + kRound[s & 15];
}

}  // namespace dec
