#include "repair/FrameCheck.h"

#include "decoder/Decoder.h"
#include "repair/VolHeader.h"
#include "repair/VopExtract.h"

#include <cstdarg>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

void DecoderMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Block = std::unique_ptr<void, FreeDeleter>;

}  // namespace

std::uint64_t CheckVops(std::FILE* in, std::FILE* out, int width, int height)
{
    g_nVolHeaderLen = BuildVolHeader(width, height);

    DEC_STREAM_CONFIG config{};
    config.pConfigData = g_abVolHeader;
    config.uConfigLength = static_cast<std::uint32_t>(g_nVolHeaderLen);
    config.iIsShortHdrMode = -1;
    DEC_PARAM param{};
    param.pStreamConfig = &config;
    param.pfnMessage = DecoderMessage;

    std::int32_t isShortHeader = 0;
    DEC_VIDEO_INFO info{};
    info.piIsShortHdr = &isShortHeader;
    if (g_nVolHeaderLen <= 0 || ParseVideoCfg(&param, &info) == -1) {
        std::fputs("Error : ParseVideoCfg\n", stderr);
        return 0;
    }

    const std::size_t wa = (static_cast<std::size_t>(info.uWidth) + 15) / 16 * 16;
    const std::size_t ha = (static_cast<std::size_t>(info.uHeight) + 15) / 16 * 16;
    if (wa == 0 || ha == 0) {
        std::fputs("Error : ParseVideoCfg\n", stderr);
        return 0;
    }
    const std::size_t frameBytes = wa * ha * 3 / 2;
    Block frameBlock(std::malloc(3 * frameBytes + 16));
    if (!frameBlock) {
        std::fputs("Error : Cannot allocate frame bufer\n", stderr);
        return 0;
    }
    auto* first = reinterpret_cast<unsigned char*>(
        (reinterpret_cast<std::uintptr_t>(frameBlock.get()) + 15) & ~std::uintptr_t(15));
    DEC_FRAME_BUF frames[3] = {};
    for (int i = 0; i < 3; ++i) {
        unsigned char* y = first + i * frameBytes;
        frames[i].pY = y;
        frames[i].pU = y + wa * ha;
        frames[i].pV = y + wa * ha + wa * ha / 4;
    }

    param.pFrameBuffers = frames;
    param.uFrmBufferNum = 3;
    param.uMaxDecodableWidth = static_cast<std::uint32_t>(wa);
    param.uMaxDecodableHeight = static_cast<std::uint32_t>(ha);
    config.iIsShortHdrMode = isShortHeader;
    config.bDeblocking = 0;
    config.bLowDelay = 0;
    config.uReserved3 = 0;

    DEC_MEMTAB tabs[4] = {};
    DEC_QueryMemSize(&param, tabs);
    Block tabBlocks[4];
    for (int i = 0; i < 4; ++i) {
        tabBlocks[i].reset(std::malloc(tabs[i].uSize ? tabs[i].uSize : 1));
        if (!tabBlocks[i]) {
            std::fprintf(stderr, "Error : can not allocate memtab memory size(%d)\n", static_cast<int>(tabs[i].uSize));
            return 0;
        }
        tabs[i].pBase = tabBlocks[i].get();
    }

    void* decoder = DEC_Init(tabs, &param, &info);
    if (!decoder) {
        std::fputs("Error : DEC_Init\n", stderr);
        return 0;
    }

    std::unique_ptr<std::uint8_t[]> bitstream(new (std::nothrow) std::uint8_t[kCheckBitstreamBufferSize]);
    if (!bitstream) {
        std::fprintf(stderr, "Error : Cannot allocate bitstream buffer size(%d)\n", static_cast<int>(kCheckBitstreamBufferSize));
        return 0;
    }

    const std::size_t headerLen = static_cast<std::size_t>(g_nVolHeaderLen);
    if (std::fwrite(g_abVolHeader, 1, headerLen, out) != headerLen) return 0;
    std::uint64_t written = headerLen;

    std::int32_t reservedZero = 0;
    for (;;) {
        const std::size_t n = ReadNextVop(bitstream.get(), in, kCheckVopLimit);
        if (n == 0) break;
        DEC_INPUT input{};
        input.pReserved = &reservedZero;
        input.pData = bitstream.get();
        input.uLength = static_cast<std::uint32_t>(n < kMaxCheckedVopBytes ? n : kMaxCheckedVopBytes);
        input.bEndOfFrame = 1;
        input.iReserved = -1;
        input.bReset = 1;
        DEC_FRAME_RESULT result{};
        DEC_OUTPUT output{};
        output.pResult = &result;
        std::uint32_t consumed = DEC_Decode(decoder, &input, &output);
        if (consumed > input.uLength) consumed = input.uLength;  // never past what was handed over
        // A picture that ends on a byte border leaves its stuffing byte (0 then seven 1 bits)
        // unread; it still belongs to the VOP, and players take a VOP without it as damaged.
        if (consumed > 0 && consumed < input.uLength && bitstream[consumed] == 0x7F) ++consumed;
        if (consumed > 0) {
            if (std::fwrite(bitstream.get(), 1, consumed, out) != consumed) return 0;
            written += consumed;
        }
    }
    return written;
}
