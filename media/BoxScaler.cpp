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
constexpr int kVerticalOne = 1 << 14;
// A vertical sum keeps 64 times the sample (each row's byte times 256 times its weight, the
// high half of that), at most 255 x 64: four of them still fit 16 bits unsigned. A weighted
// horizontal sum keeps 2^14 times that; the output and the matrix take 64 times the sample.
constexpr int kHorizontalShift = 14;
constexpr int kMostSum = 255 * 64;
constexpr int kChromaZero = 128 << 6;

struct Footprint {
    int first = 0;
    std::vector<int> weights;
};

// The source samples under each output sample's footprint [j s, (j + 1) s) of a source
// `extent` samples long (of which `samples` exist), weighed by how much the footprint covers
// of each, the weights adding up to `one` exactly. Each weight is the step between the rounded
// running totals of the cover, so none is off by more than one and none goes below zero, however
// many samples share the rounding.
std::vector<Footprint> Footprints(int outCount, double scale, double extent, int samples, int one)
{
    std::vector<Footprint> result(std::size_t(outCount), Footprint{});
    for (int j = 0; j < outCount; ++j) {
        const double a = std::min(j * scale, extent), b = std::min((j + 1) * scale, extent);
        const int i0 = std::min(samples - 1, int(std::floor(a)));
        const int i1 = std::max(i0 + 1, std::min(samples, int(std::ceil(b))));
        Footprint& f = result[std::size_t(j)];
        f.first = i0;
        double covered = 0;
        int given = 0;
        for (int i = i0; i < i1; ++i) {
            covered += b > a ? std::max(0.0, std::min(b, i + 1.0) - std::max(a, double(i))) / (b - a) : i == i0;
            const int total = i + 1 == i1 ? one : std::min(one, int(std::lround(covered * one)));
            f.weights.push_back(total - given);
            given = total;
        }
        while (f.weights.size() > 1 && f.weights.back() == 0) f.weights.pop_back();
        while (f.weights.size() > 1 && f.weights.front() == 0) {
            f.weights.erase(f.weights.begin());
            ++f.first;
        }
    }
    return result;
}

// Each output the mean of `ratio` samples from ratio x j on (their weights equal but for the
// rounding to `one`): 0 when not so, or for a ratio outside 2 to 4.
int EqualRatio(const std::vector<Footprint>& fp, int one)
{
    const int ratio = fp.empty() ? 0 : int(fp[0].weights.size());
    if (ratio < 2 || ratio > 4) return 0;
    for (std::size_t j = 0; j < fp.size(); ++j) {
        if (fp[j].first != ratio * int(j) || int(fp[j].weights.size()) != ratio) return 0;
        for (const int w : fp[j].weights)
            if (std::abs(w * ratio - one) > ratio) return 0;
    }
    return ratio;
}

BoxScaler::Vertical VerticalWeights(const std::vector<Footprint>& fp)
{
    BoxScaler::Vertical v;
    for (const Footprint& f : fp) {
        v.offset.push_back(int(v.rows.size()));
        v.count.push_back(int(f.weights.size()));
        // Up to four rows are summed in 16 bits, each row's product truncated; more in 32 bits,
        // rounded once.
        int inexact = 0;
        for (std::size_t k = 0; k < f.weights.size(); ++k) {
            v.rows.push_back(f.first + int(k));
            v.weights.push_back(std::uint16_t(f.weights[k]));
            inexact += f.weights[k] % 256 != 0 && f.weights.size() <= 4;
        }
        v.inexact.push_back(inexact);
    }
    // Rows of equal weights are added as they are and the sum rounded once: nothing truncated.
    v.ratio = EqualRatio(fp, kVerticalOne);
    if (v.ratio) v.inexact.assign(v.inexact.size(), 0);
    return v;
}

// What an output adds before its shift: a half for the rounding, and the half unit on average
// that each truncated row of the vertical sums lost. For a ratio, in units of the sum (which the
// kernels add before their product), then times the weight.
int RoundOf(const BoxScaler::Horizontal& h, int inexact)
{
    if (!h.ratio) return (1 << (kHorizontalShift - 1)) + inexact * (kHorizontalOne / 2);
    return (h.ratio * (1 + inexact) + 1) / 2 * h.weight;
}

