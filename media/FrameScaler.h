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
    // The last tailRows rows from tailY on of the planes at src, copied with room past each row.
    void CopyTail(const std::uint8_t* const src[4], const int srcStride[4], bool nv12, int width, int tailY,
                  int tailRows, const std::uint8_t* tailSrc[4], int tailStride[4]);
    static SwsContext* Context(SwsContext*& ctx, const VideoPlanes& planes, int width, int height, int outWidth,
                               int outHeight);

    BoxScaler m_box;
    SwsContext* m_ctx = nullptr;
    SwsContext* m_tailCtx = nullptr;      // the last rows of a picture kept at its size
    std::vector<std::uint8_t> m_tailIn;   // the last rows' planes, copied with room past each row
    std::vector<std::uint8_t> m_tailOut;  // the last rows' pixels when kept, with room past each row
};
