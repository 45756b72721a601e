// Lookup tables of the software blender and the packed-form switch.
//
// ProductTable[i][j] = i * j / 255 (truncated; every entry below 256): rows
// are chosen by the blend value or by a draw-bright byte, columns are channel
// values. DiffTable[p][256 + d] = p * d / 255 truncated toward zero for the
// signed difference d = -255..255 (entry 0 of each row stays 0 and is never
// indexed); DiffRow(p) returns the row's centre so it is indexed by d
// directly. MixTable[w][s][d] = (s * w + d * (63 - w)) / 63 for the six-bit
// weight w = 0..63 and component values s, d = 0..63.
//
// The tables are filled by BuildBlendTables, which the display set-up calls
// before any draw; they are only read while anything draws. UseMmx selects
// the packed byte-wise forms of a few blit short cuts (it changes pixels);
// 1 by default on x86 processors, which all offer the packed operations.
#pragma once

#include <cstdint>

extern uint8_t MixTable[64][64][64];
extern uint32_t ProductTable[256][256];
extern int32_t DiffTable[256][512];
extern int32_t UseMmx;

// Fills DiffTable, then ProductTable, then MixTable. Idempotent.
void BuildBlendTables();

// The centre of DiffTable row p (0-255): DiffRow(p)[d] = p * d / 255 for
// d = -255..255.
inline const int32_t* DiffRow(uint32_t p) { return &DiffTable[p & 0xff][256]; }
