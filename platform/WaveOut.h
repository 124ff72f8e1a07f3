#pragma once
// The wave-out device's volume: one process-wide output level, two 16-bit channels in one word
// (left in the low half), applied after each player's own volume.
#include <cstdint>
#include <functional>

// Device 0 is the only device; answers 0 (no error).
unsigned waveOutSetVolume(unsigned device, std::uint32_t word);
std::uint32_t WaveOutVolumeWord();
// The level as a linear factor 0 .. 1 (the louder channel).
double WaveOutLevel();
// Players follow the level: each listener is called with the new factor whenever the word
// changes. Answers an id for RemoveWaveOutListener.
int AddWaveOutListener(std::function<void(double)> listener);
void RemoveWaveOutListener(int id);