// Weights laid out for the kernels: outputs rounded up to sixteens, taps to fours. Where each
// output is the mean of a whole number of samples, their sum is taken down by that number in
// one product: weight 2^16 / ratio (2^15 / 2 for two, which a 16-bit weight cannot hold), as
// long as the sum and its round fit 16 bits in every row of v.
BoxScaler::Horizontal HorizontalWeights(const std::vector<Footprint>& fp, const BoxScaler::Vertical& v)
{
    BoxScaler::Horizontal h;
    for (const Footprint& f : fp) h.taps = std::max(h.taps, int(f.weights.size()));
    h.taps = (h.taps + 3) & ~3;
    h.ratio = EqualRatio(fp, kHorizontalOne);
    h.shift = h.ratio == 2 ? 15 : h.ratio ? 16 : kHorizontalShift;
    h.weight = h.ratio == 2 ? 1 << 14 : h.ratio ? (1 << 16) / h.ratio : 0;
    for (const int inexact : v.inexact)
        if (h.ratio && h.ratio * kMostSum + RoundOf(h, inexact) / h.weight > 65535) h.ratio = h.weight = 0;
    if (!h.ratio) h.shift = kHorizontalShift;
    const std::size_t outputs = (fp.size() + 15) / 16 * 16;
    h.first.assign(outputs, 0);
    h.weights.assign(outputs * std::size_t(h.taps), 0);
    for (std::size_t j = 0; j < fp.size(); ++j) {
        h.first[j] = fp[j].first;
        for (std::size_t t = 0; t < fp[j].weights.size(); ++t) {
            const std::size_t block = j / 4 * std::size_t(h.taps / 4) + t / 4;
            h.weights[block * 16 + j % 4 * 4 + t % 4] = std::int16_t(h.ratio ? h.weight : fp[j].weights[t]);
        }
    }
    return h;
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

// 64 times the mean of `ratio` bytes from their sum, rounded: exact shifts for two and four, and
// for three a product that rounds every sum of three bytes as the division would.
constexpr int kThird = 21845;
int MeanOfSum(int ratio, int sum)
{
    return ratio == 2 ? sum << 5 : ratio == 4 ? sum << 4 : MulHighUnsigned((sum << 6) + 2, kThird);
}

#if defined(__SSE2__)
template <int Ratio>
inline __attribute__((always_inline)) __m128i MeanOfSums(__m128i sum)
{
    if (Ratio == 2) return _mm_slli_epi16(sum, 5);
    if (Ratio == 4) return _mm_slli_epi16(sum, 4);
    return _mm_mulhi_epu16(_mm_add_epi16(_mm_slli_epi16(sum, 6), _mm_set1_epi16(2)), _mm_set1_epi16(kThird));
}

// The vertical sums of sixteen bytes at a time of `count` rows (Count when known at compile
// time, else 0); Mean: the rows' bytes are added and the sums taken to the mean of that many
// rows, their weights not read. Returns where the plain path is to go on.
template <int Count, bool Mean = false>
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
        if (!Count) {
            // Many rows: each pair's products added in 32 bits, rounded once at the end.
            __m128i sums[4] = {zero, zero, zero, zero};
            for (int k = 0; k < count; k += 2) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p[k] + x));
                const __m128i b =
                    k + 1 < count ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p[k + 1] + x)) : zero;
                const __m128i pair = _mm_set1_epi32(int(w[k]) | (k + 1 < count ? int(w[k + 1]) << 16 : 0));
                const __m128i a0 = _mm_unpacklo_epi8(a, zero), a1 = _mm_unpackhi_epi8(a, zero);
                const __m128i b0 = _mm_unpacklo_epi8(b, zero), b1 = _mm_unpackhi_epi8(b, zero);
                sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi16(a0, b0), pair));
                sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi16(a0, b0), pair));
                sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi16(a1, b1), pair));
                sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi16(a1, b1), pair));
            }
            const __m128i half = _mm_set1_epi32(128);
            for (__m128i& v : sums) v = _mm_srai_epi32(_mm_add_epi32(v, half), 8);
            lo = _mm_packs_epi32(sums[0], sums[1]);
            hi = _mm_packs_epi32(sums[2], sums[3]);
        }
        for (int k = 0; Count && k < count; ++k) {
            const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p[k] + x));
            if (Mean) {
                lo = _mm_add_epi16(lo, _mm_unpacklo_epi8(r, zero));
                hi = _mm_add_epi16(hi, _mm_unpackhi_epi8(r, zero));
                continue;
            }
            const __m128i wk = Count ? held[k] : _mm_set1_epi16(std::int16_t(w[k]));
            lo = _mm_add_epi16(lo, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, r), wk));
            hi = _mm_add_epi16(hi, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, r), wk));
        }
        if (Mean) {
            lo = MeanOfSums<Count>(lo);
            hi = MeanOfSums<Count>(hi);
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

// Four outputs of the weights times the sums at their taps: pairs multiplied and added, then
// each output's two halves added. Taps: their number when known at compile time, else 0.
template <int Taps>
inline __attribute__((always_inline)) __m128i Filter4(const std::int16_t* sums, const int* first, const __m128i* w,
                                                      int taps, __m128i round, __m128i shift)
{
    if (Taps) taps = Taps;
    __m128i s01 = _mm_setzero_si128(), s23 = _mm_setzero_si128();
    for (int t = 0; t < taps; t += 4, w += 2) {
        const auto at = [&](int i) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + first[i] + t)); };
        s01 = _mm_add_epi32(s01, _mm_madd_epi16(_mm_unpacklo_epi64(at(0), at(1)), _mm_loadu_si128(w)));
        s23 = _mm_add_epi32(s23, _mm_madd_epi16(_mm_unpacklo_epi64(at(2), at(3)), _mm_loadu_si128(w + 1)));
    }
    const __m128 a = _mm_castsi128_ps(s01), b = _mm_castsi128_ps(s23);
    const __m128i sum = _mm_add_epi32(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))),
                                      _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1))));
    return _mm_sra_epi32(_mm_add_epi32(sum, round), shift);
}

