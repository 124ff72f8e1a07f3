// Routines shared between the decoder's stages (one line per routine, grouped
// by the file that defines it).
#pragma once

#include <cstdint>

#include "decoder/DecoderInstance.h"

namespace dec {

// --- Headers.cpp: start codes and headers ---------------------------------
int BitLength(int v);
int ProbeVolStartCode(const uint8_t* data, uint32_t length); // 0 found, -1 not
int ParseConfigHeaders(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb);
// 1 when a VOP header was parsed (reader after it), 0 at the end of the data.
int ParseFrameHeaders(DecoderInstance* d, DEC_MESSAGE_FN cb);
void ParseUserData(VolInfo* vol, BitReader* r);
void ParseGovHeader(DecoderInstance* d);
void AdvanceTimeBase(DecoderInstance* d); // after an accepted VOP header: sets vopSeconds
int ParseVolHeader(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb);
// The VOL header into vol when it is accepted; a refused one leaves vol as it was, -1.
int ParseVolHeaderOrKeep(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb);
int ReadQuantMatrix(BitReader* r, uint8_t matrix[64]);
void ParseComplexityEstimationHeader(VolInfo* vol, BitReader* r);
int ParseVopHeader(DecoderInstance* d);
void SkipVopComplexityEstimation(VolInfo* vol, BitReader* r);
// 1 picture done (start code), 0 packet ready, -1 keep searching.
int ParseVideoPacketHeader(DecoderInstance* d);
int ParseH263PictureHeader(VolInfo* vol, BitReader* r, DEC_MESSAGE_FN cb);
int ParseH263GobHeader(DecoderInstance* d);

// --- Headers.cpp: S-VOP trajectory (warp set up with Gmc.h) -----------------
void ParseSpriteTrajectory(DecoderInstance* d);
void ParseBrightnessChange(VolInfo* vol, BitReader* r);

// --- DecodeControl.cpp -----------------------------------------------------
int SetupVolBuffers(DecoderInstance* d); // 0, or -1 for a size of 0 or above the maxima
int DecodeMpeg4Frame(DecoderInstance* d); // 1 when a picture is ready
int DecodeH263Frame(DecoderInstance* d);
void SetupVop(DecoderInstance* d);
void RotateFrameBuffers(DecoderInstance* d);
void CopyNotCodedVop(DecoderInstance* d);
int DivSigned(int a, int b);
int DivByReciprocal(int a, int b, int r);
int RoundShift(int v, int n);

// --- MacroblockCursor.cpp --------------------------------------------------
void StartPacket(DecoderInstance* d);
void NextMacroblock(DecoderInstance* d);
void NextMacroblockSimple(DecoderInstance* d); // leaves the field map cursors
// Points every cursor at macroblock mbNum (used after set-up and resync).
void SeekMacroblock(DecoderInstance* d, int mbNum);
// The same within the current packet, with its neighbour flags.
void SeekPacketMacroblock(DecoderInstance* d, int mbNum);

// --- PacketBounds.cpp: an MPEG-4 video packet's end and its check ----------
void BeginPacket(DecoderInstance* d); // after StartPacket, before the slice decoder
// 1 when the packet ended where it must; else 0, the packet taken back (MB
// cursor at its first MB, reader at the next marker) for concealment.
int EndPacket(DecoderInstance* d);
// The MB number `mb` of the packet header whose marker begins at `marker`
// was damaged: the next marker after it (past mbNum) names no later MB.
bool HeaderMbDamaged(const DecoderInstance* d, const uint8_t* marker, int mb);

// --- Conceal.cpp -----------------------------------------------------------
void ConcealLostMacroblocks(DecoderInstance* d, int targetMb);
// After the picture's last MB: MBs concealed by a copy of the reference are
// predicted again with the vector that joins their neighbours best (B-VOPs:
// direct mode), and marked lost (1).
void RefineConcealment(DecoderInstance* d);
// MBs [from, to) decoded in a damaged packet before the damage showed (whole:
// in a packet that ended where it must, short of the next header's MB): lost,
// and replaced by a guess when it joins their neighbours much better.
void MarkSuspect(DecoderInstance* d, int from, int to, bool whole = false);
// MBs from mbNum up to targetMb (at most packetPartsEnd) of a packet whose
// texture failed, from its partitions: inter MBs predicted with their own
// vectors, intra MBs from their DCs; marked lost.
void ConcealFromPartitions(DecoderInstance* d, int targetMb);

// --- IntraMacroblock.cpp: slice decoders for intra pictures -----------------
// The current MB's six DC differentials of a data-partitioned packet, kept
// across a texture decode that may fail half way (it stores DC values there).
struct PartitionDcs {
    int16_t v[6];
};
PartitionDcs SavePartitionDcs(const DecoderInstance* d);
void RestorePartitionDcs(DecoderInstance* d, const PartitionDcs& dcs);
void DecodeIVopSimple(DecoderInstance* d);
void DecodeIVopDataPartitioned(DecoderInstance* d);
void DecodeH263IPicture(DecoderInstance* d);

// --- InterMacroblock.cpp: slice decoders for inter pictures -----------------
void DecodePVopSimple(DecoderInstance* d);
void DecodeBVopSimple(DecoderInstance* d);
void DecodeVopAdvanced(DecoderInstance* d);
void DecodeBVopAdvanced(DecoderInstance* d);
void DecodePVopDataPartitioned(DecoderInstance* d);
void DecodeH263PPicture(DecoderInstance* d);

// --- Vlc.cpp: macroblock header codes ---------------------------------------
int ReadMcbpcIntra(BitReader* r); // (mb_type << 2) | cbpc, 20 stuffing, -1 invalid
int ReadMcbpcInter(BitReader* r);
int ReadCbpy(BitReader* r);       // inter meaning; intra callers use 15 minus it
int ReadBMbType(BitReader* r);    // 0 direct, 1 interpolate, 2 backward, 3 forward, -1
int ReadDquant(BitReader* r);     // -1, -2, +1, +2
int ReadIntraDc(BitReader* r, int chroma); // differential, 32768 for an invalid code
int CheckResyncMarker(BitReader* r);
// TCOEF lookup value of the escape code.
enum { TCOEF_ESCAPE = 64 };
// One coefficient code (run, signed level, last); MPEG-4 with its three
// escape modes: 0, or -1 invalid.
int ReadMpeg4Coef(BitReader* r, int intra, int* run, int* level, int* last);
// H.263 coefficient with the H.263 escape: 0, or -1 invalid.
int ReadH263Coef(BitReader* r, int* run, int* level, int* last);
// RVLC coefficient (forward direction): 0, or -1 invalid.
int ReadRvlcIntraCoef(BitReader* r, int* run, int* level, int* last);
int ReadRvlcInterCoef(BitReader* r, int* run, int* level, int* last);

// --- MotionVector.cpp -------------------------------------------------------
int ReadMvd(BitReader* r, int fcode); // see MotionVector.h

// --- IntraBlock.cpp / InterBlock.cpp: block decoders --------------------------
int DecodeIntraBlockH263Quant(DecoderInstance* d, int qp, int cbp);
int DecodeIntraBlockMpegQuant(DecoderInstance* d, int qp, int cbp);
int DecodeIntraBlockRvlc(DecoderInstance* d, int qp, int cbp);
int DecodeIntraBlockShortHdr(DecoderInstance* d, int qp, int cbp);
int DecodeInterBlockH263Quant(DecoderInstance* d, int qp, int cbp);
int DecodeInterBlockMpegQuant(DecoderInstance* d, int qp, int cbp);
int DecodeInterBlockRvlc(DecoderInstance* d, int qp, int cbp);
int DecodeInterBlockShortHdr(DecoderInstance* d, int qp, int cbp);

// --- Idct.cpp -----------------------------------------------------------------
void IdctPut(uint8_t* dst, int16_t* coef, int dstPitch, uint32_t pattern);
void IdctAdd(uint8_t* dst, const uint8_t* pred, int16_t* coef, int dstPitch, int predPitch,
             uint32_t pattern);
// The transform alone, in place, without clipping.
void IdctTransform(int16_t* coef, uint32_t pattern);
// IDCT-puts the six blocks of blockBuffer at the current MB (frame layout,
// or field layout for the luma blocks when fieldDct is set).
void PutIntraMacroblock(DecoderInstance* d, int fieldDct);

// --- Scan and quantiser tables (VlcTables.cpp) ------------------------------
extern const uint8_t kZigzag[64];
extern const uint8_t kAltHorizontalScan[64];
extern const uint8_t kAltVerticalScan[64];
extern const uint8_t kDefaultIntraMatrix[64];    // raster order
extern const uint8_t kDefaultNonIntraMatrix[64]; // raster order

}  // namespace dec
