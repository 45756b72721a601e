// The row loops of the plain and the stretched blit on every processor path
// (the one-pixel portable loops, SSE2, and AVX2 where the processor has it)
// against the per-pixel reference, on rows of 1 to 40 pixels and a full
// 640-pixel row, so that every loop's main body and its tail run: direct
// colour and alpha sources, every blend mode, blend values that take the
// short cuts and those that do not, white and tinted, with and without the
// transparency test, on the general path and (with a run table) on the
// whole-image path.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "blit_reference.h"
#include "draw_test_support.h"
#include "engine/softrender/blt_mem_img.h"
#include "engine/softrender/simd_lanes.h"
#include "engine/softrender/stretch_blit.h"
#include "random_source.h"
#include "stretch_reference.h"

namespace softrender_test {
namespace {

using softrender::SimdPath;

// The paths this processor can take, the portable one first.
std::vector<SimdPath> Paths() {
  std::vector<SimdPath> paths{SimdPath::kPortable};
  const SimdPath saved = softrender::SetSimdPathLimit(SimdPath::kAvx2);
  const SimdPath best = softrender::ActiveSimdPath();
  softrender::SetSimdPathLimit(saved);
  if (best >= SimdPath::kSse2) paths.push_back(SimdPath::kSse2);
  if (best >= SimdPath::kAvx2) paths.push_back(SimdPath::kAvx2);
  return paths;
}

class SimdPathTest : public DrawStateTest {
 protected:
  void TearDown() override {
    softrender::SetSimdPathLimit(SimdPath::kAvx2);
    DrawStateTest::TearDown();
  }
};

std::vector<int> Widths() {
  std::vector<int> widths;
  for (int w = 1; w <= 40; ++w) widths.push_back(w);
  widths.push_back(640);
  return widths;
}

struct Setting {
  int mode, value;
};
// Mode 1 at 128 (half mix), modes 2 and 3 at 255 (whole-pixel short cuts)
// and the general values; mode 5 draws nothing.
constexpr Setting kSettings[] = {{0, 0},   {1, 77},  {1, 128}, {2, 77}, {2, 255},
                                 {3, 200}, {3, 255}, {4, 0},   {5, 9}};
constexpr uint32_t kBrights[] = {0xffffff, 0x7f30a5};

TEST_F(SimdPathTest, PlainBlitRowsMatchTheReferenceOnEveryPath) {
  int failures = 0;
  for (const SimdPath path : Paths()) {
    softrender::SetSimdPathLimit(path);
    for (int kind = 0; kind <= 1; ++kind) {
      for (int form = 0; form < 2; ++form) {
        std::mt19937 rng(500 + kind * 2 + form);
        const TestImage src = RandomSource(rng, kind, form, 640, 2, RandomSourceOptions{16, true, false});
        TestImage dest = MakeImage(kind, 0, 0, 640, 2);
        FillRandom(dest, rng);
        for (const int width : Widths()) {
          TestImage part = CloneImage(src);
          part.get()->Width = width;
          TestImage with_runs = CloneImage(part);
          BuildRunTable(with_runs);  // the whole-image path with the flag 1
          for (const Setting& s : kSettings) {
            for (const uint32_t bright : kBrights) {
              for (int trans = 0; trans < 2; ++trans) {
                SetBlend(s.mode, s.value);
                CurrentDrawState.DrawBright = bright;
                ReferenceOptions ref;
                ref.state = &CurrentDrawState;
                ref.weight_table = BlendGraphTable;
                ref.use_mmx = UseMmx;
                for (const TestImage* image : {&part, &with_runs}) {
                  TestImage got = CloneImage(dest), want = CloneImage(dest);
                  BltMemImg(got.get(), image->get(), 0, 0, trans, nullptr);
                  ReferenceBltMemImg(want.get(), image->get(), 0, 0, trans, nullptr, ref);
                  if (got.pixels != want.pixels && failures++ < 10) {
                    ADD_FAILURE() << "path " << static_cast<int>(path) << " kind " << kind
                                  << " form " << form << " width " << width << " mode " << s.mode
                                  << " P " << s.value << " bright " << bright << " trans " << trans
                                  << " run table " << (image == &with_runs);
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

TEST_F(SimdPathTest, StretchedRowsMatchTheReferenceOnEveryPath) {
  int failures = 0;
  for (const SimdPath path : Paths()) {
    softrender::SetSimdPathLimit(path);
    for (int kind = 0; kind <= 1; ++kind) {
      for (int form = 0; form < 2; ++form) {
        std::mt19937 rng(700 + kind * 2 + form);
        const TestImage src = RandomSource(rng, kind, form, 29, 2, RandomSourceOptions{16, true, false});
        TestImage dest = MakeImage(kind, 0, 0, 640, 3);
        FillRandom(dest, rng);
        for (const int width : Widths()) {
          // Enlarged or shrunk from 29 columns, mirrored on odd widths.
          const ImageRect r = width % 2 ? ImageRect{width, 0, 0, 3} : ImageRect{0, 0, width, 3};
          for (const Setting& s : kSettings) {
            for (const uint32_t bright : kBrights) {
              for (int trans = 0; trans < 2; ++trans) {
                SetBlend(s.mode, s.value);
                CurrentDrawState.DrawBright = bright;
                ReferenceOptions ref;
                ref.state = &CurrentDrawState;
                ref.weight_table = BlendGraphTable;
                ref.use_mmx = UseMmx;
                TestImage got = CloneImage(dest), want = CloneImage(dest);
                BltStretchMemImg(got.get(), src.get(), &r, trans, nullptr);
                ReferenceBltStretchMemImg(want.get(), src.get(), r, trans, nullptr, ref);
                if (got.pixels != want.pixels && failures++ < 10) {
                  ADD_FAILURE() << "path " << static_cast<int>(path) << " kind " << kind
                                << " form " << form << " width " << width << " mode " << s.mode
                                << " P " << s.value << " bright " << bright << " trans " << trans;
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

}  // namespace
}  // namespace softrender_test
