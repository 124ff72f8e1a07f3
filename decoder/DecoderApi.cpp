// The DEC_ entry points: memory-tab sizes, configuration probe, creation and
// the per-chunk decode call.
#include <cstring>
#include <new>

#include "decoder/Deblock.h"
#include "decoder/DecoderInternal.h"
#include "decoder/Padding.h"

using namespace dec;

namespace {

constexpr uint32_t kInstanceAlign = alignof(DecoderInstance);
constexpr uint32_t kFrameAlign = alignof(FrameRecord);

uint32_t Saturate(uint64_t v)
{
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(v);
}

void TabSizes(const DEC_PARAM* p, uint32_t sizes[4])
{
    const uint64_t mbw = (uint64_t(p->uMaxDecodableWidth) + 15) / 16;
    const uint64_t mbh = (uint64_t(p->uMaxDecodableHeight) + 15) / 16;
    sizes[0] = uint32_t(sizeof(DecoderInstance) + kInstanceAlign);
    sizes[1] = Saturate((4 * mbw * mbh + 2 * mbw * (mbh + 16) + 1468) * 2);
    sizes[2] = Saturate(24 * mbw * mbh + 28);
    // The frame records, each followed by its error map.
    sizes[3] = Saturate(kFrameAlign + sizeof(VolInfo) + kFrameAlign +
                        uint64_t(p->uFrmBufferNum) * (sizeof(FrameRecord) + mbw * mbh));
}

template <class T>
T* AlignPtr(void* p, uintptr_t a)
{
    return reinterpret_cast<T*>((reinterpret_cast<uintptr_t>(p) + a - 1) & ~(a - 1));
}

}  // namespace

extern "C" int DEC_QueryMemSize(DEC_PARAM* param, DEC_MEMTAB memTab[4])
{
    if (!param || !memTab)
        return 4;
    uint32_t sizes[4];
    TabSizes(param, sizes);
    for (int i = 0; i < 4; ++i)
        memTab[i].uSize = sizes[i];
    return 4;
}

extern "C" int ParseVideoCfg(DEC_PARAM* param, DEC_VIDEO_INFO* info)
{
    DEC_MESSAGE_FN cb = param ? param->pfnMessage : nullptr;
    const DEC_STREAM_CONFIG* cfg = param ? param->pStreamConfig : nullptr;
    if (!cfg || cfg->uConfigLength == 0 || !cfg->pConfigData) {
        DEC_MSG(cb, "ERROR : Config data is NULL\n");
        return -1;
    }
    VolInfo vol;
    std::memset(&vol, 0, sizeof(vol));
    BitReader reader;
    BitstreamInit(&reader, cfg->pConfigData, cfg->uConfigLength);
    int shortHeader;
    if (ProbeVolStartCode(cfg->pConfigData, cfg->uConfigLength) == 0) {
        if (ParseConfigHeaders(&vol, &reader, cb) != 0)
            return -1;
        shortHeader = 0;
    } else {
        if (ParseH263PictureHeader(&vol, &reader, cb) != 0) {
            DEC_MSG(cb, "Error : H.263 picture header corrupted\n");
            return -1;
        }
        shortHeader = 1;
    }
    if (info) {
        if (info->piIsShortHdr)
            *info->piIsShortHdr = shortHeader;
        info->uWidth = uint32_t(vol.video_object_layer_width);
        info->uHeight = uint32_t(vol.video_object_layer_height);
    }
    return 0;
}

