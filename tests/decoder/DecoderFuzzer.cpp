// libFuzzer entry: the bytes drive one decoder instance. Byte 0 picks the
// mode, bytes 1-2 the length of the configuration data that follows; the rest
// is fed in chunks whose lengths come from the data as well. Pictures are
// capped at 176 x 144 so every input runs quickly.
#include <cstdint>
#include <cstring>
#include <vector>

#include "decoder/Decoder.h"

namespace {

constexpr uint32_t kMaxW = 176;
constexpr uint32_t kMaxH = 144;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    const uint8_t mode = data[0];
    size_t cfgLen = (size_t(data[1]) << 8 | data[2]) % 512;
    data += 3;
    size -= 3;
    if (cfgLen > size)
        cfgLen = size;
    std::vector<uint8_t> config(data, data + cfgLen);
    data += cfgLen;
    size -= cfgLen;

    DEC_STREAM_CONFIG sc = {};
    sc.pConfigData = config.empty() ? nullptr : config.data();
    sc.uConfigLength = uint32_t(config.size());
    sc.iIsShortHdrMode = int(mode % 3) - 1;
    sc.bLowDelay = (mode >> 2) & 1;
    DEC_FRAME_BUF bufs[4];
    std::vector<uint8_t> planes[12];
    const uint32_t n = 3 + ((mode >> 3) & 1);
    for (uint32_t i = 0; i < n; ++i) {
        planes[3 * i].assign(kMaxW * kMaxH + 16, 0);
        planes[3 * i + 1].assign(kMaxW * kMaxH / 4 + 16, 0);
        planes[3 * i + 2].assign(kMaxW * kMaxH / 4 + 16, 0);
        bufs[i] = {planes[3 * i].data(), planes[3 * i + 1].data(), planes[3 * i + 2].data(), 0};
    }
    DEC_PARAM p = {};
    p.pStreamConfig = &sc;
    p.pFrameBuffers = bufs;
    p.uFrmBufferNum = n;
    p.uMaxDecodableWidth = kMaxW;
    p.uMaxDecodableHeight = kMaxH;
    int isShort = 0;
    DEC_VIDEO_INFO info = {&isShort, 0, 0};
    ParseVideoCfg(&p, &info);
    DEC_MEMTAB tabs[4];
    DEC_QueryMemSize(&p, tabs);
    std::vector<uint8_t> mem[4];
    for (int i = 0; i < 4; ++i) {
        mem[i].assign(tabs[i].uSize, 0);
        tabs[i].pBase = mem[i].data();
    }
    void* dec = DEC_Init(tabs, &p, &info);
    if (!dec)
        return 0;
    size_t off = 0;
    int calls = 0;
    while (off < size && calls++ < 64) {
        size_t len = 1 + (data[off] * 37u) % 2048;
        if (len > size - off)
            len = size - off;
        std::vector<uint8_t> chunk(data + off, data + off + len);
        DEC_INPUT in = {};
        in.pData = chunk.data();
        in.uLength = uint32_t(len);
        in.bEndOfFrame = (mode >> 4) & 1;
        in.bReset = (mode >> 5) & (calls == 2);
        DEC_FRAME_RESULT res = {-1, 0};
        DEC_OUTPUT out = {};
        out.pResult = &res;
        const uint32_t used = DEC_Decode(dec, &in, &out);
        off += used ? used : len;
    }
    DEC_INPUT flush = {};
    DEC_FRAME_RESULT res = {-1, 0};
    DEC_OUTPUT out = {};
    out.pResult = &res;
    DEC_Decode(dec, &flush, &out);
    return 0;
}
