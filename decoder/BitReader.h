// Bit reader over one chunk: MSB first, bytes past the end read as zero.
#pragma once

#include <cstdint>

struct BitReader {
    uint64_t cache;           // next bits, most significant first
    int bitsValid;            // valid top bits of cache
    const uint8_t* ptr;       // next byte to load (may run past end)
    const uint8_t* start;
    const uint8_t* end;
};

inline void BitstreamInit(BitReader* r, const uint8_t* data, uint32_t length)
{
    r->cache = 0;
    r->bitsValid = 0;
    r->ptr = data;
    r->start = data;
    r->end = data + length;
}

// Byte by byte near the end of the chunk: bytes past it read as zero.
__attribute__((noinline)) inline void BitstreamRefillTail(BitReader* r)
{
    while (r->bitsValid < 25) {
        r->bitsValid += 8;
        if (r->ptr < r->end)
            r->cache |= uint64_t(*r->ptr) << (64 - r->bitsValid);
        ++r->ptr;
    }
}

// Loads bytes until at least 25 bits are valid; never reads past end. Bits
// below the valid ones are zero or the stream's own next bits.
inline void BitstreamRefill(BitReader* r)
{
    if (r->bitsValid > 24)
        return;
    if (__builtin_expect(r->end - r->ptr >= 8, 1)) {
        // Eight bytes at once; only the whole bytes that fit are counted.
        uint64_t v;
        __builtin_memcpy(&v, r->ptr, 8);
        v = __builtin_bswap64(v);
        r->cache |= v >> r->bitsValid;
        const int bytes = (63 - r->bitsValid) >> 3;
        r->ptr += bytes;
        r->bitsValid += 8 * bytes;
        return;
    }
    BitstreamRefillTail(r);
}

// n from 1 to 25.
inline uint32_t BitstreamShowBits(BitReader* r, int n)
{
    BitstreamRefill(r);
    return uint32_t(r->cache >> (64 - n));
}

inline void BitstreamSkipBits(BitReader* r, int n)
{
    while (n > 24) {
        BitstreamRefill(r);
        r->cache <<= 24;
        r->bitsValid -= 24;
        n -= 24;
    }
    if (n <= 0)
        return;
    BitstreamRefill(r);
    r->cache <<= n;
    r->bitsValid -= n;
}

// n from 0 to 25.
inline uint32_t BitstreamGetBits(BitReader* r, int n)
{
    if (n <= 0)
        return 0;
    BitstreamRefill(r);
    uint32_t v = uint32_t(r->cache >> (64 - n));
    r->cache <<= n;
    r->bitsValid -= n;
    return v;
}

inline int BitstreamGetBit(BitReader* r)
{
    return int(BitstreamGetBits(r, 1));
}

// Negative once the reader has loaded past the end.
inline long BitstreamBitsLeft(const BitReader* r)
{
    return long(r->bitsValid) + 8L * long(r->end - r->ptr);
}

inline void BitstreamByteAlign(BitReader* r)
{
    BitstreamSkipBits(r, r->bitsValid & 7);
}

inline bool BitstreamIsAligned(const BitReader* r)
{
    return (r->bitsValid & 7) == 0;
}
