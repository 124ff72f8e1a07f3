// libFuzzer entry: the bytes are a damaged recording for the MPEG-4 repair. Byte 0 picks the
// buffer limit of a pass of ReadNextVop and the picture size of the frame check; the rest is
// the file, read from memory. Each input runs the VOP reader alone, the extraction into a
// work file, and the frame check of that work file with the built-in decoder. Pictures are
// kept small so every input runs quickly.
#include <cstdint>
#include <cstdio>
#include <vector>

#include <unistd.h>

#include "repair/FrameCheck.h"
#include "repair/VopExtract.h"

namespace {

std::FILE* g_sink = nullptr;
std::FILE* g_work = nullptr;  // the extraction's work file, emptied for every input

std::FILE* OpenBytes(const uint8_t* data, size_t size)
{
    return fmemopen(const_cast<uint8_t*>(data), size, "rb");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_sink = std::fopen("/dev/null", "wb");
    g_work = std::tmpfile();
    // The decoder's diagnostics go to standard output; keep the fuzzer's own output readable.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    return g_sink && g_work ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const uint8_t mode = data[0];
    ++data;
    --size;

    // The reader with a limit from 4 bytes up, so VOPs longer than the buffer are met.
    const std::size_t limit = 4 + (mode & 0x0F) * 97u;
    std::vector<std::uint8_t> buffer(limit);
    if (std::FILE* in = OpenBytes(data, size)) {
        for (int n = 0; n < 256 && ReadNextVop(buffer.data(), in, limit) != 0; ++n) {
        }
        std::fclose(in);
    }

    // Extraction into a work file, then the frame check of what it holds.
    std::FILE* in = OpenBytes(data, size);
    if (!in) return 0;
    std::rewind(g_work);
    if (ftruncate(fileno(g_work), 0) == 0 && ExtractVops(in, g_work) > 0 && std::fflush(g_work) == 0 &&
        std::fseek(g_work, 0, SEEK_SET) == 0) {
        const int width = 16 * (1 + (mode >> 4) % 4);
        const int height = 16 * (1 + (mode >> 6));
        CheckVops(g_work, g_sink, width, height);
    }
    std::fclose(in);
    return 0;
}