// A row's outputs, eight at a time (the weights of four outputs take taps / 2 vectors).
template <int Taps>
void FilterSse2(const std::int16_t* sums, const BoxScaler::Horizontal& h, int outputs, int round, std::int16_t* out)
{
    const auto* w = reinterpret_cast<const __m128i*>(h.weights.data());
    const __m128i r = _mm_set1_epi32(round), shift = _mm_cvtsi32_si128(h.shift);
    const int step = h.taps / 2;
    for (int j = 0; j < outputs; j += 8, w += 2 * step) {
        const __m128i a = Filter4<Taps>(sums, &h.first[std::size_t(j)], w, h.taps, r, shift);
        const __m128i b = Filter4<Taps>(sums, &h.first[std::size_t(j) + 4], w + step, h.taps, r, shift);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), _mm_packs_epi32(a, b));
    }
}
#endif

#if defined(BOX_SCALER_AVX2)
template <int Ratio>
AVX2_KERNEL inline __attribute__((always_inline)) __m256i MeanOfSums(__m256i sum)
{
    if (Ratio == 2) return _mm256_slli_epi16(sum, 5);
    if (Ratio == 4) return _mm256_slli_epi16(sum, 4);
    return _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_slli_epi16(sum, 6), _mm256_set1_epi16(2)),
                              _mm256_set1_epi16(kThird));
}

