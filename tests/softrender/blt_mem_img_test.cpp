// The plain blit: clipping and offsets, refusals, the departures of the
// general path from the whole-image path, the pair loops at 16 bits, and the
// differential test of every loop against the per-pixel reference.
#include "engine/softrender/blt_mem_img.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>

#include "blit_reference.h"
#include "draw_test_support.h"
#include "engine/graphics/image/blend_tables.h"
#include "engine/graphics/image/draw_state.h"
#include "random_source.h"
#include "test_image.h"

using softrender_test::BuildRunTable;
using softrender_test::CloneImage;
using softrender_test::DrawStateTest;
using softrender_test::FillRandom;
using softrender_test::MakeImage;
using softrender_test::P16;
using softrender_test::P32;
using softrender_test::RandomSource;
using softrender_test::RandomSourceOptions;
using softrender_test::ReferenceBltMemImg;
using softrender_test::ReferenceOptions;
using softrender_test::TestImage;

namespace {

class BltMemImgTest : public DrawStateTest {
 protected:
  // A one-row image of the given pixels.
  static TestImage Row(int kind, int palette, int alpha, std::initializer_list<uint32_t> px) {
    TestImage t = MakeImage(kind, palette, alpha, static_cast<int>(px.size()), 1);
    int x = 0;
    for (uint32_t v : px) t.Set(x++, 0, v);
    return t;
  }
};

// Fills an image with distinct values so that every drawn pixel shows where it came from.
void FillDistinct(TestImage& t, uint32_t base) {
  for (int y = 0; y < t.get()->Height; ++y) {
    for (int x = 0; x < t.get()->Width; ++x) t.Set(x, y, base + static_cast<uint32_t>(y * 16 + x));
  }
}

struct ClipCase {
  const char* name;
  int64_t x, y;
  IntRect area;
  IntRect expected;  // destination rectangle drawn (empty = nothing)
};

TEST_F(BltMemImgTest, ClippingAndOffsets) {
  const ClipCase cases[] = {
      {"inside", 2, 3, {0, 0, 12, 10}, {2, 3, 7, 7}},
      {"cut left", -3, 1, {0, 0, 12, 10}, {0, 1, 2, 5}},
      {"cut top", 4, -2, {0, 0, 12, 10}, {4, 0, 9, 2}},
      {"cut right and bottom", 9, 8, {0, 0, 12, 10}, {9, 8, 12, 10}},
      {"smaller draw area", 1, 1, {3, 2, 5, 4}, {3, 2, 5, 4}},
      {"empty draw area", 1, 1, {3, 3, 3, 8}, {0, 0, 0, 0}},
      {"outside left", -5, 0, {0, 0, 12, 10}, {0, 0, 0, 0}},
      {"outside right", 12, 0, {0, 0, 12, 10}, {0, 0, 0, 0}},
      {"outside below", 0, 10, {0, 0, 12, 10}, {0, 0, 0, 0}},
      {"far right", INT32_MAX - 2, 0, {0, 0, 12, 10}, {0, 0, 0, 0}},
      {"far left", INT32_MIN, INT32_MIN, {0, 0, 12, 10}, {0, 0, 0, 0}},
      {"area beyond the image", -1, -1, {-4, -4, 40, 40}, {0, 0, 4, 3}},
  };
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = MakeImage(kind, 0, 0, 5, 4);
    FillDistinct(src, 0x100);
    for (const ClipCase& c : cases) {
      TestImage dst = MakeImage(kind, 0, 0, 12, 10, 8);
      FillDistinct(dst, 0x8000);
      const TestImage before = CloneImage(dst);
      SetArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
      BltMemImg(dst.get(), src.get(), static_cast<int32_t>(c.x), static_cast<int32_t>(c.y), 0,
                nullptr);
      TestImage want = CloneImage(before);
      for (int y = c.expected.top; y < c.expected.bottom; ++y) {
        for (int x = c.expected.left; x < c.expected.right; ++x) {
          want.Set(x, y, src.Get(x - static_cast<int>(c.x), y - static_cast<int>(c.y)));
        }
      }
      EXPECT_EQ(dst.pixels, want.pixels) << c.name << " kind " << kind;
    }
  }
}