extern "C" void* DEC_Init(DEC_MEMTAB memTab[4], DEC_PARAM* param, DEC_VIDEO_INFO* info)
{
    if (!param || !memTab)
        return nullptr;
    DEC_MESSAGE_FN cb = param->pfnMessage;
    const DEC_STREAM_CONFIG* cfg = param->pStreamConfig;
    if (param->uMaxDecodableWidth % 16 != 0 || param->uMaxDecodableHeight % 16 != 0) {
        DEC_MSG(cb, "Error : uMaxDecodableWidth/Height is not multiple of 16\n");
        return nullptr;
    }
    if (param->uFrmBufferNum < 3) {
        DEC_MSG(cb, "Error : uFrmBufferNum is smaller than 3\n");
        return nullptr;
    }
    const bool haveConfig = cfg && cfg->uConfigLength != 0 && cfg->pConfigData;
    if (!cfg || (cfg->iIsShortHdrMode == -1 && !haveConfig)) {
        DEC_MSG(cb, "Error : iIsShortHdrMode is -1 but there is no config data\n");
        return nullptr;
    }
    // The tabs and frame buffers must be there and as large as asked for.
    uint32_t sizes[4];
    TabSizes(param, sizes);
    bool tabsOk = param->pFrameBuffers != nullptr;
    for (int i = 0; i < 4 && tabsOk; ++i)
        tabsOk = memTab[i].pBase && memTab[i].uSize >= sizes[i];
    for (uint32_t i = 0; i < param->uFrmBufferNum && tabsOk; ++i) {
        const DEC_FRAME_BUF& fb = param->pFrameBuffers[i];
        tabsOk = fb.pY && fb.pU && fb.pV;
    }
    if (!tabsOk) {
        DEC_MSG(cb, "Error : memory tab or frame buffer is missing or too small\n");
        return nullptr;
    }

    DecoderInstance* d = new (AlignPtr<void>(memTab[0].pBase, kInstanceAlign)) DecoderInstance();
    VolInfo* vol = AlignPtr<VolInfo>(memTab[3].pBase, kFrameAlign);
    std::memset(vol, 0, sizeof(VolInfo));
    FrameRecord* frames =
        AlignPtr<FrameRecord>(reinterpret_cast<uint8_t*>(vol) + sizeof(VolInfo), kFrameAlign);
    for (int i = 0; i < 4; ++i) {
        d->tabBase[i] = memTab[i].pBase;
        d->tabSize[i] = memTab[i].uSize;
    }
    uint8_t* maps = reinterpret_cast<uint8_t*>(frames + param->uFrmBufferNum);
    const size_t mapBytes = size_t(param->uMaxDecodableWidth / 16) * (param->uMaxDecodableHeight / 16);
    for (uint32_t i = 0; i < param->uFrmBufferNum; ++i) {
        const DEC_FRAME_BUF& fb = param->pFrameBuffers[i];
        frames[i].errorMap = maps + i * mapBytes;
        std::memset(frames[i].errorMap, 255, mapBytes);
        frames[i].pY = AlignPtr<uint8_t>(fb.pY, 16);
        frames[i].pU = AlignPtr<uint8_t>(fb.pU, 16);
        frames[i].pV = AlignPtr<uint8_t>(fb.pV, 16);
        frames[i].codingType = -1;
        frames[i].decodedMbs = 0;
        frames[i].seconds = 0;
        frames[i].increment = 0;
    }
    d->vol = vol;
    d->frames = frames;
    d->msgCallback = cb;
    d->uFrmBufferNum = param->uFrmBufferNum;
    d->uMaxDecodableWidth = param->uMaxDecodableWidth;
    d->uMaxDecodableHeight = param->uMaxDecodableHeight;
    d->bShortHeader = cfg->iIsShortHdrMode == 1 ? 1 : 0;
    d->bDeblock = cfg->bDeblocking ? 1 : 0;
    d->bLowDelay = cfg->bLowDelay ? 1 : 0;
    d->fwdRef = &frames[0];
    d->bwdRef = &frames[1];
    d->cur = &frames[1];
    d->outRec = nullptr;
    d->outPlanes = nullptr;
    d->state = STATE_START;

    if (haveConfig) {
        BitstreamInit(&d->reader, cfg->pConfigData, cfg->uConfigLength);
        if (ProbeVolStartCode(cfg->pConfigData, cfg->uConfigLength) == 0) {
            d->bShortHeader = 0;
            ParseConfigHeaders(vol, &d->reader, cb);
            if (SetupVolBuffers(d) != 0) {
                DEC_MSG(cb, "Error : VOL width/height is zero or larger than uMaxDecodableWidth/Height\n");
                return nullptr;
            }
            d->state = STATE_BETWEEN;
        } else {
            d->bShortHeader = 1;
        }
    }
    if (d->bShortHeader)
        d->bLowDelay = 1;

    if (info) {
        if (info->piIsShortHdr)
            *info->piIsShortHdr = d->bShortHeader;
        info->uWidth = d->bShortHeader ? 0 : uint32_t(vol->video_object_layer_width);
        info->uHeight = d->bShortHeader ? 0 : uint32_t(vol->video_object_layer_height);
    }
    return d;
}

