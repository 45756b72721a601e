// Where NewGraph puts a graphic's pixels in both ways of running: memory
// images in software rendering (format index, kind, key), stand-in surfaces
// with hardware drawing (video memory, else system memory), memory images
// for alpha and blend-graphic stores; shared stores, locks, restores, fills.
#include <cstring>

#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "tests/graphics/graphics_fixture.h"

namespace graphics_test {
namespace {

using GraphStorageTest = GraphicsTest;

SurfaceData* DataOf(int graph) {
  const GraphRecord* r = GetGraphRecord(graph);
  if (r == nullptr || r->PieceCount != 1) return nullptr;
  const Surface2D* s = GetSurface2D(r->Pieces[0]);
  return s == nullptr ? nullptr : GetSurfaceData(s->SurfaceDataHandle);
}

TEST_F(GraphStorageTest, SoftwareRenderingStoresMemoryImagesByFlags) {
  struct Case {
    const char* what;
    int bits, alpha, palette, blendFormat;
    int formatIndex, kind, useAlpha;
    uint32_t trans;
  };
  // Key (254, 0, 254) packed for each format with alpha 255 and spare bits set.
  const Case cases[] = {
      {"32-bit", 32, 0, 0, 0, 12, 1, 0, 0xFFFE00FE},
      {"32-bit alpha", 32, 1, 0, 0, 13, 1, 1, 0xFFFE00FE},
      {"16-bit", 16, 0, 0, 0, 10, 0, 0, 0xF81F},
      {"16-bit alpha", 16, 1, 0, 0, 11, 0, 1, 0xFFFFF81F},
      {"palette", 32, 0, 1, 0, 12, 1, 0, 0xFFFF},
      {"blend-graphic format", 32, 0, 0, 1, 2, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseSoftwareRendering(c.bits);
    CurrentDrawState.ColorKey = 0xFE00FE;
    CurrentDrawState.CreateBlendGraph = c.blendFormat;
    const int g = CreateBlankGraph(20, 10, 1, c.alpha, c.palette);
    ASSERT_NE(g, -1);
    const SurfaceData* d = DataOf(g);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->MemImgFlag, 1);
    EXPECT_EQ(d->Surface, nullptr);
    EXPECT_EQ(d->FormatIndex, c.formatIndex);
    EXPECT_EQ(d->Image.Kind, c.kind);
    EXPECT_EQ(d->Image.UseAlpha, c.useAlpha);
    EXPECT_EQ(d->Image.TransColor, c.trans);
    EXPECT_EQ(d->Image.Width, 20);
    EXPECT_EQ(d->Image.Height, 10);
    EXPECT_EQ(d->DrawValid, 1);
    EXPECT_EQ(d->TextureFlag, 0);
    EXPECT_EQ(ReleaseGraph(g, 0), 0);
  }
  EXPECT_EQ(GetSurfaceDataCount(), 0);
}

TEST_F(GraphStorageTest, StandInStoresDisplaySurfacesExceptAlphaAndBlendGraphics) {
  UseStandIn(32);
  CurrentDrawState.ColorKey = 0xFE00FE;
  const int plain = NewGraph(32, 16, 0);
  ASSERT_NE(plain, -1);
  SurfaceData* d = DataOf(plain);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->MemImgFlag, 0);
  ASSERT_NE(d->Surface, nullptr);
  EXPECT_EQ(d->FormatIndex, 9);
  EXPECT_EQ(d->SystemMemFlag, 0) << "video memory";
  pd::ColorKey key;
  ASSERT_EQ(d->Surface->GetColorKey(pd::kColorKeySourceBlt, &key), pd::Result::kOk);
  EXPECT_EQ(key.low, 0xFFFE00FEu) << "spare bits set";

