// Helpers shared by the intra and inter block decoders: pattern masks, the
// two inverse quantisation methods and the coefficient loop.
#pragma once

#include <cstdint>
#include <cstring>

#include "decoder/CoefVlc.h"
#include "decoder/DecoderInternal.h"

namespace dec {

// Pattern mask of the coefficient at raster position p (see Idct.cpp).
constexpr uint32_t CoefMask(int p)
{
    const int r = p >> 3;
    const int c = p & 7;
    const uint32_t rowBits = r == 0 ? 0u : (r <= 2 ? 1u : 3u);
    const uint32_t colBits = c == 0 ? 0u : (c <= 2 ? 1u : 3u);
    return (rowBits << (2 * c)) | (colBits << 16);
}

struct CoefMaskTable {
    uint32_t m[64];
};

constexpr CoefMaskTable BuildMasks()
{
    CoefMaskTable t{};
    for (int p = 0; p < 64; ++p)
        t.m[p] = CoefMask(p);
    return t;
}

inline constexpr CoefMaskTable kCoefMask = BuildMasks();
inline constexpr uint32_t kMismatchMask = 0x3C000;

// First method (H.263 quantisation).
inline int DequantH263(int level, int qp)
{
    if (level == 0)
        return 0;
    const int add = (qp - 1) | 1;
    return level > 0 ? 2 * qp * level + add : 2 * qp * level - add;
}

// Second method, intra AC.
inline int DequantMpegIntra(int level, int qp, int weight)
{
    const int mag = level < 0 ? -level : level;
    const int v = (mag * weight * 2 * qp) >> 4;
    return level < 0 ? -v : v;
}

// Second method, inter.
inline int DequantMpegInter(int level, int qp, int weight)
{
    if (level == 0)
        return 0;
    const int mag = level < 0 ? -level : level;
    const int v = ((2 * mag + 1) * weight * qp) >> 4;
    return level < 0 ? -v : v;
}

// Toggles the lowest bit of coefficient 63 when the sum is even.
inline void MismatchControl(int16_t* block, uint32_t* pattern)
{
    int sum = 0;
    for (int i = 0; i < 64; ++i)
        sum += block[i];
    if ((sum & 1) == 0)
        block[63] = int16_t(block[63] ^ 1);
    if (block[63] != 0)
        *pattern |= kMismatchMask;
}

enum CoefCodeKind { CODE_MPEG4_INTRA, CODE_MPEG4_INTER, CODE_H263, CODE_RVLC_INTRA, CODE_RVLC_INTER };

template <int Kind>
__attribute__((always_inline)) inline CoefRead ReadCoef(BitReader* r)
{
    if (Kind == CODE_MPEG4_INTRA)
        return ReadTableOrEscape<1>(r);
    if (Kind == CODE_MPEG4_INTER)
        return ReadTableOrEscape<0>(r);
    if (Kind == CODE_H263)
        return ReadTableOrEscape<2>(r);
    CoefRead c{0, 0, 0, 0};
    c.rc = Kind == CODE_RVLC_INTRA ? ReadRvlcIntraCoef(r, &c.run, &c.level, &c.last)
                                   : ReadRvlcInterCoef(r, &c.run, &c.level, &c.last);
    return c;
}

// Reads coefficients from scan position `pos` until last; `dequant(level,
// raster)` gives the stored value. Levels go to `levels` when non-null.
// Returns 0, or -1 on an invalid code or a run past position 63.
template <int Kind, class Dequant>
inline int DecodeCoefficients(BitReader* r, const uint8_t* scan, int pos, int16_t* out,
                              int16_t* levels, uint32_t* pattern, Dequant dequant)
{
    // The reader lives in locals for the loop and is written back at the end.
    BitReader br = *r;
    uint32_t pat = *pattern;
    int rc = -1;
    for (;;) {
        const CoefRead c = ReadCoef<Kind>(&br);
        if (c.rc != 0)
            break;
        const int level = c.level;
        pos += c.run;
        if (pos >= 64)
            break;
        const int idx = scan[pos];
        if (levels)
            levels[idx] = int16_t(level);
        const int v = dequant(level, idx);
        out[idx] = int16_t(v);
        if (v)
            pat |= kCoefMask.m[idx];
        ++pos;
        if (c.last) {
            rc = 0;
            break;
        }
    }
    *r = br;
    *pattern = pat;
    return rc;
}

}  // namespace dec
