// Separable integer inverse DCT (Chen-Wang factorisation of the MPEG-2
// reference decoder), vertical pass first. The pattern word built by the
// block decoders selects shortcuts that give exactly the full results.
#include <cstring>

#include "decoder/DecoderInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace dec {
namespace {

constexpr int W1 = 2841; // 2048 sqrt(2) cos(pi/16)
constexpr int W2 = 2676;
constexpr int W3 = 2408;
constexpr int W5 = 1609;
constexpr int W6 = 1108;
constexpr int W7 = 565;

// (181 v + 128) >> 8, in 64 bits: damaged coefficients may reach any 16-bit value.
inline int Mul181(int v)
{
    return int((int64_t(v) * 181 + 128) >> 8);
}

// First pass on column c: the reference row formula (results >> 8).
inline void ColumnFull(int16_t* b)
{
    int x0 = b[0] * 2048 + 128;
    int x1 = b[32] * 2048;
    int x2 = b[48];
    int x3 = b[16];
    int x4 = b[8];
    int x5 = b[56];
    int x6 = b[40];
    int x7 = b[24];
    int x8 = W7 * (x4 + x5);
    x4 = x8 + (W1 - W7) * x4;
    x5 = x8 - (W1 + W7) * x5;
    x8 = W3 * (x6 + x7);
    x6 = x8 - (W3 - W5) * x6;
    x7 = x8 - (W3 + W5) * x7;
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2);
    x2 = x1 - (W2 + W6) * x2;
    x3 = x1 + (W2 - W6) * x3;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = Mul181(x4 + x5);
    x4 = Mul181(x4 - x5);
    b[0] = int16_t((x7 + x1) >> 8);
    b[8] = int16_t((x3 + x2) >> 8);
    b[16] = int16_t((x0 + x4) >> 8);
    b[24] = int16_t((x8 + x6) >> 8);
    b[32] = int16_t((x8 - x6) >> 8);
    b[40] = int16_t((x0 - x4) >> 8);
    b[48] = int16_t((x3 - x2) >> 8);
    b[56] = int16_t((x7 - x1) >> 8);
}

// ColumnFull on all eight columns at once (the loop vectorises across columns).
inline void ColumnsFullAll(int16_t* b)
{
    for (int c = 0; c < 8; ++c)
        ColumnFull(b + c);
}

// Second pass on one row: the reference column formula (results >> 14).
inline void RowFull(int16_t* b)
{
    int x0 = b[0] * 256 + 8192;
    int x1 = b[4] * 256;
    int x2 = b[6];
    int x3 = b[2];
    int x4 = b[1];
    int x5 = b[7];
    int x6 = b[5];
    int x7 = b[3];
    int x8 = W7 * (x4 + x5) + 4;
    x4 = (x8 + (W1 - W7) * x4) >> 3;
    x5 = (x8 - (W1 + W7) * x5) >> 3;
    x8 = W3 * (x6 + x7) + 4;
    x6 = (x8 - (W3 - W5) * x6) >> 3;
    x7 = (x8 - (W3 + W5) * x7) >> 3;
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + 4;
    x2 = (x1 - (W2 + W6) * x2) >> 3;
    x3 = (x1 + (W2 - W6) * x3) >> 3;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = Mul181(x4 + x5);
    x4 = Mul181(x4 - x5);
    b[0] = int16_t((x7 + x1) >> 14);
    b[1] = int16_t((x3 + x2) >> 14);
    b[2] = int16_t((x0 + x4) >> 14);
    b[3] = int16_t((x8 + x6) >> 14);
    b[4] = int16_t((x8 - x6) >> 14);
    b[5] = int16_t((x0 - x4) >> 14);
    b[6] = int16_t((x3 - x2) >> 14);
    b[7] = int16_t((x7 - x1) >> 14);
}

#if defined(__SSE2__)
// The full transform on eight columns at once, 32-bit lanes. Every product
// of the reference is a sum of two 16-bit inputs times constants, so pmaddwd
// on interleaved pairs gives it exactly.
__attribute__((always_inline)) inline __m128i Pair(int a, int b)
{
    return _mm_set1_epi32(int((uint32_t(uint16_t(int16_t(b))) << 16) | uint16_t(int16_t(a))));
}

// Mul181 in 32 bits: v = 256 h + l gives 181 h + ((181 l + 128) >> 8).
__attribute__((always_inline)) inline __m128i Mul181x4(__m128i v)
{
    const __m128i h = _mm_srai_epi32(v, 8);
    const __m128i l = _mm_and_si128(v, _mm_set1_epi32(255));
    const __m128i h181 = _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(h, 7), _mm_slli_epi32(h, 5)),
                                       _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(h, 4), _mm_slli_epi32(h, 2)), h));
    const __m128i l181 = _mm_mullo_epi16(l, _mm_set1_epi32(181));
    return _mm_add_epi32(h181, _mm_srli_epi32(_mm_add_epi32(l181, _mm_set1_epi32(128)), 8));
}

