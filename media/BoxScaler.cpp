#include "media/BoxScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#include <xmmintrin.h>
#endif
// AVX2 kernels are built for x86 whatever the target, and run where the processor has them.
#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define BOX_SCALER_AVX2 1
#include <immintrin.h>
#define AVX2_KERNEL __attribute__((target("avx2")))
#endif

namespace {

constexpr int kHorizontalOne = 1 << 14;  // the weights of an output sample add up to these
constexpr int kVerticalOne = 1 << 15;
// A vertical sum keeps 128 times the sample (each row's byte times 256 times its weight, the
// high half of that); a horizontal sum 2^14 times that; the matrix takes 64 times the sample.
constexpr int kHorizontalShift = 15;
constexpr int kChromaZero = 128 << 6;

struct Footprint {
    int first = 0;
    std::vector<int> weights;
};

// The source samples under each output sample's footprint [j s, (j + 1) s) of a source
// `extent` samples long (of which `samples` exist), weighed by how much the footprint covers
// of each, the weights adding up to `one` exactly.
std::vector<Footprint> Footprints(int outCount, double scale, double extent, int samples, int one)
{
    std::vector<Footprint> result(std::size_t(outCount), Footprint{});
    for (int j = 0; j < outCount; ++j) {
        const double a = std::min(j * scale, extent), b = std::min((j + 1) * scale, extent);
        const int i0 = std::min(samples - 1, int(std::floor(a)));
        const int i1 = std::max(i0 + 1, std::min(samples, int(std::ceil(b))));
        Footprint& f = result[std::size_t(j)];
        f.first = i0;
        int sum = 0;
        std::size_t biggest = 0;
        for (int i = i0; i < i1; ++i) {
            const double cover = std::min(b, i + 1.0) - std::max(a, double(i));
            const int w = b > a ? int(std::lround(std::max(0.0, cover) / (b - a) * one)) : (i == i0 ? one : 0);
            f.weights.push_back(w);
            sum += w;
            if (w > f.weights[biggest]) biggest = f.weights.size() - 1;
        }
        f.weights[biggest] += one - sum;
        while (f.weights.size() > 1 && f.weights.back() == 0) f.weights.pop_back();
        while (f.weights.size() > 1 && f.weights.front() == 0) {
            f.weights.erase(f.weights.begin());
            ++f.first;
        }
    }
    return result;
}

// Weights laid out for the kernels: outputs in `groups` fours, taps in fours.
BoxScaler::Horizontal HorizontalWeights(const std::vector<Footprint>& fp, int groups)
{
    BoxScaler::Horizontal h;
    for (const Footprint& f : fp) h.taps = std::max(h.taps, int(f.weights.size()));
    h.taps = (h.taps + 3) & ~3;
    h.first.assign(std::size_t(groups) * 4, 0);
    h.weights.assign(std::size_t(groups) * 4 * std::size_t(h.taps), 0);
    for (std::size_t j = 0; j < fp.size(); ++j) {
        h.first[j] = fp[j].first;
        for (std::size_t t = 0; t < fp[j].weights.size(); ++t) {
            const std::size_t block = j / 4 * std::size_t(h.taps / 4) + t / 4;
            h.weights[block * 16 + j % 4 * 4 + t % 4] = std::int16_t(fp[j].weights[t]);
        }
    }
    return h;
}

BoxScaler::Vertical VerticalWeights(const std::vector<Footprint>& fp)
{
    BoxScaler::Vertical v;
    for (const Footprint& f : fp) {
        v.offset.push_back(int(v.rows.size()));
        v.count.push_back(int(f.weights.size()));
        int inexact = 0;
        for (std::size_t k = 0; k < f.weights.size(); ++k) {
            v.rows.push_back(f.first + int(k));
            v.weights.push_back(std::uint16_t(f.weights[k]));
            inexact += f.weights[k] % 256 != 0;
        }
        // A truncated row loses half a unit of the sum on average.
        v.bias.push_back(inexact * (kHorizontalOne / 2));
    }
    return v;
}

// The plain path's steps, each as its SSE2 instruction does it.
int MulHigh(int a, int b)  // pmulhw
{
    return (a * b) >> 16;
}

int MulHighUnsigned(int a, int b)  // pmulhuw
{
    return int((std::uint32_t(std::uint16_t(a)) * std::uint16_t(b)) >> 16);
}

int AddSaturated(int a, int b)  // paddsw
{
    return std::clamp(a + b, -32768, 32767);
}

int Round(double x)
{
    return int(std::lround(x));
}

#if defined(__SSE2__)
// The vertical sums of sixteen bytes at a time of `count` rows (Count when known at compile
// time, else 0); returns where the plain path is to go on.
template <int Count>
int SumRowsSse2(const std::uint8_t* const* p, const std::uint16_t* w, int count, int x, int samples, int stride,
                bool split, std::int16_t* out, std::int16_t* outSplit)
{
    if (Count) count = Count;
    constexpr int kHeld = Count ? Count : 1;
    __m128i held[kHeld];
    for (int k = 0; k < kHeld; ++k) held[k] = _mm_set1_epi16(std::int16_t(w[k]));
    const __m128i zero = _mm_setzero_si128();
    // The rows of four output rows on, fetched while these are summed: rows of a couple of
    // thousand bytes are too short for the processor to see them coming, and a picture fresh
    // from the decoder is seldom in the nearer caches (four rows ahead measured best in play).
    const std::ptrdiff_t ahead = std::ptrdiff_t(4 * count) * stride;
    for (; x + 16 <= samples; x += 16) {
        if (x % 64 == 0)
            for (int k = 0; k < count; ++k) _mm_prefetch(reinterpret_cast<const char*>(p[k] + x + ahead), _MM_HINT_T0);
        __m128i lo = zero, hi = zero;
        for (int k = 0; k < count; ++k) {
            const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p[k] + x));
            const __m128i wk = Count ? held[k] : _mm_set1_epi16(std::int16_t(w[k]));
            lo = _mm_add_epi16(lo, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, r), wk));
            hi = _mm_add_epi16(hi, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, r), wk));
        }
        if (!split) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), lo);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8), hi);
            continue;
        }
        // U0 V0 U1 V1 ...: the even words to one side, the odd ones to the other.
        const auto even = [](__m128i a) { return _mm_srai_epi32(_mm_slli_epi32(a, 16), 16); };
        const auto odd = [](__m128i a) { return _mm_srai_epi32(a, 16); };
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x / 2), _mm_packs_epi32(even(lo), even(hi)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(outSplit + x / 2), _mm_packs_epi32(odd(lo), odd(hi)));
    }
    return x;
}

