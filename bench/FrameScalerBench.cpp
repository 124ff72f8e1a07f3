// The panes' one-pass conversion of a decoded picture to the pane's size: CPU time a picture
// of the area-averaging pass (BoxScaler, AVX2, SSE2 and plain C++) beside libswscale's area, fast
// bilinear and point modes, at the sizes the main window shows (1920x1080 into 640x360,
// 1280x720 into 320x240) and a few more, with each one's PSNR against two references: the
// area average in doubles (tests/media/AreaReference.h) and libswscale's Lanczos with
// accurate rounding and full chroma. Two pictures: a scene of gradients, edges, noise and
// text-like detail, and a zone plate (fine rings that alias when a filter lets them through).
// Usage: frame_scaler_bench [iterations [pass]]   (default 200 a case; pass: only the passes
// whose "name from to" holds it, e.g. "AVX2" or "area 1920x1080 640x360", for callgrind)
#include "media/BoxScaler.h"
#include "tests/media/AreaReference.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> y, u, v;
    VideoPlanes planes;
};

// BT.709 studio-range I420, as the recordings' H.264 decodes to.
Picture MakePicture(int w, int h, bool zonePlate)
{
    Picture p;
    p.width = w;
    p.height = h;
    const int cw = w / 2, ch = h / 2;
    p.y.resize(std::size_t(w) * h);
    p.u.resize(std::size_t(cw) * ch);
    p.v.resize(p.u.size());
    std::mt19937 random(5);
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; ++x) {
            double value;
            if (zonePlate) {
                const double dx = x - w / 2.0, dy = r - h / 2.0;
                value = 0.5 + 0.5 * std::cos(M_PI * (dx * dx + dy * dy) / (2.0 * w));
            } else {
                value = 0.3 + 0.4 * x / w + 0.2 * std::sin(r * 0.01);
                if ((x / 97 + r / 61) % 5 == 0) value = 0.9;                    // sharp-edged boxes
                if (r % 40 < 12 && x % 9 < 2 && (x / 300) % 2 == 0) value = 0.1;  // thin strokes
                value += (int(random() % 21) - 10) / 255.0;                       // sensor noise
            }
            p.y[std::size_t(r) * w + x] = std::uint8_t(std::clamp(16 + 219 * value, 16.0, 235.0));
        }
    for (int r = 0; r < ch; ++r)
        for (int x = 0; x < cw; ++x) {
            const bool box = !zonePlate && (2 * x / 97 + 2 * r / 61) % 5 == 0;
            p.u[std::size_t(r) * cw + x] = std::uint8_t(box ? 200 : 100 + 56 * x / cw);
            p.v[std::size_t(r) * cw + x] = std::uint8_t(box ? 60 : 150 - 40 * r / ch);
        }
    p.planes.layout = PlaneLayout::I420;
    p.planes.data[0] = p.y.data();
    p.planes.data[1] = p.u.data();
    p.planes.data[2] = p.v.data();
    p.planes.stride[0] = w;
    p.planes.stride[1] = p.planes.stride[2] = cw;
    p.planes.bt709 = true;
    return p;
}

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU milliseconds a picture, the fastest of nine rounds of n pictures: on a shared machine
// the slower rounds measure the neighbours.
double PerPicture(int n, const std::function<void()>& convert)
{
    double best = 1e9;
    for (int round = 0; round < 9; ++round) {
        const double t0 = CpuMs();
        for (int i = 0; i < n; ++i) convert();
        best = std::min(best, (CpuMs() - t0) / n);
    }
    return best;
}

double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    double se = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (i % 4 == 3) continue;
        const double d = double(a[i]) - b[i];
        se += d * d;
        ++n;
    }
    return se == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * n / se);
}

