// Random sources for the differential tests of the drawing loops: colour
// kind 0 or 1 and form 0 direct, 1 alpha, 2 palette, full of the values the
// gates single out (the transparent colour or index 5, alpha 0, 1, 128, 254
// and 255, white and black). The same generator state gives the same image.
#pragma once

#include <random>

#include "test_image.h"

namespace softrender_test {

struct RandomSourceOptions {
  int palette_entries = 256;    // entries filled and PaletteCount; indices drawn below it
  bool packed_specials = false;  // direct colours also single out the packed
                                 // add's carries (0x00010100, 16-bit pure red)
  bool run_table = false;        // build the run table
};

TestImage RandomSource(std::mt19937& rng, int kind, int form, int width, int height,
                       const RandomSourceOptions& options);

}  // namespace softrender_test