  CurrentDrawState.CreateAlpha = 1;
  const int alpha = NewGraph(32, 16, 0);
  d = DataOf(alpha);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->MemImgFlag, 1) << "an alpha 2D graph is a memory image even with DirectDraw";
  EXPECT_EQ(d->SystemMemFlag, 1);
  EXPECT_EQ(d->FormatIndex, 13);
  CurrentDrawState.CreateAlpha = 0;

  pd::test::SetVideoMemoryExhausted(true);
  const int refused = NewGraph(32, 16, 0);
  d = DataOf(refused);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->Surface, nullptr);
  EXPECT_EQ(d->SystemMemFlag, 1) << "landed in system memory";
  uint32_t caps = 0;
  d->Surface->GetCaps(&caps);
  EXPECT_NE(caps & pd::kCapsSystemMemory, 0u);
  pd::test::SetVideoMemoryExhausted(false);

  // 16-bit display: the key is packed for 5-6-5.
  ReleaseAllGraphs(0);
  GetDisplayState().DirectDrawObject.reset();
  UseStandIn(16);
  const int g16 = NewGraph(8, 8, 0);
  d = DataOf(g16);
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->Surface->GetColorKey(pd::kColorKeySourceBlt, &key), pd::Result::kOk);
  EXPECT_EQ(key.low, 0xF81Fu);
}

TEST_F(GraphStorageTest, HardwareDrawingWithoutTheObjectMakesNothing) {
  // Hardware allowed (not banned) but no display object.
  GetScreenColorState().ScreenBits = 32;
  EXPECT_EQ(NewGraph(8, 8, 0), -1);
  EXPECT_NE(ReadLog().find("Ｏｒｖｅｘライブラリが初期化されていません\r\n"), std::string::npos);
  EXPECT_NE(ReadLog().find("グラフィックの作成に失敗しました\r\n"), std::string::npos);
  EXPECT_EQ(CountGraphHandles(), 0) << "the record of a failed creation is released";
}

TEST_F(GraphStorageTest, BlankGraphSizesOutsideSixteenBitsAreRefused) {
  UseSoftwareRendering(32);
  for (const auto& [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 5}, {65536, 1}, {1, 65536}}) {
    EXPECT_EQ(CreateBlankGraph(w, h, 0, 0, 0), -1) << w << " x " << h;
  }
  EXPECT_EQ(GetGraphCount(), 0);
  const int g = CreateBlankGraph(65535, 1, 0, 0, 0);
  ASSERT_NE(g, -1);
  EXPECT_EQ(DataOf(g)->Width, 65535);
}

TEST_F(GraphStorageTest, SharedStoresOutliveTheParentsSurface) {
  for (int standIn = 0; standIn < 2; ++standIn) {
    SCOPED_TRACE(standIn ? "stand-in" : "software");
    if (standIn) {
      UseStandIn(32);
    } else {
      UseSoftwareRendering(32);
    }
    const int parent = CreateBlankGraph(40, 30, 0, 0, 0);
    GraphRecord* child = nullptr;
    const int childHandle = AllocGraphHandle(10, 10, 0, &child, 0, 0);
    ASSERT_EQ(CreateSubGraphSurface2D(*child, 5, 6, 10, 10, *GetGraphRecord(parent)), 0);
    const Surface2D* piece = GetSurface2D(child->Pieces[0]);
    EXPECT_EQ(piece->OffsetX, 5);
    EXPECT_EQ(piece->OffsetY, 6);
    const int data = piece->SurfaceDataHandle;
    EXPECT_EQ(GetSurfaceData(data)->RefCount, 2);
    ReleaseGraph(parent, 0);
    ASSERT_NE(GetSurfaceData(data), nullptr);
    EXPECT_EQ(GetSurfaceData(data)->RefCount, 1);
    EXPECT_EQ(FillGraph(childHandle, 1, 2, 3, 255), 0);
    ReleaseGraph(childHandle, 0);
    EXPECT_EQ(GetSurfaceData(data), nullptr);
    GetDisplayState().DirectDrawObject.reset();
  }
}

