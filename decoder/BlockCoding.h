// Helpers shared by the intra and inter block decoders: pattern masks, the
// two inverse quantisation methods and the coefficient loop.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Clears one 64-coefficient block with vector stores (memset of it became a
// string instruction).
inline void ClearBlock(int16_t* block)
{
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + i), zero);
#else
    std::memset(block, 0, 64 * sizeof(int16_t));
#endif
}

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

// The escape after its code of `len` bits, or -1 for an invalid code
// (len 0); out of line: rare.
template <int Kind>
__attribute__((noinline)) CoefRead EscapeAfterCode(BitReader* r, int len)
{
    if (len == 0)
        return CoefRead{-1, 0, 0, 0};
    BitstreamSkipBits(r, len);
    return Kind == CODE_H263 ? H263Escape(r) : Kind == CODE_MPEG4_INTRA ? Mpeg4Escape<1>(r) : Mpeg4Escape<0>(r);
}

// The coefficient loop of the TCOEF table codes with the reader in locals,
// so that it stays in registers; only the tail refill and the escapes see
// it in memory.
template <int Kind, class Dequant>
inline int DecodeTableCoefficients(BitReader* r, const uint8_t* scan, int pos, int16_t* out,
                                   int16_t* levels, uint32_t* pattern, Dequant dequant)
{
    const uint16_t* table = Kind == CODE_MPEG4_INTRA ? kIntraTcoef.e : kInterTcoef.e;
    uint64_t cache = r->cache;
    int valid = r->bitsValid;
    const uint8_t* ptr = r->ptr;
    const uint8_t* const end = r->end;
    uint32_t pat = *pattern;
    int rc = -1;
    for (;;) {
        if (valid <= 24) {
            if (__builtin_expect(end - ptr >= 8, 1)) {
                uint64_t v;
                __builtin_memcpy(&v, ptr, 8);
                cache |= __builtin_bswap64(v) >> valid;
                const int bytes = (63 - valid) >> 3;
                ptr += bytes;
                valid += 8 * bytes;
            } else {
                BitReader t{cache, valid, ptr, r->start, end};
                BitstreamRefillTail(&t);
                cache = t.cache;
                valid = t.bitsValid;
                ptr = t.ptr;
            }
        }
        const uint32_t e = table[cache >> 52];
        int run, mag, negative, last;
        if (__builtin_expect(e >= 2048, 1)) {
            // Code and sign bit at once: at least 25 bits are loaded.
            const int len = int(e & 15);
            negative = int((cache >> (63 - len)) & 1);
            cache <<= len + 1;
            valid -= len + 1;
            mag = int(e >> 11);
            run = int((e >> 5) & 63);
            last = int((e >> 4) & 1);
        } else {
            BitReader t{cache, valid, ptr, r->start, end};
            const CoefRead c = EscapeAfterCode<Kind>(&t, int(e & 15));
            cache = t.cache;
            valid = t.bitsValid;
            ptr = t.ptr;
            if (c.rc != 0)
                break;
            run = c.run;
            negative = c.level < 0;
            mag = negative ? -c.level : c.level;
            last = c.last;
        }
        pos += run;
        if (pos >= 64)
            break;
        const int idx = scan[pos];
        if (levels)
            levels[idx] = int16_t((mag ^ -negative) + negative);
        // Every dequantiser is odd (f(-l) = -f(l)): the sign goes on after,
        // without a branch on it.
        out[idx] = int16_t((dequant(mag, idx) ^ -negative) + negative);
        // A coefficient that dequantises to zero may set its bits too: the
        // pattern only picks among transforms that give the same result.
        pat |= kCoefMask.m[idx];
        ++pos;
        if (last) {
            rc = 0;
            break;
        }
    }
    r->cache = cache;
    r->bitsValid = valid;
    r->ptr = ptr;
    *pattern = pat;
    return rc;
}

// Reads coefficients from scan position `pos` until last; `dequant(level,
// raster)` gives the stored value. Levels go to `levels` when non-null.
// Returns 0, or -1 on an invalid code or a run past position 63.
template <int Kind, class Dequant>
inline int DecodeCoefficients(BitReader* r, const uint8_t* scan, int pos, int16_t* out,
                              int16_t* levels, uint32_t* pattern, Dequant dequant)
{
    if (Kind == CODE_MPEG4_INTRA || Kind == CODE_MPEG4_INTER || Kind == CODE_H263)
        return DecodeTableCoefficients<Kind>(r, scan, pos, out, levels, pattern, dequant);
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
