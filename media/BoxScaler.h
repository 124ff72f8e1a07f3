#pragma once
// Shrinks a picture's decoder planes (I420 or NV12) and converts them to 32-bit BGRx in one
// pass. Each output sample is the area average of what its footprint covers (the source
// samples at its edges weighed by how much of them it covers): luma for every pixel, chroma
// for every two pixels across (as the source has it) and every row, then BT.601 or BT.709,
// studio or full range, to RGB. Fixed point throughout; an output row at a time, in three
// steps: the source rows under it summed down (each source byte read once, in whole vectors),
// that row summed across (from contiguous loads where a whole number of samples makes each
// output), the small row converted. AVX2 where the processor has it, else SSE2 where the
// target has it; the plain C++ path gives the same bytes.
#include "platform/VideoFrame.h"

#include <cstdint>
#include <vector>

class BoxScaler {
public:
    // The kernels a pass runs on; all give the same bytes.
    enum class Kernels { Plain, Sse2, Avx2 };
    // The fastest this processor runs.
    static Kernels Best();
    static bool Runs(Kernels kernels);

    // Whether the pass applies: the picture keeps its size or shrinks both ways.
    static bool Applies(int width, int height, int outWidth, int outHeight);

    // Converts the width x height picture whose top-left samples the planes point at into out
    // (outWidth x outHeight pixels, outStride bytes a row; alpha 255). Plane strides are the
    // planes' own. False when the pass does not apply, or the kernels do not run here.
    bool Convert(const VideoPlanes& planes, int width, int height, std::uint8_t* out, int outStride, int outWidth,
                 int outHeight, Kernels kernels = Best());

    // The weights across, in the order the kernels read them. Every output sample is
    // (sum of weight x vertical sum over its taps + round) >> shift.
    struct Horizontal {
        int taps = 0;                       // per output sample, a multiple of 4
        int ratio = 0;                      // 2 to 4: output j is the mean of that many sums from ratio x j on
        int shift = 0;
        int weight = 0;                     // of every tap when ratio is set
        std::vector<int> first;             // first source sample, per output (outputs rounded up to sixteens)
        std::vector<std::int16_t> weights;  // per four outputs and four taps: 4 x 4 weights
    };
    struct Vertical {
        int ratio = 0;            // 2 to 4: output row r is the mean of that many rows from ratio x r on
        std::vector<int> offset;  // into rows and weights, per output row
        std::vector<int> count;   // rows summed
        std::vector<int> inexact; // per output row: rows whose weighted bytes its sums truncate
        std::vector<int> rows;
        std::vector<std::uint16_t> weights;
    };

private:
    void Prepare(int width, int height, int outWidth, int outHeight);
    void SumRows(const std::uint8_t* plane, int stride, const Vertical& v, int row, int samples, bool split,
                 std::int16_t* out, std::int16_t* outSplit, Kernels kernels);
    static void Filter(const std::int16_t* sums, const Horizontal& h, int outputs, int inexact, std::int16_t* out,
                       Kernels kernels);
    void ConvertRow(std::uint8_t* out, int outWidth, Kernels kernels) const;
    void ConvertRowAvx2(std::uint8_t* out, int outWidth) const;

    int m_width = 0, m_height = 0, m_outWidth = 0, m_outHeight = 0;
    Horizontal m_lumaH, m_chromaH;
    Vertical m_lumaV, m_chromaV;
    // One output row's vertical sums (64 times the sample), with room for the taps past the end.
    std::vector<std::int16_t> m_y, m_u, m_v;
    // The same row's output samples (64 times the sample), with room up to a multiple of sixteen.
    std::vector<std::int16_t> m_outY, m_outU, m_outV;
    std::vector<const std::uint8_t*> m_rowPointers;
    // 16-bit factors: y of 4 times the luma, the rest of 4 times the chroma; ub less one.
    struct Matrix {
        int y = 0, yOffset = 0, vr = 0, ug = 0, vg = 0, ub = 0;
    } m_matrix;
};