// The blend image is read at the same offsets as the source.
TEST_F(BltMemImgTest, BlendImageFollowsSourceOffsets) {
  TestImage src = MakeImage(1, 0, 0, 6, 1);
  for (int x = 0; x < 6; ++x) src.Set(x, 0, P32(255, 255, 255));
  TestImage blend = MakeImage(2, 0, 0, 6, 1);
  for (int x = 0; x < 6; ++x) blend.Set(x, 0, x == 3 ? 255 : 0);
  BuildBlendGraphTable(128, 64);  // byte 0 weighs 0, byte 255 weighs 255
  TestImage dst = MakeImage(1, 0, 0, 4, 1);
  for (int x = 0; x < 4; ++x) dst.Set(x, 0, 0);
  BltMemImg(dst.get(), src.get(), -3, 0, 0, blend.get());
  EXPECT_EQ(dst.Get(0, 0), P32(254, 254, 254));
  EXPECT_EQ(dst.Get(1, 0), 0u);
  EXPECT_EQ(dst.Get(2, 0), 0u);
}

TEST_F(BltMemImgTest, RefusedDrawsWriteNothing) {
  struct Refusal {
    const char* name;
    int dst_kind, dst_palette, dst_alpha, src_kind, mode, value, src_palette;
  };
  const Refusal cases[] = {
      {"32-bit source on 16-bit destination", 0, 0, 0, 1, 0, 0, 0},
      {"destination with palette", 1, 1, 0, 1, 0, 0, 0},
      {"destination with alpha", 1, 0, 1, 1, 0, 0, 0},
      {"single-channel kind", 2, 0, 0, 2, 0, 0, 0},
      {"blend mode 5", 1, 0, 0, 1, 5, 128, 0},
      {"negative blend mode", 1, 0, 0, 1, -1, 128, 0},
      {"alpha at P = 0", 1, 0, 0, 1, 1, 0, 0},
      {"add at P = 0", 0, 0, 0, 0, 2, 0, 1},
      {"subtract at P = 0, direct colour", 1, 0, 0, 1, 3, 0, 0},
  };
  for (const Refusal& c : cases) {
    TestImage src = MakeImage(c.src_kind, c.src_palette, 0, 3, 2);
    FillDistinct(src, 1);
    TestImage dst = MakeImage(c.dst_kind, c.dst_palette, c.dst_alpha, 4, 3);
    FillDistinct(dst, 0x40);
    const TestImage before = CloneImage(dst);
    SetBlend(c.mode, c.value);
    BltMemImg(dst.get(), src.get(), 0, 0, 0, nullptr);
    EXPECT_EQ(dst.pixels, before.pixels) << c.name;
  }
}

// A blend image smaller than the part of the source drawn is refused rather
// than read past its end.
TEST_F(BltMemImgTest, BlendImageTooSmallIsRefused) {
  TestImage src = MakeImage(1, 0, 0, 6, 3);
  FillDistinct(src, 1);
  TestImage blend = MakeImage(2, 0, 0, 5, 3);
  TestImage dst = MakeImage(1, 0, 0, 8, 4);
  FillDistinct(dst, 0x40);
  const TestImage before = CloneImage(dst);
  BltMemImg(dst.get(), src.get(), 0, 0, 0, blend.get());
  EXPECT_EQ(dst.pixels, before.pixels);
  // With the uncovered column clipped away the draw goes ahead.
  SetArea(0, 0, 5, 4);
  BltMemImg(dst.get(), src.get(), 0, 0, 0, blend.get());
  EXPECT_NE(dst.pixels, before.pixels);
}

