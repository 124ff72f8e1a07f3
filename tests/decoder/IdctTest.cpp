// The inverse DCT: IEEE 1180-1990 accuracy against a double-precision
// transform, and the shortcut variants against the full transform.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "decoder/BlockCoding.h"
#include "decoder/DecoderInternal.h"

using namespace dec;

namespace {

constexpr uint32_t kFullPattern = 63;

// The random generator of IEEE 1180-1990.
class Ieee1180Random {
public:
    explicit Ieee1180Random(long seed) : x_(seed) {}
    long Next(long lo, long hi)
    {
        x_ = (x_ * 1103515245L + 12345L) & 0xFFFFFFFFL;
        const long i = x_ & 0x7FFFFFFEL;
        double v = double(i) / double(0x7FFFFFFF);
        v *= double(lo + hi + 1);
        return long(v) - lo;
    }

private:
    long x_;
};

// c[k][n] = C(k) cos((2n + 1) k pi / 16): separable double-precision transforms.
struct CosTable {
    double c[8][8];
    CosTable()
    {
        for (int k = 0; k < 8; ++k)
            for (int n = 0; n < 8; ++n)
                c[k][n] = (k == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * n + 1) * k * M_PI / 16.0);
    }
};
const CosTable kCos;

void ForwardDct(const double in[64], double out[64])
{
    double tmp[64];
    for (int y = 0; y < 8; ++y)
        for (int u = 0; u < 8; ++u) {
            double s = 0;
            for (int x = 0; x < 8; ++x)
                s += in[8 * y + x] * kCos.c[u][x];
            tmp[8 * y + u] = s;
        }
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double s = 0;
            for (int y = 0; y < 8; ++y)
                s += tmp[8 * y + u] * kCos.c[v][y];
            out[8 * v + u] = s;
        }
}

void InverseDct(const double in[64], double out[64])
{
    double tmp[64];
    for (int v = 0; v < 8; ++v)
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int u = 0; u < 8; ++u)
                s += in[8 * v + u] * kCos.c[u][x];
            tmp[8 * v + x] = s;
        }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int v = 0; v < 8; ++v)
                s += tmp[8 * v + x] * kCos.c[v][y];
            out[8 * y + x] = s;
        }
}

uint32_t PatternOf(const int16_t* b)
{
    uint32_t p = 0;
    for (int i = 1; i < 64; ++i)
        if (b[i])
            p |= uint32_t(i);
    return p;
}

struct Range {
    long lo;
    long hi;
};

class Ieee1180Test : public ::testing::TestWithParam<std::tuple<Range, int>> {};

TEST_P(Ieee1180Test, MeetsAccuracyLimits)
{
    const Range range = std::get<0>(GetParam());
    const int sign = std::get<1>(GetParam());
    Ieee1180Random rnd(1);
    const int blocks = 10000;
    long peak = 0;
    double sqErr[64] = {}, meanErr[64] = {};
    for (int n = 0; n < blocks; ++n) {
        double pixels[64], coef[64], ref[64];
        for (int i = 0; i < 64; ++i)
            pixels[i] = double(rnd.Next(range.lo, range.hi) * sign);
        ForwardDct(pixels, coef);
        int16_t block[64];
        double rounded[64];
        for (int i = 0; i < 64; ++i) {
            double c = std::floor(coef[i] + 0.5);
            c = c < -2048 ? -2048 : (c > 2047 ? 2047 : c);
            rounded[i] = c;
            block[i] = int16_t(c);
        }
        InverseDct(rounded, ref);
        IdctTransform(block, PatternOf(block));
        for (int i = 0; i < 64; ++i) {
            long r = long(std::floor(ref[i] + 0.5));
            r = r < -256 ? -256 : (r > 255 ? 255 : r);
            long t = block[i];
            t = t < -256 ? -256 : (t > 255 ? 255 : t);
            const long e = t - r;
            peak = std::max(peak, std::labs(e));
            sqErr[i] += double(e * e);
            meanErr[i] += double(e);
        }
    }
    double totalSq = 0, totalMean = 0;
    for (int i = 0; i < 64; ++i) {
        EXPECT_LE(sqErr[i] / blocks, 0.06) << "pixel " << i;
        EXPECT_LE(std::fabs(meanErr[i]) / blocks, 0.015) << "pixel " << i;
        totalSq += sqErr[i];
        totalMean += meanErr[i];
    }
    EXPECT_LE(peak, 1);
    EXPECT_LE(totalSq / (64.0 * blocks), 0.02);
    EXPECT_LE(std::fabs(totalMean) / (64.0 * blocks), 0.0015);
}