// Four outputs of the weights times the samples at their taps: pairs multiplied and added,
// then each output's two halves added. Two planes of the same weights at once.
// Taps: their number when known at compile time, else 0.
template <int Planes, int Taps>
inline __attribute__((always_inline)) void Filter4(const std::int16_t* const* acc, const int* first, const __m128i* w,
                                                   int taps, __m128i round, __m128i* out)
{
    if (Taps) taps = Taps;
    __m128i s01[Planes], s23[Planes];
    for (int p = 0; p < Planes; ++p) s01[p] = s23[p] = _mm_setzero_si128();
    for (int t = 0; t < taps; t += 4, w += 2) {
        const __m128i w01 = _mm_loadu_si128(w), w23 = _mm_loadu_si128(w + 1);
        for (int p = 0; p < Planes; ++p) {
            const auto at = [&](int i) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(acc[p] + first[i] + t)); };
            s01[p] = _mm_add_epi32(s01[p], _mm_madd_epi16(_mm_unpacklo_epi64(at(0), at(1)), w01));
            s23[p] = _mm_add_epi32(s23[p], _mm_madd_epi16(_mm_unpacklo_epi64(at(2), at(3)), w23));
        }
    }
    for (int p = 0; p < Planes; ++p) {
        const __m128 a = _mm_castsi128_ps(s01[p]), b = _mm_castsi128_ps(s23[p]);
        const __m128i sum = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                                          _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
        out[p] = _mm_srai_epi32(_mm_add_epi32(sum, round), kHorizontalShift);
    }
}
#endif

