// Palette sources draw from the image's whole palette storage, whatever its
// PaletteCount says: a freshly created image has a count of 0, and images
// converted with an alpha image or by partial transfers may have a count
// below their largest index. Every routine that reads a palette (plain blit
// on both paths and with its short cuts, stretched, rotated, triangle) must
// give the same pixels at counts 0, 2 and 256, and in copy mode the pixels
// are the palette's own entries.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "draw_test_support.h"
#include "engine/softrender/blt_mem_img.h"
#include "engine/softrender/rotate_blit.h"
#include "engine/softrender/stretch_blit.h"
#include "engine/softrender/triangle_mem_img.h"

namespace softrender_test {
namespace {

constexpr int kSize = 16;  // 16 x 16 indices: every index 0-255 once

uint32_t Entry(int kind, int i) {
  const uint32_t v = 0x9e3779b9u * static_cast<uint32_t>(i + 1);
  return kind == 1 ? (v & 0x00ffffffu) : (v >> 8) & 0xffffu;
}

TestImage PaletteSource(int kind, int count) {
  TestImage src = MakeImage(kind, 1, 0, kSize, kSize);
  for (int i = 0; i < 256; ++i) {
    const uint32_t e = Entry(kind, i);
    std::memcpy(src.get()->DrawPalette + i * (kind ? 4 : 2), &e, kind ? 4 : 2);
  }
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) src.Set(x, y, static_cast<uint32_t>(y * kSize + x));
  src.get()->TransColor = 300;  // no index is transparent
  src.get()->PaletteCount = count;
  return src;
}

struct Routine {
  const char* name;
  bool identity;  // mode 0 shows texel (x, y) at destination (x, y)
  std::function<void(MEMIMG* dest, MEMIMG* src)> draw;
};

const Routine kRoutines[] = {
    {"plain", true, [](MEMIMG* d, MEMIMG* s) { BltMemImg(d, s, 0, 0, 0, nullptr); }},
    {"plain transparent", true, [](MEMIMG* d, MEMIMG* s) { BltMemImg(d, s, 0, 0, 1, nullptr); }},
    {"plain whole image", true, [](MEMIMG* d, MEMIMG* s) { BltMemImg(d, s, 0, 0, 1, nullptr); }},
    {"stretched", false,
     [](MEMIMG* d, MEMIMG* s) {
       const ImageRect r{0, 0, 2 * kSize, 2 * kSize};
       BltStretchMemImg(d, s, &r, 0, nullptr);
     }},
    {"rotated", true,
     [](MEMIMG* d, MEMIMG* s) { BltRotateMemImg(d, s, 8, 8, 0.0f, 1.0f, 0, 0, nullptr); }},
    {"triangle", false,
     [](MEMIMG* d, MEMIMG* s) {
       const TriangleRecord t{{{0, 0, 0, 0}, {30, 0, 15, 0}, {0, 30, 0, 15}}};
       DrawTriangleMemImg(d, s, &t, 0, nullptr, 0);
     }},
};

class PaletteCountTest : public DrawStateTest {};

TEST_F(PaletteCountTest, EveryRoutineReadsTheWholePalette) {
  // Copy, the half mix and the P = 255 add and subtract take short cuts on
  // the plain blit's general path; 100 and 77 go through the full operators.
  const int modes[][2] = {{0, 0}, {1, 128}, {1, 100}, {2, 255}, {3, 255}, {2, 77}, {4, 0}};
  for (const Routine& routine : kRoutines) {
    for (int kind : {0, 1}) {
      for (const auto& mode : modes) {
        SCOPED_TRACE(testing::Message() << routine.name << " kind " << kind << " mode " << mode[0]
                                        << " P " << mode[1]);
        SetBlend(mode[0], mode[1]);
        TestImage want;
        for (int count : {256, 0, 2}) {
          SCOPED_TRACE(count);
          TestImage src = PaletteSource(kind, count);
          if (std::string(routine.name) == "plain whole image") BuildRunTable(src);
          TestImage dest = MakeImage(kind, 0, 0, 2 * kSize, 2 * kSize);
          Fill(dest, kind ? P32(40, 90, 200) : P16(5, 40, 25));
          routine.draw(dest.get(), src.get());
          if (count == 256) {
            if (mode[0] == 0 && routine.identity) {
              for (int i = 0; i < 256; ++i) {
                ASSERT_EQ(dest.Get(i % kSize, i / kSize), Entry(kind, i)) << "index " << i;
              }
            }
            want = CloneImage(dest);
            continue;
          }
          ASSERT_EQ(std::memcmp(dest.pixels.data(), want.pixels.data(), dest.pixels.size()), 0);
        }
      }
    }
  }
}

}  // namespace
}  // namespace softrender_test
