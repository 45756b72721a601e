// Coverage maps for the triangle, quad and rotated-blit tests (with the
// fixture and packers of draw_test_support.h): each pixel's count of draws,
// read from a destination drawn in add mode with a colour of blue 1 on
// black, so a pixel drawn twice shows 2.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "draw_test_support.h"
#include "test_image.h"

namespace softrender_test {

// Rows of digits, one a pixel: the blue channel of a 32-bit image ('.' for 0).
inline std::vector<std::string> CountMap(const TestImage& t) {
  std::vector<std::string> rows;
  for (int y = 0; y < t.get()->Height; ++y) {
    std::string r;
    for (int x = 0; x < t.get()->Width; ++x) {
      const uint32_t n = t.Get(x, y) & 0xffu;
      r += n == 0 ? '.' : static_cast<char>('0' + std::min<uint32_t>(n, 9));
    }
    rows.push_back(r);
  }
  return rows;
}

}  // namespace softrender_test