#if defined(BOX_SCALER_AVX2)
// SumRowsSse2 thirty-two bytes at a time.
template <int Count>
AVX2_KERNEL int SumRowsAvx2(const std::uint8_t* const* p, const std::uint16_t* w, int count, int samples, int stride,
                            bool split, std::int16_t* out, std::int16_t* outSplit)
{
    if (Count) count = Count;
    constexpr int kHeld = Count ? Count : 1;
    __m256i held[kHeld];
    for (int k = 0; k < kHeld; ++k) held[k] = _mm256_set1_epi16(std::int16_t(w[k]));
    const __m256i zero = _mm256_setzero_si256();
    const std::ptrdiff_t ahead = std::ptrdiff_t(4 * count) * stride;
    int x = 0;
    for (; x + 32 <= samples; x += 32) {
        if (x % 64 == 0)
            for (int k = 0; k < count; ++k) _mm_prefetch(reinterpret_cast<const char*>(p[k] + x + ahead), _MM_HINT_T0);
        __m256i lo = zero, hi = zero;
        for (int k = 0; k < count; ++k) {
            const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p[k] + x));
            const __m256i wk = Count ? held[k] : _mm256_set1_epi16(std::int16_t(w[k]));
            lo = _mm256_add_epi16(lo, _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, r), wk));
            hi = _mm256_add_epi16(hi, _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, r), wk));
        }
        // The unpacks work within halves: lo has bytes 0-7 and 16-23, hi 8-15 and 24-31.
        const __m256i first = _mm256_permute2x128_si256(lo, hi, 0x20), second = _mm256_permute2x128_si256(lo, hi, 0x31);
        if (!split) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), first);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 16), second);
            continue;
        }
        const __m256i even = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(first, 16), 16),
                                                _mm256_srai_epi32(_mm256_slli_epi32(second, 16), 16));
        const __m256i odd = _mm256_packs_epi32(_mm256_srai_epi32(first, 16), _mm256_srai_epi32(second, 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x / 2), _mm256_permute4x64_epi64(even, 0xD8));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(outSplit + x / 2), _mm256_permute4x64_epi64(odd, 0xD8));
    }
    return x;
}

// Four taps of each of four outputs: an output a quarter.
AVX2_KERNEL inline __attribute__((always_inline)) __m256i Taps4(const std::int16_t* acc, const int* first)
{
    const auto at = [acc, first](int i) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(acc + first[i]));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(at(0), at(1))),
                                   _mm_unpacklo_epi64(at(2), at(3)), 1);
}

// Filter4 for eight outputs, the weights of four outputs and four taps in each vector.
template <int Planes, int Taps>
AVX2_KERNEL inline __attribute__((always_inline)) void Filter8(const std::int16_t* const* acc, const int* first,
                                                               const __m256i* w, int taps, __m256i round, __m256i* out)
{
    if (Taps) taps = Taps;
    const int blocks = taps / 4;
    __m256i sa[Planes], sb[Planes];
    for (int p = 0; p < Planes; ++p) sa[p] = sb[p] = _mm256_setzero_si256();
    for (int k = 0; k < blocks; ++k) {
        const __m256i wa = _mm256_loadu_si256(w + k), wb = _mm256_loadu_si256(w + blocks + k);
        for (int p = 0; p < Planes; ++p) {
            sa[p] = _mm256_add_epi32(sa[p], _mm256_madd_epi16(Taps4(acc[p] + 4 * k, first), wa));
            sb[p] = _mm256_add_epi32(sb[p], _mm256_madd_epi16(Taps4(acc[p] + 4 * k, first + 4), wb));
        }
    }
    // The pairs added give outputs 0 1 4 5 and 2 3 6 7; the quarters put back in order.
    for (int p = 0; p < Planes; ++p) {
        const __m256i sum = _mm256_permute4x64_epi64(_mm256_hadd_epi32(sa[p], sb[p]), 0xD8);
        out[p] = _mm256_srai_epi32(_mm256_add_epi32(sum, round), kHorizontalShift);
    }
}
#endif

}  // namespace

