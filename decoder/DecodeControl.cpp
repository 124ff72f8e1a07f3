// Picture-level decode control: the MPEG-4 and H.263 state machines, the
// work-array layout after a VOL or a size change, frame-buffer rotation and
// the per-VOP set-up.
#include <cstring>

#include "decoder/DecoderInternal.h"
#include "decoder/Interpolate.h"

namespace dec {
namespace {

constexpr const char* kSizeError =
    "Error : VOL width/height is zero or larger than uMaxDecodableWidth/Height\n";

inline uint8_t* AlignUp(uint8_t* p, uintptr_t a)
{
    return reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(p) + a - 1) & ~(a - 1));
}

// Work arrays are laid out for the current VOL size (and only then used).
bool BuffersMatchVol(const DecoderInstance* d)
{
    const VolInfo* vol = d->vol;
    return d->mbCount > 0 && d->stride == ((vol->video_object_layer_width + 15) & ~15) &&
           d->alignedHeight == ((vol->video_object_layer_height + 15) & ~15);
}

// End of the chunk: a picture delivered whole is finished by concealment.
int EndRule(DecoderInstance* d)
{
    if (d->bEndOfFrame && (d->state == STATE_PICTURE || d->state == STATE_RESYNC)) {
        ConcealLostMacroblocks(d, d->mbCount);
        d->state = STATE_BETWEEN;
        return 1;
    }
    return 0;
}

// After the work arrays are laid out again (a new size, or a size that could
// not be set up before): the pictures decoded before lost their maps and can
// be neither references nor output, and output times count again.
void ForgetPictures(DecoderInstance* d)
{
    for (uint32_t i = 0; i < d->uFrmBufferNum; ++i)
        d->frames[i].codingType = -1;
    d->bTimeRestart = 1;
}

}  // namespace

int DivSigned(int a, int b)
{
    const bool negative = (a < 0) != (b < 0);
    const uint32_t ua = a < 0 ? 0u - uint32_t(a) : uint32_t(a);
    const uint32_t ub = b < 0 ? 0u - uint32_t(b) : uint32_t(b);
    const uint32_t q = ub == 0 ? 0xFFFFFFFFu : ua / ub; // 0: -1 before the sign
    return int(negative ? 0u - q : q);
}

int DivByReciprocal(int a, int b, int r)
{
    const int64_t ua = a < 0 ? -int64_t(a) : int64_t(a);
    if (ua <= 65535 && b > 0 && b <= 65535) {
        int64_t q = (ua * r) >> 16;
        // The reciprocal may land one off either way: correct to the exact quotient.
        if (ua - q * b >= b)
            q += 1;
        else if (q * b > ua)
            q -= 1;
        return int(a < 0 ? -q : q);
    }
    return DivSigned(a, b);
}

int RoundShift(int v, int n)
{
    if (n <= 0)
        return v;
    const int64_t mag = ((v < 0 ? -int64_t(v) : int64_t(v)) + (int64_t(1) << (n - 1))) >> n;
    return int(v < 0 ? -mag : mag);
}

