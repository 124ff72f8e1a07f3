// libFuzzer entry: the bytes are a recording's data track, one sample after another, each
// behind a two-byte little-endian length. Every sample goes through the line parser into one
// track, as the open routine hands it over (zero-filled 1,024-byte buffer) and at its exact
// length; then the G track is resampled, as after an open.
#include <cstdint>
#include <cstring>
#include <vector>

#include "media/TrackData.h"

namespace {

constexpr int kMaxSamples = 512;
constexpr std::size_t kMaxSampleBytes = 3000;  // longer than the open routine's buffer

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    g_nGRecordCount = 0;
    g_bResetGpsIndex = 0;
    CTextData track;
    std::uint32_t stamp = 0;
    size_t off = 0;
    for (int n = 0; n < kMaxSamples && off + 2 <= size; ++n) {
        size_t len = (size_t(data[off]) | size_t(data[off + 1]) << 8) % kMaxSampleBytes;
        off += 2;
        if (len > size - off) len = size - off;
        // Exactly as long as the sample, so a read past it is caught.
        const std::vector<unsigned char> sample(data + off, data + off + len);
        off += len;
        if (n % 2 == 0 && len <= kDataSampleBufferSize) {
            unsigned char buffer[kDataSampleBufferSize] = {};
            if (len) std::memcpy(buffer, sample.data(), len);
            track.ParseLine(buffer, stamp);
        } else {
            track.ParseLine(sample.data(), sample.size(), stamp);
        }
        stamp += len ? sample[0] * 7u : 1000u;  // stamps in any order the track may hold
        if (n % 64 == 63) g_bResetGpsIndex = 1;  // the painter's reset comes between samples
    }
    // The resampler spreads the G records over the recording's length (here the last
    // stamp, at most ten minutes); it clears its whole table first, so only when it has
    // records to spread.
    if (g_nGRecordCount >= 2) {
        g_nDurationMs = static_cast<std::int32_t>(stamp % 600000u);
        track.InterpolateGTrack();
    }
    return 0;
}
