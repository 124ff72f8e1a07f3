// The one-pass shrink and conversion against a double-precision area average of each plane
// and the matrix in doubles: sizes odd and even, whole and fractional ratios, both matrices and
// ranges, I420 and NV12, planes with padded rows; the AVX2, SSE2 and plain paths give the same bytes,
// and nothing is written past an output row.
#include "media/BoxScaler.h"
#include "media/FrameScaler.h"
#include "tests/media/AreaReference.h"

#include <gtest/gtest.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using Kernels = BoxScaler::Kernels;

// A picture's planes, each row `pad` bytes longer than its samples, the padding filled with
// bytes that would show if read; each plane exactly as long as its last row needs.
struct Planes {
    std::vector<std::uint8_t> y, u, v;  // u: NV12's interleaved chroma
    VideoPlanes planes;

    Planes(int w, int h, bool interleaved, int pad, bool bt709, bool fullRange, std::uint32_t seed)
    {
        std::mt19937 random(seed);
        const int cw = (w + 1) / 2, ch = (h + 1) / 2;
        const int ys = w + pad, cs = (interleaved ? 2 * cw : cw) + pad;
        // Smooth areas, edges and noise: every kind of detail the average must keep.
        const auto fill = [&](std::vector<std::uint8_t>& p, int stride, int samples, int rows) {
            p.assign(std::size_t(stride) * (rows - 1) + samples, 0xEE);
            for (int r = 0; r < rows; ++r)
                for (int x = 0; x < samples; ++x) {
                    const int smooth = (x * 7 + r * 3) % 256, edge = ((x / 5 + r / 3) % 2) * 200;
                    const int pick = int(random() % 3);
                    p[std::size_t(r) * stride + x] =
                        std::uint8_t(pick == 0 ? smooth : pick == 1 ? edge + 20 : int(random() % 256));
                }
        };
        fill(y, ys, w, h);
        fill(u, cs, interleaved ? 2 * cw : cw, ch);
        if (!interleaved) fill(v, cs, cw, ch);
        planes.layout = interleaved ? PlaneLayout::NV12 : PlaneLayout::I420;
        planes.data[0] = y.data();
        planes.data[1] = u.data();
        planes.data[2] = interleaved ? nullptr : v.data();
        planes.stride[0] = ys;
        planes.stride[1] = cs;
        planes.stride[2] = interleaved ? 0 : cs;
        planes.bt709 = bt709;
        planes.fullRange = fullRange;
    }
};