// Keeps the low 16 bits of each lane, as the scalar int16_t stores do.
__attribute__((always_inline)) inline __m128i Pack16(__m128i lo, __m128i hi)
{
    lo = _mm_srai_epi32(_mm_slli_epi32(lo, 16), 16);
    hi = _mm_srai_epi32(_mm_slli_epi32(hi, 16), 16);
    return _mm_packs_epi32(lo, hi);
}

// One pass over 8 vectors v[0..7] (input index k = frequency), results to
// out[0..7]. Column pass: Second = 0; row pass: Second = 1.
template <int Second, bool High>
__attribute__((always_inline)) inline void PassHalf(const __m128i* v, __m128i* out)
{
    auto il = [](__m128i a, __m128i b) { return High ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b); };
    const __m128i p04 = il(v[0], v[4]);
    const __m128i p17 = il(v[1], v[7]);
    const __m128i p53 = il(v[5], v[3]);
    const __m128i p26 = il(v[2], v[6]);
    const int dcScale = Second ? 256 : 2048;
    const __m128i round = _mm_set1_epi32(Second ? 8192 : 128);
    // x0 + x1 and x0 - x1 of the even part.
    __m128i x8 = _mm_add_epi32(_mm_madd_epi16(p04, Pair(dcScale, dcScale)), round);
    __m128i x0 = _mm_add_epi32(_mm_madd_epi16(p04, Pair(dcScale, -dcScale)), round);
    __m128i x4 = _mm_madd_epi16(p17, Pair(W1, W7));
    __m128i x5 = _mm_madd_epi16(p17, Pair(W7, -W1));
    __m128i x6 = _mm_madd_epi16(p53, Pair(W5, W3));
    __m128i x7 = _mm_madd_epi16(p53, Pair(W3, -W5));
    __m128i x3 = _mm_madd_epi16(p26, Pair(W2, W6));
    __m128i x2 = _mm_madd_epi16(p26, Pair(W6, -W2));
    if (Second) {
        const __m128i four = _mm_set1_epi32(4);
        x4 = _mm_srai_epi32(_mm_add_epi32(x4, four), 3);
        x5 = _mm_srai_epi32(_mm_add_epi32(x5, four), 3);
        x6 = _mm_srai_epi32(_mm_add_epi32(x6, four), 3);
        x7 = _mm_srai_epi32(_mm_add_epi32(x7, four), 3);
        x3 = _mm_srai_epi32(_mm_add_epi32(x3, four), 3);
        x2 = _mm_srai_epi32(_mm_add_epi32(x2, four), 3);
    }
    __m128i x1 = _mm_add_epi32(x4, x6);
    x4 = _mm_sub_epi32(x4, x6);
    x6 = _mm_add_epi32(x5, x7);
    x5 = _mm_sub_epi32(x5, x7);
    x7 = _mm_add_epi32(x8, x3);
    x8 = _mm_sub_epi32(x8, x3);
    x3 = _mm_add_epi32(x0, x2);
    x0 = _mm_sub_epi32(x0, x2);
    x2 = Mul181x4(_mm_add_epi32(x4, x5));
    x4 = Mul181x4(_mm_sub_epi32(x4, x5));
    const int sh = Second ? 14 : 8;
    out[0] = _mm_srai_epi32(_mm_add_epi32(x7, x1), sh);
    out[1] = _mm_srai_epi32(_mm_add_epi32(x3, x2), sh);
    out[2] = _mm_srai_epi32(_mm_add_epi32(x0, x4), sh);
    out[3] = _mm_srai_epi32(_mm_add_epi32(x8, x6), sh);
    out[4] = _mm_srai_epi32(_mm_sub_epi32(x8, x6), sh);
    out[5] = _mm_srai_epi32(_mm_sub_epi32(x0, x4), sh);
    out[6] = _mm_srai_epi32(_mm_sub_epi32(x3, x2), sh);
    out[7] = _mm_srai_epi32(_mm_sub_epi32(x7, x1), sh);
}

template <int Second>
__attribute__((always_inline)) inline void Pass(__m128i* v)
{
    __m128i lo[8], hi[8];
    PassHalf<Second, false>(v, lo);
    PassHalf<Second, true>(v, hi);
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k)
        v[k] = Pack16(lo[k], hi[k]);
}

__attribute__((always_inline)) inline void Transpose(__m128i* v)
{
    const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
    const __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
    const __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
    v[4] = _mm_unpacklo_epi64(b2, b6);
    v[5] = _mm_unpackhi_epi64(b2, b6);
    v[6] = _mm_unpacklo_epi64(b3, b7);
    v[7] = _mm_unpackhi_epi64(b3, b7);
}

// The full transform with its results left in v[0..7] (rows).
__attribute__((always_inline)) inline void IdctFullRegs(const int16_t* coef, __m128i* v)
{
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k)
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * k));
    Pass<0>(v);
    Transpose(v);
    Pass<1>(v);
    Transpose(v);
}

void IdctFullSse2(int16_t* coef)
{
    __m128i v[8];
    IdctFullRegs(coef, v);
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 8 * k), v[k]);
}

#endif

// Blocks coded in the first row alone (the DC alone among them), in the first
// column alone, and the others (the pattern word is the OR of the coded
// coefficients' raster positions).
inline bool FirstRowOnly(uint32_t pattern)
{
    return (pattern & 0x38) == 0;
}