BoxScaler::Kernels BoxScaler::Best()
{
    static const Kernels best = Runs(Kernels::Avx2) ? Kernels::Avx2 : Runs(Kernels::Sse2) ? Kernels::Sse2 : Kernels::Plain;
    return best;
}

bool BoxScaler::Runs(Kernels kernels)
{
    switch (kernels) {
    case Kernels::Plain: return true;
#if defined(__SSE2__)
    case Kernels::Sse2: return true;
#endif
#if defined(BOX_SCALER_AVX2)
    case Kernels::Avx2: return __builtin_cpu_supports("avx2");
#endif
    default: return false;
    }
}

bool BoxScaler::Applies(int width, int height, int outWidth, int outHeight)
{
    return width > 0 && height > 0 && outWidth > 0 && outHeight > 0 && outWidth <= width && outHeight <= height;
}

void BoxScaler::Prepare(int width, int height, int outWidth, int outHeight)
{
    if (width == m_width && height == m_height && outWidth == m_outWidth && outHeight == m_outHeight) return;
    m_width = width;
    m_height = height;
    m_outWidth = outWidth;
    m_outHeight = outHeight;
    const int cw = (width + 1) / 2, ch = (height + 1) / 2;
    const int blocks = (outWidth + 15) / 16;  // the kernels make up to sixteen pixels at a time
    const double across = double(width) / outWidth, down = double(height) / outHeight;
    m_lumaH = HorizontalWeights(Footprints(outWidth, across, width, width, kHorizontalOne), 4 * blocks);
    m_chromaH = HorizontalWeights(Footprints((outWidth + 1) / 2, across, width / 2.0, cw, kHorizontalOne), 2 * blocks);
    m_lumaV = VerticalWeights(Footprints(outHeight, down, height, height, kVerticalOne));
    m_chromaV = VerticalWeights(Footprints(outHeight, down / 2, height / 2.0, ch, kVerticalOne));
    // Zeros past the end: the last outputs' unused taps read them with weight 0.
    m_y.assign(std::size_t(width + m_lumaH.taps + 16), 0);
    m_u.assign(std::size_t(cw + m_chromaH.taps + 16), 0);
    m_v.assign(m_u.size(), 0);
}

// The weighted sum of an output row's source rows for each of `samples` bytes of a row; split:
// the bytes alternate between two planes (NV12's chroma), out gets the even ones.
void BoxScaler::SumRows(const std::uint8_t* plane, int stride, const Vertical& v, int row, int samples, bool split,
                        std::int16_t* out, std::int16_t* outSplit, Kernels kernels)
{
    const int count = v.count[std::size_t(row)];
    const int* rows = &v.rows[std::size_t(v.offset[std::size_t(row)])];
    const std::uint16_t* w = &v.weights[std::size_t(v.offset[std::size_t(row)])];
    m_rowPointers.resize(std::size_t(count));
    for (int k = 0; k < count; ++k) m_rowPointers[std::size_t(k)] = plane + std::ptrdiff_t(rows[k]) * stride;
    const std::uint8_t* const* p = m_rowPointers.data();
    int x = 0;
    // One to four rows (shrinking by up to three, or by four exactly): loops unrolled. What the
    // wide kernel leaves of a row the narrower one takes.
#if defined(BOX_SCALER_AVX2)
    if (kernels == Kernels::Avx2) {
        switch (count) {
        case 1: x = SumRowsAvx2<1>(p, w, count, samples, stride, split, out, outSplit); break;
        case 2: x = SumRowsAvx2<2>(p, w, count, samples, stride, split, out, outSplit); break;
        case 3: x = SumRowsAvx2<3>(p, w, count, samples, stride, split, out, outSplit); break;
        case 4: x = SumRowsAvx2<4>(p, w, count, samples, stride, split, out, outSplit); break;
        default: x = SumRowsAvx2<0>(p, w, count, samples, stride, split, out, outSplit);
        }
    }
#endif
#if defined(__SSE2__)
    if (kernels != Kernels::Plain) {
        switch (count) {
        case 1: x = SumRowsSse2<1>(p, w, count, x, samples, stride, split, out, outSplit); break;
        case 2: x = SumRowsSse2<2>(p, w, count, x, samples, stride, split, out, outSplit); break;
        case 3: x = SumRowsSse2<3>(p, w, count, x, samples, stride, split, out, outSplit); break;
        case 4: x = SumRowsSse2<4>(p, w, count, x, samples, stride, split, out, outSplit); break;
        default: x = SumRowsSse2<0>(p, w, count, x, samples, stride, split, out, outSplit);
        }
    }
#else
    (void)kernels;
#endif
    for (; x < samples; ++x) {
        int sum = 0;
        for (int k = 0; k < count; ++k) sum += MulHighUnsigned(p[k][x] << 8, w[k]);
        if (!split) out[x] = std::int16_t(sum);
        else if (x % 2 == 0) out[x / 2] = std::int16_t(sum);
        else outSplit[x / 2] = std::int16_t(sum);
    }
}

