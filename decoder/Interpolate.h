// Pixel routines of motion compensation at full and half sample precision:
// block copies, half-pel interpolators for both rounding types, the averagers
// that merge a backward prediction into a forward one, and edge emulation.
#pragma once

#include <cstdint>

namespace dec {

// All interpolators and averagers work on blocks 8 pixels wide.
using PixelFn = void (*)(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);

void CopyBlock8(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void HalfPelH0(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void HalfPelH1(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void HalfPelV0(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void HalfPelV1(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void HalfPelHV0(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void HalfPelHV1(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void AverageFull(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void AverageHalfH(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void AverageHalfV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);
void AverageHalfHV(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride, int rows);

// Tables in slot order: halfPel {H, V, HV} per rounding type, average {full, H, V, HV}.
extern const PixelFn kHalfPelRound0[3];
extern const PixelFn kHalfPelRound1[3];
extern const PixelFn kAverageFns[4];

void CopyBlock8x8(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride);
void CopyBlock16x16(uint8_t* dst, const uint8_t* src, int dstStride, int srcStride);

// Line pitch of the edge-emulation scratch: 17 samples at any 4-byte alignment.
constexpr int kEdgePitch = 24;

// Copies columns x0 .. x1-1 and rows y0 .. y1-1 of a plane (stride bytes wide,
// height rows) into scratch rows of kEdgePitch bytes, replacing every position
// outside the plane by the nearest edge sample. Work is done in 4-byte units
// from x0 lowered to a multiple of 4, so callers read the scratch at x0 & 3.
// At most 17 + 3 columns and 17 rows (callers guarantee x1 - x0, y1 - y0 <= 17).
void EmulateEdges(uint8_t* scratch, const uint8_t* plane, int x0, int x1, int stride,
                  int y0, int y1, int height);
// The same on a plane whose line pitch differs from its width (a field of a
// frame: pitch twice the width, half the rows).
void EmulateEdgesPitch(uint8_t* scratch, const uint8_t* plane, int x0, int x1, int width, int pitch,
                       int y0, int y1, int height);

}  // namespace dec
