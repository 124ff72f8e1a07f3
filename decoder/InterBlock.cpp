// Inter (residual) block decoding: coded blocks only, from scan position 0.
#include "decoder/BlockCoding.h"

namespace dec {
namespace {

enum { QUANT_H263 = 0, QUANT_MPEG = 1 };

template <int Kind, int Quant>
int DecodeInterBlocks(DecoderInstance* d, int qp, int cbp)
{
    BitReader* r = &d->reader;
    const VolInfo* vol = d->vol;
    const uint8_t* scan = (Kind != CODE_H263 && vol->alternate_vertical_scan_flag) ? kAltVerticalScan
                                                                                  : kZigzag;
    const uint8_t* matrix = vol->nonintra_quant_mat;
    for (int b = 0; b < 6; ++b) {
        if (!(cbp & (32 >> b)))
            continue;
        int16_t* out = d->blockBuffer + 64 * b;
        ClearBlock(out);
        uint32_t pattern = 0;
        int rc;
        if (Quant == QUANT_MPEG)
            rc = DecodeCoefficients<Kind>(r, scan, 0, out, nullptr, &pattern,
                                          [=](int l, int idx) { return DequantMpegInter(l, qp, matrix[idx]); });
        else
            rc = DecodeCoefficients<Kind>(r, scan, 0, out, nullptr, &pattern,
                                          [=](int l, int) { return DequantH263(l, qp); });
        if (rc != 0)
            return -1;
        if (Quant == QUANT_MPEG)
            MismatchControl(out, &pattern);
        d->blockPattern[b] = pattern;
    }
    return 0;
}

}  // namespace

int DecodeInterBlockH263Quant(DecoderInstance* d, int qp, int cbp)
{
    return DecodeInterBlocks<CODE_MPEG4_INTER, QUANT_H263>(d, qp, cbp);
}

int DecodeInterBlockMpegQuant(DecoderInstance* d, int qp, int cbp)
{
    return DecodeInterBlocks<CODE_MPEG4_INTER, QUANT_MPEG>(d, qp, cbp);
}

int DecodeInterBlockRvlc(DecoderInstance* d, int qp, int cbp)
{
    if (d->vol->quant_type)
        return DecodeInterBlocks<CODE_RVLC_INTER, QUANT_MPEG>(d, qp, cbp);
    return DecodeInterBlocks<CODE_RVLC_INTER, QUANT_H263>(d, qp, cbp);
}

int DecodeInterBlockShortHdr(DecoderInstance* d, int qp, int cbp)
{
    return DecodeInterBlocks<CODE_H263, QUANT_H263>(d, qp, cbp);
}

}  // namespace dec
