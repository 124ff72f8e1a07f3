#pragma once
// One pass from a picture's decoder planes to 32-bit BGRA: the colour conversion and the
// scaling are done together, never one after the other. A picture that shrinks is area
// averaged by BoxScaler; one that grows or keeps its size goes through libswscale. Both keep
// their weights between calls and make them again only when the sizes change.
#include "media/BoxScaler.h"
#include "platform/VideoWindow.h"

#include <cstdint>
#include <vector>

struct SwsContext;

class FrameScaler {
public:
    FrameScaler() = default;
    ~FrameScaler();
    FrameScaler(const FrameScaler&) = delete;
    FrameScaler& operator=(const FrameScaler&) = delete;

    // Converts the part `source` of a width x height picture into out (outWidth x outHeight
    // pixels, outStride bytes a row). The source's left and top are taken down to even
    // pixels (the chroma planes have one sample for two). False when nothing could be made.
    bool Scale(const VideoPlanes& planes, int width, int height, VideoRect source, std::uint8_t* out, int outStride,
               int outWidth, int outHeight);

    // The smallest rectangle of even left and top that holds r, inside the picture.
    static VideoRect EvenCrop(VideoRect r, int width, int height);

    // Sets the frame's pixels to be converted from its planes, at full size, when first read.
    static void ConvertOnFirstRead(VideoFrame& frame);

private:
    static bool Swscale(SwsContext*& ctx, const VideoPlanes& planes, const std::uint8_t* const src[4],
                        const int srcStride[4], int width, int height, std::uint8_t* out, int outStride, int outWidth,
                        int outHeight);

    BoxScaler m_box;
    SwsContext* m_ctx = nullptr;
    SwsContext* m_tailCtx = nullptr;   // the last rows of a picture kept at its size
    std::vector<std::uint8_t> m_tail;  // their padded scratch
};