#if defined(__SSE2__)
template <int Taps>
void BoxScaler::ConvertRowSse2(std::uint8_t* out, int outWidth, int lumaRound, int chromaRound) const
{
    const std::int16_t* luma[1] = {m_y.data()};
    const std::int16_t* chroma[2] = {m_u.data(), m_v.data()};
    const auto* lumaW = reinterpret_cast<const __m128i*>(m_lumaH.weights.data());
    const auto* chromaW = reinterpret_cast<const __m128i*>(m_chromaH.weights.data());
    const __m128i lr = _mm_set1_epi32(lumaRound), cr = _mm_set1_epi32(chromaRound);
    const Matrix& m = m_matrix;
    const __m128i zero = _mm_set1_epi16(kChromaZero), yOffset = _mm_set1_epi16(std::int16_t(m.yOffset));
    const __m128i ky = _mm_set1_epi16(std::int16_t(m.y)), kvr = _mm_set1_epi16(std::int16_t(m.vr));
    const __m128i kug = _mm_set1_epi16(std::int16_t(m.ug)), kvg = _mm_set1_epi16(std::int16_t(m.vg));
    const __m128i kub = _mm_set1_epi16(std::int16_t(m.ub)), half = _mm_set1_epi16(32);
    const __m128i alpha = _mm_set1_epi16(255);
    const int lumaStep = m_lumaH.taps / 2, chromaStep = m_chromaH.taps / 2;  // vectors of weights a group
    for (int b = 0; b * 8 < outWidth; ++b) {
        __m128i y[2], uv[2];
        Filter4<1, Taps>(luma, &m_lumaH.first[std::size_t(b) * 8], lumaW + 2 * b * lumaStep, m_lumaH.taps, lr, &y[0]);
        Filter4<1, Taps>(luma, &m_lumaH.first[std::size_t(b) * 8 + 4], lumaW + (2 * b + 1) * lumaStep, m_lumaH.taps, lr,
                   &y[1]);
        Filter4<2, Taps>(chroma, &m_chromaH.first[std::size_t(b) * 4], chromaW + b * chromaStep, m_chromaH.taps, cr, uv);
        const __m128i y16 = _mm_packs_epi32(y[0], y[1]);
        const __m128i u = _mm_sub_epi16(_mm_unpacklo_epi16(_mm_packs_epi32(uv[0], uv[0]), _mm_packs_epi32(uv[0], uv[0])), zero);
        const __m128i v = _mm_sub_epi16(_mm_unpacklo_epi16(_mm_packs_epi32(uv[1], uv[1]), _mm_packs_epi32(uv[1], uv[1])), zero);
        const __m128i u4 = _mm_slli_epi16(u, 2), v4 = _mm_slli_epi16(v, 2);
        const __m128i yv = _mm_sub_epi16(_mm_mulhi_epu16(_mm_slli_epi16(y16, 2), ky), yOffset);
        const __m128i r = _mm_adds_epi16(yv, _mm_mulhi_epi16(v4, kvr));
        const __m128i g = _mm_adds_epi16(_mm_adds_epi16(yv, _mm_mulhi_epi16(u4, kug)), _mm_mulhi_epi16(v4, kvg));
        const __m128i bl = _mm_adds_epi16(_mm_adds_epi16(yv, u), _mm_mulhi_epi16(u4, kub));
        const auto down = [&](__m128i c) { return _mm_srai_epi16(_mm_adds_epi16(c, half), 6); };
        // B0..B7 R0..R7 and G0..G7 A0..A7, then interleaved to B G R A a pixel.
        const __m128i br = _mm_packus_epi16(down(bl), down(r)), ga = _mm_packus_epi16(down(g), alpha);
        const __m128i bg = _mm_unpacklo_epi8(br, ga), ra = _mm_unpackhi_epi8(br, ga);
        const __m128i px0 = _mm_unpacklo_epi16(bg, ra), px1 = _mm_unpackhi_epi16(bg, ra);
        if (b * 8 + 8 <= outWidth) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b * 32), px0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b * 32 + 16), px1);
        } else {
            alignas(16) std::uint8_t last[32];
            _mm_store_si128(reinterpret_cast<__m128i*>(last), px0);
            _mm_store_si128(reinterpret_cast<__m128i*>(last + 16), px1);
            std::memcpy(out + b * 32, last, std::size_t(outWidth - b * 8) * 4);
        }
    }
}
#endif

