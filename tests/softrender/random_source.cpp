#include "random_source.h"

#include <cstring>
#include <initializer_list>

#include "draw_test_support.h"

namespace softrender_test {
namespace {

// One of the special values, or (three times in as many draws) a random value
// under the mask.
uint32_t Pick(std::mt19937& rng, std::initializer_list<uint32_t> special, uint32_t mask) {
  const uint32_t r = rng() % (special.size() + 3);
  if (r < special.size()) return *(special.begin() + r);
  return rng() & mask;
}

}  // namespace

TestImage RandomSource(std::mt19937& rng, int kind, int form, int width, int height,
                       const RandomSourceOptions& options) {
  TestImage t = MakeImage(kind, form == 2, form == 1, width, height, 3);
  MEMIMG& m = *t.get();
  if (form == 2) {
    m.PaletteCount = options.palette_entries;
    m.TransColor = 5;
    for (int i = 0; i < options.palette_entries; ++i) {
      const uint32_t e = kind ? rng() : (rng() & 0xffff);
      std::memcpy(m.DrawPalette + i * (kind ? 4 : 2), &e, kind ? 4 : 2);
    }
  } else {
    m.TransColor = kind ? 0x01234567u : P16(7, 9, 11);
  }
  const uint32_t index_mask = static_cast<uint32_t>(options.palette_entries - 1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t v;
      if (form == 2) {
        v = Pick(rng, {5, 0, 1}, index_mask);
      } else if (form == 1) {
        const uint32_t a = Pick(rng, {0, 255, 1, 128, 254}, 255);
        v = kind ? ((a << 24) | Pick(rng, {0, 0xffffff}, 0xffffff))
                 : (Pick(rng, {0, 0xffff}, 0xffff) | (a << 16) | ((rng() & 255) << 24));
      } else if (kind) {
        v = options.packed_specials
                ? Pick(rng, {0x01234567u, 0x00234567u, 0xffffffffu, 0, 0x00010100u}, 0xffffffffu)
                : Pick(rng, {0x01234567u, 0x00234567u, 0xffffffffu, 0}, 0xffffffffu);
      } else {
        v = options.packed_specials
                ? Pick(rng, {P16(7, 9, 11), 0xffff, 0, P16(0, 1, 0), P16(31, 0, 0)}, 0xffff)
                : Pick(rng, {P16(7, 9, 11), 0xffff, 0, P16(0, 1, 0)}, 0xffff);
      }
      t.Set(x, y, v);
    }
  }
  if (options.run_table) BuildRunTable(t);
  return t;
}

}  // namespace softrender_test
