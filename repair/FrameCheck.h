#pragma once
// Runs every extracted VOP through the built-in decoder and keeps of each only the bytes
// the decoder consumed, behind a freshly made VOL header.
#include <cstdint>
#include <cstdio>

inline constexpr std::size_t kCheckBitstreamBufferSize = 2099200;
inline constexpr std::uint32_t kMaxCheckedVopBytes = 60000;

// Writes the header and the kept part of every VOP of in to out. Returns the bytes
// written (header included), 0 on failure (the reason goes to standard error).
std::uint64_t CheckVops(std::FILE* in, std::FILE* out, int width, int height);