// SumRowsSse2's step on thirty-two bytes from x on.
template <int Count, bool Mean, bool Split>
AVX2_KERNEL inline __attribute__((always_inline)) void SumChunkAvx2(const std::uint8_t* const* row, const __m256i* held,
                                                                    const std::uint16_t* w, int count, int x,
                                                                    std::int16_t* out, std::int16_t* outSplit)
{
    if (Count) count = Count;
    __m256i first = _mm256_setzero_si256(), second = first;
    if (Mean) {
        // Widened as loaded, the words in order.
        for (int k = 0; k < count; ++k) {
            const auto* at = reinterpret_cast<const __m128i*>(row[k] + x);
            first = _mm256_add_epi16(first, _mm256_cvtepu8_epi16(_mm_loadu_si128(at)));
            second = _mm256_add_epi16(second, _mm256_cvtepu8_epi16(_mm_loadu_si128(at + 1)));
        }
        first = MeanOfSums<Count>(first);
        second = MeanOfSums<Count>(second);
    } else if (!Count) {
        // Many rows: each pair's products added in 32 bits, rounded once at the end.
        const __m256i zero = _mm256_setzero_si256();
        __m256i sums[4] = {zero, zero, zero, zero};
        for (int k = 0; k < count; k += 2) {
            const auto* a = reinterpret_cast<const __m128i*>(row[k] + x);
            const auto* b = k + 1 < count ? reinterpret_cast<const __m128i*>(row[k + 1] + x) : nullptr;
            const __m256i pair = _mm256_set1_epi32(int(w[k]) | (b ? int(w[k + 1]) << 16 : 0));
            for (int h = 0; h < 2; ++h) {
                const __m256i ah = _mm256_cvtepu8_epi16(_mm_loadu_si128(a + h));
                const __m256i bh = b ? _mm256_cvtepu8_epi16(_mm_loadu_si128(b + h)) : zero;
                sums[2 * h] = _mm256_add_epi32(sums[2 * h], _mm256_madd_epi16(_mm256_unpacklo_epi16(ah, bh), pair));
                sums[2 * h + 1] =
                    _mm256_add_epi32(sums[2 * h + 1], _mm256_madd_epi16(_mm256_unpackhi_epi16(ah, bh), pair));
            }
        }
        // The unpacks and the packs work within halves: the words come back in order.
        const __m256i half = _mm256_set1_epi32(128);
        for (__m256i& v : sums) v = _mm256_srai_epi32(_mm256_add_epi32(v, half), 8);
        first = _mm256_packs_epi32(sums[0], sums[1]);
        second = _mm256_packs_epi32(sums[2], sums[3]);
    } else {
        const __m256i zero = _mm256_setzero_si256();
        __m256i lo = zero, hi = zero;
        for (int k = 0; k < count; ++k) {
            const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row[k] + x));
            const __m256i wk = Count ? held[k] : _mm256_set1_epi16(std::int16_t(w[k]));
            lo = _mm256_add_epi16(lo, _mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, r), wk));
            hi = _mm256_add_epi16(hi, _mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, r), wk));
        }
        // The unpacks work within halves: lo has bytes 0-7 and 16-23, hi 8-15 and 24-31.
        first = _mm256_permute2x128_si256(lo, hi, 0x20);
        second = _mm256_permute2x128_si256(lo, hi, 0x31);
    }
    if (!Split) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), first);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 16), second);
        return;
    }
    const __m256i even = _mm256_packs_epi32(_mm256_srai_epi32(_mm256_slli_epi32(first, 16), 16),
                                            _mm256_srai_epi32(_mm256_slli_epi32(second, 16), 16));
    const __m256i odd = _mm256_packs_epi32(_mm256_srai_epi32(first, 16), _mm256_srai_epi32(second, 16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x / 2), _mm256_permute4x64_epi64(even, 0xD8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(outSplit + x / 2), _mm256_permute4x64_epi64(odd, 0xD8));
}

// SumRowsSse2 thirty-two bytes at a time, sixty-four a turn (a cache line's prefetch).
template <int Count, bool Mean, bool Split>
AVX2_KERNEL int SumRowsAvx2(const std::uint8_t* const* p, const std::uint16_t* w, int count, int samples, int stride,
                            std::int16_t* out, std::int16_t* outSplit)
{
    if (Count) count = Count;
    constexpr int kHeld = Count ? Count : 1;
    // Held apart from p, which the stores might otherwise change as far as the compiler knows.
    __m256i held[kHeld];
    const std::uint8_t* row[kHeld];
    for (int k = 0; k < kHeld; ++k) {
        held[k] = _mm256_set1_epi16(std::int16_t(w[k]));
        row[k] = p[k];
    }
    const std::uint8_t* const* rows = Count ? row : p;
    const std::ptrdiff_t ahead = std::ptrdiff_t(4 * count) * stride;
    int x = 0;
    for (; x + 64 <= samples; x += 64) {
        for (int k = 0; k < count; ++k) _mm_prefetch(reinterpret_cast<const char*>(rows[k] + x + ahead), _MM_HINT_T0);
        SumChunkAvx2<Count, Mean, Split>(rows, held, w, count, x, out, outSplit);
        SumChunkAvx2<Count, Mean, Split>(rows, held, w, count, x + 32, out, outSplit);
    }
    if (x + 32 <= samples) {
        SumChunkAvx2<Count, Mean, Split>(rows, held, w, count, x, out, outSplit);
        x += 32;
    }
    return x;
}

template <int Count, bool Mean = false>
AVX2_KERNEL int SumRowsAvx2(const std::uint8_t* const* p, const std::uint16_t* w, int count, int samples, int stride,
                            bool split, std::int16_t* out, std::int16_t* outSplit)
{
    if (split) return SumRowsAvx2<Count, Mean, true>(p, w, count, samples, stride, out, outSplit);
    return SumRowsAvx2<Count, Mean, false>(p, w, count, samples, stride, out, outSplit);
}