// Vectors where the general path, its short cuts and the whole-image path
// differ at 32 bits.
TEST_F(BltMemImgTest, PathDifferences32) {
  struct Case {
    const char* name;
    int mode, value, mmx;
    bool whole;
    uint32_t src, dst, expected;
  };
  const Case cases[] = {
      {"half mix", 1, 128, 1, false, P32(1, 1, 1), P32(1, 1, 1, 9), P32(0, 0, 0, 0)},
      {"weighted mix on whole image", 1, 128, 1, true, P32(1, 1, 1), P32(1, 1, 1, 9),
       P32(1, 1, 1, 9)},
      {"short add", 2, 255, 0, false, P32(0, 1, 0), P32(0, 1, 0), P32(0, 0, 0)},
      {"packed add", 2, 255, 1, false, P32(0, 1, 0), P32(0, 1, 0), P32(0, 2, 0)},
      {"full add on whole image", 2, 255, 1, true, P32(0, 1, 0), P32(0, 1, 0), P32(0, 1, 0)},
      {"full add at 254", 2, 254, 1, false, P32(0, 1, 0), P32(0, 1, 0), P32(0, 1, 0)},
      {"packed subtract keeps fourth byte", 3, 255, 1, false, P32(0, 0, 5, 1), P32(9, 9, 9, 0x80),
       P32(9, 9, 4, 0x7f)},
      {"guard subtract clears fourth byte", 3, 255, 0, false, P32(0, 0, 5, 1), P32(9, 9, 9, 0x80),
       P32(9, 9, 4, 0)},
  };
  for (const Case& c : cases) {
    TestImage src = Row(1, 0, 0, {c.src});
    src.get()->TransColor = 0x12345678;
    if (c.whole) BuildRunTable(src);
    TestImage dst = Row(1, 0, 0, {c.dst});
    SetBlend(c.mode, c.value);
    UseMmx = c.mmx;
    BltMemImg(dst.get(), src.get(), 0, 0, 1, nullptr);
    EXPECT_EQ(dst.Get(0, 0), c.expected) << c.name;
  }
}

TEST_F(BltMemImgTest, AlphaSourceDepartures) {
  for (int kind = 0; kind <= 1; ++kind) {
    // Alpha 0 (byte 3 at 32 bits, byte 2 at 16 bits).
    const uint32_t px = kind ? P32(10, 20, 30) : P16(10, 20, 30);
    const uint32_t dst_px = kind ? P32(100, 110, 120, 0x44) : P16(1, 2, 3);
    // Multiply with the transparency flag on: alpha 0 weighs 0 on the general
    // path (black), and is skipped on the whole-image path.
    for (bool whole : {false, true}) {
      TestImage src = Row(kind, 0, 1, {px});
      if (whole) BuildRunTable(src);
      TestImage dst = Row(kind, 0, 0, {dst_px});
      SetBlend(4, 0);
      BltMemImg(dst.get(), src.get(), 0, 0, 1, nullptr);
      const uint32_t black = kind ? (dst_px & 0xff000000u) : 0u;
      EXPECT_EQ(dst.Get(0, 0), whole ? dst_px : black) << "kind " << kind << " whole " << whole;
    }
    // Mode 0, white, flag off: the pixel is copied whole although its alpha is 0;
    // tinted it is weighted by its alpha and leaves the destination unchanged.
    TestImage src = Row(kind, 0, 1, {px});
    TestImage dst = Row(kind, 0, 0, {dst_px});
    SetBlend(0, 0);
    BltMemImg(dst.get(), src.get(), 0, 0, 0, nullptr);
    EXPECT_EQ(dst.Get(0, 0), px) << "kind " << kind;
    TestImage dst2 = Row(kind, 0, 0, {dst_px});
    CurrentDrawState.DrawBright = 0xfffffe;
    BltMemImg(dst2.get(), src.get(), 0, 0, 0, nullptr);
    EXPECT_EQ(dst2.Get(0, 0), dst_px) << "kind " << kind;
    CurrentDrawState.DrawBright = 0xffffff;
  }
}

TEST_F(BltMemImgTest, PaletteSubtractRunsAtZero) {
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = Row(kind, 1, 0, {3});
    src.get()->PaletteCount = 4;
    src.get()->TransColor = 0;
    TestImage direct = Row(kind, 0, 0, {kind ? P32(5, 5, 5) : P16(5, 5, 5)});
    const uint32_t d = kind ? P32(0, 0, 0, 0x80) : P16(0, 1, 0);
    TestImage dst = Row(kind, 0, 0, {d});
    SetBlend(3, 0);
    BltMemImg(dst.get(), direct.get(), 0, 0, 0, nullptr);
    EXPECT_EQ(dst.Get(0, 0), d) << "direct colour at P = 0 changes nothing";
    BltMemImg(dst.get(), src.get(), 0, 0, 1, nullptr);
    EXPECT_EQ(dst.Get(0, 0), kind ? P32(1, 1, 0) : P16(1, 0, 0)) << "kind " << kind;
  }
}

