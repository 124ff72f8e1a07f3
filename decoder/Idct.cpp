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

// Mul181 in 32 bits: v = 65536 h + l with l from -32768 to 32767 gives
// 181 * 256 h + ((181 l + 128) >> 8); pmaddwd by (181, 0) takes l alone.
__attribute__((always_inline)) inline __m128i Mul181x4(__m128i v)
{
    const __m128i c181 = _mm_set1_epi32(181);
    const __m128i l = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(v, c181), _mm_set1_epi32(128)), 8);
    const __m128i h = _mm_srai_epi32(_mm_add_epi32(v, _mm_set1_epi32(32768)), 16);
    return _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(h, c181), 8), l);
}

// Floor and remainder of 181 c / 256: (181 (a x + b y) + 128) >> 8 is
// Q(a) x + Q(b) y + ((R(a) x + R(b) y + 128) >> 8), both from pmaddwd.
constexpr int Q181(int c)
{
    return 181 * c >= 0 ? 181 * c / 256 : -((-181 * c + 255) / 256);
}

constexpr int R181(int c)
{
    return 181 * c - 256 * Q181(c);
}

// Mul181 of a x + b y + c z + d w with pairs (x, y) and (z, w).
template <int A, int B, int C, int D>
__attribute__((always_inline)) inline __m128i Mul181Linear(__m128i xy, __m128i zw)
{
    const __m128i q = _mm_add_epi32(_mm_madd_epi16(xy, Pair(Q181(A), Q181(B))),
                                    _mm_madd_epi16(zw, Pair(Q181(C), Q181(D))));
    const __m128i r = _mm_add_epi32(_mm_madd_epi16(xy, Pair(R181(A), R181(B))),
                                    _mm_madd_epi16(zw, Pair(R181(C), R181(D))));
    return _mm_add_epi32(q, _mm_srai_epi32(_mm_add_epi32(r, _mm_set1_epi32(128)), 8));
}

// (v >> Shift) kept to its low 16 bits and sign-extended, as the scalar
// int16_t stores do: bits Shift to Shift + 15 of v.
template <int Shift>
__attribute__((always_inline)) inline __m128i Low16Of(__m128i v)
{
    return _mm_srai_epi32(_mm_slli_epi32(v, 16 - Shift), 16);
}

// A pass's inputs for four lanes, interleaved in the pairs pmaddwd takes:
// frequencies (0, 4), (1, 7), (5, 3) and (2, 6).
struct Pairs {
    __m128i p04, p17, p53, p26;
};

// One pass on four lanes: the outputs 0..7 in 32-bit lanes. Column pass:
// Second = 0; row pass: Second = 1.
template <int Second>
__attribute__((always_inline)) inline void PassHalf(const Pairs& p, __m128i* out)
{
    const int dcScale = Second ? 256 : 2048;
    const __m128i round = _mm_set1_epi32(Second ? 8192 : 128);
    // x0 + x1 and x0 - x1 of the even part.
    __m128i x8 = _mm_add_epi32(_mm_madd_epi16(p.p04, Pair(dcScale, dcScale)), round);
    __m128i x0 = _mm_add_epi32(_mm_madd_epi16(p.p04, Pair(dcScale, -dcScale)), round);
    __m128i x4 = _mm_madd_epi16(p.p17, Pair(W1, W7));
    __m128i x5 = _mm_madd_epi16(p.p17, Pair(W7, -W1));
    __m128i x6 = _mm_madd_epi16(p.p53, Pair(W5, W3));
    __m128i x7 = _mm_madd_epi16(p.p53, Pair(W3, -W5));
    __m128i x3 = _mm_madd_epi16(p.p26, Pair(W2, W6));
    __m128i x2 = _mm_madd_epi16(p.p26, Pair(W6, -W2));
    __m128i x1;
    if (Second) {
        const __m128i four = _mm_set1_epi32(4);
        x4 = _mm_srai_epi32(_mm_add_epi32(x4, four), 3);
        x5 = _mm_srai_epi32(_mm_add_epi32(x5, four), 3);
        x6 = _mm_srai_epi32(_mm_add_epi32(x6, four), 3);
        x7 = _mm_srai_epi32(_mm_add_epi32(x7, four), 3);
        x3 = _mm_srai_epi32(_mm_add_epi32(x3, four), 3);
        x2 = _mm_srai_epi32(_mm_add_epi32(x2, four), 3);
        x1 = _mm_add_epi32(x4, x6);
        x4 = _mm_sub_epi32(x4, x6);
        x6 = _mm_add_epi32(x5, x7);
        x5 = _mm_sub_epi32(x5, x7);
    } else {
        // Without the rounding shifts, (x4 - x6) +- (x5 - x7) are sums of the
        // four odd inputs times constants: their Mul181 comes from pmaddwd.
        x1 = _mm_add_epi32(x4, x6);
        x6 = _mm_add_epi32(x5, x7);
    }
    x7 = _mm_add_epi32(x8, x3);
    x8 = _mm_sub_epi32(x8, x3);
    x3 = _mm_add_epi32(x0, x2);
    x0 = _mm_sub_epi32(x0, x2);
    if (Second) {
        x2 = Mul181x4(_mm_add_epi32(x4, x5));
        x4 = Mul181x4(_mm_sub_epi32(x4, x5));
    } else {
        // Pairs (r1, r7) and (r5, r3).
        x2 = Mul181Linear<W1 + W7, W7 - W1, -W5 - W3, W5 - W3>(p.p17, p.p53);
        x4 = Mul181Linear<W1 - W7, W7 + W1, W3 - W5, -W3 - W5>(p.p17, p.p53);
    }
    const int sh = Second ? 14 : 8;
    out[0] = Low16Of<sh>(_mm_add_epi32(x7, x1));
    out[1] = Low16Of<sh>(_mm_add_epi32(x3, x2));
    out[2] = Low16Of<sh>(_mm_add_epi32(x0, x4));
    out[3] = Low16Of<sh>(_mm_add_epi32(x8, x6));
    out[4] = Low16Of<sh>(_mm_sub_epi32(x8, x6));
    out[5] = Low16Of<sh>(_mm_sub_epi32(x0, x4));
    out[6] = Low16Of<sh>(_mm_sub_epi32(x3, x2));
    out[7] = Low16Of<sh>(_mm_sub_epi32(x7, x1));
}

