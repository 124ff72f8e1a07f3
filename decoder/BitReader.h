// Bit reader over one chunk: MSB first, bytes past the end read as zero.
#pragma once

#include <cstdint>

struct BitReader {
    uint32_t cache;           // next bits, most significant first
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

// Loads bytes until at least 25 bits are valid; never reads past end.
inline void BitstreamRefill(BitReader* r)
{
    if (r->bitsValid > 24)
        return;
    if (r->end - r->ptr >= 4) {
        // At least four bytes ahead: no end check per byte.
        do {
            r->bitsValid += 8;
            r->cache |= uint32_t(*r->ptr++) << (32 - r->bitsValid);
        } while (r->bitsValid < 25);
        return;
    }
    while (r->bitsValid < 25) {
        r->bitsValid += 8;
        if (r->ptr < r->end)
            r->cache |= uint32_t(*r->ptr) << (32 - r->bitsValid);
        ++r->ptr;
    }
}

// n from 1 to 25.
inline uint32_t BitstreamShowBits(BitReader* r, int n)
{
    BitstreamRefill(r);
    return r->cache >> (32 - n);
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
    uint32_t v = r->cache >> (32 - n);
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
