// Helpers shared by the intra and inter block decoders: pattern words, the
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

// A block's pattern word is the OR of the raster positions of its coded
// coefficients (see Idct.cpp): 0 for the DC alone, bits 3-5 clear for the
// first row alone, bits 0-2 clear for the first column alone.
inline constexpr uint32_t kMismatchMask = 63; // coefficient 63

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

// The escape code and what follows it, decoded from a cache of at least 30
// valid bits (the loop far from the chunk's end refills first): the same as
// EscapeAfterCode without the reader in memory. *bits: the bits taken.
template <int Kind>
__attribute__((always_inline)) inline CoefRead EscapeInCache(uint64_t cache, int* bits)
{
    uint64_t c = cache << kTcoefEscapeLength;
    if (Kind == CODE_H263) {
        // Last, run, 8-bit level.
        const int level = int(int64_t(c << 7) >> 56);
        *bits = kTcoefEscapeLength + 15;
        if (level == 0 || level == -128)
            return CoefRead{-1, 0, 0, 0};
        return CoefRead{0, int((c >> 57) & 63), level, int(c >> 63)};
    }
    if ((c >> 62) != 3) {
        // Modes 1 (0) and 2 (10): a table code with LMAX added to the level
        // or RMAX + 1 to the run.
        const uint32_t* table = Kind == CODE_MPEG4_INTRA ? kIntraTcoef.e : kInterTcoef.e;
        const EscapeLimits& lim = Kind == CODE_MPEG4_INTRA ? kIntraLimits : kInterLimits;
        const int mode2 = int(c >> 63);
        c <<= 1 + mode2;
        const uint32_t e = table[c >> 52];
        const int len = int(e & 63);
        if (e < TCOEF_LEVEL_ONE) {
            // An escape code taken as the reader would, an invalid one not.
            *bits = kTcoefEscapeLength + 1 + mode2 + len;
            return CoefRead{-1, 0, 0, 0};
        }
        int run = int((e >> 8) & 255) - 1;
        int mag = int(e / TCOEF_LEVEL_ONE);
        const int last = int((e / TCOEF_LAST) & 1);
        if (mode2)
            run += lim.rmax[last][mag] + 1;
        else
            mag += lim.lmax[last][run];
        *bits = kTcoefEscapeLength + 1 + mode2 + len + 1;
        return CoefRead{0, run, int((c << len) >> 63) ? -mag : mag, last};
    }
    // Mode 3: last, run, marker, 12-bit level, marker.
    c <<= 2;
    *bits = kTcoefEscapeLength + 2 + 21;
    return CoefRead{0, int((c >> 57) & 63), int(int64_t(c << 8) >> 52), int(c >> 63)};
}

// cache << (e & 63): the x86 shift takes the low six bits of its count by
// itself, so the coefficient loop needs no masking step for it.
__attribute__((always_inline)) inline uint64_t ShiftByEntry(uint64_t cache, uint32_t e)
{
#if defined(__x86_64__)
    __asm__("shlq %%cl, %0" : "+r"(cache) : "c"(e) : "cc");
    return cache;
#else
    return cache << (e & 63);
#endif
}

// Bytes a block's codes can take: 64 coefficients of at most 30 bits (escape
// mode 3), and the eight bytes a refill loads ahead.
constexpr long kBlockCodeBytes = 64 * 30 / 8 + 8 + 8;

