// Macroblock loops of intra pictures: simple I-VOPs, data-partitioned I-VOP
// packets and H.263 I pictures.
#include <cstring>

#include "decoder/DecoderInternal.h"

namespace dec {
namespace {

// The simple loops stop once the reader has loaded 4 bytes past the data.
inline bool PastEnd(BitReader* r)
{
    BitstreamRefill(r);
    return r->ptr - r->end >= 4;
}

inline int ClipQp(int qp)
{
    return qp < 1 ? 1 : (qp > 31 ? 31 : qp);
}

inline void ZeroBlockMvs(DecoderInstance* d)
{
    std::memset(d->blockMvCursor, 0, 4 * sizeof(DecMv));
}

// Six 8-bit DC differentials of one MB read ahead into the DC stores.
bool ReadPartitionDcs(DecoderInstance* d, int mbNum)
{
    const int mbw = d->mbWidth;
    const int x = mbNum % mbw;
    const int y = mbNum / mbw;
    int16_t* luma = d->lumaDcStore + y * 2 * d->blockStride + x * 2;
    int16_t* slots[6] = {luma, luma + 1, luma + d->blockStride, luma + d->blockStride + 1,
                         d->cbDcStore + mbNum, d->crDcStore + mbNum};
    for (int b = 0; b < 6; ++b) {
        const int v = ReadIntraDc(&d->reader, b >= 4);
        if (v == 32768)
            return false;
        *slots[b] = int16_t(v);
    }
    return true;
}

constexpr uint32_t kDcMarker = 0x6B001; // 110 1011 0000 0000 0001
constexpr int kDcMarkerBits = 19;

enum {
    PW_NOT_CODED = 1,
    PW_MCSEL = 2,
    PW_AC_PRED = 4,
    PW_DC_VLC = 8,
    PW_CBP_SHIFT = 4,
};

}  // namespace

PartitionDcs SavePartitionDcs(const DecoderInstance* d)
{
    const int16_t* luma = d->lumaDcCursor;
    const int bs = d->blockStride;
    return PartitionDcs{{luma[0], luma[1], luma[bs], luma[bs + 1], *d->cbDcCursor, *d->crDcCursor}};
}

void RestorePartitionDcs(DecoderInstance* d, const PartitionDcs& dcs)
{
    int16_t* luma = d->lumaDcCursor;
    const int bs = d->blockStride;
    luma[0] = dcs.v[0];
    luma[1] = dcs.v[1];
    luma[bs] = dcs.v[2];
    luma[bs + 1] = dcs.v[3];
    *d->cbDcCursor = dcs.v[4];
    *d->crDcCursor = dcs.v[5];
}

void PutIntraMacroblock(DecoderInstance* d, int fieldDct)
{
    const int stride = d->stride;
    int16_t* blocks = d->blockBuffer;
    uint8_t* y = d->curY;
    if (fieldDct) {
        IdctPut(y, blocks, 2 * stride, d->blockPattern[0]);
        IdctPut(y + 8, blocks + 64, 2 * stride, d->blockPattern[1]);
        IdctPut(y + stride, blocks + 128, 2 * stride, d->blockPattern[2]);
        IdctPut(y + stride + 8, blocks + 192, 2 * stride, d->blockPattern[3]);
    } else {
        IdctPut(y, blocks, stride, d->blockPattern[0]);
        IdctPut(y + 8, blocks + 64, stride, d->blockPattern[1]);
        IdctPut(y + 8 * stride, blocks + 128, stride, d->blockPattern[2]);
        IdctPut(y + 8 * stride + 8, blocks + 192, stride, d->blockPattern[3]);
    }
    IdctPut(d->curU, blocks + 256, stride / 2, d->blockPattern[4]);
    IdctPut(d->curV, blocks + 320, stride / 2, d->blockPattern[5]);
}

void DecodeIVopSimple(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    const VolInfo* vol = d->vol;
    int qp = vol->vop_quant;
    d->bPartitionDc = 0;
    while (d->mbNum < d->mbCount) {
        if (PastEnd(r) || CheckResyncMarker(r))
            break;
        const int mcbpc = ReadMcbpcIntra(r);
        if (mcbpc < 0)
            break;
        if (mcbpc == MB_STUFFING << 2)
            continue;
        const int type = mcbpc >> 2;
        *d->mbTypeCursor = int8_t(type);
        d->acPredFlag = BitstreamGetBit(r);
        const int cbpy = ReadCbpy(r);
        if (cbpy < 0)
            break;
        const int cbp = ((15 - cbpy) << 2) | (mcbpc & 3);
        int dcQp = qp;
        if (type == MB_INTRA_Q) {
            qp = ClipQp(qp + ReadDquant(r));
            if (d->mbInPacket == 0)
                dcQp = qp;
        }
        *d->curQpCursor = uint8_t(qp);
        d->useDcVlc = dcQp < vol->intraDcThreshold;
        if (d->intraBlockFn(d, qp, cbp) != 0)
            break;
        PutIntraMacroblock(d, 0);
        ZeroBlockMvs(d);
        *d->errorMapCursor = 0;
        d->cur->decodedMbs += 1;
        NextMacroblockSimple(d);
    }
}

void DecodeIVopDataPartitioned(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    const VolInfo* vol = d->vol;
    const int first = d->mbNum;
    const int left = d->mbCount - first;
    FieldWord* words = d->fieldMvMap;
    int qp = vol->vop_quant;

    // First partition: MB types, quantisers and DC differentials.
    int count = 0;
    for (;;) {
        if (BitstreamBitsLeft(r) < 1)
            return;
        if (BitstreamShowBits(r, kDcMarkerBits) == kDcMarker)
            break;
        const int mcbpc = ReadMcbpcIntra(r);
        if (mcbpc < 0)
            return;
        if (mcbpc == MB_STUFFING << 2)
            continue;
        if (count >= left)
            return; // more headers than MBs left in the picture
        const int mb = first + count;
        const int type = mcbpc >> 2;
        int dcQp = qp;
        if (type == MB_INTRA_Q) {
            qp = ClipQp(qp + ReadDquant(r));
            if (count == 0)
                dcQp = qp;
        }
        const bool dcVlc = dcQp < vol->intraDcThreshold;
        if (dcVlc && !ReadPartitionDcs(d, mb))
            return;
        d->mbTypeMap[mb] = int8_t(type);
        d->curQpMap[mb] = uint8_t(qp);
        words[count].partition = uint32_t(mcbpc & 3) << PW_CBP_SHIFT | (dcVlc ? PW_DC_VLC : 0);
        ++count;
    }
    BitstreamSkipBits(r, kDcMarkerBits);
    // The marker where the next MB header would start, and no MB past the
    // next packet's first: the DC partition checks.
    if (first + count <= d->packetEndMb)
        d->packetPartsEnd = first + count;

    // Second partition: ac_pred_flag and CBPY.
    for (int i = 0; i < count; ++i) {
        const int acPred = BitstreamGetBit(r);
        const int cbpy = ReadCbpy(r);
        if (cbpy < 0)
            return;
        words[i].partition |= (acPred ? PW_AC_PRED : 0) | uint32_t(15 - cbpy) << (PW_CBP_SHIFT + 2);
    }

    // Texture.
    d->bPartitionDc = 1;
    for (int i = 0; i < count; ++i) {
        const uint32_t w = words[i].partition;
        d->acPredFlag = (w & PW_AC_PRED) ? 1 : 0;
        d->useDcVlc = (w & PW_DC_VLC) ? 1 : 0;
        const int cbp = int((w >> PW_CBP_SHIFT) & 63);
        const int mbQp = *d->curQpCursor;
        const PartitionDcs saved = SavePartitionDcs(d);
        if (d->intraBlockFn(d, mbQp, cbp) != 0) {
            RestorePartitionDcs(d, saved);
            break;
        }
        d->packetTextureMb = d->mbNum + 1;
        PutIntraMacroblock(d, 0);
        ZeroBlockMvs(d);
        *d->fieldSelectCursor = -1;
        *d->errorMapCursor = 0;
        d->cur->decodedMbs += 1;
        NextMacroblock(d);
    }
    d->bPartitionDc = 0;
}

// Bits up to the byte boundary are zero and a GOB start code follows.
static bool AtGobStart(BitReader* r)
{
    BitstreamRefill(r);
    const int k = r->bitsValid & 7;
    if (BitstreamShowBits(r, k + 17) != 1)
        return false;
    BitstreamSkipBits(r, k);
    return true;
}

void DecodeH263IPicture(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    const int qpStart = d->vol->vop_quant;
    int qp = qpStart;
    while (d->mbNum < d->mbCount) {
        if (PastEnd(r))
            break;
        const int mcbpc = ReadMcbpcIntra(r);
        if (mcbpc < 0)
            break;
        if (mcbpc == MB_STUFFING << 2)
            continue;
        const int type = mcbpc >> 2;
        *d->mbTypeCursor = int8_t(type);
        const int cbpy = ReadCbpy(r);
        if (cbpy < 0)
            break;
        const int cbp = ((15 - cbpy) << 2) | (mcbpc & 3);
        if (type == MB_INTRA_Q)
            qp = ClipQp(qp + ReadDquant(r));
        *d->curQpCursor = uint8_t(qp);
        if (DecodeIntraBlockShortHdr(d, qp, cbp) != 0)
            break;
        PutIntraMacroblock(d, 0);
        *d->errorMapCursor = 0;
        d->cur->decodedMbs += 1;
        NextMacroblockSimple(d);
        if (d->mbX == 0 && d->mbNum < d->mbCount && AtGobStart(r))
            break;
    }
}

}  // namespace dec
