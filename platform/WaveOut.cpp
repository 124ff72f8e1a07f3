#include "platform/WaveOut.h"

#include <algorithm>
#include <map>

namespace {
std::uint32_t g_word = 0xFFFFFFFFu;
int g_nextId = 1;
std::map<int, std::function<void(double)>>& Listeners()
{
    static std::map<int, std::function<void(double)>> listeners;
    return listeners;
}
}  // namespace

unsigned waveOutSetVolume(unsigned, std::uint32_t word)
{
    const bool changed = word != g_word;
    g_word = word;
    if (changed) {
        const double level = WaveOutLevel();
        for (const auto& [id, listener] : Listeners()) listener(level);
    }
    return 0;
}

std::uint32_t WaveOutVolumeWord() { return g_word; }

double WaveOutLevel()
{
    const std::uint32_t louder = std::max(g_word & 0xFFFFu, g_word >> 16);
    return louder / 65535.0;
}

int AddWaveOutListener(std::function<void(double)> listener)
{
    const int id = g_nextId++;
    Listeners()[id] = std::move(listener);
    return id;
}

void RemoveWaveOutListener(int id) { Listeners().erase(id); }