#if defined(BOX_SCALER_AVX2)
// ConvertRowSse2 sixteen pixels at a time.
template <int Taps>
AVX2_KERNEL void BoxScaler::ConvertRowAvx2(std::uint8_t* out, int outWidth, int lumaRound, int chromaRound) const
{
    const std::int16_t* luma[1] = {m_y.data()};
    const std::int16_t* chroma[2] = {m_u.data(), m_v.data()};
    const auto* lumaW = reinterpret_cast<const __m256i*>(m_lumaH.weights.data());
    const auto* chromaW = reinterpret_cast<const __m256i*>(m_chromaH.weights.data());
    const __m256i lr = _mm256_set1_epi32(lumaRound), cr = _mm256_set1_epi32(chromaRound);
    const Matrix& m = m_matrix;
    const __m256i zero = _mm256_set1_epi16(kChromaZero), yOffset = _mm256_set1_epi16(std::int16_t(m.yOffset));
    const __m256i ky = _mm256_set1_epi16(std::int16_t(m.y)), kvr = _mm256_set1_epi16(std::int16_t(m.vr));
    const __m256i kug = _mm256_set1_epi16(std::int16_t(m.ug)), kvg = _mm256_set1_epi16(std::int16_t(m.vg));
    const __m256i kub = _mm256_set1_epi16(std::int16_t(m.ub)), half = _mm256_set1_epi16(32);
    const __m256i alpha = _mm256_set1_epi16(255);
    const int lumaBlocks = m_lumaH.taps / 4, chromaBlocks = m_chromaH.taps / 4;  // vectors of weights a group
    for (int b = 0; b * 16 < outWidth; ++b) {
        __m256i y[2], uv[2];
        const int* lumaFirst = &m_lumaH.first[std::size_t(b) * 16];
        Filter8<1, Taps>(luma, lumaFirst, lumaW + 4 * b * lumaBlocks, m_lumaH.taps, lr, &y[0]);
        Filter8<1, Taps>(luma, lumaFirst + 8, lumaW + (4 * b + 2) * lumaBlocks, m_lumaH.taps, lr, &y[1]);
        Filter8<2, Taps>(chroma, &m_chromaH.first[std::size_t(b) * 8], chromaW + 2 * b * chromaBlocks, m_chromaH.taps,
                         cr, uv);
        // Packs work within halves: luma 0-3 8-11 4-7 12-15 put back in order; each chroma
        // sample twice lands in its half already.
        const __m256i y16 = _mm256_permute4x64_epi64(_mm256_packs_epi32(y[0], y[1]), 0xD8);
        const __m256i u0 = _mm256_packs_epi32(uv[0], uv[0]), v0 = _mm256_packs_epi32(uv[1], uv[1]);
        const __m256i u = _mm256_sub_epi16(_mm256_unpacklo_epi16(u0, u0), zero);
        const __m256i v = _mm256_sub_epi16(_mm256_unpacklo_epi16(v0, v0), zero);
        const __m256i u4 = _mm256_slli_epi16(u, 2), v4 = _mm256_slli_epi16(v, 2);
        const __m256i yv = _mm256_sub_epi16(_mm256_mulhi_epu16(_mm256_slli_epi16(y16, 2), ky), yOffset);
        const __m256i r = _mm256_adds_epi16(yv, _mm256_mulhi_epi16(v4, kvr));
        const __m256i g =
            _mm256_adds_epi16(_mm256_adds_epi16(yv, _mm256_mulhi_epi16(u4, kug)), _mm256_mulhi_epi16(v4, kvg));
        const __m256i bl = _mm256_adds_epi16(_mm256_adds_epi16(yv, u), _mm256_mulhi_epi16(u4, kub));
        const __m256i br = _mm256_packus_epi16(_mm256_srai_epi16(_mm256_adds_epi16(bl, half), 6),
                                               _mm256_srai_epi16(_mm256_adds_epi16(r, half), 6));
        const __m256i ga = _mm256_packus_epi16(_mm256_srai_epi16(_mm256_adds_epi16(g, half), 6), alpha);
        // Each half: B G R A of its eight pixels, the first four then the last four.
        const __m256i bg = _mm256_unpacklo_epi8(br, ga), ra = _mm256_unpackhi_epi8(br, ga);
        const __m256i lo = _mm256_unpacklo_epi16(bg, ra), hi = _mm256_unpackhi_epi16(bg, ra);
        const __m256i px0 = _mm256_permute2x128_si256(lo, hi, 0x20), px1 = _mm256_permute2x128_si256(lo, hi, 0x31);
        if (b * 16 + 16 <= outWidth) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b * 64), px0);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b * 64 + 32), px1);
        } else {
            alignas(32) std::uint8_t last[64];
            _mm256_store_si256(reinterpret_cast<__m256i*>(last), px0);
            _mm256_store_si256(reinterpret_cast<__m256i*>(last + 32), px1);
            std::memcpy(out + b * 64, last, std::size_t(outWidth - b * 16) * 4);
        }
    }
}
#endif