// A stale run table is trusted with flag 1 but never reached with flag 2.
TEST_F(BltMemImgTest, TransparencyFlagTwoNeverTakesWholeImagePath) {
  for (int kind = 0; kind <= 1; ++kind) {
    TestImage src = MakeImage(kind, 0, 0, 4, 2);
    src.get()->TransColor = 7;
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) src.Set(x, y, 7);
    BuildRunTable(src);  // all transparent
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) src.Set(x, y, 9);  // drawn into afterwards
    TestImage a = MakeImage(kind, 0, 0, 4, 2), b = MakeImage(kind, 0, 0, 4, 2);
    FillDistinct(a, 0x30);
    FillDistinct(b, 0x30);
    const TestImage before = CloneImage(a);
    BltMemImg(a.get(), src.get(), 0, 0, 1, nullptr);
    EXPECT_EQ(a.pixels, before.pixels);
    BltMemImg(b.get(), src.get(), 0, 0, 2, nullptr);
    EXPECT_EQ(b.Get(3, 1), 9u);
    // Clipping one column away also leaves the whole-image path.
    SetArea(0, 0, 3, 2);
    BltMemImg(a.get(), src.get(), 0, 0, 1, nullptr);
    EXPECT_EQ(a.Get(2, 1), 9u);
    EXPECT_EQ(a.Get(3, 1), before.Get(3, 1));
    SetArea(0, 0, 640, 480);
  }
}

// A run table that claims more pixels than a row holds cannot lead outside.
TEST_F(BltMemImgTest, OverlongRunTableStaysInsideTheRow) {
  TestImage src = MakeImage(1, 0, 0, 3, 2);
  FillDistinct(src, 0x10);
  src.runs.assign((3 + 5) * 2, 0x7f);  // opaque runs of 64, no row ends
  src.get()->RunTable = src.runs.data();
  src.get()->RunTableValid = 1;
  TestImage dst = MakeImage(1, 0, 0, 3, 2, 4);
  FillDistinct(dst, 0x900);
  const TestImage before = CloneImage(dst);
  BltMemImg(dst.get(), src.get(), 0, 0, 1, nullptr);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(dst.Get(x, 0), src.Get(x, 0));
  for (size_t i = 12; i < 16; ++i) EXPECT_EQ(dst.pixels[i], before.pixels[i]) << "row padding";
}

TEST_F(BltMemImgTest, Sixteen_BitPairLoops) {
  const uint32_t a = P16(31, 0, 0), z = 0;
  struct Case {
    const char* name;
    int32_t x;
    int trans;
    std::initializer_list<uint32_t> src, dst, expected;
  };
  const Case cases[] = {
      {"width 5: two pairs and a lone pixel", 0, 0, {a, z, a, z, a}, {a, z, a, z, a},
       {a, P16(0, 0, 1), a, P16(0, 0, 1), a}},
      {"pair over black drops the red bit", 0, 0, {a, z}, {z, z}, {P16(30, 0, 0), z}},
      {"odd start column: pairs begin at the first drawn pixel", -1, 0, {z, a, z, a, z, a},
       {a, z, a, z, a}, {a, P16(0, 0, 1), a, P16(0, 0, 1), a}},
      {"transparent partner: lone form", 0, 1, {P16(0, 1, 0), P16(1, 2, 3)}, {P16(0, 1, 0), z},
       {P16(0, 0, 0), z}},
      {"width 1", 0, 0, {P16(0, 1, 0)}, {P16(0, 1, 0)}, {z}},
  };
  SetBlend(2, 255);
  for (const Case& c : cases) {
    TestImage src = Row(0, 0, 0, c.src);
    src.get()->TransColor = P16(1, 2, 3);
    TestImage dst = Row(0, 0, 0, c.dst);
    BltMemImg(dst.get(), src.get(), c.x, 0, c.trans, nullptr);
    int x = 0;
    for (uint32_t want : c.expected) {
      EXPECT_EQ(dst.Get(x, 0), want) << c.name << " pixel " << x;
      ++x;
    }
  }
  // The whole-image path uses the single form with the bits put back.
  TestImage src = Row(0, 0, 0, {a, z});
  src.get()->TransColor = P16(1, 2, 3);
  BuildRunTable(src);
  TestImage dst = Row(0, 0, 0, {z, z});
  BltMemImg(dst.get(), src.get(), 0, 0, 1, nullptr);
  EXPECT_EQ(dst.Get(0, 0), a);
  EXPECT_EQ(dst.Get(1, 0), z);
}

