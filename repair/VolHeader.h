#pragma once
// The MPEG-4 part 2 headers put in front of the VOPs cut out of a damaged recording:
// visual object sequence, visual object, user data, video object and a video object
// layer of the given size (Simple Profile, rectangular, 1000 ticks a second).
#include <cstddef>
#include <cstdint>

inline constexpr int kVolHeaderBufferSize = 1600;

extern std::uint8_t g_abVolHeader[kVolHeaderBufferSize];
extern int g_nVolHeaderLen;

// Appends bits most significant first into a fixed buffer.
struct BitWriter {
    std::uint8_t* base = nullptr;
    std::uint8_t* ptr = nullptr;   // byte being filled
    int bitPos = 0;                // 0..7 inside *ptr, 0 = most significant bit
    long totalBits = 0;
    std::size_t size = 0;          // bytes at base
    bool overflow = false;         // a write would have gone past the buffer; it was dropped
};

void InitBitWriter(BitWriter* writer, std::uint8_t* buffer, std::size_t size);
// Appends the low n bits (1..32) of value; bits after the new position in the last byte
// touched are cleared.
void PutBits(BitWriter* writer, int n, std::uint32_t value);
// Appends the 32 bytes of text, 8 bits each.
void PutUserDataBytes(BitWriter* writer, const std::uint8_t text[32]);
// next_start_code: a 0 bit, then 1 bits up to the byte boundary; nothing when aligned.
void AlignWithStuffing(BitWriter* writer);

// Fills g_abVolHeader for the size and returns its length in bytes (66); 0 when the width
// or the height does not fit 13 bits (or is 0).
int BuildVolHeader(int width, int height);
