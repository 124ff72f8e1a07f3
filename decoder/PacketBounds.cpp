// Bounds of one MPEG-4 video packet and the check of its end. Before the
// slice decoder runs, the byte where the next resync marker or start code
// begins is found and the reader is held to it (bits past it read as zero).
// A packet that does not end exactly there (its last MB just before the
// stuffing ahead of the marker, no MB past the next header's first) is
// damaged: it is taken back and marked lost, the packet header parser
// conceals it and the next packet decodes from its own marker. One that ends
// there with fewer MBs than the next header says is marked lost, its MBs
// kept where they join the MBs around them.
// A data-partitioned packet whose motion or DC partition checked is
// concealed from it at once.
#include <cstring>

#include "decoder/DecoderInternal.h"

namespace dec {
namespace {

long Position(const BitReader* r)
{
    return 8L * long(r->ptr - r->start) - r->bitsValid;
}

void Seek(BitReader* r, long bit)
{
    r->ptr = r->start + bit / 8;
    r->cache = 0;
    r->bitsValid = 0;
    BitstreamSkipBits(r, int(bit & 7));
}

// The first byte from `from` where a start code or a resync marker of
// `markerLength` bits begins, or end; *nextMb gets the MB number after the
// marker (mbCount at a start code, -1 when it cannot be used).
const uint8_t* FindBoundary(const DecoderInstance* d, const uint8_t* from, const uint8_t* end,
                            int* nextMb)
{
    const int markerLength = d->vol->resyncMarkerLength;
    const int mbBits = BitLength(d->mbCount - 1);
    for (const uint8_t* p = from; end - p >= 3; ++p) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0, size_t(end - p - 2)));
        if (!p)
            break;
        if (p[1] != 0)
            continue;
        if (p[2] == 1) {
            *nextMb = d->mbCount;
            return p;
        }
        BitReader t;
        BitstreamInit(&t, p, uint32_t(end - p));
        if (markerLength < 17 || markerLength > 25 || BitstreamGetBits(&t, markerLength) != 1)
            continue;
        const int mb = int(BitstreamGetBits(&t, mbBits));
        *nextMb = BitstreamBitsLeft(&t) >= 0 && mb > d->mbNum && mb < d->mbCount ? mb : -1;
        return p;
    }
    *nextMb = d->mbCount;
    return end;
}

// Bits from the reader up to the boundary are MPEG-4 stuffing: a 0, then 1s.
bool AtStuffing(BitReader* r, long boundaryBit)
{
    const long n = boundaryBit - Position(r);
    if (n < 1 || n > 8)
        return false;
    return BitstreamShowBits(r, int(n)) == (1u << (n - 1)) - 1;
}

}  // namespace

bool HeaderMbDamaged(const DecoderInstance* d, const uint8_t* marker, int mb)
{
    // The header's marker and MB number take more than 3 bytes.
    const uint8_t* end = d->reader.end;
    if (mb >= d->mbCount)
        return false; // a start code
    int following = -1;
    FindBoundary(d, end - marker > 3 ? marker + 3 : end, end, &following);
    return following >= 0 && following <= mb;
}

void BeginPacket(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    d->packetFirstMb = d->mbNum;
    d->packetDecodedMbs = d->cur->decodedMbs;
    d->dataEnd = r->end;
    const long at = Position(r);
    const uint8_t* from = r->start + (at + 7) / 8;
    int nextMb = d->mbCount;
    d->packetEnd = FindBoundary(d, from < r->end ? from : r->end, r->end, &nextMb);
    d->packetEndMb = nextMb < 0 ? d->mbCount : nextMb;
    d->packetPartsEnd = d->packetFirstMb;
    d->packetDcKnown = 0;
    d->packetTextureMb = d->packetFirstMb;
    // The end of a chunk that does not end the picture need not end the packet.
    d->packetCheck = d->packetEnd == r->end && !d->bEndOfFrame ? 0 : (nextMb < 0 ? 1 : 2);
    // Bits past the boundary read as zero, as the marker's first 16 do.
    r->end = d->packetEnd;
    Seek(r, at);
}

int EndPacket(DecoderInstance* d)
{
    BitReader* r = &d->reader;
    const long boundaryBit = 8L * long(d->packetEnd - r->start);
    const long at = Position(r);
    // What follows the picture's last MB is not checked: a caller may hand
    // over a picture with other data after it.
    const bool atPictureEnd = d->mbNum >= d->mbCount;
    const bool good = d->packetCheck == 0 ||
                      (at <= boundaryBit && (atPictureEnd || AtStuffing(r, boundaryBit)) &&
                       (atPictureEnd || d->packetCheck == 1 || d->mbNum <= d->packetEndMb));
    r->end = d->dataEnd;
    if (good) {
        Seek(r, at);
        // Fewer MBs than the next header says (and that header's MB number
        // not damaged itself): a packet lost whole after this one, or damage
        // the codes resynchronised from. The MBs count as lost; their
        // pictures stay unless they step far from the MBs around them.
        if (d->packetCheck == 2 && d->mbNum < d->packetEndMb && d->mbNum > d->packetFirstMb &&
            !HeaderMbDamaged(d, d->packetEnd, d->packetEndMb)) {
            MarkSuspect(d, d->packetFirstMb, d->mbNum, true);
            d->cur->decodedMbs = d->packetDecodedMbs;
            if (d->mbNum < d->packetPartsEnd) {
                SeekPacketMacroblock(d, d->mbNum);
                ConcealFromPartitions(d, d->packetPartsEnd);
            }
            return 0;
        }
        return 1;
    }
    // Damage shows after it happens: the MBs decoded up to the one before
    // that point keep their pictures but count as lost; from there on the
    // packet is concealed.
    const int first = d->packetFirstMb;
    int keep = d->mbNum - 1 > first ? d->mbNum - 1 : first;
    if (d->packetCheck == 2 && keep > d->packetEndMb)
        keep = d->packetEndMb; // MBs past the next header's first are not this packet's
    const FrameRecord* from = d->vol->vop_coding_type == VOP_B ? d->bwdRef : d->fwdRef;
    if (from != d->cur && d->mbNum > keep)
        std::memcpy(d->errorMap + keep, from->errorMap + keep, size_t(d->mbNum - keep));
    MarkSuspect(d, first, keep);
    d->cur->decodedMbs = d->packetDecodedMbs;
    if (keep < d->packetPartsEnd) {
        SeekPacketMacroblock(d, keep);
        ConcealFromPartitions(d, d->packetPartsEnd);
    } else {
        SeekMacroblock(d, keep);
    }
    Seek(r, boundaryBit);
    return 0;
}

}  // namespace dec
