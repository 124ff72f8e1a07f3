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

// The same with only rows 0-2 as inputs.
inline void ColumnThree(int16_t* b)
{
    const int x0 = b[0] * 2048 + 128;
    const int x3in = b[16];
    const int x4in = b[8];
    // Odd part from x4 (row 1) alone.
    int x4 = W1 * x4in;
    int x5 = W7 * x4in;
    // Even part from x3 (row 2) alone.
    const int x2 = W6 * x3in;
    const int x3 = W2 * x3in;
    const int x1 = x4;
    const int x6 = x5;
    // x4 - x6 and x5 - x7 with x6, x7 of the odd part zero.
    const int x4d = x4;
    const int x5d = x5;
    const int x7 = x0 + x3;
    const int x8 = x0 - x3;
    const int x3b = x0 + x2;
    const int x0b = x0 - x2;
    const int x2b = Mul181(x4d + x5d);
    x4 = Mul181(x4d - x5d);
    b[0] = int16_t((x7 + x1) >> 8);
    b[8] = int16_t((x3b + x2b) >> 8);
    b[16] = int16_t((x0b + x4) >> 8);
    b[24] = int16_t((x8 + x6) >> 8);
    b[32] = int16_t((x8 - x6) >> 8);
    b[40] = int16_t((x0b - x4) >> 8);
    b[48] = int16_t((x3b - x2b) >> 8);
    b[56] = int16_t((x7 - x1) >> 8);
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

// The same with only columns 0-2 as inputs.
inline void RowThree(int16_t* b)
{
    const int x0 = b[0] * 256 + 8192;
    const int c2 = b[2];
    const int c1 = b[1];
    const int o8 = W7 * c1 + 4;
    const int x4 = (o8 + (W1 - W7) * c1) >> 3;
    const int x5 = (o8) >> 3;
    // x6, x7 of the odd part: (4 + 0) >> 3 = 0.
    const int e1 = W6 * c2 + 4;
    const int x2 = (e1) >> 3;
    const int x3 = (e1 + (W2 - W6) * c2) >> 3;
    const int x1 = x4;
    const int x6 = x5;
    const int x7 = x0 + x3;
    const int x8 = x0 - x3;
    const int x3b = x0 + x2;
    const int x0b = x0 - x2;
    const int x2b = Mul181(x4 + x5);
    const int x4b = Mul181(x4 - x5);
    b[0] = int16_t((x7 + x1) >> 14);
    b[1] = int16_t((x3b + x2b) >> 14);
    b[2] = int16_t((x0b + x4b) >> 14);
    b[3] = int16_t((x8 + x6) >> 14);
    b[4] = int16_t((x8 - x6) >> 14);
    b[5] = int16_t((x0b - x4b) >> 14);
    b[6] = int16_t((x3b - x2b) >> 14);
    b[7] = int16_t((x7 - x1) >> 14);
}

inline uint8_t Clip255(int v)
{
    return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

void IdctTransform(int16_t* coef, uint32_t pattern)
{
    // Several full columns: one pass over all of them is cheaper than column by column.
    if ((pattern & 0xFFFF) == 0xFFFF) {
        ColumnsFullAll(coef);
    } else for (int c = 0; c < 8; ++c) {
        const uint32_t bits = (pattern >> (2 * c)) & 3;
        int16_t* col = coef + c;
        if (bits == 0) {
            const int16_t v = col[0];
            if (v) {
                const int16_t e = int16_t(v * 8);
                for (int r = 0; r < 8; ++r)
                    col[8 * r] = e;
            }
        } else if (bits == 1) {
            ColumnThree(col);
        } else {
            ColumnFull(col);
        }
    }
    const uint32_t rows = (pattern >> 16) & 3;
    for (int r = 0; r < 8; ++r) {
        int16_t* row = coef + 8 * r;
        if (rows == 0) {
            const int16_t v = int16_t((row[0] + 32) >> 6);
            for (int c = 0; c < 8; ++c)
                row[c] = v;
        } else if (rows == 1) {
            RowThree(row);
        } else {
            RowFull(row);
        }
    }
}

void IdctPut(uint8_t* dst, int16_t* coef, int dstPitch, uint32_t pattern)
{
    if (pattern == 0) {
        const uint8_t v = Clip255((coef[0] + 4) >> 3);
        for (int r = 0; r < 8; ++r, dst += dstPitch)
            std::memset(dst, v, 8);
        return;
    }
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
    if (pattern == 0) {
        const int v = (coef[0] + 4) >> 3;
        for (int r = 0; r < 8; ++r, dst += dstPitch, pred += predPitch)
            for (int c = 0; c < 8; ++c)
                dst[c] = Clip255(pred[c] + v);
        return;
    }
    IdctTransform(coef, pattern);
#if defined(__SSE2__)
    // Saturating 16-bit add, then saturating pack: the same as clipping the sum.
    const __m128i zero = _mm_setzero_si128();
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
