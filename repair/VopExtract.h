#pragma once
// Cuts the raw video object planes out of a file by their start code 00 00 01 B6,
// ignoring whatever container holds them.
#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr std::size_t kExtractBufferSize = 640 * 480 * 3;
inline constexpr std::size_t kCheckVopLimit = 2097152;

// Reads the next VOP (its start code included, up to the next start code or the end of
// the file) into buffer, which holds at least limit bytes. Returns its length, at most
// limit (a longer VOP keeps its first limit bytes, the rest is passed over); 0 at the end
// of the file.
std::size_t ReadNextVop(std::uint8_t* buffer, std::FILE* file, std::size_t limit);

// Copies every VOP of in to out. Returns the bytes written; 0 when there were none, the
// buffer could not be had, or a write failed (*writeFailed is then set when given).
std::uint64_t ExtractVops(std::FILE* in, std::FILE* out, bool* writeFailed = nullptr);