// One output row from the rows' sums: eight pixels at a time, luma of each and chroma of each
// two, through the matrix in 16 bits (64 times the sample).
void BoxScaler::ConvertRow(std::uint8_t* out, int outWidth, int lumaBias, int chromaBias, Kernels kernels) const
{
    const Matrix& m = m_matrix;
    const int lumaRound = (1 << (kHorizontalShift - 1)) + lumaBias;
    const int chromaRound = (1 << (kHorizontalShift - 1)) + chromaBias;
    // Up to four taps (shrinking by up to three, or by four exactly): loops unrolled.
    const bool fourTaps = m_lumaH.taps == 4 && m_chromaH.taps == 4;
#if defined(BOX_SCALER_AVX2)
    if (kernels == Kernels::Avx2) {
        if (fourTaps) ConvertRowAvx2<4>(out, outWidth, lumaRound, chromaRound);
        else ConvertRowAvx2<0>(out, outWidth, lumaRound, chromaRound);
        return;
    }
#endif
#if defined(__SSE2__)
    if (kernels == Kernels::Sse2) {
        if (fourTaps) ConvertRowSse2<4>(out, outWidth, lumaRound, chromaRound);
        else ConvertRowSse2<0>(out, outWidth, lumaRound, chromaRound);
        return;
    }
#else
    (void)kernels;
    (void)fourTaps;
#endif
    const auto filter = [](const std::int16_t* acc, const Horizontal& h, int j, int round) {
        const std::size_t g = std::size_t(j / 4), lane = std::size_t(j % 4), blocks = std::size_t(h.taps / 4);
        const int first = h.first[std::size_t(j)];
        int sum = 0;
        for (int t = 0; t < h.taps; ++t)
            sum += acc[first + t] * h.weights[(g * blocks + std::size_t(t / 4)) * 16 + lane * 4 + std::size_t(t % 4)];
        return (sum + round) >> kHorizontalShift;
    };
    const auto down = [](int c) { return std::uint8_t(std::clamp(AddSaturated(c, 32) >> 6, 0, 255)); };
    for (int j = 0; j < outWidth; ++j) {
        const int y16 = filter(m_y.data(), m_lumaH, j, lumaRound);
        const int u = filter(m_u.data(), m_chromaH, j / 2, chromaRound) - kChromaZero;
        const int v = filter(m_v.data(), m_chromaH, j / 2, chromaRound) - kChromaZero;
        const int u4 = std::int16_t(u * 4), v4 = std::int16_t(v * 4);
        const int yv = MulHighUnsigned(y16 * 4, m.y) - m.yOffset;
        std::uint8_t* px = out + j * 4;
        px[0] = down(AddSaturated(AddSaturated(yv, u), MulHigh(u4, m.ub)));
        px[1] = down(AddSaturated(AddSaturated(yv, MulHigh(u4, m.ug)), MulHigh(v4, m.vg)));
        px[2] = down(AddSaturated(yv, MulHigh(v4, m.vr)));
        px[3] = 255;
    }
}

