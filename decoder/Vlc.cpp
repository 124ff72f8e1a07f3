// Variable-length code readers: macroblock header codes, intra DC sizes and
// the TCOEF / RVLC coefficient codes with their escape modes.
#include "decoder/DecoderInternal.h"
#include "decoder/CoefVlc.h"
#include "decoder/VlcTables.h"

namespace dec {
namespace {

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
// dct_dc_size: codes with a 1 among their first three bits by those bits;
// the longer ones are counted by their leading zeros.
template <int N, size_t C>
constexpr DirectLookup<N> BuildDirectShort(const ValueCode (&codes)[C])
{
    DirectLookup<N> t{};
    for (int i = 0; i < (1 << N); ++i)
        t.e[i] = VlcEntry{-1, 0};
    for (size_t k = 0; k < C; ++k) {
        if (codes[k].length > N)
            continue;
        const int shift = N - codes[k].length;
        for (int v = codes[k].code << shift; v < (codes[k].code + 1) << shift; ++v)
            t.e[v] = VlcEntry{codes[k].value, codes[k].length};
    }
    return t;
}

constexpr auto kDcSizeLumShort = BuildDirectShort<3>(kDcSizeLumCodes);
constexpr auto kDcSizeChromShort = BuildDirectShort<3>(kDcSizeChromCodes);

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
    // Longest codes: 11 bits (luma, size 12) and 12 bits (chroma, size 12).
    const int bits = chroma ? 12 : 11;
    const uint32_t v = BitstreamShowBits(r, bits);
    int size;
    if (v >> (bits - 3)) {
        const VlcEntry e = (chroma ? kDcSizeChromShort : kDcSizeLumShort).e[v >> (bits - 3)];
        BitstreamSkipBits(r, e.length);
        size = e.value;
    } else {
        if (v == 0)
            return 32768;
        const int zeros = __builtin_clz(v) - (32 - bits);
        if (!chroma && zeros == 8)
            return 32768; // the luminance prefix 000000001 is refused
        BitstreamSkipBits(r, zeros + 1);
        size = chroma ? zeros + 1 : zeros + 2;
    }
    if (size == 0)
        return 0;
    int diff = int(BitstreamGetBits(r, size));
    if (!(diff >> (size - 1)))
        diff -= (1 << size) - 1;
    if (size > 8)
        BitstreamSkipBits(r, 1);
    return diff;
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
    return intra ? Mpeg4Coef<1>(r, run, level, last) : Mpeg4Coef<0>(r, run, level, last);
}

int ReadH263Coef(BitReader* r, int* run, int* level, int* last)
{
    return H263Coef(r, run, level, last);
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