// One libswscale pass of the given flags, as the panes set it up.
struct Sws {
    SwsContext* ctx = nullptr;
    Sws(const Picture& p, int outW, int outH, int flags)
    {
        ctx = sws_getContext(p.width, p.height, AV_PIX_FMT_YUV420P, outW, outH, AV_PIX_FMT_BGRA, flags, nullptr,
                             nullptr, nullptr);
        sws_setColorspaceDetails(ctx, sws_getCoefficients(SWS_CS_ITU709), 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
    }
    ~Sws() { sws_freeContext(ctx); }
    void Run(const Picture& p, std::uint8_t* out, int outW) const
    {
        const std::uint8_t* src[4] = {p.planes.data[0], p.planes.data[1], p.planes.data[2], nullptr};
        const int stride[4] = {p.planes.stride[0], p.planes.stride[1], p.planes.stride[2], 0};
        std::uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
        const int dstStride[4] = {outW * 4, 0, 0, 0};
        sws_scale(ctx, src, stride, 0, p.height, dst, dstStride);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const std::string only = argc > 2 ? argv[2] : "";
    const struct {
        int w, h, outW, outH;
    } cases[] = {{1920, 1080, 640, 360}, {1280, 720, 320, 240}, {1920, 1080, 1280, 720},
                 {1920, 1080, 1020, 574}, {1280, 720, 1280, 720}};
    const struct {
        const char* name;
        int flags;
    } modes[] = {{"swscale area", SWS_AREA}, {"swscale fast bilinear", SWS_FAST_BILINEAR}, {"swscale point", SWS_POINT}};
    std::printf("%-22s %-10s %-9s %9s %12s %12s %12s %12s\n", "pass", "from", "to", "ms/pic", "scene:area",
                "scene:lanczos", "plate:area", "plate:lanczos");
    for (const auto& c : cases) {
        const Picture scene = MakePicture(c.w, c.h, false), plate = MakePicture(c.w, c.h, true);
        const Picture* pictures[2] = {&scene, &plate};
        std::vector<std::uint8_t> area[2], lanczos[2];
        for (int i = 0; i < 2; ++i) {
            area[i] = AreaReference(pictures[i]->planes, c.w, c.h, c.outW, c.outH);
            lanczos[i].resize(std::size_t(c.outW) * c.outH * 4);
            Sws(*pictures[i], c.outW, c.outH, SWS_LANCZOS | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP)
                .Run(*pictures[i], lanczos[i].data(), c.outW);
        }
        std::vector<std::uint8_t> out(std::size_t(c.outW) * c.outH * 4);
        const auto report = [&](const char* name, const std::function<void(const Picture&)>& convert) {
            const std::string from = std::to_string(c.w) + "x" + std::to_string(c.h);
            const std::string to = std::to_string(c.outW) + "x" + std::to_string(c.outH);
            if ((std::string(name) + " " + from + " " + to).find(only) == std::string::npos) return;
            const double ms = PerPicture(n, [&] { convert(scene); });
            double psnr[4];
            for (int i = 0; i < 2; ++i) {
                convert(*pictures[i]);
                psnr[2 * i] = Psnr(out, area[i]);
                psnr[2 * i + 1] = Psnr(out, lanczos[i]);
            }
            std::printf("%-22s %-10s %-9s %9.3f %9.1f dB %9.1f dB %9.1f dB %9.1f dB\n", name, from.c_str(), to.c_str(), ms,
                        psnr[0], psnr[1], psnr[2], psnr[3]);
        };
        for (const auto kernels : {BoxScaler::Kernels::Avx2, BoxScaler::Kernels::Sse2, BoxScaler::Kernels::Plain}) {
            if (!BoxScaler::Runs(kernels)) continue;
            BoxScaler box;
            const char* name = kernels == BoxScaler::Kernels::Avx2   ? "box (AVX2)"
                               : kernels == BoxScaler::Kernels::Sse2 ? "box (SSE2)"
                                                                      : "box (plain C++)";
            report(name, [&](const Picture& p) {
                box.Convert(p.planes, c.w, c.h, out.data(), c.outW * 4, c.outW, c.outH, kernels);
            });
        }
        for (const auto& m : modes) {
            const Sws sws(scene, c.outW, c.outH, m.flags);
            report(m.name, [&](const Picture& p) { sws.Run(p, out.data(), c.outW); });
        }
    }
    return 0;
}
