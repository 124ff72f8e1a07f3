// MPEG-4 part 2 / H.263 baseline video decoder: plain C-style interface.
//
// The decoder allocates nothing and keeps no global state. The caller asks
// DEC_QueryMemSize for the sizes of four memory tabs, allocates them and the
// frame buffers, creates an instance inside them with DEC_Init and feeds one
// chunk of bitstream (normally one picture) per DEC_Decode call. An empty
// chunk (uLength 0) flushes the held-back anchor picture.
//
// DEC_Decode returns the bytes it consumed. When that is less than the chunk,
// the caller passes the rest of the chunk again in the next call (and so on
// until all is consumed or a call consumes nothing and outputs no picture):
// a picture ends where its data ends, and headers after it (GOV, VOL) take
// effect only when fed. A VOL header of a new picture size makes the call
// output the picture held back from the old size, at the old size and
// stride, and consume nothing of the new headers; fed again, they decode at
// the new size.
//
// Records keep the field order of the original 32-bit interface; on a 64-bit
// build the pointer fields are 8 bytes wide, every other field is 32 bits.
#pragma once

#include <cstdint>

#ifdef __cplusplus
extern "C" {
#endif

// Diagnostics: one-line English texts ending in a line feed. May be null.
typedef void (*DEC_MESSAGE_FN)(const char* format, ...);

typedef struct DEC_STREAM_CONFIG {
    const unsigned char* pConfigData; // MPEG-4 headers up to a VOL, or an H.263 picture; may be null
    uint32_t uReserved1;              // not read
    uint32_t uConfigLength;           // 0 = none
    uint32_t uReserved2;              // not read
    uint32_t uReserved3;              // not read
    int32_t iIsShortHdrMode;          // -1 decide from the data, 0 MPEG-4, 1 H.263 short header
    int32_t bDeblocking;              // non-zero: deblocking post-filter on every output picture
    int32_t bLowDelay;                // non-zero: output each picture right after decoding it
} DEC_STREAM_CONFIG;

// Each plane holds a picture of the largest size, which the decoder places
// at the plane's address raised to a multiple of 16: pY at least
// uMaxDecodableWidth x uMaxDecodableHeight + 15 bytes, pU and pV each
// (uMaxDecodableWidth / 2) x (uMaxDecodableHeight / 2) + 15 bytes. Pictures
// are stored at a stride of the width raised to a multiple of 16 (DEC_OUTPUT).
typedef struct DEC_FRAME_BUF {
    unsigned char* pY;
    unsigned char* pU;
    unsigned char* pV;
    uint32_t uReserved;
} DEC_FRAME_BUF;

typedef struct DEC_PARAM {
    DEC_STREAM_CONFIG* pStreamConfig;
    DEC_FRAME_BUF* pFrameBuffers; // uFrmBufferNum records
    uint32_t uFrmBufferNum;       // at least 3
    uint32_t uMaxDecodableWidth;  // multiple of 16
    uint32_t uMaxDecodableHeight; // multiple of 16
    DEC_MESSAGE_FN pfnMessage;
} DEC_PARAM;

typedef struct DEC_MEMTAB {
    void* pBase;    // filled by the caller
    uint32_t uSize; // filled by DEC_QueryMemSize
} DEC_MEMTAB;

typedef struct DEC_VIDEO_INFO {
    int32_t* piIsShortHdr; // receives 0 or 1
    uint32_t uWidth;
    uint32_t uHeight;
} DEC_VIDEO_INFO;

typedef struct DEC_INPUT {
    void* pReserved;            // not read
    const unsigned char* pData; // bitstream chunk
    uint32_t uLength;           // bytes; 0 = flush
    int32_t bEndOfFrame;        // the chunk ends the picture: conceal what is missing, output it
    int32_t iReserved;          // not read
    int32_t bReset;             // mark every macroblock lost before decoding
} DEC_INPUT;

typedef struct DEC_FRAME_RESULT {
    int32_t iCodingType; // 0 I, 1 P, 2 B, 3 S, -1 no picture
    uint32_t uDuration;  // 90 kHz ticks
} DEC_FRAME_RESULT;

typedef struct DEC_OUTPUT {
    DEC_FRAME_RESULT* pResult; // caller's record
    uint32_t uWidth;
    uint32_t uHeight;
    uint32_t uStride; // luma; chroma is half
    unsigned char* pY; // null when no picture
    unsigned char* pU;
    unsigned char* pV;
    uint32_t uReserved;           // not written
    int32_t uPercentDecoded;      // 100 x decoded macroblocks / macroblocks of the picture
    const unsigned char* pErrorMap; // the output picture's, per macroblock: 255 not yet decoded, 0 decoded, 1 lost
} DEC_OUTPUT;

// Fills the four tab sizes from uFrmBufferNum and the maxima; returns 4.
int DEC_QueryMemSize(DEC_PARAM* param, DEC_MEMTAB memTab[4]);

// Reads the configuration data without an instance: 0 and the short-header
// flag, width and height, or -1.
int ParseVideoCfg(DEC_PARAM* param, DEC_VIDEO_INFO* info);

// Creates the instance inside the tabs; returns it, or null.
void* DEC_Init(DEC_MEMTAB memTab[4], DEC_PARAM* param, DEC_VIDEO_INFO* info);

// Decodes one chunk; returns the bytes consumed.
uint32_t DEC_Decode(void* instance, DEC_INPUT* in, DEC_OUTPUT* out);

#ifdef __cplusplus
}
#endif