// The coefficient loop of the TCOEF table codes with the reader in locals,
// so that it stays in registers; only the tail refill and the escapes see
// it in memory. Far from the chunk's end (Far) every refill loads eight bytes
// without a check and lasts four table codes of at most 13 bits each.
template <int Kind, bool Far, class Dequant>
__attribute__((always_inline)) inline int TableCoefficientLoop(BitReader* r, const uint8_t* scan, int pos,
                                                               int16_t* out, int16_t* levels, uint32_t* pattern,
                                                               Dequant dequant)
{
    const uint32_t* table = Kind == CODE_MPEG4_INTRA ? kIntraTcoef.e : kInterTcoef.e;
    uint64_t cache = r->cache;
    int valid = r->bitsValid;
    const uint8_t* ptr = r->ptr;
    const uint8_t* const end = r->end;
    uint32_t pat = *pattern;
    // Scan position of the last coefficient stored (unsigned: before the first
    // one it is -1 wrapped, and adding run + 1 wraps back).
    uint32_t at = uint32_t(pos - 1);
    // Stores the coefficient `run1` positions on; false past position 63.
    auto store = [&](uint32_t run1, int mag, uint32_t sign) {
        at += run1;
        if (at >= 64)
            return false;
        const int idx = scan[at];
        if (levels)
            levels[idx] = int16_t((uint32_t(mag) ^ sign) - sign);
        // Every dequantiser is odd (f(-l) = -f(l)): the sign goes on after,
        // without a branch on it.
        out[idx] = int16_t((uint32_t(dequant(mag, idx)) ^ sign) - sign);
        // A coefficient that dequantises to zero may set its bits too: the
        // pattern only picks among transforms that give the same result.
        pat |= uint32_t(idx);
        return true;
    };
    // Eight bytes at once: at least 56 bits valid after.
    auto load8 = [&]() {
        uint64_t v;
        __builtin_memcpy(&v, ptr, 8);
        cache |= __builtin_bswap64(v) >> valid;
        ptr += (63 - valid) >> 3;
        valid |= 56; // valid + 8 x the bytes loaded
    };
    int rc;
    for (;;) {
        if (Far || end - ptr >= 8) {
            if (Far || valid <= 24)
                load8();
        } else if (valid <= 24) {
            BitReader t{cache, valid, ptr, r->start, end};
            BitstreamRefillTail(&t);
            cache = t.cache;
            valid = t.bitsValid;
            ptr = t.ptr;
        }
        // The low six bits of `taken` sum the entries' code lengths plus one
        // (the sign bit): the bits the table codes took, at most 52.
        uint32_t taken = 0;
        rc = 1; // 1 more codes, 2 escape next, 0 last stored, -1 invalid
#pragma GCC unroll 4
        for (int k = 0; k < (Far ? 4 : 1); ++k) {
            const uint32_t e = table[cache >> 52];
            if (__builtin_expect(e < TCOEF_LEVEL_ONE, 0)) {
                rc = 2;
                break;
            }
            const uint64_t t = ShiftByEntry(cache, e);
            const uint32_t sign = uint32_t(int64_t(t) >> 63);
            cache = t << 1;
            taken += e + 1;
            const int mag = int(e / TCOEF_LEVEL_ONE);
            if (mag == 0)
                __builtin_unreachable();
            if (!store((e >> 8) & 255, mag, sign)) {
                rc = -1;
                break;
            }
            if (e & TCOEF_LAST) {
                rc = 0;
                break;
            }
        }
        valid -= int(taken & 63);
        if (rc == 2) {
            CoefRead c;
            if (Far) {
                load8();
                int bits = 0;
                c = table[cache >> 52] ? EscapeInCache<Kind>(cache, &bits) : CoefRead{-1, 0, 0, 0};
                cache <<= bits;
                valid -= bits;
            } else {
                BitReader t{cache, valid, ptr, r->start, end};
                c = EscapeAfterCode<Kind>(&t, int(table[cache >> 52] & 63));
                cache = t.cache;
                valid = t.bitsValid;
                ptr = t.ptr;
            }
            if (c.rc != 0 || !store(uint32_t(c.run + 1), c.level < 0 ? -c.level : c.level, c.level < 0 ? ~0u : 0u)) {
                rc = -1;
                break;
            }
            if (c.last) {
                rc = 0;
                break;
            }
        } else if (rc <= 0) {
            break;
        }
    }
    r->cache = cache;
    r->bitsValid = valid;
    r->ptr = ptr;
    *pattern = pat;
    return rc;
}

template <int Kind, class Dequant>
__attribute__((always_inline)) inline int DecodeTableCoefficients(BitReader* r, const uint8_t* scan, int pos,
                                                                  int16_t* out, int16_t* levels,
                                                                  uint32_t* pattern, Dequant dequant)
{
    if (__builtin_expect(r->end - r->ptr >= kBlockCodeBytes, 1))
        return TableCoefficientLoop<Kind, true>(r, scan, pos, out, levels, pattern, dequant);
    return TableCoefficientLoop<Kind, false>(r, scan, pos, out, levels, pattern, dequant);
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
            pat |= uint32_t(idx);
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
