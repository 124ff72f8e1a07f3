// TCOEF code lookup and the coefficient readers with their escape modes,
// inline so that the block decoders' coefficient loops need no calls.
#pragma once

#include "decoder/DecoderInternal.h"
#include "decoder/VlcTables.h"

namespace dec {

struct VlcEntry {
    int16_t value;
    uint8_t length; // 0: invalid
};

// TCOEF lookup over 12 bits in three ranges: v >= 512 by (v - 512) >> 5,
// 128 <= v < 512 by (v - 128) >> 2, v < 128 by v. Value: run | last << 6 |
// level << 7; 0 invalid, TCOEF_ESCAPE for the escape code.
struct TcoefLookup {
    VlcEntry t1[112];
    VlcEntry t2[96];
    VlcEntry t3[128];
};

constexpr void PutTcoef(TcoefLookup& t, int v, VlcEntry e)
{
    if (v >= 512)
        t.t1[(v - 512) >> 5] = e;
    else if (v >= 128)
        t.t2[(v - 128) >> 2] = e;
    else
        t.t3[v] = e;
}

constexpr TcoefLookup BuildTcoef(const CoefCode (&codes)[102])
{
    TcoefLookup t{};
    for (auto& e : t.t1)
        e = VlcEntry{0, 0};
    for (auto& e : t.t2)
        e = VlcEntry{0, 0};
    for (auto& e : t.t3)
        e = VlcEntry{0, 0};
    for (const CoefCode& c : codes) {
        const int shift = 12 - c.length;
        const VlcEntry e{int16_t(c.run | (c.last << 6) | (c.level << 7)), c.length};
        for (int v = c.code << shift; v < (c.code + 1) << shift; ++v)
            PutTcoef(t, v, e);
    }
    const int shift = 12 - kTcoefEscapeLength;
    for (int v = kTcoefEscapeCode << shift; v < (kTcoefEscapeCode + 1) << shift; ++v)
        PutTcoef(t, v, VlcEntry{TCOEF_ESCAPE, uint8_t(kTcoefEscapeLength)});
    return t;
}

inline constexpr TcoefLookup kIntraTcoef = BuildTcoef(kIntraTcoefCodes);
inline constexpr TcoefLookup kInterTcoef = BuildTcoef(kInterTcoefCodes);

// LMAX (largest level per run) and RMAX (largest run per level) of the
// escape modes, derived from the TCOEF tables.
struct EscapeLimits {
    uint8_t lmax[2][64];
    uint8_t rmax[2][32];
};

constexpr EscapeLimits BuildLimits(const CoefCode (&codes)[102])
{
    EscapeLimits l{};
    for (const CoefCode& c : codes) {
        if (c.level > l.lmax[c.last][c.run])
            l.lmax[c.last][c.run] = c.level;
        if (c.run > l.rmax[c.last][c.level])
            l.rmax[c.last][c.level] = c.run;
    }
    return l;
}

inline constexpr EscapeLimits kIntraLimits = BuildLimits(kIntraTcoefCodes);
inline constexpr EscapeLimits kInterLimits = BuildLimits(kInterTcoefCodes);

inline VlcEntry LookupTcoef(const TcoefLookup& t, uint32_t v)
{
    if (v >= 512)
        return t.t1[(v - 512) >> 5];
    if (v >= 128)
        return t.t2[(v - 128) >> 2];
    return t.t3[v];
}

// One table code with its sign; 1 escape, 0 coefficient, -1 invalid.
__attribute__((always_inline)) inline int ReadTableCoef(BitReader* r, const TcoefLookup& t, int* run, int* level, int* last)
{
    BitstreamRefill(r);
    const VlcEntry e = LookupTcoef(t, r->cache >> 20);
    if (e.value == 0)
        return -1;
    if (e.value == TCOEF_ESCAPE) {
        BitstreamSkipBits(r, e.length);
        return 1;
    }
    // The sign bit follows the code; at least 25 bits are loaded, so both go at once.
    const int negative = int((r->cache >> (31 - e.length)) & 1);
    r->cache <<= e.length + 1;
    r->bitsValid -= e.length + 1;
    *run = e.value & 63;
    *last = (e.value >> 6) & 1;
    const int mag = e.value >> 7;
    *level = negative ? -mag : mag;
    return 0;
}

// The three MPEG-4 escape modes, after the escape code (kept out of line: rare).
template <int Intra>
__attribute__((noinline)) int Mpeg4Escape(BitReader* r, int* run, int* level, int* last)
{
    const TcoefLookup& t = Intra ? kIntraTcoef : kInterTcoef;
    const EscapeLimits& lim = Intra ? kIntraLimits : kInterLimits;
    const uint32_t mode = BitstreamShowBits(r, 2);
    if (mode < 2) {
        // Mode 1: level offset by LMAX.
        BitstreamSkipBits(r, 1);
        if (ReadTableCoef(r, t, run, level, last) != 0)
            return -1;
        const int add = lim.lmax[*last][*run];
        *level += *level < 0 ? -add : add;
        return 0;
    }
    BitstreamSkipBits(r, 2);
    if (mode == 2) {
        // Mode 2: run offset by RMAX + 1.
        if (ReadTableCoef(r, t, run, level, last) != 0)
            return -1;
        const int mag = *level < 0 ? -*level : *level;
        *run += (mag < 32 ? lim.rmax[*last][mag] : 0) + 1;
        return 0;
    }
    // Mode 3: fixed length.
    *last = BitstreamGetBit(r);
    *run = int(BitstreamGetBits(r, 6));
    BitstreamSkipBits(r, 1);
    int v = int(BitstreamGetBits(r, 12));
    if (v & 0x800)
        v -= 0x1000;
    *level = v;
    BitstreamSkipBits(r, 1);
    return 0;
}

template <int Intra>
__attribute__((always_inline)) inline int Mpeg4Coef(BitReader* r, int* run, int* level, int* last)
{
    const int rc = ReadTableCoef(r, Intra ? kIntraTcoef : kInterTcoef, run, level, last);
    if (__builtin_expect(rc <= 0, 1))
        return rc;
    return Mpeg4Escape<Intra>(r, run, level, last);
}

// The H.263 escape: last, run, 8-bit level.
__attribute__((noinline)) inline int H263Escape(BitReader* r, int* run, int* level, int* last)
{
    *last = BitstreamGetBit(r);
    *run = int(BitstreamGetBits(r, 6));
    int v = int(BitstreamGetBits(r, 8));
    if (v & 0x80)
        v -= 0x100;
    if (v == 0 || v == -128)
        return -1;
    *level = v;
    return 0;
}

__attribute__((always_inline)) inline int H263Coef(BitReader* r, int* run, int* level, int* last)
{
    const int rc = ReadTableCoef(r, kInterTcoef, run, level, last);
    if (__builtin_expect(rc <= 0, 1))
        return rc;
    return H263Escape(r, run, level, last);
}

}  // namespace dec