bool BoxScaler::Convert(const VideoPlanes& planes, int width, int height, std::uint8_t* out, int outStride,
                        int outWidth, int outHeight, Kernels kernels)
{
    const bool nv12 = planes.layout == PlaneLayout::NV12;
    if (!Applies(width, height, outWidth, outHeight) || !planes.Present() || !out || (!nv12 && !planes.data[2]) ||
        !Runs(kernels))
        return false;
    Prepare(width, height, outWidth, outHeight);

    // R = Y' + 2(1 - Kr) V', B = Y' + 2(1 - Kb) U', G from the rest; studio range stretched.
    const double kr = planes.bt709 ? 0.2126 : 0.299, kb = planes.bt709 ? 0.0722 : 0.114, kg = 1 - kr - kb;
    const double ys = planes.fullRange ? 1.0 : 255.0 / 219.0, cs = planes.fullRange ? 1.0 : 255.0 / 224.0;
    const double one = 1 << 14;
    m_matrix.y = Round(ys * one);
    m_matrix.yOffset = planes.fullRange ? 0 : Round(ys * (16 << 6));
    m_matrix.vr = Round(2 * (1 - kr) * cs * one);
    m_matrix.ub = Round((2 * (1 - kb) * cs - 1) * one);
    m_matrix.ug = -Round(2 * (1 - kb) * kb / kg * cs * one);
    m_matrix.vg = -Round(2 * (1 - kr) * kr / kg * cs * one);

    const int cw = (width + 1) / 2;
    for (int row = 0; row < outHeight; ++row) {
        SumRows(planes.data[0], planes.stride[0], m_lumaV, row, width, false, m_y.data(), nullptr, kernels);
        if (nv12) {
            SumRows(planes.data[1], planes.stride[1], m_chromaV, row, 2 * cw, true, m_u.data(), m_v.data(), kernels);
        } else {
            SumRows(planes.data[1], planes.stride[1], m_chromaV, row, cw, false, m_u.data(), nullptr, kernels);
            SumRows(planes.data[2], planes.stride[2], m_chromaV, row, cw, false, m_v.data(), nullptr, kernels);
        }
        ConvertRow(out + std::ptrdiff_t(row) * outStride, outWidth, m_lumaV.bias[std::size_t(row)],
                   m_chromaV.bias[std::size_t(row)], kernels);
    }
    return true;
}