inline bool FirstColumnOnly(uint32_t pattern)
{
    return (pattern & 7) == 0;
}

inline bool TakesFullTransform(uint32_t pattern)
{
    return !FirstRowOnly(pattern) && !FirstColumnOnly(pattern);
}

inline uint8_t Clip255(int v)
{
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void IdctTransform(int16_t* coef, uint32_t pattern)
{
    // Eight lanes at once beat scalar shortcuts but for blocks whose
    // coefficients all lie in the first row or the first column.
    if (FirstRowOnly(pattern)) {
        // The vertical pass scales the first row by 8 into every row.
        int16_t row[8];
        for (int c = 0; c < 8; ++c)
            row[c] = int16_t(coef[c] * 8);
        RowFull(row);
#if defined(__SSE2__)
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
        for (int r = 0; r < 8; ++r)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 8 * r), v);
#else
        for (int r = 0; r < 8; ++r)
            std::memcpy(coef + 8 * r, row, sizeof row);
#endif
        return;
    }
    if (FirstColumnOnly(pattern)) {
        // Each row is its first sample, scaled.
        ColumnFull(coef);
        for (int r = 0; r < 8; ++r) {
            const int16_t v = int16_t((coef[8 * r] + 32) >> 6);
#if defined(__SSE2__)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 8 * r), _mm_set1_epi16(v));
#else
            for (int c = 0; c < 8; ++c)
                coef[8 * r + c] = v;
#endif
        }
        return;
    }
#if defined(__SSE2__)
    IdctFullSse2(coef);
#else
    ColumnsFullAll(coef);
    for (int r = 0; r < 8; ++r)
        RowFull(coef + 8 * r);
#endif
}

void IdctPut(uint8_t* dst, int16_t* coef, int dstPitch, uint32_t pattern)
{
    if (pattern == 0) {
        const uint8_t v = Clip255((coef[0] + 4) >> 3);
        for (int r = 0; r < 8; ++r, dst += dstPitch)
            std::memset(dst, v, 8);
        return;
    }
#if defined(__SSE2__)
    if (TakesFullTransform(pattern)) {
        // Straight from the registers; the coefficients are not needed again.
        __m128i v[8];
        IdctFullRegs(coef, v);
        for (int r = 0; r < 8; r += 2, dst += 2 * dstPitch) {
            const __m128i p = _mm_packus_epi16(v[r], v[r + 1]);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), p);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + dstPitch), _mm_srli_si128(p, 8));
        }
        return;
    }
#endif
    IdctTransform(coef, pattern);
#if defined(__SSE2__)
    // Saturating pack: exactly the clip to 0..255.
    for (int r = 0; r < 8; r += 2, dst += 2 * dstPitch) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * r));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * r + 8));
        const __m128i p = _mm_packus_epi16(a, b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), p);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + dstPitch), _mm_srli_si128(p, 8));
    }
#else
    for (int r = 0; r < 8; ++r, dst += dstPitch) {
        const int16_t* s = coef + 8 * r;
        for (int c = 0; c < 8; ++c)
            dst[c] = Clip255(s[c]);
    }
#endif
}

void IdctAdd(uint8_t* dst, const uint8_t* pred, int16_t* coef, int dstPitch, int predPitch,
             uint32_t pattern)
{
#if defined(__SSE2__)
    // Saturating 16-bit add, then saturating pack: the same as clipping the sum.
    const __m128i zero = _mm_setzero_si128();
    if (pattern == 0) {
        // -4096..4095 plus 0..255 never saturates the 16-bit add.
        const __m128i v = _mm_set1_epi16(int16_t((coef[0] + 4) >> 3));
        for (int r = 0; r < 8; ++r, dst += dstPitch, pred += predPitch) {
            const __m128i p = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pred)), zero);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(_mm_adds_epi16(p, v), zero));
        }
        return;
    }
    if (TakesFullTransform(pattern)) {
        __m128i v[8];
        IdctFullRegs(coef, v);
        for (int r = 0; r < 8; ++r, dst += dstPitch, pred += predPitch) {
            const __m128i p = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pred)), zero);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(_mm_adds_epi16(p, v[r]), zero));
        }
        return;
    }
#else
    if (pattern == 0) {
        const int v = (coef[0] + 4) >> 3;
        for (int r = 0; r < 8; ++r, dst += dstPitch, pred += predPitch)
            for (int c = 0; c < 8; ++c)
                dst[c] = Clip255(pred[c] + v);
        return;
    }
#endif
    IdctTransform(coef, pattern);
#if defined(__SSE2__)
    for (int r = 0; r < 8; ++r, dst += dstPitch, pred += predPitch) {
        const __m128i p = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(pred)), zero);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * r));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(_mm_adds_epi16(p, v), zero));
    }
#else
    for (int r = 0; r < 8; ++r, dst += dstPitch, pred += predPitch) {
        const int16_t* s = coef + 8 * r;
        for (int c = 0; c < 8; ++c)
            dst[c] = Clip255(pred[c] + s[c]);
    }
#endif
}

}  // namespace dec