TEST_F(BltMemImgTest, Sixteen_BitSixBitMixAndHalfMix) {
  const uint32_t white = P16(31, 63, 31);
  for (bool whole : {false, true}) {
    for (int p : {128, 129}) {
      TestImage src = Row(0, 0, 0, {white});
      src.get()->TransColor = 0x10000;
      if (whole) BuildRunTable(src);
      TestImage dst = Row(0, 0, 0, {0});
      SetBlend(1, p);
      BltMemImg(dst.get(), src.get(), 0, 0, 1, nullptr);
      const uint32_t want = p == 129 && !whole ? P16(15, 32, 15) : P16(15, 31, 15);
      EXPECT_EQ(dst.Get(0, 0), want) << "P " << p << " whole " << whole;
    }
  }
}

// A transparent colour above the pixel range matches no pixel, in every loop.
TEST_F(BltMemImgTest, TransparentColourOutOfRangeMatchesNothing) {
  const uint32_t v = P16(3, 4, 5);
  TestImage src = Row(0, 0, 0, {v, v, v});
  src.get()->TransColor = 0x10000u | v;
  TestImage dst16 = Row(0, 0, 0, {0, 0, 0});
  BltMemImg(dst16.get(), src.get(), 0, 0, 1, nullptr);
  for (int x = 0; x < 3; ++x) EXPECT_EQ(dst16.Get(x, 0), v);
  TestImage pal = Row(1, 1, 0, {4, 4, 4, 4, 4});
  pal.get()->TransColor = 0x104;
  pal.get()->PaletteCount = 8;
  const uint32_t entry = P32(1, 2, 3);
  std::memcpy(pal.get()->DrawPalette + 16, &entry, 4);
  TestImage dst = Row(1, 0, 0, {0, 0, 0, 0, 0});
  SetBlend(0, 0);
  BltMemImg(dst.get(), pal.get(), 0, 0, 1, nullptr);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(dst.Get(x, 0), entry);
}

// ---- Differential test against the reference -------------------------------

struct Config {
  int kind, form, mode, value, blend, bright, trans, mmx, run_valid;
  std::string Describe() const {
    return "kind " + std::to_string(kind) + " form " + std::to_string(form) + " mode " +
           std::to_string(mode) + " P " + std::to_string(value) + " blend " +
           std::to_string(blend) + " bright " + std::to_string(bright) + " trans " +
           std::to_string(trans) + " mmx " + std::to_string(mmx) + " runs " +
           std::to_string(run_valid);
  }
};

// Sources of the differential tests: a 16-entry palette, the packed add's
// carries among the direct colours, and a run table.
constexpr RandomSourceOptions kBlitSource{16, true, true};