extern "C" uint32_t DEC_Decode(void* instance, DEC_INPUT* in, DEC_OUTPUT* out)
{
    if (!instance || !in || !out)
        return 0;
    DecoderInstance* d = static_cast<DecoderInstance*>(instance);
    VolInfo* vol = d->vol;
    const uint32_t length = in->pData ? in->uLength : 0;
    d->bEndOfFrame = in->bEndOfFrame ? 1 : 0;
    d->bReset = in->bReset ? 1 : 0;
    BitstreamInit(&d->reader, in->pData, length);

    // The next picture takes its map from the latest anchor.
    if (d->bReset && d->mbCount > 0)
        std::memset(d->bwdRef->errorMap, 1, size_t(d->mbCount));

    int ready = 0;
    if (in->uLength == 0) {
        if (!d->bLowDelay) {
            d->outRec = d->bwdRef;
            d->outPlanes = d->bwdRef;
            ready = 1;
        }
    } else if (in->pData) {
        ready = d->bShortHeader ? DecodeH263Frame(d) : DecodeMpeg4Frame(d);
        if (ready)
            RefineConcealment(d);
    }

    DEC_FRAME_RESULT* result = out->pResult;
    if (ready && d->outRec && d->outRec->codingType >= 0 && d->mbCount > 0) {
        const FrameRecord* rec = d->outRec;
        uint32_t duration;
        if (d->bShortHeader) {
            int delta = rec->increment - d->lastIncrement;
            if (delta < 0)
                delta += 256;
            d->lastIncrement = rec->increment;
            duration = uint32_t(delta * 3003);
        } else {
            const int64_t res = vol->vop_time_increment_resolution;
            const int64_t dt = (int64_t(rec->seconds) - d->lastSeconds) * res - d->lastIncrement +
                               rec->increment;
            // A picture stamped before the last one output (B-VOPs in low-delay
            // output, damaged stamps) lasts nothing and times go on from the
            // later one, unless a time code went back: then they count again
            // from this picture.
            if (dt >= 0 || d->bTimeRestart) {
                d->lastSeconds = rec->seconds;
                d->lastIncrement = rec->increment;
                d->bTimeRestart = dt >= 0 ? d->bTimeRestart : 0;
            }
            const int64_t ticks = res > 0 && dt > 0 ? dt * 90000 / res : 0;
            duration = ticks > 0xFFFFFFFFll ? 0xFFFFFFFFu : uint32_t(ticks);
        }
        if (result)
            result->uDuration = duration;

        if (!d->bShortHeader && vol->bOldEncoder &&
            ((vol->video_object_layer_width & 15) || (vol->video_object_layer_height & 15)))
            PadFrameEdges(d->cur->pY, d->cur->pU, d->cur->pV, d->stride, d->alignedHeight,
                          vol->video_object_layer_width, vol->video_object_layer_height);
        d->frameCount += 1;
        if (d->bDeblock)
            DeblockFrame(d);

        out->pY = d->outPlanes->pY;
        out->pU = d->outPlanes->pU;
        out->pV = d->outPlanes->pV;
        out->uPercentDecoded = int32_t(int64_t(rec->decodedMbs) * 100 / d->mbCount);
        out->pErrorMap = rec->errorMap;
        if (result)
            result->iCodingType = rec->codingType;
    } else {
        out->pY = nullptr;
        out->pU = nullptr;
        out->pV = nullptr;
        out->uPercentDecoded = 0;
        if (result)
            result->iCodingType = -1;
    }
    out->uWidth = uint32_t(vol->video_object_layer_width);
    out->uHeight = uint32_t(vol->video_object_layer_height);
    out->uStride = uint32_t(d->stride);

    const long left = BitstreamBitsLeft(&d->reader);
    if (left < 0 || left > 8L * long(length))
        return length;
    return length - uint32_t(left / 8);
}