// Four taps of each of four outputs: an output a quarter.
AVX2_KERNEL inline __attribute__((always_inline)) __m256i Taps4(const std::int16_t* sums, const int* first)
{
    const auto at = [sums, first](int i) {
        return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + first[i]));
    };
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi64(at(0), at(1))),
                                   _mm_unpacklo_epi64(at(2), at(3)), 1);
}

// Filter4 for eight outputs, the weights of four outputs and four taps in each vector.
template <int Taps>
AVX2_KERNEL inline __attribute__((always_inline)) __m256i Filter8(const std::int16_t* sums, const int* first,
                                                                  const __m256i* w, int taps, __m256i round,
                                                                  __m128i shift)
{
    if (Taps) taps = Taps;
    const int blocks = taps / 4;
    __m256i sa = _mm256_setzero_si256(), sb = _mm256_setzero_si256();
    for (int k = 0; k < blocks; ++k) {
        sa = _mm256_add_epi32(sa, _mm256_madd_epi16(Taps4(sums + 4 * k, first), _mm256_loadu_si256(w + k)));
        sb = _mm256_add_epi32(sb, _mm256_madd_epi16(Taps4(sums + 4 * k, first + 4), _mm256_loadu_si256(w + blocks + k)));
    }
    // The pairs added give outputs 0 1 4 5 and 2 3 6 7; the quarters put back in order.
    const __m256i sum = _mm256_permute4x64_epi64(_mm256_hadd_epi32(sa, sb), 0xD8);
    return _mm256_sra_epi32(_mm256_add_epi32(sum, round), shift);
}

template <int Taps>
AVX2_KERNEL void FilterAvx2(const std::int16_t* sums, const BoxScaler::Horizontal& h, int outputs, int round,
                            std::int16_t* out)
{
    const auto* w = reinterpret_cast<const __m256i*>(h.weights.data());
    const __m256i r = _mm256_set1_epi32(round);
    const __m128i shift = _mm_cvtsi32_si128(h.shift);
    const int blocks = h.taps / 4;
    for (int j = 0; j < outputs; j += 16, w += 4 * blocks) {
        const __m256i a = Filter8<Taps>(sums, &h.first[std::size_t(j)], w, h.taps, r, shift);
        const __m256i b = Filter8<Taps>(sums, &h.first[std::size_t(j) + 8], w + 2 * blocks, h.taps, r, shift);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j), _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8));
    }
}

AVX2_KERNEL inline __attribute__((always_inline)) __m256i Load(const std::int16_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Sixteen loaded as two halves: p[0..7] low, p[offset..offset+7] high.
AVX2_KERNEL inline __attribute__((always_inline)) __m256i LoadHalves(const std::int16_t* p, int offset)
{
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset)), 1);
}

// Sixteen outputs each the mean of `Ratio` neighbouring sums, from 16 x Ratio contiguous sums:
// the sums added in 16 bits (unsigned, where four of them fit), then taken down by the ratio
// as the weighted path's product and shift would.
template <int Ratio>
AVX2_KERNEL void MeanAvx2(const std::int16_t* sums, int outputs, int round, int weight, std::int16_t* out)
{
    const __m256i r = _mm256_set1_epi16(std::int16_t(round)), w = _mm256_set1_epi16(std::int16_t(weight));
    // Three: each half makes eight outputs of 24 sums in three vectors a, b, c. The words
    // 0 3 6 of a, 1 4 7 of b and 2 5 of c are each output's first sum, in the order 0 3 6 1 4 7
    // 2 5; its second and third sums are blended the same way one and two words on.
    const __m256i order = _mm256_setr_epi8(0, 1, 6, 7, 12, 13, 2, 3, 8, 9, 14, 15, 4, 5, 10, 11, 0, 1, 6, 7, 12, 13, 2,
                                           3, 8, 9, 14, 15, 4, 5, 10, 11);
    for (int j = 0; j < outputs; j += 16, sums += 16 * Ratio) {
        __m256i sum;
        if (Ratio == 2) {
            sum = _mm256_permute4x64_epi64(_mm256_hadd_epi16(Load(sums), Load(sums + 16)), 0xD8);
        } else if (Ratio == 4) {
            const __m256i ab = _mm256_hadd_epi16(Load(sums), Load(sums + 16));
            const __m256i cd = _mm256_hadd_epi16(Load(sums + 32), Load(sums + 48));
            sum = _mm256_permutevar8x32_epi32(_mm256_hadd_epi16(ab, cd), _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        } else {
            const __m256i a = LoadHalves(sums, 24), b = LoadHalves(sums + 8, 24), c = LoadHalves(sums + 16, 24);
            const __m256i first = _mm256_blend_epi16(_mm256_blend_epi16(a, b, 0x92), c, 0x24);
            const __m256i second = _mm256_blend_epi16(_mm256_blend_epi16(a, b, 0x24), c, 0x49);
            const __m256i third = _mm256_blend_epi16(_mm256_blend_epi16(a, b, 0x49), c, 0x92);
            sum = _mm256_add_epi16(_mm256_add_epi16(first, _mm256_alignr_epi8(second, second, 2)),
                                   _mm256_alignr_epi8(third, third, 4));
            sum = _mm256_shuffle_epi8(sum, order);
        }
        sum = _mm256_add_epi16(sum, r);
        const __m256i mean = Ratio == 2   ? _mm256_srli_epi16(sum, 1)
                             : Ratio == 4 ? _mm256_srli_epi16(sum, 2)
                                          : _mm256_mulhi_epu16(sum, w);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + j), mean);
    }
}
#endif

