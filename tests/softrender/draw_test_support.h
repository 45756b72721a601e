// Pieces shared by the renderer's drawing tests: pixel packers (red, green,
// blue and the fourth byte at 32 bits; 5-6-5 at 16 bits), a fixture that
// builds the blend tables and resets the draw state (and UseMmx) around each
// test, and fills of a test image with one value or with random pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

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
    saved_mmx_ = UseMmx;
  }
  void TearDown() override {
    UseMmx = saved_mmx_;
    ResetDrawState();
  }
  static void SetBlend(int mode, int value) {
    CurrentDrawState.BlendMode = mode;
    CurrentDrawState.BlendValue = value;
  }
  static void SetArea(int l, int t, int r, int b) {
    CurrentDrawState.DrawArea = IntRect{l, t, r, b};
  }

 private:
  int32_t saved_mmx_ = 1;
};

inline void Fill(TestImage& t, uint32_t v) {
  for (int y = 0; y < t.get()->Height; ++y)
    for (int x = 0; x < t.get()->Width; ++x) t.Set(x, y, v);
}

// Every pixel from the generator, row by row: a whole word at 4 bytes per
// pixel, the low 16 bits at 2, the low byte at 1 (blend images).
inline void FillRandom(TestImage& t, std::mt19937& rng) {
  const int bytes = t.BytesPerPixel();
  for (int y = 0; y < t.get()->Height; ++y) {
    for (int x = 0; x < t.get()->Width; ++x) {
      const uint32_t v = static_cast<uint32_t>(rng());
      t.Set(x, y, bytes == 4 ? v : bytes == 2 ? (v & 0xffffu) : (v & 0xffu));
    }
  }
}

}  // namespace softrender_test
