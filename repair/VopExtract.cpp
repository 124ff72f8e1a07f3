#include "repair/VopExtract.h"

#include <cstring>
#include <memory>
#include <new>

namespace {
constexpr std::uint32_t kVopStartCode = 0x000001B6;
}

std::size_t ReadNextVop(std::uint8_t* buffer, std::FILE* file, std::size_t limit)
{
    if (limit < 4) return 0;
    std::uint32_t window = 0xFFFFFFFF;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return 0;
        window = (window << 8) | static_cast<std::uint32_t>(c);
        if (window == kVopStartCode) break;
    }
    buffer[0] = 0x00;
    buffer[1] = 0x00;
    buffer[2] = 0x01;
    buffer[3] = 0xB6;
    std::size_t count = 4;  // bytes of the VOP read so far; only the first limit are stored

    // A VOP longer than the buffer keeps its first limit bytes (the picture comes first, and
    // the frame check cuts what follows it anyway) and the search goes on after it, so one
    // long stretch without start codes costs no later picture.
    window = 0xFFFFFFFF;
    for (;;) {
        const int c = std::getc(file);
        if (c == EOF) return count < limit ? count : limit;  // the last VOP runs to the end of the file
        if (count < limit) buffer[count] = static_cast<std::uint8_t>(c);
        ++count;
        window = (window << 8) | static_cast<std::uint32_t>(c);
        if (window == kVopStartCode) {
            // Leave the next start code for the next call.
            if (std::fseek(file, -4, SEEK_CUR) != 0) return 0;
            count -= 4;
            return count < limit ? count : limit;
        }
    }
}

std::uint64_t ExtractVops(std::FILE* in, std::FILE* out, bool* writeFailed)
{
    if (writeFailed) *writeFailed = false;
    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kExtractBufferSize]);
    if (!buffer) return 0;  // each VOP is read before it is written: no need to clear it first
    std::uint64_t written = 0;
    for (;;) {
        const std::size_t n = ReadNextVop(buffer.get(), in, kExtractBufferSize);
        if (n == 0) break;
        if (std::fwrite(buffer.get(), 1, n, out) != n) {
            if (writeFailed) *writeFailed = true;
            return 0;
        }
        written += n;
        std::memset(buffer.get(), 0, n);
    }
    return written;
}