// Outputs M[i][j] (output i, lane j) of a pass on lanes 0-3 (lo) and 4-7
// (hi), packed as a[k] = M[k][0..3] M[k + 4][0..3], b[k] likewise of lanes
// 4-7, then half transposed: q[0] = M[0..3][0] M[0..3][1], q[1] the same of
// lanes 2 and 3, q[2] and q[3] of outputs 4-7; qa of lanes 0-3, qb of 4-7.
template <int Second>
__attribute__((always_inline)) inline void Pass(const Pairs& lo, const Pairs& hi, __m128i* qa, __m128i* qb)
{
    auto quads = [](const __m128i* o, __m128i* q) {
        const __m128i a0 = _mm_packs_epi32(o[0], o[4]), a1 = _mm_packs_epi32(o[1], o[5]);
        const __m128i a2 = _mm_packs_epi32(o[2], o[6]), a3 = _mm_packs_epi32(o[3], o[7]);
        const __m128i t0 = _mm_unpacklo_epi16(a0, a1), t1 = _mm_unpackhi_epi16(a0, a1);
        const __m128i t2 = _mm_unpacklo_epi16(a2, a3), t3 = _mm_unpackhi_epi16(a2, a3);
        q[0] = _mm_unpacklo_epi32(t0, t2);
        q[1] = _mm_unpackhi_epi32(t0, t2);
        q[2] = _mm_unpacklo_epi32(t1, t3);
        q[3] = _mm_unpackhi_epi32(t1, t3);
    };
    __m128i o[8];
    PassHalf<Second>(lo, o);
    quads(o, qa); // each lane already in 16 bits: the packs do not saturate
    PassHalf<Second>(hi, o);
    quads(o, qb);
}

// The full transform with its results left in v[0..7] (rows).
__attribute__((always_inline)) inline void IdctFullRegs(const int16_t* coef, __m128i* v)
{
    __m128i r[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k)
        r[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * k));
    const Pairs lo0{_mm_unpacklo_epi16(r[0], r[4]), _mm_unpacklo_epi16(r[1], r[7]),
                    _mm_unpacklo_epi16(r[5], r[3]), _mm_unpacklo_epi16(r[2], r[6])};
    const Pairs hi0{_mm_unpackhi_epi16(r[0], r[4]), _mm_unpackhi_epi16(r[1], r[7]),
                    _mm_unpackhi_epi16(r[5], r[3]), _mm_unpackhi_epi16(r[2], r[6])};
    __m128i a[4], b[4];
    Pass<0>(lo0, hi0, a, b);
    // Column k of the first pass's output is a[k / 2] or a[2 + k / 2] (rows
    // 0-3, 4-7) for k < 4, b likewise for k >= 4, in the half of odd k:
    // the second pass's pairs are the last step of the transpose.
    const Pairs lo1{_mm_unpacklo_epi16(a[0], b[0]), _mm_unpackhi_epi16(a[0], b[1]),
                    _mm_unpackhi_epi16(b[0], a[1]), _mm_unpacklo_epi16(a[1], b[1])};
    const Pairs hi1{_mm_unpacklo_epi16(a[2], b[2]), _mm_unpackhi_epi16(a[2], b[3]),
                    _mm_unpackhi_epi16(b[2], a[3]), _mm_unpacklo_epi16(a[3], b[3])};
    Pass<1>(lo1, hi1, a, b);
    v[0] = _mm_unpacklo_epi64(a[0], a[2]);
    v[1] = _mm_unpackhi_epi64(a[0], a[2]);
    v[2] = _mm_unpacklo_epi64(a[1], a[3]);
    v[3] = _mm_unpackhi_epi64(a[1], a[3]);
    v[4] = _mm_unpacklo_epi64(b[0], b[2]);
    v[5] = _mm_unpackhi_epi64(b[0], b[2]);
    v[6] = _mm_unpacklo_epi64(b[1], b[3]);
    v[7] = _mm_unpackhi_epi64(b[1], b[3]);
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