int SetupVolBuffers(DecoderInstance* d)
{
    const VolInfo* vol = d->vol;
    const int width = vol->video_object_layer_width;
    const int height = vol->video_object_layer_height;
    if (width <= 0 || height <= 0 || uint32_t(width) > d->uMaxDecodableWidth ||
        uint32_t(height) > d->uMaxDecodableHeight) {
        d->mbCount = 0;
        return -1;
    }
    const int mbw = (width + 15) / 16;
    const int mbh = (height + 15) / 16;
    const int mbCount = mbw * mbh;

    // Tab 1: fixed work areas, DC stores, AC stores.
    uint8_t* p = AlignUp(static_cast<uint8_t*>(d->tabBase[1]), 16);
    uint8_t* end1 = static_cast<uint8_t*>(d->tabBase[1]) + d->tabSize[1];
    int16_t* blockBuffer = reinterpret_cast<int16_t*>(p);
    p += WORK_BLOCK_BYTES;
    uint8_t* predBuffer = p;
    p += WORK_PRED_BYTES;
    uint8_t* edgeBuffer = p;
    p += WORK_EDGE_BYTES;
    uint8_t* qpelScratch = p;
    p += WORK_QPEL_BYTES;
    int16_t* lumaDc = reinterpret_cast<int16_t*>(p);
    p += 8 * mbCount;
    int16_t* cbDc = reinterpret_cast<int16_t*>(p);
    p += 2 * mbCount + 2;
    int16_t* crDc = reinterpret_cast<int16_t*>(p);
    p += 2 * mbCount + 2;
    int16_t* acRow = reinterpret_cast<int16_t*>(p);
    p += 64 * mbw;
    int16_t* acCol = reinterpret_cast<int16_t*>(p);
    p += 64;
    if (p > end1) {
        d->mbCount = 0;
        return -1;
    }

    // Tab 2: per-MB maps, each from a multiple of 4.
    uint8_t* q = AlignUp(static_cast<uint8_t*>(d->tabBase[2]), 4);
    uint8_t* end2 = static_cast<uint8_t*>(d->tabBase[2]) + d->tabSize[2];
    int8_t* mbTypeMap = reinterpret_cast<int8_t*>(q);
    q = AlignUp(q + mbCount, 4);
    uint8_t* qpA = q;
    q = AlignUp(q + mbCount, 4);
    uint8_t* qpB = q;
    q = AlignUp(q + mbCount, 4);
    DecMv* blockMv = reinterpret_cast<DecMv*>(q);
    q = AlignUp(q + 16 * mbCount, 4);
    FieldWord* fieldMv = reinterpret_cast<FieldWord*>(q);
    q = AlignUp(q + 4 * mbCount, 4);
    int8_t* fieldSelect = reinterpret_cast<int8_t*>(q);
    q += mbCount;
    if (q > end2) {
        d->mbCount = 0;
        return -1;
    }

    d->mbWidth = mbw;
    d->gobMbWidth = mbw;
    d->mbCount = mbCount;
    d->blockStride = 2 * mbw;
    d->stride = mbw * 16;
    d->alignedHeight = mbh * 16;
    d->lumaDcBelow = 2 * mbw;
    d->lumaDcBelowRight = 2 * mbw + 1;
    const int cand[12] = {-3, 2 - 4 * mbw, 6 - 4 * mbw, -1, 2 - 4 * mbw, 5 - 4 * mbw,
                          -3, -2,          -1,          -1, -2,          -3};
    std::memcpy(d->mvCandidate, cand, sizeof(cand));

    d->blockBuffer = blockBuffer;
    d->predBuffer = predBuffer;
    d->edgeBuffer = edgeBuffer;
    d->qpelScratch = qpelScratch;
    d->lumaDcStore = lumaDc;
    d->cbDcStore = cbDc;
    d->crDcStore = crDc;
    d->acRowStore = acRow;
    d->acColStore = acCol;
    d->errorMap = d->cur->errorMap;
    d->mbTypeMap = mbTypeMap;
    d->prevQpMap = qpA;
    d->curQpMap = qpB;
    d->blockMvMap = blockMv;
    d->fieldMvMap = fieldMv;
    d->fieldSelectMap = fieldSelect;

    for (uint32_t i = 0; i < d->uFrmBufferNum; ++i)
        std::memset(d->frames[i].errorMap, 255, size_t(mbCount));
    std::memset(mbTypeMap, MB_NOT_CODED, size_t(mbCount));
    std::memset(qpA, vol->vop_quant > 0 ? vol->vop_quant : 1, size_t(mbCount));
    std::memset(qpB, vol->vop_quant > 0 ? vol->vop_quant : 1, size_t(mbCount));
    std::memset(blockMv, 0, size_t(mbCount) * 4 * sizeof(DecMv));
    std::memset(fieldMv, 0, size_t(mbCount) * sizeof(FieldWord));
    std::memset(fieldSelect, -1, size_t(mbCount));

    d->bAdvancedTools = vol->interlaced || vol->quarter_sample || vol->sprite_enable == 2;

    // Slice decoders.
    if (vol->data_partitioned) {
        d->decodeIVop = DecodeIVopDataPartitioned;
        d->decodePVop = DecodePVopDataPartitioned;
        d->decodeBVop = DecodeBVopAdvanced;
    } else if (!d->bAdvancedTools) {
        d->decodeIVop = DecodeIVopSimple;
        d->decodePVop = DecodePVopSimple;
        d->decodeBVop = DecodeBVopSimple;
    } else {
        d->decodeIVop = DecodeVopAdvanced;
        d->decodePVop = DecodeVopAdvanced;
        d->decodeBVop = DecodeBVopAdvanced;
    }
    SeekMacroblock(d, 0);
    return 0;
}