TEST_F(BltMemImgTest, EveryLoopMatchesTheReference) {
  const int values[] = {0, 1, 64, 128, 129, 200, 254, 255};
  const uint32_t brights[] = {0xffffffff, 0x7f30a5, 0xfffffe};
  struct Placement {
    int x, y;
  };
  const Placement placements[] = {{1, 1}, {-1, 0}, {6, 2}};
  int failures = 0;
  for (int kind = 0; kind <= 1; ++kind) {
    for (int form = 0; form < 3; ++form) {
      std::mt19937 rng(1000 + kind * 10 + form);
      const TestImage sources[] = {RandomSource(rng, kind, form, 5, 3, kBlitSource),
                                   RandomSource(rng, kind, form, 13, 2, kBlitSource)};
      TestImage blend = MakeImage(2, 0, 0, 15, 4);
      FillRandom(blend, rng);
      TestImage dest = MakeImage(kind, 0, 0, 16, 5, 4);
      FillRandom(dest, rng);
      for (int mode = 0; mode <= 5; ++mode) {
        for (int value : values) {
          for (int b = 0; b < 2; ++b) {
            for (int bright = 0; bright < 3; ++bright) {
              for (int trans = 0; trans < 3; ++trans) {
                for (int mmx = 0; mmx < 2; ++mmx) {
                  for (int run_valid = 0; run_valid < 2; ++run_valid) {
                    const Config cfg{kind, form, mode, value, b, bright, trans, mmx, run_valid};
                    BuildBlendGraphTable(static_cast<int>(rng() % 3 == 0 ? 0 : rng() & 255),
                                         static_cast<int>(rng() & 255));
                    SetBlend(mode, value);
                    CurrentDrawState.DrawBright = brights[bright];
                    SetArea(0, 0, 16, 5);
                    UseMmx = mmx;
                    ReferenceOptions ref;
                    ref.state = &CurrentDrawState;
                    ref.weight_table = BlendGraphTable;
                    ref.use_mmx = mmx;
                    for (const TestImage& src_const : sources) {
                      TestImage src = CloneImage(src_const);
                      src.get()->RunTableValid = run_valid;
                      for (const Placement& at : placements) {
                        TestImage got = CloneImage(dest), want = CloneImage(dest);
                        const MEMIMG* bimg = b ? blend.get() : nullptr;
                        BltMemImg(got.get(), src.get(), at.x, at.y, trans, bimg);
                        ReferenceBltMemImg(want.get(), src.get(), at.x, at.y, trans, bimg, ref);
                        if (got.pixels != want.pixels && failures < 10) {
                          ++failures;
                          std::string where;
                          for (int y = 0; y < 5 && where.empty(); ++y)
                            for (int x = 0; x < 16 && where.empty(); ++x)
                              if (got.Get(x, y) != want.Get(x, y))
                                where = "first difference at " + std::to_string(x) + "," +
                                        std::to_string(y) + ": got " +
                                        std::to_string(got.Get(x, y)) + " want " +
                                        std::to_string(want.Get(x, y)) + " dest " +
                                        std::to_string(dest.Get(x, y));
                          ADD_FAILURE() << cfg.Describe() << " width " << src.get()->Width
                                        << " at " << at.x << "," << at.y << ": " << where;
                        }
                      }
                    }
                  }
                }
              }
            }
          }
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

// The vector parts of the loops on wide rows, where rare rounding cases
// show up: direct-colour and alpha sources without a blend image.
TEST_F(BltMemImgTest, WideRowsMatchTheReference) {
  const uint32_t brights[] = {0xffffff, 0x7f30a5};
  for (int kind = 0; kind <= 1; ++kind) {
    for (int form = 0; form < 2; ++form) {
      std::mt19937 rng(77 + kind * 2 + form);
      TestImage src = RandomSource(rng, kind, form, 64, 16, kBlitSource);
      src.get()->RunTableValid = 0;
      TestImage dest = MakeImage(kind, 0, 0, 70, 18);
      FillRandom(dest, rng);
      for (int mode = 0; mode <= 4; ++mode) {
        for (int value : {1, 77, 128, 200, 255}) {
          for (uint32_t bright : brights) {
            for (int trans = 0; trans < 2; ++trans) {
              for (int mmx = 0; mmx < 2; ++mmx) {
                SetBlend(mode, value);
                CurrentDrawState.DrawBright = bright;
                SetArea(0, 0, 70, 18);
                UseMmx = mmx;
                ReferenceOptions ref;
                ref.state = &CurrentDrawState;
                ref.weight_table = BlendGraphTable;
                ref.use_mmx = mmx;
                TestImage got = CloneImage(dest), want = CloneImage(dest);
                BltMemImg(got.get(), src.get(), 3, 1, trans, nullptr);
                ReferenceBltMemImg(want.get(), src.get(), 3, 1, trans, nullptr, ref);
                ASSERT_EQ(got.pixels, want.pixels)
                    << "kind " << kind << " form " << form << " mode " << mode << " P " << value
                    << " bright " << bright << " trans " << trans << " mmx " << mmx;
              }
            }
          }
        }
      }
    }
  }
}

}  // namespace
