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

// TCOEF lookup by the next 12 bits, one 32-bit entry each: bits 0-5 code
// length (0: invalid), bit 6 last, bits 8-15 run + 1, bits 16-31 level; a
// level of 0 with a length is the escape code. The length sits alone in the
// low six bits so that a shift by the entry shifts by the length.
struct TcoefLookup {
    uint32_t e[4096];
};

inline constexpr uint32_t TCOEF_LAST = 64;
inline constexpr uint32_t TCOEF_LEVEL_ONE = 65536;

constexpr TcoefLookup BuildTcoef(const CoefCode (&codes)[102])
{
    TcoefLookup t{};
    for (auto& e : t.e)
        e = 0;
    for (const CoefCode& c : codes) {
        const int shift = 12 - c.length;
        const uint32_t e = uint32_t(c.length) | (c.last ? TCOEF_LAST : 0) | (uint32_t(c.run + 1) << 8) |
                           uint32_t(c.level) * TCOEF_LEVEL_ONE;
        for (int v = c.code << shift; v < (c.code + 1) << shift; ++v)
            t.e[v] = e;
    }
    const int shift = 12 - kTcoefEscapeLength;
    for (int v = kTcoefEscapeCode << shift; v < (kTcoefEscapeCode + 1) << shift; ++v)
        t.e[v] = uint32_t(kTcoefEscapeLength);
    return t;
}

// Every table code fits its entry's fields and the escape limits, and a level is never 0.
constexpr bool FitsTcoefEntry(const CoefCode (&codes)[102])
{
    for (const CoefCode& c : codes)
        if (c.length == 0 || c.length > 12 || c.run > 63 || c.last > 1 || c.level == 0 || c.level > 31)
            return false;
    return kTcoefEscapeLength > 0 && kTcoefEscapeLength <= 12;
}
static_assert(FitsTcoefEntry(kIntraTcoefCodes) && FitsTcoefEntry(kInterTcoefCodes));

inline constexpr TcoefLookup kIntraTcoef = BuildTcoef(kIntraTcoefCodes);
inline constexpr TcoefLookup kInterTcoef = BuildTcoef(kInterTcoefCodes);

// One coefficient: rc 0 read, 1 escape code consumed, -1 invalid.
struct CoefRead {
    int rc;
    int run;
    int level;
    int last;
};

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

// One table code with its sign.
__attribute__((always_inline)) inline CoefRead ReadTableCoef(BitReader* r, const TcoefLookup& t)
{
    BitstreamRefill(r);
    const uint32_t e = t.e[r->cache >> 52];
    const int len = int(e & 63);
    if (__builtin_expect(e < TCOEF_LEVEL_ONE, 0)) {
        if (len == 0)
            return CoefRead{-1, 0, 0, 0};
        BitstreamSkipBits(r, len);
        return CoefRead{1, 0, 0, 0};
    }
    // The sign bit follows the code; at least 25 bits are loaded, so both go at once.
    const int negative = int((r->cache >> (63 - len)) & 1);
    r->cache <<= len + 1;
    r->bitsValid -= len + 1;
    const int mag = int(e / TCOEF_LEVEL_ONE);
    return CoefRead{0, int((e >> 8) & 255) - 1, negative ? -mag : mag, int((e / TCOEF_LAST) & 1)};
}

// The three MPEG-4 escape modes, after the escape code (kept out of line: rare).
template <int Intra>
__attribute__((noinline)) CoefRead Mpeg4Escape(BitReader* r)
{
    const TcoefLookup& t = Intra ? kIntraTcoef : kInterTcoef;
    const EscapeLimits& lim = Intra ? kIntraLimits : kInterLimits;
    const uint32_t mode = BitstreamShowBits(r, 2);
    if (mode < 2) {
        // Mode 1: level offset by LMAX.
        BitstreamSkipBits(r, 1);
        CoefRead c = ReadTableCoef(r, t);
        if (c.rc != 0)
            return CoefRead{-1, 0, 0, 0};
        const int add = lim.lmax[c.last][c.run];
        c.level += c.level < 0 ? -add : add;
        return c;
    }
    BitstreamSkipBits(r, 2);
    if (mode == 2) {
        // Mode 2: run offset by RMAX + 1.
        CoefRead c = ReadTableCoef(r, t);
        if (c.rc != 0)
            return CoefRead{-1, 0, 0, 0};
        const int mag = c.level < 0 ? -c.level : c.level;
        c.run += (mag < 32 ? lim.rmax[c.last][mag] : 0) + 1;
        return c;
    }
    // Mode 3: fixed length.
    CoefRead c{0, 0, 0, 0};
    c.last = BitstreamGetBit(r);
    c.run = int(BitstreamGetBits(r, 6));
    BitstreamSkipBits(r, 1);
    int v = int(BitstreamGetBits(r, 12));
    if (v & 0x800)
        v -= 0x1000;
    c.level = v;
    BitstreamSkipBits(r, 1);
    return c;
}

// The H.263 escape: last, run, 8-bit level.
__attribute__((noinline)) inline CoefRead H263Escape(BitReader* r)
{
    CoefRead c{0, 0, 0, 0};
    c.last = BitstreamGetBit(r);
    c.run = int(BitstreamGetBits(r, 6));
    int v = int(BitstreamGetBits(r, 8));
    if (v & 0x80)
        v -= 0x100;
    if (v == 0 || v == -128)
        return CoefRead{-1, 0, 0, 0};
    c.level = v;
    return c;
}

// Table code or escape. The escape readers get a copy of the reader, so
// the caller's one can stay in registers.
template <int Kind>
__attribute__((always_inline)) inline CoefRead ReadTableOrEscape(BitReader* r)
{
    CoefRead c = ReadTableCoef(r, Kind == 1 ? kIntraTcoef : kInterTcoef);
    if (__builtin_expect(c.rc <= 0, 1))
        return c;
    BitReader t = *r;
    c = Kind == 2 ? H263Escape(&t) : Kind == 1 ? Mpeg4Escape<1>(&t) : Mpeg4Escape<0>(&t);
    *r = t;
    return c;
}

inline int Unpack(const CoefRead& c, int* run, int* level, int* last)
{
    if (c.rc == 0) {
        *run = c.run;
        *level = c.level;
        *last = c.last;
    }
    return c.rc;
}

template <int Intra>
inline int Mpeg4Coef(BitReader* r, int* run, int* level, int* last)
{
    return Unpack(ReadTableOrEscape<Intra>(r), run, level, last);
}

inline int H263Coef(BitReader* r, int* run, int* level, int* last)
{
    return Unpack(ReadTableOrEscape<2>(r), run, level, last);
}

}  // namespace dec