void RotateFrameBuffers(DecoderInstance* d)
{
    const int n = int(d->uFrmBufferNum);
    FrameRecord* f = d->frames + d->nextBuffer;
    for (int i = 0; i < n; ++i) {
        d->nextBuffer = (d->nextBuffer + 1) % n;
        f = d->frames + d->nextBuffer;
        if (f != d->fwdRef && f != d->bwdRef)
            break;
    }
    const bool isB = d->vol->vop_coding_type == VOP_B;
    if (d->bDeblock) {
        if (!isB) {
            FrameRecord* oldFwd = d->fwdRef;
            d->outPlanes = f;
            d->fwdRef = d->bwdRef;
            d->cur = oldFwd;
            d->bwdRef = oldFwd;
            d->outRec = (d->bLowDelay || d->bReset) ? d->cur : d->fwdRef;
        } else {
            d->cur = f;
            d->outRec = f;
            d->outPlanes = f;
        }
        return;
    }
    d->cur = f;
    if (!isB) {
        d->fwdRef = d->bwdRef;
        d->bwdRef = f;
    }
    if (d->bLowDelay || d->bReset || isB) {
        d->outRec = f;
        d->outPlanes = f;
    } else {
        d->outRec = d->fwdRef;
        d->outPlanes = d->fwdRef;
    }
}

void SetupVop(DecoderInstance* d)
{
    VolInfo* vol = d->vol;
    RotateFrameBuffers(d);
    d->cur->decodedMbs = 0;
    d->cur->codingType = vol->vop_coding_type;

    if (d->prevCodingType != VOP_B) {
        uint8_t* t = d->prevQpMap;
        d->prevQpMap = d->curQpMap;
        d->curQpMap = t;
    }
    d->prevCodingType = vol->vop_coding_type;
    // The picture's map starts as the one its prediction descends from: the
    // past anchor's for an anchor, the future anchor's for a B-VOP.
    const FrameRecord* from = vol->vop_coding_type == VOP_B ? d->bwdRef : d->fwdRef;
    if (from != d->cur)
        std::memcpy(d->cur->errorMap, from->errorMap, size_t(d->mbCount));
    d->errorMap = d->cur->errorMap;
    SeekMacroblock(d, 0);

    d->copyBlockFn = CopyBlock8;
    const PixelFn* half = vol->vop_rounding_type == 1 ? kHalfPelRound1 : kHalfPelRound0;
    for (int i = 0; i < 3; ++i)
        d->halfPelFn[i] = half[i];
    for (int i = 0; i < 4; ++i)
        d->averageFn[i] = kAverageFns[i];

    if (d->bShortHeader) {
        d->cur->increment = vol->vop_time_increment;
        d->intraBlockFn = DecodeIntraBlockShortHdr;
        d->interBlockFn = DecodeInterBlockShortHdr;
        return;
    }

    d->cur->increment = vol->vop_time_increment;
    d->cur->seconds = d->vopSeconds;
    if (vol->vop_coding_type == VOP_B) {
        const int R = vol->vop_time_increment_resolution;
        // Damaged time stamps may give any distance: 64-bit, kept in range.
        auto distance = [R](const FrameRecord* to, const FrameRecord* from) {
            const int64_t v = (int64_t(to->seconds) - from->seconds) * R + int64_t(to->increment) -
                              from->increment;
            return int(v < -(1 << 24) ? -(1 << 24) : (v > (1 << 24) ? (1 << 24) : v));
        };
        d->trd = distance(d->bwdRef, d->fwdRef);
        d->trb = distance(d->cur, d->fwdRef);
        d->trdInv = DivSigned(65535, d->trd);
        if (vol->interlaced) {
            if (d->trdFirst == 0)
                d->trdFirst = d->trb;
            d->trbField = 2 * DivSigned(d->trb + d->trdFirst / 2, d->trdFirst);
            d->trdField = 2 * DivSigned(d->trd + d->trdFirst / 2, d->trdFirst);
        }
    }

    if (vol->reversible_vlc && vol->vop_coding_type != VOP_B) {
        d->intraBlockFn = DecodeIntraBlockRvlc;
        d->interBlockFn = DecodeInterBlockRvlc;
    } else if (vol->quant_type == 1) {
        d->intraBlockFn = DecodeIntraBlockMpegQuant;
        d->interBlockFn = DecodeInterBlockMpegQuant;
    } else {
        d->intraBlockFn = DecodeIntraBlockH263Quant;
        d->interBlockFn = DecodeInterBlockH263Quant;
    }
}

void CopyNotCodedVop(DecoderInstance* d)
{
    d->cur->decodedMbs = d->fwdRef->decodedMbs;
    std::memcpy(d->curQpMap, d->prevQpMap, size_t(d->mbCount));
    if (d->cur == d->fwdRef)
        return;
    std::memcpy(d->cur->errorMap, d->fwdRef->errorMap, size_t(d->mbCount));
    const size_t luma = size_t(d->mbCount) * 256;
    const size_t chroma = size_t(d->mbCount) * 64;
    std::memcpy(d->cur->pY, d->fwdRef->pY, luma);
    std::memcpy(d->cur->pU, d->fwdRef->pU, chroma);
    std::memcpy(d->cur->pV, d->fwdRef->pV, chroma);
}