TEST(BoxScaler, ShrinksAndConvertsAsTheAreaAverageOfEachPlane)
{
    const struct {
        int w, h, outW, outH;
    } sizes[] = {
        {96, 54, 32, 18},    // a third both ways (1920x1080 into 640x360)
        {64, 36, 16, 12},    // a quarter across, a third down (1280x720 into 320x240)
        {100, 60, 37, 23},   // fractional ratios
        {61, 47, 20, 9},     // odd sizes: a half chroma sample at the right and bottom edges
        {33, 17, 33, 17},    // kept size
        {50, 30, 49, 29},    // barely shrinking
        {77, 41, 1, 1},      // the whole picture in one pixel
        {40, 40, 13, 40},    // shrinking across only
        {35, 9, 6, 3},       // fewer outputs than a group of four at the end of a row
        {34, 22, 17, 11},    // halves, the last chroma sample of a row half covered
        {48, 36, 12, 9},     // quarters: chroma halved down, quartered across
        {36, 48, 12, 12},    // thirds across, quarters down
        {99, 66, 33, 22},    // thirds of odd chroma
        {321, 239, 107, 80}, // thirds across, an odd ratio down
        {17, 13, 5, 4},      // odd ratios of a small odd picture
        {1282, 722, 641, 361},  // halves of a picture a little larger than the rear camera's
        {64, 200, 16, 1},    // quarters across of two hundred rows: sums too large for 16 bits
        {300, 600, 3, 2},    // hundreds of rows an output, their weights rounded up
    };
    std::uint32_t seed = 1;
    for (const auto& s : sizes)
        for (const bool nv12 : {false, true})
            for (const bool bt709 : {false, true})
                for (const bool full : {false, true}) {
                    const Planes p(s.w, s.h, nv12, nv12 ? 3 : 13, bt709, full, seed++);
                    const std::vector<std::uint8_t> reference = AreaReference(p.planes, s.w, s.h, s.outW, s.outH);
                    std::vector<std::uint8_t> outs[3];
                    for (const auto kernels : {Kernels::Plain, Kernels::Sse2, Kernels::Avx2}) {
                        if (!BoxScaler::Runs(kernels)) continue;
                        // Rows of the output longer than its pixels: what lies past them stays.
                        const int stride = s.outW * 4 + 12;
                        std::vector<std::uint8_t>& out = outs[int(kernels)];
                        out.assign(std::size_t(stride) * s.outH, 0x5A);
                        BoxScaler scaler;
                        ASSERT_TRUE(scaler.Convert(p.planes, s.w, s.h, out.data(), stride, s.outW, s.outH, kernels));
                        int worst = 0;
                        double total = 0;
                        for (int r = 0; r < s.outH; ++r) {
                            for (int i = 0; i < s.outW * 4; ++i) {
                                const int d = std::abs(out[std::size_t(r) * stride + i] -
                                                       reference[(std::size_t(r) * s.outW) * 4 + i]);
                                worst = std::max(worst, d);
                                total += d;
                            }
                            for (int i = s.outW * 4; i < stride; ++i)
                                ASSERT_EQ(out[std::size_t(r) * stride + i], 0x5A) << "written past row " << r;
                        }
                        const auto where = ::testing::Message() << s.w << "x" << s.h << " to " << s.outW << "x" << s.outH
                                                                << (nv12 ? " NV12" : " I420") << (bt709 ? " 709" : " 601")
                                                                << (full ? " full" : " studio") << " kernels " << int(kernels);
                        EXPECT_LE(worst, 2) << where;
                        EXPECT_LT(total / (s.outW * s.outH * 4), 0.3) << where;
                    }
                    for (const auto kernels : {Kernels::Sse2, Kernels::Avx2}) {
                        if (!BoxScaler::Runs(kernels)) continue;
                        EXPECT_EQ(outs[int(kernels)], outs[0])
                            << s.w << "x" << s.h << " to " << s.outW << "x" << s.outH << " kernels " << int(kernels);
                    }
                }
}

TEST(BoxScaler, TakesOnlyPicturesThatDoNotGrow)
{
    BoxScaler scaler;
    const Planes p(20, 10, false, 0, false, false, 7);
    std::vector<std::uint8_t> out(40 * 20 * 4);
    EXPECT_FALSE(scaler.Convert(p.planes, 20, 10, out.data(), 40 * 4, 40, 20));
    EXPECT_FALSE(scaler.Convert(p.planes, 20, 10, out.data(), 21 * 4, 21, 5));
    EXPECT_FALSE(BoxScaler::Applies(20, 10, 0, 5));
    EXPECT_TRUE(scaler.Convert(p.planes, 20, 10, out.data(), 20 * 4, 20, 10));
}

