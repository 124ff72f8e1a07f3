#pragma once
// The area average of decoded planes in doubles: each output sample the mean of the source
// samples its footprint covers, weighed by how much of each it covers, luma for every pixel
// and chroma for every two pixels across (a chroma sample covering two by two pixels of the
// source), then the BT.601 or BT.709 matrix, studio or full range, in doubles. 32-bit BGRx
// out, rows of outWidth pixels.
#include "platform/VideoFrame.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace area_reference {

// Sample (x, r) of a plane: 0 luma, 1 U, 2 V.
inline int Sample(const VideoPlanes& p, int plane, int x, int r)
{
    if (plane == 0) return p.data[0][std::ptrdiff_t(r) * p.stride[0] + x];
    if (p.layout == PlaneLayout::NV12) return p.data[1][std::ptrdiff_t(r) * p.stride[1] + 2 * x + (plane == 2)];
    return p.data[plane][std::ptrdiff_t(r) * p.stride[plane] + x];
}

// The mean of a plane of samples x rows over [x0, x1) x [y0, y1).
inline double Average(const VideoPlanes& p, int plane, int samples, int rows, double x0, double x1, double y0,
                      double y1)
{
    double sum = 0, area = 0;
    for (int r = int(std::floor(y0)); r < std::min(rows, int(std::ceil(y1))); ++r) {
        const double h = std::min(y1, r + 1.0) - std::max(y0, double(r));
        for (int x = int(std::floor(x0)); x < std::min(samples, int(std::ceil(x1))); ++x) {
            const double a = h * (std::min(x1, x + 1.0) - std::max(x0, double(x)));
            sum += a * Sample(p, plane, x, r);
            area += a;
        }
    }
    return sum / area;
}

}  // namespace area_reference

inline std::vector<std::uint8_t> AreaReference(const VideoPlanes& p, int w, int h, int outW, int outH)
{
    using area_reference::Average;
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    const bool full = p.fullRange;
    const double kr = p.bt709 ? 0.2126 : 0.299, kb = p.bt709 ? 0.0722 : 0.114, kg = 1 - kr - kb;
    std::vector<std::uint8_t> out(std::size_t(outW) * outH * 4);
    for (int oy = 0; oy < outH; ++oy)
        for (int ox = 0; ox < outW; ++ox) {
            const double sx = double(w) / outW, sy = double(h) / outH;
            const double y = Average(p, 0, w, h, ox * sx, (ox + 1) * sx, oy * sy, (oy + 1) * sy);
            // Chroma in its own samples: two pixels across, one row down.
            const int k = ox / 2;
            const double cx0 = k * sx, cx1 = std::min((k + 1) * sx, w / 2.0), cy0 = oy * sy / 2, cy1 = (oy + 1) * sy / 2;
            const double u = Average(p, 1, cw, ch, cx0, cx1, cy0, cy1);
            const double v = Average(p, 2, cw, ch, cx0, cx1, cy0, cy1);
            const double yy = full ? y : (y - 16) * 255 / 219;
            const double uu = (u - 128) * (full ? 1 : 255.0 / 224), vv = (v - 128) * (full ? 1 : 255.0 / 224);
            const double bgr[3] = {yy + 2 * (1 - kb) * uu, yy - 2 * (1 - kb) * kb / kg * uu - 2 * (1 - kr) * kr / kg * vv,
                                   yy + 2 * (1 - kr) * vv};
            std::uint8_t* px = &out[(std::size_t(oy) * outW + ox) * 4];
            for (int c = 0; c < 3; ++c) px[c] = std::uint8_t(std::clamp(std::lround(bgr[c]), 0L, 255L));
            px[3] = 255;
        }
    return out;
}