#if defined(__SSE2__)
// The matrix on eight pixels of 64 times their luma and chroma (each chroma sample twice), in 16 bits.
struct MatrixSse2 {
    __m128i zero, yOffset, ky, kvr, kug, kvg, kub, half, alpha;

    // B G R A of the eight pixels, the first four then the last four.
    void Pixels(__m128i y16, __m128i u, __m128i v, __m128i* px) const
    {
        u = _mm_sub_epi16(u, zero);
        v = _mm_sub_epi16(v, zero);
        const __m128i u4 = _mm_slli_epi16(u, 2), v4 = _mm_slli_epi16(v, 2);
        const __m128i yv = _mm_sub_epi16(_mm_mulhi_epu16(_mm_slli_epi16(y16, 2), ky), yOffset);
        const __m128i r = _mm_adds_epi16(yv, _mm_mulhi_epi16(v4, kvr));
        const __m128i g = _mm_adds_epi16(_mm_adds_epi16(yv, _mm_mulhi_epi16(u4, kug)), _mm_mulhi_epi16(v4, kvg));
        const __m128i bl = _mm_adds_epi16(_mm_adds_epi16(yv, u), _mm_mulhi_epi16(u4, kub));
        const auto down = [this](__m128i c) { return _mm_srai_epi16(_mm_adds_epi16(c, half), 6); };
        // B0..B7 R0..R7 and G0..G7 A0..A7, then interleaved to B G R A a pixel.
        const __m128i br = _mm_packus_epi16(down(bl), down(r)), ga = _mm_packus_epi16(down(g), alpha);
        const __m128i bg = _mm_unpacklo_epi8(br, ga), ra = _mm_unpackhi_epi8(br, ga);
        px[0] = _mm_unpacklo_epi16(bg, ra);
        px[1] = _mm_unpackhi_epi16(bg, ra);
    }
};
#endif

#if defined(BOX_SCALER_AVX2)
// MatrixSse2 on sixteen pixels.
AVX2_KERNEL inline __attribute__((always_inline)) __m256i Set16(int c)
{
    return _mm256_set1_epi16(std::int16_t(c));
}

// Eight chroma samples each for two pixels: its word to both halves of a 32-bit lane.
AVX2_KERNEL inline __attribute__((always_inline)) __m256i Twice(const std::int16_t* c)
{
    const __m256i wide = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c)));
    return _mm256_or_si256(wide, _mm256_slli_epi32(wide, 16));
}

struct MatrixAvx2 {
    __m256i zero, yOffset, ky, kvr, kug, kvg, kub, half, alpha;