INSTANTIATE_TEST_SUITE_P(AllRanges, Ieee1180Test,
                         ::testing::Combine(::testing::Values(Range{256, 255}, Range{5, 5}, Range{300, 300}),
                                            ::testing::Values(1, -1)));

TEST(Idct, ZeroInputGivesZeroOutput)
{
    int16_t block[64] = {};
    IdctTransform(block, kFullPattern);
    for (int16_t v : block)
        EXPECT_EQ(v, 0);
}

// Random sparse blocks of every shape the pattern word can describe: the
// pattern-selected path must equal the full transform sample for sample.
TEST(Idct, ShortcutsEqualTheFullTransform)
{
    std::mt19937 gen(7);
    for (int n = 0; n < 20000; ++n) {
        int16_t block[64] = {};
        const int maxRow = int(gen() % 8), maxCol = int(gen() % 8);
        const int count = int(gen() % 6);
        block[0] = int16_t(int(gen() % 4096) - 2048);
        for (int k = 0; k < count; ++k) {
            const int r = int(gen() % (maxRow + 1)), c = int(gen() % (maxCol + 1));
            block[8 * r + c] = int16_t(int(gen() % 2048) - 1024);
        }
        int16_t full[64], fast[64];
        std::memcpy(full, block, sizeof(block));
        std::memcpy(fast, block, sizeof(block));
        IdctTransform(full, kFullPattern);
        const uint32_t pattern = PatternOf(block);
        IdctTransform(fast, pattern);
        ASSERT_EQ(0, std::memcmp(full, fast, sizeof(full))) << "pattern " << std::hex << pattern;

        // Put and add with the pattern match the full transform too.
        uint8_t put1[64], put2[64], pred[64], add1[64], add2[64];
        for (int i = 0; i < 64; ++i)
            pred[i] = uint8_t(gen());
        std::memcpy(full, block, sizeof(block));
        std::memcpy(fast, block, sizeof(block));
        IdctPut(put1, full, 8, kFullPattern);
        IdctPut(put2, fast, 8, pattern);
        ASSERT_EQ(0, std::memcmp(put1, put2, 64));
        std::memcpy(full, block, sizeof(block));
        std::memcpy(fast, block, sizeof(block));
        IdctAdd(add1, pred, full, 8, 8, kFullPattern);
        IdctAdd(add2, pred, fast, 8, 8, pattern);
        ASSERT_EQ(0, std::memcmp(add1, add2, 64));
    }
}

// Put and add store the transform's samples clipped to 0..255, sample by sample.
TEST(Idct, PutAndAddClipTheTransform)
{
    std::mt19937 gen(3);
    for (int n = 0; n < 5000; ++n) {
        int16_t block[64];
        for (auto& v : block)
            v = int16_t(gen() % 5 == 0 ? int(gen() % 4096) - 2048 : 0);
        int16_t t[64], a[64], b[64];
        std::memcpy(t, block, sizeof(block));
        std::memcpy(a, block, sizeof(block));
        std::memcpy(b, block, sizeof(block));
        IdctTransform(t, kFullPattern);
        uint8_t pred[8 * 12], put[8 * 12], add[8 * 12];
        for (auto& v : pred)
            v = uint8_t(gen());
        IdctPut(put, a, 12, kFullPattern);
        IdctAdd(add, pred, b, 12, 12, kFullPattern);
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c) {
                const int v = t[8 * r + c];
                ASSERT_EQ(put[12 * r + c], std::clamp(v, 0, 255));
                ASSERT_EQ(add[12 * r + c], std::clamp(pred[12 * r + c] + v, 0, 255));
            }
    }
}

TEST(Idct, DcOnlyBlocks)
{
    int16_t block[64] = {};
    block[0] = 1024;
    uint8_t out[64];
    IdctPut(out, block, 8, 0);
    for (uint8_t v : out)
        EXPECT_EQ(v, 128);

    uint8_t pred[64];
    for (int i = 0; i < 64; ++i)
        pred[i] = uint8_t(i == 0 ? 0 : 100);
    int16_t minus[64] = {};
    minus[0] = -8;
    IdctAdd(out, pred, minus, 8, 8, 0);
    EXPECT_EQ(out[0], 0); // clipped, not wrapped
    for (int i = 1; i < 64; ++i)
        EXPECT_EQ(out[i], 99);
}

TEST(Idct, ClipsPerSample)
{
    // A strong horizontal cosine: part of each row above 255, part below 0.
    int16_t block[64] = {};
    block[0] = 1024;
    block[1] = 2000;
    uint8_t out[64];
    IdctPut(out, block, 8, PatternOf(block));
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[7], 0);
    EXPECT_GT(out[3], 0);
    EXPECT_LT(out[3], 255);
}

}  // namespace
