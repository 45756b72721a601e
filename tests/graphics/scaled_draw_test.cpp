// Geometry of the stretched and rotated draws: the corners of a stretched
// part, the bounding boxes of rotated graphs, and the refusals.
#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using ScaledDrawTest = ScreenTest;

void ExpectRect(const IntRect& got, const IntRect& want) {
  EXPECT_EQ(got.left, want.left);
  EXPECT_EQ(got.top, want.top);
  EXPECT_EQ(got.right, want.right);
  EXPECT_EQ(got.bottom, want.bottom);
}

TEST_F(ScaledDrawTest, StretchedPartCorners) {
  struct Case {
    int x1, y1, x2, y2, sx, sy, sw, sh, width, height;
    IntRect want;
  };
  const Case cases[] = {
      {10, 20, 110, 70, 8, 4, 50, 25, 200, 100, {-6, 12, 394, 212}},
      {110, 20, 10, 70, 8, 4, 50, 25, 200, 100, {126, 12, -274, 212}},
      {0, 0, 75, 30, 3, 0, 20, 10, 40, 10, {-11, 0, 138, 30}},
      {0, 30, 75, 0, 3, 0, 20, 10, 40, 10, {-11, 30, 138, 0}},
  };
  for (const Case& c : cases) {
    ExpectRect(StretchPartCorners(c.x1, c.y1, c.x2, c.y2, c.sx, c.sy, c.sw, c.sh, c.width, c.height),
               c.want);
  }
}

TEST_F(ScaledDrawTest, RotatedBoundingBoxes) {
  ExpectRect(RotatedBounds(64, 32, 100, 100, 1.0, 0.0), IntRect{63, 79, 137, 121});
  ExpectRect(RotatedBounds(64, 32, 100, 100, 2.0, 3.14159265358979 / 4), IntRect{27, 27, 172, 172});
  ExpectRect(RotatedBounds(5, 3, 0, 0, 1.0, 0.3), IntRect{-7, -6, 8, 7});
  // Far from the origin: the box starts from the first corner, not a bound.
  ExpectRect(RotatedBounds(4, 4, 5000000, -5000000, 1.0, 0.0),
             IntRect{4999993, -5000007, 5000007, -4999993});
}

TEST_F(ScaledDrawTest, BackEndRotatedBoxesAndRefusals) {
  StartHardware();
  ASSERT_EQ(SetTargetScreen(-2), 0);
  const int graph = NewGraph(10, 6, 1);
  const GraphRecord& record = *GetGraphRecord(graph);
  ASSERT_EQ(DrawRotateGraph2D(100.0f, 50.0f, 1.0, 0.0, record, 1, 0), 0);
  ExpectRect(GetDraw2DState().ClippedRect, IntRect{95, 47, 105, 53});
  ASSERT_EQ(DrawRotateGraph2D(10.9f, -0.5f, 1.0, 0.0, record, 1, 0), 0);
  // The centre is truncated to (10, 0); the box is clipped at the top.
  ExpectRect(GetDraw2DState().ClippedRect, IntRect{5, 0, 15, 3});
  // Off screen to the far right and below: nothing to lock, refused.
  EXPECT_EQ(DrawRotateGraph2D(3.0e6f, 3.0e6f, 1.0, 0.5, record, 1, 0), -1);

  EXPECT_EQ(DrawStretchGraph2D(0, 0, 32768, 10, &record, 1, 1, -1), -1) << "16.16 step overflow";
  EXPECT_EQ(DrawStretchGraph2D(0, 0, 10, 32768, &record, 1, 1, -1), -1);
  EXPECT_EQ(DrawStretchGraph2D(0, 0, 32767, 10, &record, 1, 1, -1), 0);
  EXPECT_EQ(DrawStretchGraph2D(5, 5, 5, 10, &record, 1, 1, -1), -1) << "zero width";
  EXPECT_EQ(DrawStretchGraph2D(0, 0, 10, 10, nullptr, 1, 1, 0x28000000 | 0x7FFF), -1);
  EXPECT_EQ(PutGraphPart(20, 20, 2, 1, 5, 4, graph + 0x10000, 1, 1), -1) << "stale, mirrored";
  EXPECT_EQ(CurrentDrawState.DrawArea.right, 640) << "the area is kept";
}

}  // namespace
}  // namespace graphics_test
