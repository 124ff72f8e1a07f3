// Intra block decoding: DC, DC/AC prediction, scans, inverse quantisation
// (both methods), RVLC, and the H.263 short-header intra block.
#include "decoder/BlockCoding.h"

namespace dec {
namespace {

// dc_scaler of ISO/IEC 14496-2 Table 7-1 by QP (1..31).
inline int DcScalerLuma(int qp)
{
    if (qp <= 4)
        return 8;
    if (qp <= 8)
        return 2 * qp;
    if (qp <= 24)
        return qp + 8;
    return 2 * qp - 16;
}

inline int DcScalerChroma(int qp)
{
    if (qp <= 4)
        return 8;
    if (qp <= 24)
        return (qp + 13) >> 1;
    return qp - 6;
}

// floor(2^18 / s) + 1 for s = 8..46: DC predictor division.
constexpr int Recip18(int s)
{
    return (1 << 18) / s + 1;
}

// floor(65536 / q) + 1 for q = 1..31: AC prediction rescaling.
constexpr int Recip16(int q)
{
    return 65536 / q + 1;
}

inline bool IsIntraType(int8_t t)
{
    return t == MB_INTRA || t == MB_INTRA_Q;
}

// Block-level unavailability from the MB-level bits (left 1, top-left 2, top 4).
inline int BlockFlags(int block, int mbFlags)
{
    switch (block) {
    case 1: // left is Y0; top and top-left follow the MB above
        return (mbFlags & NB_TOP) ? (NB_TOP | NB_TOPLEFT) : 0;
    case 2: // top is Y0; left and top-left follow the MB to the left
        return (mbFlags & NB_LEFT) ? (NB_LEFT | NB_TOPLEFT) : 0;
    case 3:
        return 0;
    default:
        return mbFlags;
    }
}

inline int Abs(int v)
{
    return v < 0 ? -v : v;
}

constexpr int kRowSlot[6] = {0, 1, 0, 1, 2, 3};
constexpr int kColSlot[6] = {0, 0, 1, 1, 2, 3};

enum { QUANT_H263 = 0, QUANT_MPEG = 1 };

template <int Kind, int Quant>
int DecodeIntraBlocks(DecoderInstance* d, int qp, int cbp)
{
    BitReader* r = &d->reader;
    const VolInfo* vol = d->vol;
    const int mbw = d->mbWidth;
    const int bs = d->blockStride;

    int mbFlags = d->neighbourFlags & (NB_LEFT | NB_TOPLEFT | NB_TOP);
    const int8_t* types = d->mbTypeCursor;
    if (!(mbFlags & NB_LEFT) && !IsIntraType(types[-1]))
        mbFlags |= NB_LEFT;
    if (!(mbFlags & NB_TOP) && !IsIntraType(types[-mbw]))
        mbFlags |= NB_TOP;
    if (!(mbFlags & NB_TOPLEFT) && !IsIntraType(types[-mbw - 1]))
        mbFlags |= NB_TOPLEFT;

    const int qpAbove = (mbFlags & NB_TOP) ? qp : d->curQpCursor[-mbw];
    const int qpLeft = (mbFlags & NB_LEFT) ? qp : d->curQpCursor[-1];
    const int sLuma = DcScalerLuma(qp);
    const int sChroma = DcScalerChroma(qp);
    const int rLuma = Recip18(sLuma);
    const int rChroma = Recip18(sChroma);
    // All six output blocks cleared up front.
    for (int b = 0; b < 6; ++b)
        ClearBlock(d->blockBuffer + 64 * b);
    const uint8_t* matrix = vol->intra_quant_mat;
    int16_t* levels = d->blockBuffer + 6 * 64;

    for (int b = 0; b < 6; ++b) {
        int16_t* out = d->blockBuffer + 64 * b;
        const int flags = BlockFlags(b, mbFlags);
        const bool chroma = b >= 4;
        const int s = chroma ? sChroma : sLuma;
        const int recip = chroma ? rChroma : rLuma;

        // The block's place in the DC stores and its neighbours there.
        int16_t* dcPos;
        int dcStride;
        if (!chroma) {
            dcPos = d->lumaDcCursor + (b & 1) + ((b & 2) ? bs : 0);
            dcStride = bs;
        } else {
            dcPos = b == 4 ? d->cbDcCursor : d->crDcCursor;
            dcStride = mbw;
        }

        int diff = 0;
        if (d->useDcVlc)
            diff = d->bPartitionDc ? dcPos[0] : ReadIntraDc(r, chroma);

        const int A = (flags & NB_LEFT) ? 1024 : dcPos[-1];
        const int B = (flags & NB_TOPLEFT) ? 1024 : dcPos[-dcStride - 1];
        const int C = (flags & NB_TOP) ? 1024 : dcPos[-dcStride];
        const bool fromLeft = Abs(A - B) >= Abs(B - C);
        const int p = fromLeft ? A : C;
        const int predictor = int((int64_t(p + s / 2) * recip) >> 18);

        std::memset(levels, 0, 8 * sizeof(int16_t));
        for (int i = 1; i < 8; ++i)
            levels[8 * i] = 0;
        uint32_t pattern = 0;

        if (cbp & (32 >> b)) {
            const uint8_t* scan = kZigzag;
            if (vol->alternate_vertical_scan_flag)
                scan = kAltVerticalScan;
            else if (d->acPredFlag)
                scan = fromLeft ? kAltVerticalScan : kAltHorizontalScan;
            const int start = d->useDcVlc ? 1 : 0;
            int rc;
            if (Quant == QUANT_MPEG)
                rc = DecodeCoefficients<Kind>(r, scan, start, out, levels, &pattern,
                                              [=](int l, int idx) { return DequantMpegIntra(l, qp, matrix[idx]); });
            else
                rc = DecodeCoefficients<Kind>(r, scan, start, out, levels, &pattern,
                                              [=](int l, int) { return DequantH263(l, qp); });
            if (rc != 0)
                return -1;
        }

        int dc = (levels[0] + diff + predictor) * s;
        dc = dc < -2048 ? -2048 : (dc > 2047 ? 2047 : dc);
        out[0] = int16_t(dc);
        dcPos[0] = int16_t(dc);

        // AC prediction from the first row above or the first column to the left.
        int16_t* rowSlot = d->acRowCursor + 8 * kRowSlot[b];
        int16_t* colSlot = d->acColStore + 8 * kColSlot[b];
        if (d->acPredFlag) {
            const bool available = fromLeft ? !(flags & NB_LEFT) : !(flags & NB_TOP);
            if (available) {
                int qpn;
                if (fromLeft)
                    qpn = (b == 0 || b == 2 || b >= 4) ? qpLeft : qp;
                else
                    qpn = (b == 0 || b == 1 || b >= 4) ? qpAbove : qp;
                for (int i = 1; i < 8; ++i) {
                    const int idx = fromLeft ? 8 * i : i;
                    int a = fromLeft ? colSlot[i] : rowSlot[i];
                    if (qpn != qp && a != 0) {
                        const int64_t mag = (int64_t(Abs(a)) * qpn + qp / 2) * Recip16(qp) >> 16;
                        a = a < 0 ? -int(mag) : int(mag);
                    }
                    const int sum = levels[idx] + a;
                    levels[idx] = int16_t(sum);
                    const int lv = levels[idx];
                    const int v = Quant == QUANT_MPEG ? DequantMpegIntra(lv, qp, matrix[idx])
                                                      : DequantH263(lv, qp);
                    out[idx] = int16_t(v);
                    if (v)
                        pattern |= uint32_t(idx);
                }
            }
        }

        // Keep the first row and column for the blocks below and to the right.
        std::memcpy(rowSlot, levels, 8 * sizeof(int16_t));
        for (int i = 0; i < 8; ++i)
            colSlot[i] = levels[8 * i];

        if (Quant == QUANT_MPEG)
            MismatchControl(out, &pattern);
        d->blockPattern[b] = pattern;
    }
    return 0;
}

}  // namespace

int DecodeIntraBlockH263Quant(DecoderInstance* d, int qp, int cbp)
{
    return DecodeIntraBlocks<CODE_MPEG4_INTRA, QUANT_H263>(d, qp, cbp);
}

int DecodeIntraBlockMpegQuant(DecoderInstance* d, int qp, int cbp)
{
    return DecodeIntraBlocks<CODE_MPEG4_INTRA, QUANT_MPEG>(d, qp, cbp);
}

int DecodeIntraBlockRvlc(DecoderInstance* d, int qp, int cbp)
{
    if (d->vol->quant_type)
        return DecodeIntraBlocks<CODE_RVLC_INTRA, QUANT_MPEG>(d, qp, cbp);
    return DecodeIntraBlocks<CODE_RVLC_INTRA, QUANT_H263>(d, qp, cbp);
}

int DecodeIntraBlockShortHdr(DecoderInstance* d, int qp, int cbp)
{
    BitReader* r = &d->reader;
    for (int b = 0; b < 6; ++b) {
        int16_t* out = d->blockBuffer + 64 * b;
        ClearBlock(out);
        int dc = int(BitstreamGetBits(r, 8));
        if (dc == 0 || dc == 128)
            return -1;
        if (dc == 255)
            dc = 128;
        out[0] = int16_t(dc * 8);
        uint32_t pattern = 0;
        if (cbp & (32 >> b)) {
            if (DecodeCoefficients<CODE_H263>(r, kZigzag, 1, out, nullptr, &pattern,
                                              [=](int l, int) { return DequantH263(l, qp); }) != 0)
                return -1;
        }
        d->blockPattern[b] = pattern;
    }
    return 0;
}

}  // namespace dec