    AVX2_KERNEL void Pixels(__m256i y16, __m256i u, __m256i v, __m256i* px) const
    {
        u = _mm256_sub_epi16(u, zero);
        v = _mm256_sub_epi16(v, zero);
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
        px[0] = _mm256_permute2x128_si256(lo, hi, 0x20);
        px[1] = _mm256_permute2x128_si256(lo, hi, 0x31);
    }
};
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
    const double across = double(width) / outWidth, down = double(height) / outHeight;
    m_lumaV = VerticalWeights(Footprints(outHeight, down, height, height, kVerticalOne));
    m_chromaV = VerticalWeights(Footprints(outHeight, down / 2, height / 2.0, ch, kVerticalOne));
    m_lumaH = HorizontalWeights(Footprints(outWidth, across, width, width, kHorizontalOne), m_lumaV);
    m_chromaH = HorizontalWeights(Footprints((outWidth + 1) / 2, across, width / 2.0, cw, kHorizontalOne), m_chromaV);
    // Zeros past the end: the last outputs' unused taps, and the outputs up to a sixteen, read them.
    const auto room = [](const Horizontal& h, int samples) {
        return std::size_t(std::max(samples, int(h.first.size()) * std::max(h.ratio, 1)) + h.taps + 16);
    };
    m_y.assign(room(m_lumaH, width), 0);
    m_u.assign(room(m_chromaH, cw), 0);
    m_v.assign(m_u.size(), 0);
    m_outY.assign(m_lumaH.first.size(), 0);
    m_outU.assign(m_chromaH.first.size(), 0);
    m_outV.assign(m_outU.size(), 0);
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
        if (v.ratio == 2) x = SumRowsAvx2<2, true>(p, w, count, samples, stride, split, out, outSplit);
        else if (v.ratio == 3) x = SumRowsAvx2<3, true>(p, w, count, samples, stride, split, out, outSplit);
        else if (v.ratio == 4) x = SumRowsAvx2<4, true>(p, w, count, samples, stride, split, out, outSplit);
        else switch (count) {
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
        if (v.ratio == 2) x = SumRowsSse2<2, true>(p, w, count, x, samples, stride, split, out, outSplit);
        else if (v.ratio == 3) x = SumRowsSse2<3, true>(p, w, count, x, samples, stride, split, out, outSplit);
        else if (v.ratio == 4) x = SumRowsSse2<4, true>(p, w, count, x, samples, stride, split, out, outSplit);
        else switch (count) {
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
        if (v.ratio) {
            for (int k = 0; k < count; ++k) sum += p[k][x];
            sum = MeanOfSum(v.ratio, sum);
        } else if (count > 4) {
            for (int k = 0; k < count; ++k) sum += p[k][x] * w[k];
            sum = (sum + 128) >> 8;
        } else {
            for (int k = 0; k < count; ++k) sum += MulHighUnsigned(p[k][x] << 8, w[k]);
        }
        if (!split) out[x] = std::int16_t(sum);
        else if (x % 2 == 0) out[x / 2] = std::int16_t(sum);
        else outSplit[x / 2] = std::int16_t(sum);
    }
}

// One row's outputs across from its vertical sums: the means of a whole number of samples from
// contiguous sums where the kernels have them, else each output's weighted taps.
void BoxScaler::Filter(const std::int16_t* sums, const Horizontal& h, int outputs, int inexact, std::int16_t* out,
                       Kernels kernels)
{
    const int round = RoundOf(h, inexact);
#if defined(BOX_SCALER_AVX2)
    if (kernels == Kernels::Avx2) {
        switch (h.ratio) {
        case 2: MeanAvx2<2>(sums, outputs, round / h.weight, h.weight, out); return;
        case 3: MeanAvx2<3>(sums, outputs, round / h.weight, h.weight, out); return;
        case 4: MeanAvx2<4>(sums, outputs, round / h.weight, h.weight, out); return;
        default: break;
        }
        if (h.taps == 4) FilterAvx2<4>(sums, h, outputs, round, out);
        else FilterAvx2<0>(sums, h, outputs, round, out);
        return;
    }
#endif
#if defined(__SSE2__)
    if (kernels == Kernels::Sse2) {
        if (h.taps == 4) FilterSse2<4>(sums, h, outputs, round, out);
        else FilterSse2<0>(sums, h, outputs, round, out);
        return;
    }
#else
    (void)kernels;
#endif
    const std::size_t blocks = std::size_t(h.taps / 4);
    for (int j = 0; j < outputs; ++j) {
        const std::size_t g = std::size_t(j / 4), lane = std::size_t(j % 4);
        const int first = h.first[std::size_t(j)];
        int sum = 0;
        for (int t = 0; t < h.taps; ++t)
            sum += sums[first + t] * h.weights[(g * blocks + std::size_t(t / 4)) * 16 + lane * 4 + std::size_t(t % 4)];
        out[j] = std::int16_t((sum + round) >> h.shift);
    }
}