int DecodeMpeg4Frame(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    VolInfo* vol = d->vol;
    if (BitstreamBitsLeft(r) < 1)
        return EndRule(d);
    for (;;) {
        switch (d->state) {
        case STATE_START:
        case STATE_BETWEEN: {
            const int w = vol->video_object_layer_width;
            const int h = vol->video_object_layer_height;
            const bool hadBuffers = BuffersMatchVol(d);
            const BitReader headerStart = *r;
            const int timeBase = d->timeBase;
            const int lastTimeBase = d->lastTimeBase;
            const int found = ParseFrameHeaders(d, d->msgCallback);
            const bool resized = hadBuffers && (w != vol->video_object_layer_width ||
                                                h != vol->video_object_layer_height);
            if (resized && !d->bResizeOutput && !d->bLowDelay && d->bwdRef->codingType >= 0) {
                // The held-back anchor goes out first at its own size; the
                // caller feeds the headers of the new size again.
                vol->video_object_layer_width = w;
                vol->video_object_layer_height = h;
                *r = headerStart;
                d->timeBase = timeBase;
                d->lastTimeBase = lastTimeBase;
                d->outRec = d->bwdRef;
                d->outPlanes = d->bwdRef;
                d->bResizeOutput = 1;
                return 1;
            }
            d->bResizeOutput = 0;
            const bool changed = w != vol->video_object_layer_width ||
                                 h != vol->video_object_layer_height ||
                                 (vol->video_object_layer_width != 0 && !BuffersMatchVol(d));
            if (changed && SetupVolBuffers(d) != 0) {
                DEC_MSG(d->msgCallback, kSizeError);
                break;
            }
            if (changed)
                ForgetPictures(d);
            if (found && !(vol->bNotCoded && vol->bPackedBitstream)) {
                SetupVop(d);
                if (vol->bNotCoded) {
                    CopyNotCodedVop(d);
                    return 1;
                }
                d->state = STATE_PICTURE;
            }
            break;
        }
        case STATE_PICTURE: {
            StartPacket(d);
            BeginPacket(d);
            SliceDecodeFn slice = vol->vop_coding_type == VOP_I   ? d->decodeIVop
                                  : vol->vop_coding_type == VOP_B ? d->decodeBVop
                                                                  : d->decodePVop;
            if (slice)
                slice(d);
            EndPacket(d);
            if (d->mbNum >= d->mbCount) {
                d->state = STATE_BETWEEN;
                return 1;
            }
            d->state = STATE_RESYNC;
            break;
        }
        default: {
            const int rc = ParseVideoPacketHeader(d);
            if (rc == 1) {
                d->state = STATE_BETWEEN;
                return 1;
            }
            if (rc == 0)
                d->state = STATE_PICTURE;
            break;
        }
        }
        if (BitstreamBitsLeft(r) < 1)
            return EndRule(d);
    }
}

int DecodeH263Frame(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    VolInfo* vol = d->vol;
    while (BitstreamBitsLeft(r) >= 1) {
        switch (d->state) {
        case STATE_START:
        case STATE_BETWEEN: {
            const int w = vol->video_object_layer_width;
            const int h = vol->video_object_layer_height;
            if (ParseH263PictureHeader(vol, r, d->msgCallback) != 0)
                break;
            const bool changed = w != vol->video_object_layer_width ||
                                 h != vol->video_object_layer_height ||
                                 (vol->video_object_layer_width != 0 && !BuffersMatchVol(d));
            if (changed && SetupVolBuffers(d) != 0) {
                DEC_MSG(d->msgCallback, kSizeError);
                break;
            }
            if (changed)
                ForgetPictures(d);
            SetupVop(d);
            d->state = STATE_PICTURE;
            break;
        }
        case STATE_PICTURE:
            StartPacket(d);
            if (vol->vop_coding_type == VOP_I)
                DecodeH263IPicture(d);
            else
                DecodeH263PPicture(d);
            if (d->mbNum >= d->mbCount) {
                d->state = STATE_BETWEEN;
                return 1;
            }
            d->state = STATE_RESYNC;
            break;
        default: {
            const int rc = ParseH263GobHeader(d);
            if (rc == 1) {
                d->state = STATE_BETWEEN;
                return 1;
            }
            if (rc == 0)
                d->state = STATE_PICTURE;
            break;
        }
        }
    }
    return EndRule(d);
}

}  // namespace dec
