#include "media/FrameScaler.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

FrameScaler::~FrameScaler()
{
    sws_freeContext(m_ctx);
    sws_freeContext(m_tailCtx);
}

VideoRect FrameScaler::EvenCrop(VideoRect r, int width, int height)
{
    int x0 = std::clamp(r.x, 0, width), y0 = std::clamp(r.y, 0, height);
    const int x1 = std::clamp(r.x + r.width, x0, width), y1 = std::clamp(r.y + r.height, y0, height);
    x0 &= ~1;
    y0 &= ~1;
    return VideoRect{x0, y0, x1 - x0, y1 - y0};
}

bool FrameScaler::Scale(const VideoPlanes& planes, int width, int height, VideoRect source, std::uint8_t* out,
                        int outStride, int outWidth, int outHeight)
{
    if (!planes.Present() || !out || width <= 0 || height <= 0 || outWidth <= 0 || outHeight <= 0) return false;
    const VideoRect s = EvenCrop(source, width, height);
    if (s.width <= 0 || s.height <= 0) return false;
    const bool nv12 = planes.layout == PlaneLayout::NV12;
    if (!nv12 && !planes.data[2]) return false;

    const std::uint8_t* src[4] = {planes.data[0] + std::ptrdiff_t(s.y) * planes.stride[0] + s.x, nullptr, nullptr,
                                  nullptr};
    int srcStride[4] = {planes.stride[0], planes.stride[1], 0, 0};
    const std::ptrdiff_t chromaRow = std::ptrdiff_t(s.y / 2) * planes.stride[1];
    if (nv12) {
        src[1] = planes.data[1] + chromaRow + s.x;
    } else {
        src[1] = planes.data[1] + chromaRow + s.x / 2;
        src[2] = planes.data[2] + std::ptrdiff_t(s.y / 2) * planes.stride[2] + s.x / 2;
        srcStride[2] = planes.stride[2];
    }
    ++FrameWork().conversions;
    // Shrinking: the area average. Kept at its size, libswscale's unscaled conversion is quicker.
    const bool kept = s.width == outWidth && s.height == outHeight;
    if (!kept && BoxScaler::Applies(s.width, s.height, outWidth, outHeight)) {
        VideoPlanes part = planes;
        for (int i = 0; i < 3; ++i) part.data[i] = src[i];
        return m_box.Convert(part, s.width, s.height, out, outStride, outWidth, outHeight);
    }

    // Growing one way at least: libswscale's area mode, bilinear where the picture grows.
    if (!kept) return Swscale(m_ctx, planes, src, srcStride, s.width, s.height, out, outStride, outWidth, outHeight);

    // Kept at its size: libswscale's unscaled conversion writes whole blocks of pixels, past
    // the end of a row whose width is no multiple of its block. Inside the picture the next
    // row, written later, covers that; the last rows go through a padded scratch instead.
    const int tailY = (s.height - 1) & ~1, tailRows = s.height - tailY;
    if (tailY > 0 && !Swscale(m_ctx, planes, src, srcStride, s.width, tailY, out, outStride, s.width, tailY))
        return false;
    const std::uint8_t* tailSrc[4] = {src[0] + std::ptrdiff_t(tailY) * srcStride[0],
                                      src[1] + std::ptrdiff_t(tailY / 2) * srcStride[1],
                                      src[2] ? src[2] + std::ptrdiff_t(tailY / 2) * srcStride[2] : nullptr, nullptr};
    constexpr int kSlack = 128;
    const int tailStride = (s.width * 4 + 63) & ~63;
    m_tail.resize(std::size_t(tailStride) * tailRows + kSlack);
    if (!Swscale(m_tailCtx, planes, tailSrc, srcStride, s.width, tailRows, m_tail.data(), tailStride, s.width, tailRows))
        return false;
    for (int r = 0; r < tailRows; ++r)
        std::memcpy(out + std::ptrdiff_t(tailY + r) * outStride, m_tail.data() + std::ptrdiff_t(r) * tailStride,
                    std::size_t(s.width) * 4);
    return true;
}

bool FrameScaler::Swscale(SwsContext*& ctx, const VideoPlanes& planes, const std::uint8_t* const src[4],
                          const int srcStride[4], int width, int height, std::uint8_t* out, int outStride,
                          int outWidth, int outHeight)
{
    const bool nv12 = planes.layout == PlaneLayout::NV12;
    ctx = sws_getCachedContext(ctx, width, height, nv12 ? AV_PIX_FMT_NV12 : AV_PIX_FMT_YUV420P, outWidth, outHeight,
                               AV_PIX_FMT_BGRA, SWS_AREA, nullptr, nullptr, nullptr);
    if (!ctx) return false;
    const int* matrix = sws_getCoefficients(planes.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(ctx, matrix, planes.fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
    std::uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
    int dstStride[4] = {outStride, 0, 0, 0};
    return sws_scale(ctx, src, srcStride, 0, height, dst, dstStride) == outHeight;
}

void FrameScaler::ConvertOnFirstRead(VideoFrame& frame)
{
    frame.stride = frame.width * 4;
    const VideoPlanes planes = frame.planes;
    const int w = frame.width, h = frame.height;
    frame.pixels.MakeOnFirstRead(std::size_t(frame.stride) * std::size_t(h), [planes, w, h](std::uint8_t* out) {
        FrameScaler scaler;
        scaler.Scale(planes, w, h, VideoRect{0, 0, w, h}, out, w * 4, w, h);
    });
}
