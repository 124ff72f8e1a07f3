// Cost of reading one hour of drive data at open: 180,000 G records and 3,600 RMC
// sentences through the line parser, then the resampling of the G track.
#include "media/TrackData.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> HourOfSamples()
{
    std::vector<std::string> samples;
    std::string g(kGRecordSize, '\0');
    g[0] = 'M';
    for (int s = 0; s < 3600; ++s) {
        char rmc[128];
        const int n = std::snprintf(rmc, sizeof rmc, "$GPRMC,%02d%02d%02d.00,A,3541.%04d,N,13946.%04d,E,21.6,%d.0,110817,,,A",
                                    s / 3600, s / 60 % 60, s % 60, s % 10000, (s * 3) % 10000, s % 360);
        unsigned sum = 0;
        for (int i = 1; i < n; ++i) sum ^= static_cast<unsigned char>(rmc[i]);
        std::snprintf(rmc + n, sizeof rmc - static_cast<std::size_t>(n), "*%02X", sum);  // sound sentences, as cards hold them
        samples.emplace_back(rmc);
        for (int k = 0; k < 50; ++k) {
            g[1] = static_cast<char>(k);
            samples.push_back(g);
        }
    }
    return samples;
}

void BM_ParseHour(benchmark::State& state)
{
    const std::vector<std::string> samples = HourOfSamples();
    unsigned char buffer[kDataSampleBufferSize];
    for (auto _ : state) {
        CTextData data;
        g_nGRecordCount = 0;
        std::uint32_t stamp = 0;
        for (const std::string& s : samples) {
            std::memset(buffer, 0, sizeof buffer);
            std::memcpy(buffer, s.data(), s.size());
            data.ParseLine(buffer, stamp += 20);
        }
        benchmark::DoNotOptimize(g_nGRecordCount);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * samples.size()));
}
BENCHMARK(BM_ParseHour)->Unit(benchmark::kMillisecond);

void BM_ResampleHour(benchmark::State& state)
{
    for (int i = 0; i < kGTrackCapacity; ++i)
        g_aGTrack[i].dGz = i % 100 * 0.01;
    g_nGRecordCount = kGTrackCapacity;
    g_nDurationMs = 3600 * 1000;
    CTextData data;
    for (auto _ : state) {
        data.InterpolateGTrack();
        benchmark::DoNotOptimize(g_nGSlotCount);
    }
}
BENCHMARK(BM_ResampleHour)->Unit(benchmark::kMillisecond);

}  // namespace