#if defined(BOX_SCALER_AVX2)
AVX2_KERNEL void BoxScaler::ConvertRowAvx2(std::uint8_t* out, int outWidth) const
{
    const Matrix& m = m_matrix;
    const MatrixAvx2 matrix{Set16(kChromaZero), Set16(m.yOffset), Set16(m.y),  Set16(m.vr), Set16(m.ug),
                            Set16(m.vg),        Set16(m.ub),      Set16(32),   Set16(255)};
    const std::int16_t *y = m_outY.data(), *u = m_outU.data(), *v = m_outV.data();
    for (int b = 0; b * 16 < outWidth; ++b) {
        __m256i px[2];
        matrix.Pixels(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(y + 16 * b)), Twice(u + 8 * b),
                      Twice(v + 8 * b), px);
        if (b * 16 + 16 <= outWidth) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b * 64), px[0]);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + b * 64 + 32), px[1]);
        } else {
            alignas(32) std::uint8_t last[64];
            _mm256_store_si256(reinterpret_cast<__m256i*>(last), px[0]);
            _mm256_store_si256(reinterpret_cast<__m256i*>(last + 32), px[1]);
            std::memcpy(out + b * 64, last, std::size_t(outWidth - b * 16) * 4);
        }
    }
}
#endif

// One output row from its luma and chroma outputs (64 times the sample), through the matrix in
// 16 bits: sixteen or eight pixels at a time, or one.
void BoxScaler::ConvertRow(std::uint8_t* out, int outWidth, Kernels kernels) const
{
    const Matrix& m = m_matrix;
#if defined(BOX_SCALER_AVX2)
    if (kernels == Kernels::Avx2) {
        ConvertRowAvx2(out, outWidth);
        return;
    }
#endif
#if defined(__SSE2__)
    if (kernels == Kernels::Sse2) {
        const auto k = [](int c) { return _mm_set1_epi16(std::int16_t(c)); };
        const MatrixSse2 matrix{k(kChromaZero), k(m.yOffset), k(m.y), k(m.vr), k(m.ug), k(m.vg), k(m.ub), k(32), k(255)};
        for (int b = 0; b * 8 < outWidth; ++b) {
            const auto twice = [](const std::int16_t* c) {
                const __m128i four = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(c));
                return _mm_unpacklo_epi16(four, four);
            };
            __m128i px[2];
            matrix.Pixels(_mm_loadu_si128(reinterpret_cast<const __m128i*>(&m_outY[std::size_t(b) * 8])),
                          twice(&m_outU[std::size_t(b) * 4]), twice(&m_outV[std::size_t(b) * 4]), px);
            if (b * 8 + 8 <= outWidth) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b * 32), px[0]);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b * 32 + 16), px[1]);
            } else {
                alignas(16) std::uint8_t last[32];
                _mm_store_si128(reinterpret_cast<__m128i*>(last), px[0]);
                _mm_store_si128(reinterpret_cast<__m128i*>(last + 16), px[1]);
                std::memcpy(out + b * 32, last, std::size_t(outWidth - b * 8) * 4);
            }
        }
        return;
    }
#else
    (void)kernels;
#endif
    const auto down = [](int c) { return std::uint8_t(std::clamp(AddSaturated(c, 32) >> 6, 0, 255)); };
    for (int j = 0; j < outWidth; ++j) {
        const int y16 = m_outY[std::size_t(j)];
        const int u = m_outU[std::size_t(j / 2)] - kChromaZero, v = m_outV[std::size_t(j / 2)] - kChromaZero;
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

    const int cw = (width + 1) / 2, chromaOut = (outWidth + 1) / 2;
    for (int row = 0; row < outHeight; ++row) {
        const std::size_t r = std::size_t(row);
        SumRows(planes.data[0], planes.stride[0], m_lumaV, row, width, false, m_y.data(), nullptr, kernels);
        if (nv12) {
            SumRows(planes.data[1], planes.stride[1], m_chromaV, row, 2 * cw, true, m_u.data(), m_v.data(), kernels);
        } else {
            SumRows(planes.data[1], planes.stride[1], m_chromaV, row, cw, false, m_u.data(), nullptr, kernels);
            SumRows(planes.data[2], planes.stride[2], m_chromaV, row, cw, false, m_v.data(), nullptr, kernels);
        }
        Filter(m_y.data(), m_lumaH, outWidth, m_lumaV.inexact[r], m_outY.data(), kernels);
        Filter(m_u.data(), m_chromaH, chromaOut, m_chromaV.inexact[r], m_outU.data(), kernels);
        Filter(m_v.data(), m_chromaH, chromaOut, m_chromaV.inexact[r], m_outV.data(), kernels);
        ConvertRow(out + std::ptrdiff_t(row) * outStride, outWidth, kernels);
    }
    return true;
}