// Quarters of known colours through the frame scaler, shrunk, kept and grown, on both matrices
// and ranges: the middle of each quarter comes out in its colour.
TEST(FrameScaler, KnownColoursComeOutAtTheirPixels)
{
    struct Case {
        bool bt709, full;
        std::uint8_t yuv[4][3];  // red, green, blue, white
    };
    const Case cases[] = {
        {false, false, {{81, 90, 240}, {145, 54, 34}, {41, 240, 110}, {235, 128, 128}}},
        {true, false, {{63, 102, 240}, {173, 42, 26}, {32, 240, 118}, {235, 128, 128}}},
        {false, true, {{76, 85, 255}, {150, 44, 21}, {29, 255, 107}, {255, 128, 128}}},
        {true, true, {{54, 99, 255}, {182, 30, 12}, {18, 255, 116}, {255, 128, 128}}},
    };
    const std::uint8_t expected[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};  // B, G, R
    const int w = 192, h = 108;
    for (const Case& c : cases)
        for (const bool nv12 : {false, true}) {
            std::vector<std::uint8_t> y(std::size_t(w) * h), uv(std::size_t(w) * h / 2), u(uv.size() / 2),
                v(uv.size() / 2);
            for (int r = 0; r < h; ++r)
                for (int x = 0; x < w; ++x) {
                    const auto& s = c.yuv[(r >= h / 2) * 2 + (x >= w / 2)];
                    y[std::size_t(r) * w + x] = s[0];
                    if (x % 2 || r % 2) continue;
                    const std::size_t ci = std::size_t(r / 2) * (w / 2) + x / 2;
                    u[ci] = uv[2 * ci] = s[1];
                    v[ci] = uv[2 * ci + 1] = s[2];
                }
            VideoPlanes planes;
            planes.layout = nv12 ? PlaneLayout::NV12 : PlaneLayout::I420;
            planes.data[0] = y.data();
            planes.data[1] = nv12 ? uv.data() : u.data();
            planes.data[2] = nv12 ? nullptr : v.data();
            planes.stride[0] = w;
            planes.stride[1] = planes.stride[2] = nv12 ? w : w / 2;
            planes.bt709 = c.bt709;
            planes.fullRange = c.full;
            for (const int outW : {64, 48, 191, 192, 384}) {
                const int outH = outW * h / w;
                std::vector<std::uint8_t> out(std::size_t(outW) * outH * 4);
                FrameScaler scaler;
                ASSERT_TRUE(scaler.Scale(planes, w, h, VideoRect{0, 0, w, h}, out.data(), outW * 4, outW, outH));
                for (int q = 0; q < 4; ++q) {
                    const int px = (q % 2) * outW / 2 + outW / 4, py = (q / 2) * outH / 2 + outH / 4;
                    const std::uint8_t* got = &out[(std::size_t(py) * outW + px) * 4];
                    for (int ch = 0; ch < 3; ++ch)
                        EXPECT_NEAR(got[ch], expected[q][ch], 3)
                            << "quarter " << q << " channel " << ch << " at " << outW << (c.bt709 ? " 709" : " 601")
                            << (c.full ? " full" : " studio") << (nv12 ? " NV12" : " I420");
                    EXPECT_EQ(got[3], 255);
                }
            }
        }
}

// libswscale's vector loops write whole blocks of pixels: at a width that is no multiple of
// their block the last row of a picture kept at its size ran past the caller's buffer.
TEST(FrameScaler, WritesNothingPastThePicture)
{
    const struct {
        int w, h, outW, outH;
    } sizes[] = {{202, 50, 202, 50}, {200, 40, 200, 40}, {854, 30, 854, 30}, {853, 31, 853, 31},
                 {202, 50, 250, 61}, {202, 50, 101, 25}};
    constexpr std::size_t kGuard = 256;
    for (const auto& s : sizes)
        for (const bool nv12 : {false, true}) {
            const Planes p(s.w, s.h, nv12, 0, false, false, 3);
            const std::size_t bytes = std::size_t(s.outW) * s.outH * 4;
            std::vector<std::uint8_t> out(bytes + kGuard, 0x5A);
            FrameScaler scaler;
            ASSERT_TRUE(scaler.Scale(p.planes, s.w, s.h, VideoRect{0, 0, s.w, s.h}, out.data(), s.outW * 4, s.outW,
                                     s.outH));
            const std::string where = std::to_string(s.w) + "x" + std::to_string(s.h) + " to " +
                                      std::to_string(s.outW) + "x" + std::to_string(s.outH) + (nv12 ? " NV12" : " I420");
            EXPECT_EQ(std::count(out.begin() + std::ptrdiff_t(bytes), out.end(), 0x5A), std::ptrdiff_t(kGuard)) << where;
        }
}

// A copy of some bytes that ends where a page nobody may read begins: a read of one byte past
// them faults.
class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<std::uint8_t>& bytes)
    {
        const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
        m_size = (bytes.size() + page - 1) / page * page + page;
        void* base = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) return;
        m_base = static_cast<std::uint8_t*>(base);
        if (mprotect(m_base + m_size - page, page, PROT_NONE) != 0) return;
        m_data = m_base + m_size - page - bytes.size();
        if (!bytes.empty()) std::memcpy(m_data, bytes.data(), bytes.size());
    }
    ~GuardedBytes()
    {
        if (m_base) munmap(m_base, m_size);
    }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    std::uint8_t* data() const { return m_data; }

private:
    std::uint8_t* m_base = nullptr;
    std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// libswscale's vector loops also read whole blocks: each plane here ends at a page that faults
