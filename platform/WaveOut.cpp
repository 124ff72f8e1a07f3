#include "platform/WaveOut.h"

#include <algorithm>

namespace {
std::uint32_t g_word = 0xFFFFFFFFu;
std::function<void(double)>& Listener()
{
    static std::function<void(double)> listener;
    return listener;
}
}  // namespace

unsigned waveOutSetVolume(unsigned, std::uint32_t word)
{
    g_word = word;
    if (Listener()) Listener()(WaveOutLevel());
    return 0;
}

std::uint32_t WaveOutVolumeWord() { return g_word; }

double WaveOutLevel()
{
    const std::uint32_t louder = std::max(g_word & 0xFFFFu, g_word >> 16);
    return louder / 65535.0;
}

void SetWaveOutListener(std::function<void(double)> listener) { Listener() = std::move(listener); }