TEST_F(GraphStorageTest, NestedLocksHandOutTheSameView) {
  for (int standIn = 0; standIn < 2; ++standIn) {
    SCOPED_TRACE(standIn ? "stand-in" : "software");
    if (standIn) {
      UseStandIn(16);
    } else {
      UseSoftwareRendering(16);
    }
    const int g = CreateBlankGraph(16, 8, 0, 0, 0);
    const int data = GetSurface2D(GetGraphRecord(g)->Pieces[0])->SurfaceDataHandle;
    int pitch = 0, pitch2 = 0;
    uint8_t* ptr = nullptr;
    uint8_t* ptr2 = nullptr;
    const ColorFormat* format = nullptr;
    const int point[2] = {2, 3};
    EXPECT_EQ(LockSurfaceData(data, &pitch, &ptr, 1, point, &format), 0);
    EXPECT_EQ(LockSurfaceData(data, &pitch2, &ptr2, 0, nullptr, nullptr), -2);
    EXPECT_EQ(pitch2, pitch);
    EXPECT_EQ(ptr2, ptr);
    ASSERT_NE(format, nullptr);
    EXPECT_EQ(format->PixelByte, 2);
    EXPECT_EQ(GetSurfaceData(data)->LockCount, 2);
    EXPECT_EQ(UnlockSurfaceData(data), 0);
    EXPECT_EQ(UnlockSurfaceData(data), 0);
    EXPECT_EQ(UnlockSurfaceData(data), -1);
    ReleaseGraph(g, 0);
    GetDisplayState().DirectDrawObject.reset();
  }
}

TEST_F(GraphStorageTest, FailedLockIsLoggedAndLostSurfacesRestoreOnce) {
  UseStandIn(32);
  const int g = NewGraph(8, 8, 0);
  const int data = GetSurface2D(GetGraphRecord(g)->Pieces[0])->SurfaceDataHandle;
  pd::test::FailLocks(1);
  int pitch = 0;
  uint8_t* ptr = nullptr;
  EXPECT_EQ(LockSurfaceData(data, &pitch, &ptr, 0, nullptr, nullptr), -1);
  EXPECT_NE(ReadLog().find("グラフィックのロックに失敗しました"), std::string::npos);
  EXPECT_EQ(GetSurfaceData(data)->LockCount, 0);

  EXPECT_EQ(RestoreSurfaceData(data), 0);
  pd::test::MarkSurfaceLost(*GetSurfaceData(data)->Surface);
  EXPECT_EQ(RestoreSurfaceData(data), -1);
  EXPECT_EQ(RestoreSurfaceData(data), 0);
  EXPECT_EQ(RestoreGraphSurface2D(*GetGraphRecord(g)), 0);
}

TEST_F(GraphStorageTest, FillGraphFillsMemoryImagesAndSurfacesInTheirFormat) {
  UseSoftwareRendering(16);
  const int soft = CreateBlankGraph(4, 4, 0, 0, 0);
  ASSERT_EQ(FillGraph(soft, 255, 0, 0, 255), 0);
  const MEMIMG& img = DataOf(soft)->Image;
  uint16_t px = 0;
  std::memcpy(&px, img.Pixels + img.Pitch * 3 + 6, 2);
  EXPECT_EQ(px, 0xF800);
  ReleaseGraph(soft, 0);

  UseStandIn(32);
  const int hard = NewGraph(4, 4, 0);
  ASSERT_EQ(FillGraph(hard, 0, 0x80, 0xFF, 255), 0);
  pd::LockedRect lock;
  ASSERT_EQ(DataOf(hard)->Surface->Lock(nullptr, pd::kLockReadOnly, &lock), pd::Result::kOk);
  uint32_t v = 0;
  std::memcpy(&v, lock.bits + lock.pitch * 2 + 4, 4);
  DataOf(hard)->Surface->Unlock();
  EXPECT_EQ(v & 0xFFFFFF, 0x0080FFu);
}

}  // namespace
}  // namespace graphics_test