// when read, so a pass that reads past the last row of a plane ends the test.
TEST(FrameScaler, ReadsNothingPastThePlanes)
{
    const struct {
        int w, h, outW, outH;
        VideoRect part;
    } sizes[] = {
        {202, 50, 202, 50, {0, 0, 202, 50}},  // kept, at widths no multiple of the blocks
        {854, 31, 854, 31, {0, 0, 854, 31}},
        {33, 17, 33, 17, {0, 0, 33, 17}},
        {200, 40, 93, 21, {106, 18, 93, 21}},  // a part at the right and bottom, kept
        {202, 50, 250, 61, {0, 0, 202, 50}},   // grown
        {202, 50, 101, 25, {0, 0, 202, 50}},   // shrunk
        {192, 48, 64, 16, {0, 0, 192, 48}},    // shrunk by whole numbers, by the means of rows and samples
        {96, 36, 24, 9, {0, 0, 96, 36}},
        {321, 239, 107, 80, {0, 0, 321, 239}},
        {1282, 722, 641, 361, {0, 0, 1282, 722}},
    };
    for (const auto& s : sizes)
        for (const bool nv12 : {false, true}) {
            const Planes p(s.w, s.h, nv12, 0, false, false, 9);
            const GuardedBytes y(p.y), u(p.u), v(p.v);
            ASSERT_TRUE(y.data() && u.data() && (nv12 || v.data()));
            VideoPlanes guarded = p.planes;
            guarded.data[0] = y.data();
            guarded.data[1] = u.data();
            guarded.data[2] = nv12 ? nullptr : v.data();
            std::vector<std::uint8_t> out(std::size_t(s.outW) * s.outH * 4);
            FrameScaler scaler;
            ASSERT_TRUE(scaler.Scale(guarded, s.w, s.h, s.part, out.data(), s.outW * 4, s.outW, s.outH));
            // The same bytes as one pass of libswscale over planes with room to read past, into
            // rows with room to write past.
            const Planes roomy(s.w, s.h, nv12, 64, false, false, 9);
            const int roomyStride = s.outW * 4 + 64;
            std::vector<std::uint8_t> one(std::size_t(roomyStride) * (s.outH + 1));
            const bool kept = s.part.width == s.outW && s.part.height == s.outH;
            if (kept || !BoxScaler::Applies(s.part.width, s.part.height, s.outW, s.outH)) {
                SwsContext* ctx = sws_getContext(s.part.width, s.part.height, nv12 ? AV_PIX_FMT_NV12 : AV_PIX_FMT_YUV420P,
                                                 s.outW, s.outH, AV_PIX_FMT_BGRA, SWS_AREA, nullptr, nullptr, nullptr);
                ASSERT_TRUE(ctx);
                sws_setColorspaceDetails(ctx, sws_getCoefficients(SWS_CS_ITU601), 0, sws_getCoefficients(SWS_CS_DEFAULT),
                                         1, 0, 1 << 16, 1 << 16);
                const int cx = nv12 ? s.part.x : s.part.x / 2;
                const std::uint8_t* src[4] = {
                    roomy.planes.data[0] + s.part.y * roomy.planes.stride[0] + s.part.x,
                    roomy.planes.data[1] + s.part.y / 2 * roomy.planes.stride[1] + cx,
                    nv12 ? nullptr : roomy.planes.data[2] + s.part.y / 2 * roomy.planes.stride[2] + cx, nullptr};
                std::uint8_t* dst[4] = {one.data(), nullptr, nullptr, nullptr};
                const int dstStride[4] = {roomyStride, 0, 0, 0};
                EXPECT_EQ(sws_scale(ctx, src, roomy.planes.stride, 0, s.part.height, dst, dstStride), s.outH);
                sws_freeContext(ctx);
                for (int r = 0; r < s.outH; ++r)
                    ASSERT_EQ(0, std::memcmp(&out[std::size_t(r) * s.outW * 4], &one[std::size_t(r) * roomyStride],
                                             std::size_t(s.outW) * 4))
                        << "row " << r << " of " << s.w << "x" << s.h << " to " << s.outW << "x" << s.outH
                        << (nv12 ? " NV12" : " I420");
            }
        }
}

}  // namespace
