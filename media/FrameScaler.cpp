#include "media/FrameScaler.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>

namespace {

// Room past each row of a padded copy: more than any of libswscale's blocks.
constexpr int kSlack = 128;

int Padded(int bytes)
{
    return (bytes + kSlack + 63) & ~63;
}

}  // namespace

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

    // libswscale's vector loops read whole blocks of samples, past the end of a row whose width
    // is no multiple of their block. Inside the picture the next row covers that; the last rows
    // are read from padded copies, as a slice of their own.
    const int tailY = (s.height - 1) & ~1, tailRows = s.height - tailY;
    const std::uint8_t* tailSrc[4] = {};
    int tailStride[4] = {};
    CopyTail(src, srcStride, nv12, s.width, tailY, tailRows, tailSrc, tailStride);
    std::uint8_t* dst[4] = {out, nullptr, nullptr, nullptr};
    int dstStride[4] = {outStride, 0, 0, 0};

    // Growing one way at least: libswscale's area mode, bilinear where the picture grows. Kept
    // at its size, NV12 and pictures of an odd number of rows go through the same scaler.
    if (!kept || nv12 || s.height % 2) {
        SwsContext* ctx = Context(m_ctx, planes, s.width, s.height, outWidth, outHeight);
        if (!ctx) return false;
        int made = tailY > 0 ? sws_scale(ctx, src, srcStride, 0, tailY, dst, dstStride) : 0;
        made += sws_scale(ctx, tailSrc, tailStride, tailY, tailRows, dst, dstStride);
        return made == outHeight;
    }

    // Kept at its size, I420 of an even number of rows takes libswscale's unscaled conversion
    // (quicker than the area average), a row at a time in whole blocks of pixels that also run
    // past a row's end: the last rows are converted on their own, into a padded scratch.
    if (tailY > 0) {
        SwsContext* ctx = Context(m_ctx, planes, s.width, tailY, s.width, tailY);
        if (!ctx || sws_scale(ctx, src, srcStride, 0, tailY, dst, dstStride) != tailY) return false;
    }
    SwsContext* ctx = Context(m_tailCtx, planes, s.width, tailRows, s.width, tailRows);
    const int outTailStride = Padded(s.width * 4);
    m_tailOut.resize(std::size_t(outTailStride) * tailRows + kSlack);
    std::uint8_t* tailDst[4] = {m_tailOut.data(), nullptr, nullptr, nullptr};
    const int tailDstStride[4] = {outTailStride, 0, 0, 0};
    if (!ctx || sws_scale(ctx, tailSrc, tailStride, 0, tailRows, tailDst, tailDstStride) != tailRows) return false;
    for (int r = 0; r < tailRows; ++r)
        std::memcpy(out + std::ptrdiff_t(tailY + r) * outStride, m_tailOut.data() + std::ptrdiff_t(r) * outTailStride,
                    std::size_t(s.width) * 4);
    return true;
}

void FrameScaler::CopyTail(const std::uint8_t* const src[4], const int srcStride[4], bool nv12, int width, int tailY,
                           int tailRows, const std::uint8_t* tailSrc[4], int tailStride[4])
{
    // Two picture rows share a chroma row: the tail has one.
    const int chromaBytes = nv12 ? 2 * ((width + 1) / 2) : (width + 1) / 2;
    const int rowBytes[3] = {width, chromaBytes, chromaBytes}, rows[3] = {tailRows, 1, 1};
    const int planes = nv12 ? 2 : 3;
    std::size_t bytes = kSlack;
    for (int p = 0; p < planes; ++p) {
        tailStride[p] = Padded(rowBytes[p]);
        bytes += std::size_t(tailStride[p]) * rows[p];
    }
    m_tailIn.resize(bytes);
    std::uint8_t* copy = m_tailIn.data();
    for (int p = 0; p < planes; ++p) {
        const std::uint8_t* from = src[p] + std::ptrdiff_t(p == 0 ? tailY : tailY / 2) * srcStride[p];
        tailSrc[p] = copy;
        for (int r = 0; r < rows[p]; ++r, copy += tailStride[p])
            std::memcpy(copy, from + std::ptrdiff_t(r) * srcStride[p], std::size_t(rowBytes[p]));
    }
}

SwsContext* FrameScaler::Context(SwsContext*& ctx, const VideoPlanes& planes, int width, int height, int outWidth,
                                 int outHeight)
{
    const bool nv12 = planes.layout == PlaneLayout::NV12;
    ctx = sws_getCachedContext(ctx, width, height, nv12 ? AV_PIX_FMT_NV12 : AV_PIX_FMT_YUV420P, outWidth, outHeight,
                               AV_PIX_FMT_BGRA, SWS_AREA, nullptr, nullptr, nullptr);
    if (!ctx) return nullptr;
    const int* matrix = sws_getCoefficients(planes.bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601);
    sws_setColorspaceDetails(ctx, matrix, planes.fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                             1 << 16, 1 << 16);
    return ctx;
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
