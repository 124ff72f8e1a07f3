// Instance records of the decoder: everything lives inside the caller's tabs.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decoder/BitReader.h"
#include "decoder/Decoder.h"

// Macroblock types as stored in mbTypeMap and returned (<< 2 | cbpc) by the
// MCBPC readers.
enum {
    MB_NOT_CODED = -1,
    MB_INTER = 0,
    MB_INTER_Q = 1,
    MB_INTER4V = 2,
    MB_INTRA = 3,
    MB_INTRA_Q = 4,
    MB_STUFFING = 5,
};

enum { VOP_I = 0, VOP_P = 1, VOP_B = 2, VOP_S = 3 };

// Decode-control states.
enum { STATE_START = 0, STATE_BETWEEN = 1, STATE_PICTURE = 2, STATE_RESYNC = 3 };

// neighbourFlags bits: the neighbour may not be used for prediction.
enum { NB_LEFT = 1, NB_TOPLEFT = 2, NB_TOP = 4, NB_TOPRIGHT = 8 };

// workaroundFlags bits set from user data.
enum { WA_DIVX4_5 = 0x20, WA_DIVX500_GMC = 0x40 };

struct DecMv {
    int16_t x;
    int16_t y;
};

// Per-MB word of fieldMvMap: a bottom-field MV, or during a data-partitioned
// packet the partition word (bit 0 not coded, 1 mcsel, 2 ac_pred_flag,
// 3 DC by DC VLC, 4-9 the CBP).
union FieldWord {
    DecMv mv;
    uint32_t partition;
};

// VOL and VOP header values (tab 3).
struct VolInfo {
    int32_t bPackedBitstream;
    int32_t bOldEncoder;
    int32_t vop_time_increment_resolution;
    int32_t incrementBits;
    int32_t video_object_layer_width;
    int32_t video_object_layer_height;
    int32_t interlaced;
    int32_t sprite_enable;
    int32_t no_of_sprite_warping_points;
    int32_t sprite_warping_accuracy;
    int32_t sprite_brightness_change;
    int32_t quant_type;
    uint8_t intra_quant_mat[64];    // raster order
    uint8_t nonintra_quant_mat[64]; // raster order
    int32_t quarter_sample;
    int32_t complexityFlags;
    int32_t data_partitioned;
    int32_t reversible_vlc;
    int32_t vop_coding_type;
    int32_t modulo_time_base;
    int32_t vop_time_increment;
    int32_t bNotCoded;
    int32_t vop_rounding_type;
    int32_t vop_quant;
    int32_t intraDcThreshold;
    int32_t top_field_first;
    int32_t alternate_vertical_scan_flag;
    int32_t vop_fcode_forward;
    int32_t vop_fcode_backward;
    int32_t resyncMarkerLength;
    int32_t workaroundFlags;
    int32_t reserved;
};
static_assert(sizeof(VolInfo) == 248, "VolInfo layout");

// One caller frame buffer.
struct FrameRecord {
    uint8_t* pY; // 16-aligned planes
    uint8_t* pU;
    uint8_t* pV;
    int32_t codingType; // -1 none
    int32_t decodedMbs;
    int32_t seconds;    // accumulated modulo time base
    int32_t increment;  // vop_time_increment (H.263: temporal reference)
    uint8_t* errorMap;  // per MB: the error map as this picture left it
};

struct DecoderInstance;

