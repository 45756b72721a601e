#include "engine/graphics/image/blend_tables.h"

uint8_t MixTable[64][64][64];
uint32_t ProductTable[256][256];
int32_t DiffTable[256][512];

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
int32_t UseMmx = 1;
#else
int32_t UseMmx = 0;
#endif

void BuildBlendTables() {
  for (int p = 0; p < 256; ++p) {
    DiffTable[p][0] = 0;
    for (int d = -255; d <= 255; ++d) {
      // C++ division truncates toward zero, as the table requires.
      DiffTable[p][256 + d] = p * d / 255;
    }
  }
  for (uint32_t i = 0; i < 256; ++i) {
    for (uint32_t j = 0; j < 256; ++j) ProductTable[i][j] = i * j / 255;
  }
  for (int w = 0; w < 64; ++w) {
    for (int s = 0; s < 64; ++s) {
      for (int d = 0; d < 64; ++d) {
        MixTable[w][s][d] = static_cast<uint8_t>((s * w + d * (63 - w)) / 63);
      }
    }
  }
}
