// Macroblock position and the per-MB cursors that follow it.
#include "decoder/DecoderInternal.h"

namespace dec {

void StartPacket(DecoderInstance* d)
{
    d->mbInPacket = 0;
    d->neighbourFlags = NB_LEFT | NB_TOPLEFT | NB_TOP | NB_TOPRIGHT;
}

static inline void AdvanceCommon(DecoderInstance* d)
{
    d->mbNum += 1;
    d->mbX += 1;
    d->mbInPacket += 1;
    int flags = (d->neighbourFlags >> 1) & (NB_TOPLEFT | NB_TOP);
    if (d->mbInPacket < d->mbWidth - 1 || d->mbX == d->mbWidth - 1)
        flags |= NB_TOPRIGHT;
    d->neighbourFlags = flags;

    d->curY += 16;
    d->refY += 16;
    d->curU += 8;
    d->curV += 8;
    d->refU += 8;
    d->refV += 8;
    d->lumaDcCursor += 2;
    d->cbDcCursor += 1;
    d->crDcCursor += 1;
    d->acRowCursor += 32;
    d->errorMapCursor += 1;
    d->mbTypeCursor += 1;
    d->curQpCursor += 1;
    d->blockMvCursor += 4;
}

static inline void WrapRow(DecoderInstance* d)
{
    if (d->mbX != d->mbWidth)
        return;
    d->mbX = 0;
    d->mbY += 1;
    const int stride = d->stride;
    const int cstride = stride / 2;
    d->curY += 15 * stride;
    d->refY += 15 * stride;
    d->curU += 7 * cstride;
    d->curV += 7 * cstride;
    d->refU += 7 * cstride;
    d->refV += 7 * cstride;
    d->lumaDcCursor += d->blockStride;
    d->acRowCursor = d->acRowStore;
    int flags = NB_LEFT | NB_TOPLEFT;
    if (d->mbInPacket < d->mbWidth)
        flags |= NB_TOP;
    if (!(d->mbInPacket >= d->mbWidth - 1 && d->mbWidth != 1))
        flags |= NB_TOPRIGHT;
    d->neighbourFlags = flags;
}

void NextMacroblock(DecoderInstance* d)
{
    AdvanceCommon(d);
    d->fieldMvCursor += 1;
    d->fieldSelectCursor += 1;
    WrapRow(d);
}

void NextMacroblockSimple(DecoderInstance* d)
{
    AdvanceCommon(d);
    WrapRow(d);
}

void SeekMacroblock(DecoderInstance* d, int mbNum)
{
    const int mbw = d->mbWidth > 0 ? d->mbWidth : 1;
    d->mbNum = mbNum;
    d->mbX = mbNum % mbw;
    d->mbY = mbNum / mbw;
    const int stride = d->stride;
    const int cstride = stride / 2;
    const long lumaOff = long(d->mbY) * 16 * stride + d->mbX * 16;
    const long chromaOff = long(d->mbY) * 8 * cstride + d->mbX * 8;
    if (d->cur) {
        d->curY = d->cur->pY + lumaOff;
        d->curU = d->cur->pU + chromaOff;
        d->curV = d->cur->pV + chromaOff;
    }
    if (d->fwdRef) {
        d->refY = d->fwdRef->pY + lumaOff;
        d->refU = d->fwdRef->pU + chromaOff;
        d->refV = d->fwdRef->pV + chromaOff;
    }
    d->lumaDcCursor = d->lumaDcStore + d->mbY * 2 * d->blockStride + d->mbX * 2;
    d->cbDcCursor = d->cbDcStore + mbNum;
    d->crDcCursor = d->crDcStore + mbNum;
    d->acRowCursor = d->acRowStore + d->mbX * 32;
    d->errorMapCursor = d->errorMap + mbNum;
    d->mbTypeCursor = d->mbTypeMap + mbNum;
    d->curQpCursor = d->curQpMap + mbNum;
    d->blockMvCursor = d->blockMvMap + 4 * mbNum;
    d->fieldMvCursor = d->fieldMvMap + mbNum;
    d->fieldSelectCursor = d->fieldSelectMap + mbNum;
}

void SeekPacketMacroblock(DecoderInstance* d, int mbNum)
{
    SeekMacroblock(d, d->packetFirstMb);
    StartPacket(d);
    while (d->mbNum < mbNum)
        NextMacroblock(d);
}

}  // namespace dec
