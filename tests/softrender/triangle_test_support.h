// Shared pieces of the triangle, quad and rotated-blit tests: a fixture
// that builds the tables and resets the draw state, pixel packers, and
// coverage maps (each pixel's count of draws, read from a destination drawn
// in add mode with a colour of blue 1 on black, so a pixel drawn twice
// shows 2).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "test_image.h"

namespace softrender_test {

constexpr uint32_t P32(uint32_t r, uint32_t g, uint32_t b, uint32_t fourth = 0) {
  return (fourth << 24) | (r << 16) | (g << 8) | b;
}
constexpr uint32_t P16(uint32_t r, uint32_t g, uint32_t b) { return (r << 11) | (g << 5) | b; }

class DrawStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ResetDrawState();
  }
  void TearDown() override { ResetDrawState(); }
  static void SetBlend(int mode, int value) {
    CurrentDrawState.BlendMode = mode;
    CurrentDrawState.BlendValue = value;
  }
  static void SetArea(int l, int t, int r, int b) {
    CurrentDrawState.DrawArea = IntRect{l, t, r, b};
  }
};

inline void Fill(TestImage& t, uint32_t v) {
  for (int y = 0; y < t.get()->Height; ++y)
    for (int x = 0; x < t.get()->Width; ++x) t.Set(x, y, v);
}

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
