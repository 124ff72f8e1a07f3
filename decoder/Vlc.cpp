// Variable-length code readers: macroblock header codes, intra DC sizes and
// the TCOEF / RVLC coefficient codes with their escape modes.
#include "decoder/DecoderInternal.h"
#include "decoder/VlcTables.h"

namespace dec {
namespace {

struct VlcEntry {
    int16_t value;
    uint8_t length; // 0: invalid
};

// A direct lookup over the next N bits, built from {code, length} data.
template <int N>
struct DirectLookup {
    VlcEntry e[1 << N];
};

template <int N, size_t C>
constexpr DirectLookup<N> BuildDirect(const ValueCode (&codes)[C])
{
    DirectLookup<N> t{};
    for (int i = 0; i < (1 << N); ++i)
        t.e[i] = VlcEntry{-1, 0};
    for (size_t k = 0; k < C; ++k) {
        const int shift = N - codes[k].length;
        const int lo = codes[k].code << shift;
        const int hi = (codes[k].code + 1) << shift;
        for (int v = lo; v < hi; ++v)
            t.e[v] = VlcEntry{codes[k].value, codes[k].length};
    }
    return t;
}

constexpr auto kMcbpcIntra = BuildDirect<9>(kMcbpcIntraCodes);
constexpr auto kMcbpcInter = BuildDirect<9>(kMcbpcInterCodes);
constexpr auto kCbpy = BuildDirect<6>(kCbpyCodes);
constexpr auto kBMbType = BuildDirect<4>(kBMbTypeCodes);
constexpr auto kDcSizeLum = BuildDirect<11>(kDcSizeLumCodes);
constexpr auto kDcSizeChrom = BuildDirect<12>(kDcSizeChromCodes);

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

constexpr TcoefLookup kIntraTcoef = BuildTcoef(kIntraTcoefCodes);
constexpr TcoefLookup kInterTcoef = BuildTcoef(kInterTcoefCodes);

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

constexpr EscapeLimits kIntraLimits = BuildLimits(kIntraTcoefCodes);
constexpr EscapeLimits kInterLimits = BuildLimits(kInterTcoefCodes);

// RVLC codes whose value is below 32 by value; longer ones are searched.
struct RvlcShort {
    int16_t index[32]; // into the code list, -1 none
};

constexpr RvlcShort BuildRvlcShort(const CoefCode (&codes)[169])
{
    RvlcShort s{};
    for (auto& i : s.index)
        i = -1;
    for (int k = 0; k < 169; ++k)
        if (codes[k].code < 32)
            s.index[codes[k].code] = int16_t(k);
    return s;
}

constexpr RvlcShort kIntraRvlcShort = BuildRvlcShort(kIntraRvlcCodes);
constexpr RvlcShort kInterRvlcShort = BuildRvlcShort(kInterRvlcCodes);

inline VlcEntry LookupTcoef(const TcoefLookup& t, uint32_t v)
{
    if (v >= 512)
        return t.t1[(v - 512) >> 5];
    if (v >= 128)
        return t.t2[(v - 128) >> 2];
    return t.t3[v];
}

// One table code with its sign; 1 escape, 0 coefficient, -1 invalid.
inline int ReadTableCoef(BitReader* r, const TcoefLookup& t, int* run, int* level, int* last)
{
    const VlcEntry e = LookupTcoef(t, BitstreamShowBits(r, 12));
    if (e.value == 0)
        return -1;
    BitstreamSkipBits(r, e.length);
    if (e.value == TCOEF_ESCAPE)
        return 1;
    *run = e.value & 63;
    *last = (e.value >> 6) & 1;
    const int mag = e.value >> 7;
    *level = BitstreamGetBit(r) ? -mag : mag;
    return 0;
}

int ReadRvlcCoef(BitReader* r, const CoefCode (&codes)[169], const RvlcShort& shortCodes,
                 int* run, int* level, int* last)
{
    const uint32_t bits = BitstreamShowBits(r, 15);
    // Length from the code's structure: 1 .. next 1 (+1 bit), or 0 .. second 0 (+1 bit).
    int length = 0;
    if (bits & 0x4000) {
        for (int i = 1; i < 15; ++i)
            if (bits & (0x4000u >> i)) {
                length = i + 2;
                break;
            }
    } else {
        int zeros = 0;
        for (int i = 1; i < 15; ++i)
            if (!(bits & (0x4000u >> i)) && ++zeros == 2) {
                length = i + 2;
                break;
            }
    }
    if (length == 0 || length > 15) {
        BitstreamSkipBits(r, 1);
        return -1;
    }
    const uint32_t k = bits >> (15 - length);
    BitstreamSkipBits(r, length);
    if (k == 0) {
        // Escape: 1 bit, last, run (6), marker, level (11), marker, 5 bits with the sign.
        BitstreamSkipBits(r, 1);
        *last = BitstreamGetBit(r);
        *run = int(BitstreamGetBits(r, 6));
        BitstreamSkipBits(r, 1);
        const int mag = int(BitstreamGetBits(r, 11));
        BitstreamSkipBits(r, 1);
        *level = BitstreamGetBits(r, 5) ? -mag : mag;
        return 0;
    }
    int index = -1;
    if (k < 32) {
        index = shortCodes.index[k];
        if (index >= 0 && codes[index].length != length)
            index = -1;
    } else {
        for (int i = 0; i < 169; ++i)
            if (codes[i].code == k && codes[i].length == length) {
                index = i;
                break;
            }
    }
    if (index < 0) {
        BitstreamSkipBits(r, 1);
        return -1;
    }
    *run = codes[index].run;
    *last = codes[index].last;
    const int mag = codes[index].level;
    *level = BitstreamGetBit(r) ? -mag : mag;
    return 0;
}

}  // namespace

int ReadMcbpcIntra(BitReader* r)
{
    const VlcEntry e = kMcbpcIntra.e[BitstreamShowBits(r, 9)];
    if (e.length == 0)
        return -1;
    BitstreamSkipBits(r, e.length);
    return e.value;
}

int ReadMcbpcInter(BitReader* r)
{
    const VlcEntry e = kMcbpcInter.e[BitstreamShowBits(r, 9)];
    if (e.length == 0)
        return -1;
    BitstreamSkipBits(r, e.length);
    return e.value;
}

int ReadCbpy(BitReader* r)
{
    const VlcEntry e = kCbpy.e[BitstreamShowBits(r, 6)];
    if (e.length == 0)
        return -1;
    BitstreamSkipBits(r, e.length);
    return 15 - e.value;
}

int ReadBMbType(BitReader* r)
{
    const VlcEntry e = kBMbType.e[BitstreamShowBits(r, 4)];
    if (e.length == 0)
        return -1;
    BitstreamSkipBits(r, e.length);
    return e.value;
}

int ReadDquant(BitReader* r)
{
    static constexpr int8_t kDquant[4] = {-1, -2, 1, 2};
    return kDquant[BitstreamGetBits(r, 2)];
}

int ReadIntraDc(BitReader* r, int chroma)
{
    const VlcEntry e = chroma ? kDcSizeChrom.e[BitstreamShowBits(r, 12)]
                              : kDcSizeLum.e[BitstreamShowBits(r, 11)];
    if (e.length == 0)
        return 32768;
    BitstreamSkipBits(r, e.length);
    const int size = e.value;
    if (size == 0)
        return 0;
    int v = int(BitstreamGetBits(r, size));
    if (!(v >> (size - 1)))
        v -= (1 << size) - 1;
    if (size > 8)
        BitstreamSkipBits(r, 1);
    return v;
}

int CheckResyncMarker(BitReader* r)
{
    BitstreamRefill(r);
    int k = r->bitsValid & 7;
    if (k == 0)
        k = 8;
    const uint32_t v = BitstreamShowBits(r, k + 16);
    const uint32_t expect = ((1u << (k - 1)) - 1) << 16;
    return v == expect ? 1 : 0;
}

int ReadMpeg4Coef(BitReader* r, int intra, int* run, int* level, int* last)
{
    const TcoefLookup& t = intra ? kIntraTcoef : kInterTcoef;
    int rc = ReadTableCoef(r, t, run, level, last);
    if (rc <= 0)
        return rc;
    const EscapeLimits& lim = intra ? kIntraLimits : kInterLimits;
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

int ReadH263Coef(BitReader* r, int* run, int* level, int* last)
{
    int rc = ReadTableCoef(r, kInterTcoef, run, level, last);
    if (rc <= 0)
        return rc;
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

int ReadRvlcIntraCoef(BitReader* r, int* run, int* level, int* last)
{
    return ReadRvlcCoef(r, kIntraRvlcCodes, kIntraRvlcShort, run, level, last);
}

int ReadRvlcInterCoef(BitReader* r, int* run, int* level, int* last)
{
    return ReadRvlcCoef(r, kInterRvlcCodes, kInterRvlcShort, run, level, last);
}

}  // namespace dec
