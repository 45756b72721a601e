// The graph, 2D-surface, surface-data and mask tables: handle bits, the
// check counter, refusals, the next-free index and the full tables.
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "tests/graphics/graphics_fixture.h"

namespace graphics_test {
namespace {

using GraphTablesTest = GraphicsTest;

int NewRecord() { return AllocGraphHandle(8, 8, 0, nullptr, 0, 0); }

TEST_F(GraphTablesTest, GraphHandlesCarrySlotCheckAndTypeAndTheCheckWrapsAfter2048) {
  std::vector<int> first;
  for (int i = 0; i < 5; ++i) first.push_back(NewRecord());
  EXPECT_EQ(first[0], 0x08000000);
  EXPECT_EQ(first[4], 0x08040004);
  // Slot 5 is taken and released until the counter has wrapped to 3.
  for (int check = 5; check < 2048 + 3; ++check) {
    const int h = NewRecord();
    ASSERT_EQ(h & 0xFFFF, 5);
    if (check == 2048) {
      EXPECT_EQ(h, 0x08000005) << "the 2,049th allocation reuses check 0";
    }
    ASSERT_EQ(ReleaseGraph(h, 0), 0);
  }
  const int h = NewRecord();
  EXPECT_EQ(h, 0x08030005);
  ASSERT_NE(GetGraphRecord(h), nullptr);
  EXPECT_EQ(GetGraphRecord(h)->GraphHandle, h);
}

TEST_F(GraphTablesTest, ForeignStaleAndMalformedGraphHandlesAreRefusedSilently) {
  for (int i = 0; i < 6; ++i) NewRecord();  // slots 0-5, checks 0-5
  const int live = 0x08050005;
  ASSERT_NE(GetGraphRecord(live), nullptr);
  const std::string logBefore = ReadLog();
  struct Case {
    const char* what;
    int handle;
  };
  const Case cases[] = {
      {"bit 31", static_cast<int>(0x88050005u)},
      {"another type", 0x28050005},
      {"slot at 32,768", 0x08058000},
      {"empty slot", 0x08060006},
      {"other check", 0x08040005},
      {"no object", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(GetGraphRecord(c.handle), nullptr);
    EXPECT_EQ(ReleaseGraph(c.handle, 1), -1);
    EXPECT_EQ(GetGraphDimensions(c.handle, nullptr, nullptr), -1);
    EXPECT_EQ(SetGraphLostFlag(c.handle, nullptr), -1);
    EXPECT_EQ(FillGraph(c.handle, 1, 2, 3, 4), -1);
  }
  EXPECT_EQ(GetGraphCount(), 6);
  EXPECT_EQ(ReadLog(), logBefore);
}

TEST_F(GraphTablesTest, NextFreeIndexFollowsTheHighestSlotInUse) {
  std::vector<int> h;
  for (int i = 0; i < 6; ++i) h.push_back(NewRecord());
  ReleaseGraph(h[3], 0);
  ReleaseGraph(h[4], 0);
  EXPECT_EQ(GetGraphNextFreeIndex(), 6);  // live {0, 1, 2, 5}
  ReleaseGraph(h[5], 0);
  EXPECT_EQ(GetGraphNextFreeIndex(), 3);
  ReleaseGraph(h[2], 0);
  EXPECT_EQ(GetGraphNextFreeIndex(), 2);
  ReleaseGraph(h[0], 0);
  EXPECT_EQ(GetGraphNextFreeIndex(), 2);
  ReleaseGraph(h[1], 0);
  EXPECT_EQ(GetGraphNextFreeIndex(), 0);
  EXPECT_EQ(NewRecord() & 0xFFFF, 0);
}

TEST_F(GraphTablesTest, AFullIndexScansForAFreedSlot) {
  std::vector<int> h;
  for (int i = 0; i < 32768; ++i) h.push_back(NewRecord());
  EXPECT_EQ(GetGraphNextFreeIndex(), 32768);
  ASSERT_EQ(ReleaseGraph(h[100], 0), 0);
  ASSERT_EQ(ReleaseGraph(h[7], 0), 0);
  EXPECT_EQ(NewRecord() & 0xFFFF, 7);
  EXPECT_EQ(NewRecord() & 0xFFFF, 100);
  EXPECT_EQ(GetGraphCount(), 32768);
}

TEST_F(GraphTablesTest, The32769thGraphEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        for (int i = 0; i < 32768; ++i) NewRecord();
        NewRecord();
      },
      ::testing::ExitedWithCode(255), "");
}

TEST_F(GraphTablesTest, ReleasingAGraphSetsItsLostFlagAndLogsItsFileName) {
  UseSoftwareRendering(32);
  const int h = CreateBlankGraph(4, 4, 0, 0, 0);
  ASSERT_NE(h, -1);
  int32_t lost = 7;
  ASSERT_EQ(SetGraphLostFlag(h, &lost), 0);
  EXPECT_EQ(lost, 0);
  const std::string longName(300, 'a');
  SetGraphFileName(h, longName, "G:\\" + std::string(400, 'f'));
  EXPECT_EQ(GetGraphRecord(h)->FileName.size(), 300u) << "names are kept whole";
  EXPECT_EQ(GetGraphRecord(h)->LoadFolder.size(), 403u);
  EXPECT_EQ(ReleaseGraph(h, 1), 0);
  EXPECT_EQ(lost, 1);
  EXPECT_NE(ReadLog().find("グラフィック " + longName + " の削除"), std::string::npos);
  EXPECT_EQ(GetSurface2DCount(), 0);
  EXPECT_EQ(GetSurfaceDataCount(), 0);
}

TEST_F(GraphTablesTest, Surface2DHandlesAndTheirTable) {
  UseSoftwareRendering(32);
  GraphCreationFlags flags{};
  flags.ColorBitDepth = 32;
  const int first = AddSurface2D(4, 4, 0, 0, -1, nullptr, 0, 0, flags);
  ASSERT_EQ(first, 0x28000000);
  const Surface2D share = *GetSurface2D(first);
  EXPECT_EQ(share.SurfaceDataHandle, 0x38000000);
  for (int i = 1; i < 7; ++i) AddSurface2D(4, 4, 0, 0, -1, &share, 0, 0, flags);
  for (int check = 7; check < 2048 + 2; ++check) {
    const int h = AddSurface2D(4, 4, 0, 0, -1, &share, 0, 0, flags);
    ASSERT_EQ(h & 0xFFFF, 7);
    DeleteSurface2D(h);
  }
  const int h = AddSurface2D(4, 4, 0, 0, -1, &share, 0, 0, flags);
  EXPECT_EQ(h, 0x28020007);
  EXPECT_NE(GetSurface2D(h), nullptr);
  EXPECT_EQ(GetSurface2D(0x28028007), nullptr) << "slot bit 15";
  EXPECT_EQ(GetSurface2D(0x28010007), nullptr) << "stale check";
  EXPECT_EQ(DeleteSurface2D(0x28010007), 0);
  EXPECT_EQ(GetSurfaceData(share.SurfaceDataHandle)->RefCount, 8);

  // Deleting the highest moves the index down past empty slots.
  DeleteSurface2D(h);
  EXPECT_EQ(GetSurface2DNextFreeIndex(), 7);
  for (int slot = 1; slot < 7; ++slot) DeleteSurface2D(0x28000000 | (slot << 16) | slot);
  EXPECT_EQ(GetSurface2DNextFreeIndex(), 1);
  DeleteSurface2D(first);
  EXPECT_EQ(GetSurface2DNextFreeIndex(), 0);
  EXPECT_EQ(GetSurfaceDataCount(), 0) << "the last reference released the data";
}

TEST_F(GraphTablesTest, The32769thSurface2DIsRefusedWithItsLogLine) {
  UseSoftwareRendering(16);
  GraphCreationFlags flags{};
  flags.ColorBitDepth = 16;
  const int first = AddSurface2D(2, 2, 0, 0, -1, nullptr, 0, 0, flags);
  ASSERT_NE(first, -1);
  const Surface2D share = *GetSurface2D(first);
  for (int i = 1; i < 32768; ++i) ASSERT_NE(AddSurface2D(2, 2, 0, 0, -1, &share, 0, 0, flags), -1);
  EXPECT_EQ(AddSurface2D(2, 2, 0, 0, -1, &share, 0, 0, flags), -1);
  EXPECT_NE(ReadLog().find("２Ｄグラフィックの量が許容量を越えました\r\n"), std::string::npos);
  EXPECT_EQ(GetSurfaceData(share.SurfaceDataHandle)->RefCount, 32768);
}

TEST_F(GraphTablesTest, MasksAreAnEmptyLayer) {
  EXPECT_EQ(DeleteMask(0x40000000), -1);
  EXPECT_EQ(DeleteAllMasks(), 0);
  EXPECT_EQ(MaskPitch(641), 644);
  EXPECT_EQ(MaskPitch(640), 640);
  EXPECT_EQ(EnableMaskedDrawing(1), -1) << "no mask buffer";
  EXPECT_EQ(CreateMaskBuffer(1, 1), 0);
  EXPECT_EQ(EnableMaskedDrawing(1), 0);
  EXPECT_EQ(IsMaskedDrawingEnabled(), 1);
  EXPECT_EQ(CurrentDrawState.MaskedDrawing, 0) << "no mask screen is ever made";
  EXPECT_EQ(GetMaskDrawMemImg(), nullptr);
  EXPECT_EQ(TerminateMaskScreen(), 0);
  EXPECT_EQ(HasMaskBuffer(), 0);
}

}  // namespace
}  // namespace graphics_test