// (destination, source, destination stride, source stride, rows), 8 wide.
typedef void (*PixelBlockFn)(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
// Block decoders: 0, or -1 when a block cannot be decoded.
typedef int (*BlockDecodeFn)(DecoderInstance* d, int qp, int cbp);
// Slice decoders: decode macroblocks from mbNum on.
typedef void (*SliceDecodeFn)(DecoderInstance* d);

struct DecoderInstance {
    // 1. bit reader
    BitReader reader;

    // 2. macroblock cursor
    int mbX;
    int mbY;
    int mbInPacket;     // MBs since the start of the video packet or GOB
    int mbNum;          // MBs decoded or concealed so far in the picture
    int mbWidth;
    int neighbourFlags; // NB_ bits of the current MB

    // 3. macroblock-layer state
    int lumaDcBelow;         // 2 mbw: luma DC grid offset of the block below
    int lumaDcBelowRight;    // 2 mbw + 1
    int mvCandidate[12];     // blockMvMap entry offsets of the MV candidates, 3 per luma block
    int qp;                  // running quantiser of the current MB
    int acPredFlag;          // ac_pred_flag of the current intra MB
    int useDcVlc;            // intra DC coded with dct_dc_size/dct_dc_differential
    int bPartitionDc;        // DC differentials come from the DC stores (data-partitioned packet)
    int mcsel;               // current MB is GMC-predicted
    int dctType;             // field DCT for the current MB
    int fieldPrediction;     // current MB is field predicted
    uint32_t blockPattern[6]; // non-zero pattern word per block of blockBuffer
    int blockStride;         // 2 mbWidth
    int stride;              // width raised to a multiple of 16
    int alignedHeight;
    int mbCount;
    int gobMbWidth;          // mbWidth again, for GOB numbers

    // 4. work areas (tab 1)
    int16_t* blockBuffer; // 6 coefficient blocks + 1 level block, 64 each
    uint8_t* predBuffer;
    uint8_t* edgeBuffer;
    uint8_t* qpelScratch;

    // 5. pixel cursors
    uint8_t* curY;
    uint8_t* curU;
    uint8_t* curV;
    uint8_t* refY;
    uint8_t* refU;
    uint8_t* refV;

    // 6. running cursors, advanced per MB
    int16_t* lumaDcCursor; // first block of the MB in the luma DC grid
    int16_t* cbDcCursor;
    int16_t* crDcCursor;
    uint8_t* errorMapCursor;
    int16_t* acRowCursor;  // 4 x 8 levels per MB column: Y0/Y2, Y1/Y3, Cb, Cr
    int8_t* mbTypeCursor;
    uint8_t* curQpCursor;
    DecMv* blockMvCursor;  // 4 per MB
    FieldWord* fieldMvCursor;
    int8_t* fieldSelectCursor;

    // 7. routines chosen per VOP
    PixelBlockFn copyBlockFn;
    PixelBlockFn halfPelFn[3];  // horizontal, vertical, both
    PixelBlockFn averageFn[4];  // full, horizontal, vertical, both
    BlockDecodeFn intraBlockFn;
    BlockDecodeFn interBlockFn;

    // 8. B-VOP temporal distances
    int trd;
    int trb;
    int trdInv; // 65535 / trd
    int trbField;
    int trdField;

    // 9. array bases
    int8_t* mbTypeMap;
    uint8_t* prevQpMap;
    uint8_t* curQpMap;
    uint8_t* errorMap; // the map of cur, being written
    int16_t* lumaDcStore;
    int16_t* cbDcStore;
    int16_t* crDcStore;
    DecMv* blockMvMap;
    FieldWord* fieldMvMap;
    int8_t* fieldSelectMap;
    int16_t* acRowStore;
    int16_t* acColStore; // 4 x 8 levels: Y0/Y1, Y2/Y3, Cb, Cr

    // 10. frames
    VolInfo* vol;
    FrameRecord* frames;
    FrameRecord* fwdRef;
    FrameRecord* bwdRef;
    FrameRecord* cur;
    FrameRecord* outRec;
    FrameRecord* outPlanes;

    // 11. control
    uint32_t uMaxDecodableWidth;
    uint32_t uMaxDecodableHeight;
    int state;        // STATE_
    int nextBuffer;   // rotation index
    int bDeblock;
    uint32_t uFrmBufferNum;
    int bShortHeader;
    int bLowDelay;
    int bEndOfFrame;
    int trdFirst;
    int prevCodingType;
    int bAdvancedTools;
    SliceDecodeFn decodeIVop;
    SliceDecodeFn decodePVop;
    SliceDecodeFn decodeBVop;
    int gmcMode; // 1 translation, 2 or 3 affine
    int32_t gmcUo;
    int32_t gmcVo;
    int32_t gmcUco;
    int32_t gmcVco;
    int32_t gmcDuDx;
    int32_t gmcDuDy;
    int32_t gmcDvDx;
    int32_t gmcDvDy;
    int bReset;
    int frameCount;
    void* tabBase[4];
    uint32_t tabSize[4]; // bytes the caller gave, checked by the layouts
    DEC_MESSAGE_FN msgCallback;
    int lastSeconds;
    int lastIncrement; // H.263: last temporal reference
    // MPEG-4 time base in whole seconds: of the last I/P/S-VOP in decoding
    // order (or the last GOV time code), and the one before it, which B-VOPs
    // count from.
    int timeBase;
    int lastTimeBase;
    int vopSeconds;    // of the VOP header just parsed
    int bTimeCodeSeen; // a GOV time code has set the time origin
    int bTimeRestart;  // a GOV time code went back: output times count again from it
    int bResizeOutput; // the held-back anchor went out ahead of a new VOL size

    // 12. the MPEG-4 video packet being decoded
    int packetFirstMb;
    int packetEndMb;          // the next packet's first MB, or mbCount
    int packetCheck;          // 0 unchecked (the chunk may go on), 1 checked, next MB unknown, 2 checked
    int packetDecodedMbs;     // cur->decodedMbs at its start
    const uint8_t* packetEnd; // where the next resync marker or start code begins
    const uint8_t* dataEnd;   // the chunk's own end
    // Data partitioning: the MBs from packetFirstMb up to packetPartsEnd have
    // a motion (P) or DC (I) partition that checked, so a packet whose
    // texture fails is concealed from them.
    int packetPartsEnd;
    int packetDcKnown;   // P: the second partition (CBPs, intra DCs) decoded whole
    int packetTextureMb; // the first MB without decoded texture: its DC stores hold differentials
};

// Bytes of tab 1 used by the fixed work areas before the DC stores.
enum {
    WORK_BLOCK_BYTES = 7 * 64 * 2,   // blockBuffer
    WORK_PRED_BYTES = 16 * 16 + 16 * 8, // predBuffer
    WORK_EDGE_BYTES = 24 * 34,       // edgeBuffer: 17 x 17 at pitch 24, or two fields at pitch 48
    WORK_QPEL_BYTES = 2856 - 7 * 64 * 2 - (16 * 16 + 16 * 8) - 24 * 34, // quarter-pel scratch
    WORK_FIXED_BYTES = 2856,
};

// Message helper: silent when the callback is null.
#define DEC_MSG(cb, text) \
    do {                  \
        if (cb)           \
            (cb)(text);   \
    } while (0)
