// The frame number band: 16 cells across the top of the picture. Cell 0 is always white and
// cell 15 always black, so a picture without the band reads as no number; cells 1..14 hold
// the number's bits, most significant first. Cells are large so that lossy coding keeps them.
#include "tools/recgen/RecordingGenerator.h"

namespace recgen {
namespace {

constexpr int kCells = 16;
constexpr int kBits = 14;

int BandHeight(int height) { return height / 8 < 16 ? 16 : height / 8; }

template <typename LumaAt>
int ReadCells(int width, int height, LumaAt luma)
{
    if (width < kCells * 4 || height < 32) return -1;
    const int band = BandHeight(height);
    int value = 0;
    for (int c = 0; c < kCells; ++c) {
        const int x0 = c * width / kCells, x1 = (c + 1) * width / kCells;
        const int w = x1 - x0;
        long sum = 0, n = 0;
        for (int y = band / 4; y < band * 3 / 4; ++y)
            for (int x = x0 + w / 4; x < x1 - w / 4; ++x, ++n) sum += luma(x, y);
        if (n == 0) return -1;
        const long mean = sum / n;
        const bool on = mean > 128;
        if (mean > 80 && mean < 176) return -1;  // neither black nor white: no band here
        if (c == 0 && !on) return -1;
        if (c == kCells - 1 && on) return -1;
        if (c >= 1 && c <= kBits) value = (value << 1) | (on ? 1 : 0);
    }
    return value;
}

}  // namespace

void DrawFrameNumber(std::uint8_t* luma, int width, int height, int stride, int number)
{
    const int band = BandHeight(height);
    for (int c = 0; c < kCells; ++c) {
        bool on;
        if (c == 0) on = true;
        else if (c == kCells - 1) on = false;
        else on = (number >> (kBits - c)) & 1;
        const int x0 = c * width / kCells, x1 = (c + 1) * width / kCells;
        for (int y = 0; y < band && y < height; ++y)
            for (int x = x0; x < x1; ++x) luma[y * stride + x] = on ? 235 : 16;
    }
}

int ReadFrameNumberLuma(const std::uint8_t* luma, int width, int height, int stride)
{
    if (!luma) return -1;
    return ReadCells(width, height, [&](int x, int y) { return int(luma[y * stride + x]); });
}

int ReadFrameNumber(const std::uint8_t* bgrx, int width, int height, int strideBytes)
{
    if (!bgrx) return -1;
    return ReadCells(width, height, [&](int x, int y) {
        const std::uint8_t* p = bgrx + y * strideBytes + x * 4;
        return (int(p[0]) + p[1] + p[2]) / 3;
    });
}

}  // namespace recgen
