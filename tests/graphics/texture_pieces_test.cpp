// Texture graphics cut into pieces: the per-axis split, the format choice,
// the 3D surface table's handles and high-water index, pieces of new
// graphics (square-only devices included), their corners and diagonal
// bytes, and sub-graphics sharing their parent's textures.
#include <vector>

#include "engine/api/graphics_entry_points.h"
#include "engine/graphics/draw_state_control.h"
#include "tests/graphics/texture_fixture.h"

namespace graphics_test {
namespace {

using TexturePiecesTest = TextureTest;

std::vector<int> Split(int length, int exact, int minSize, int maxSize, int screen = 640) {
  int sizes[kTextureSplitMaxPieces] = {};
  const int n = ComputeTextureSplit(length, sizes, exact, TextureSplitLimits{minSize, maxSize, screen});
  return std::vector<int>(sizes, sizes + (n > kTextureSplitMaxPieces ? kTextureSplitMaxPieces : n));
}

TEST(TextureSplitTest, AxisSplitTable) {
  struct Case {
    const char* what;
    int length, exact, minSize, maxSize;
    std::vector<int> sizes;
  };
  const Case cases[] = {
      {"screen width", 640, 0, 1, 2048, {512, 128}},
      {"screen height", 480, 0, 1, 2048, {512}},
      {"drawable uses the device limit", 640, 1, 1, 2048, {1024}},
      {"small: smallest halving", 10, 0, 1, 2048, {16}},
      {"small, device minimum 0 read as 32", 10, 0, 32, 2048, {32}},
      {"just above the minimum", 33, 0, 1, 2048, {64}},
      {"96", 96, 0, 1, 2048, {128}},
      {"last two merged", 682, 0, 1, 2048, {512, 128, 64}},
      {"3/4 rule", 700, 0, 1, 2048, {512, 128, 64}},
      {"halving the remainder", 896, 0, 1, 2048, {512, 256, 128}},
      {"3/4 rule on the first piece", 900, 0, 1, 2048, {1024}},
      {"above the screen limit", 1600, 0, 1, 2048, {1024, 512, 64}},
      {"two full pieces", 2500, 0, 1, 2048, {1024, 1024, 512}},
      {"max 256, 640", 640, 0, 1, 256, {256, 256, 128}},
      {"max 256, 480", 480, 0, 1, 256, {256, 128, 64, 32}},
      {"device minimum 64", 40, 0, 64, 2048, {64}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Split(c.length, c.exact, c.minSize, c.maxSize), c.sizes);
  }
}

TEST(TextureSplitTest, DeviceLimitsFromReportedSizes) {
  ResetTextureDevice();
  SetTextureSizeLimits(0, 0, 0, 0);
  EXPECT_EQ(GetTextureDevice().MinTextureSize, 32);
  EXPECT_EQ(GetTextureDevice().MaxTextureSize, 256);
  SetTextureSizeLimits(2, 4, 4096, 1024);
  EXPECT_EQ(GetTextureDevice().MinTextureSize, 2);
  EXPECT_EQ(GetTextureDevice().MaxTextureSize, 1024);
  ResetTextureDevice();
}

TEST(TextureSplitTest, ManyPiecesAreCountedButNotWrittenPastTheTable) {
  int sizes[kTextureSplitMaxPieces + 1] = {};
  sizes[kTextureSplitMaxPieces] = 12345;  // guard
  const int n = ComputeTextureSplit(65535, sizes, 1, TextureSplitLimits{1, 32, 640});
  EXPECT_EQ(n, 2048);
  EXPECT_EQ(sizes[kTextureSplitMaxPieces], 12345);
}

TEST(TextureFormatTest, SelectTextureFormatTable) {
  struct Case {
    const char* what;
    int alpha, drawValid, alphaTest, depth, index;
  };
  const Case cases[] = {
      {"alpha test, 16", 0, 0, 1, 16, 4},
      {"alpha test, 32", 0, 0, 1, 32, 5},
      {"drawable, 16", 0, 1, 0, 16, 6},
      {"drawable, 32", 0, 1, 0, 32, 7},
      {"drawable with alpha", 1, 1, 0, 16, 8},
      {"drawable with alpha test", 0, 1, 1, 32, 8},
      {"alpha channel, 32", 1, 0, 1, 32, 3},
      {"alpha channel, 16", 1, 0, 0, 16, 2},
      {"nothing, 16", 0, 0, 0, 16, 0},
      {"nothing, 32", 0, 0, 0, 32, 1},
  };
  ResetTextureDevice();
  FillOrdinaryTextureFormats();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GraphCreationFlags f{};
    f.AlphaChFlag = static_cast<uint8_t>(c.alpha);
    f.DrawValid = static_cast<uint8_t>(c.drawValid);
    f.AlphaTestFlag = static_cast<uint8_t>(c.alphaTest);
    f.ColorBitDepth = static_cast<uint8_t>(c.depth);
    EXPECT_EQ(SelectTextureFormat(f), c.index);
    EXPECT_EQ(GetTextureColorFormatFor(c.alpha, c.alphaTest, c.depth == 32, c.drawValid),
              GetTextureColorFormat(c.index));
  }
  EXPECT_EQ(GetTextureColorFormat(9), nullptr);
  EXPECT_EQ(GetTexturePixelFormat(-1), nullptr);
  ResetTextureDevice();
  ResetDirect3DState();
}

const GraphCreationFlags kPlain16{1, 0, 0, 0, 0, 16, 0, 0};

TEST_F(TexturePiecesTest, HandlesAndHighWaterIndex) {
  const int a = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, -1, -1, 0, 0, kPlain16);
  EXPECT_EQ(a, 0x30000000);
  const int b = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, -1, a, 0, 0, kPlain16);
  const int c = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, -1, a, 0, 0, kPlain16);
  EXPECT_EQ(b, 0x30010001);
  EXPECT_EQ(c, 0x30020002);
  EXPECT_EQ(GetSurface3DHighWater(), 3);
  // Deleting the top piece lowers the index past every free slot below it.
  EXPECT_EQ(DeleteSurface3DData(b), 0);
  EXPECT_EQ(GetSurface3DHighWater(), 3);
  EXPECT_EQ(DeleteSurface3DData(c), 0);
  EXPECT_EQ(GetSurface3DHighWater(), 1);
  EXPECT_EQ(DeleteSurface3DData(c), -1);
  EXPECT_EQ(GetSurface3DData(b), nullptr);
  // The shared texture lives until its last piece goes.
  EXPECT_EQ(GetSurfaceDataCount(), 1);
  EXPECT_EQ(DeleteSurface3DData(a), 0);
  EXPECT_EQ(GetSurface3DHighWater(), 0);
  EXPECT_EQ(GetSurfaceDataCount(), 0);
  // Handles of other types or out of the range are not live.
  EXPECT_EQ(GetSurface3DData(0x38000000), nullptr);
  EXPECT_EQ(GetSurface3DData(-1), nullptr);
}

TEST_F(TexturePiecesTest, FullTableLogsAndRefuses) {
  const int root = AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, -1, -1, 0, 0, kPlain16);
  ASSERT_NE(root, -1);
  for (int i = 1; i < kSurface3DCapacity; ++i) {
    ASSERT_NE(AddSurface3DData(0, 0, 0, 0, 1, 1, 0, 0, -1, root, 0, 0, kPlain16), -1) << i;
  }
  EXPECT_EQ(GetSurface3DHighWater(), kSurface3DCapacity);
  EXPECT_EQ(AddSurface3DData(0, 0, 0, 0, 1, 1, 0, 0, -1, root, 0, 0, kPlain16), -1);
  EXPECT_NE(ReadLog().find("３Ｄグラフィックの数が許容量を越えました。"), std::string::npos);
  // A freed slot in the middle is found by searching.
  const int middle = 0x30000000 | 40000 | (40000 % 2048) << 16;
  ASSERT_EQ(DeleteSurface3DData(middle), 0);
  const int again = AddSurface3DData(0, 0, 0, 0, 1, 1, 0, 0, -1, root, 0, 0, kPlain16);
  EXPECT_EQ(again & 0xFFFF, 40000);
}

TEST_F(TexturePiecesTest, NotRunningRefuses) {
  GetTextureDevice().Running = 0;
  EXPECT_EQ(AddSurface3DData(32, 32, 0, 0, 32, 32, 0, 0, -1, -1, 0, 0, kPlain16), -1);
  EXPECT_NE(ReadLog().find("３Ｄグラフィックエンジンが初期化されていません"), std::string::npos);
  EXPECT_EQ(DeleteAllSurfaces3D(), -1);
}

TEST_F(TexturePiecesTest, ScreenSizedGraphTwoTexturesWithCorners) {
  const int g = CreateBlankGraph(640, 480, 1, 0, 0);
  ASSERT_NE(g, -1);
  const GraphRecord* r = GetGraphRecord(g);
  ASSERT_EQ(r->TextureFlag, 1);
  ASSERT_EQ(r->PieceCount, 2);
  const Surface3D* a = GetSurface3DData(r->Pieces[0]);
  const Surface3D* b = GetSurface3DData(r->Pieces[1]);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->GraphX, 0);
  EXPECT_EQ(a->Width, 512);
  EXPECT_EQ(a->Height, 480);
  EXPECT_EQ(b->GraphX, 512);
  EXPECT_EQ(b->SrcX, 512);
  EXPECT_EQ(b->Width, 128);
  EXPECT_EQ(b->OwnerGraph, g);
  const SurfaceData* ta = GetSurfaceData(a->SurfaceData);
  const SurfaceData* tb = GetSurfaceData(b->SurfaceData);
  ASSERT_NE(ta, nullptr);
  ASSERT_NE(tb, nullptr);
  EXPECT_EQ(ta->Width, 512);
  EXPECT_EQ(ta->Height, 512);
  EXPECT_EQ(tb->Width, 128);
  EXPECT_EQ(tb->Height, 512);
  EXPECT_EQ(ta->FormatIndex, 4);  // alpha test on by default, 16 bits
  uint32_t caps = 0;
  ASSERT_EQ(ta->Surface->GetCaps(&caps), pd::Result::kOk);
  EXPECT_NE(caps & pd::kCapsTexture, 0u);
  // Corners: graph pixels and texture units; the bottom of the texture is
  // unused below row 480.
  const Corner3D& br = b->Corners[kCornerBottomRight];
  EXPECT_FLOAT_EQ(br.X, 640.0f);
  EXPECT_FLOAT_EQ(br.Y, 480.0f);
  EXPECT_FLOAT_EQ(br.U, 1.0f);
  EXPECT_FLOAT_EQ(br.V, 480.0f / 512.0f);
  EXPECT_EQ(br.Color, 0xFFFFFFFFu);
  EXPECT_FLOAT_EQ(br.Rhw, 1.0f);
  EXPECT_EQ(ReleaseGraph(g, 0), 0);
  EXPECT_EQ(GetSurface3DCount(), 0);
  EXPECT_EQ(GetSurfaceDataCount(), 0);
}

TEST_F(TexturePiecesTest, AboveDiagonalInFloatingPoint) {
  // 64 x 32: the diagonal runs from (0, 32) to (64, 0).
  const int g = CreateBlankGraph(64, 32, 1, 0, 0);
  ASSERT_NE(g, -1);
  const Surface3D* s = GetSurface3DData(GetGraphRecord(g)->Pieces[0]);
  ASSERT_NE(s, nullptr);
  // top-left (0,0): 32 >= 0; top-right (64,0): 0 >= 0; bottom-left (0,32):
  // 32 >= 32; bottom-right (64,32): 0 >= 32 fails.
  EXPECT_EQ(s->AboveDiagonal[kCornerTopLeft], 1);
  EXPECT_EQ(s->AboveDiagonal[kCornerTopRight], 1);
  EXPECT_EQ(s->AboveDiagonal[kCornerBottomLeft], 1);
  EXPECT_EQ(s->AboveDiagonal[kCornerBottomRight], 0);
}

TEST_F(TexturePiecesTest, TooManyPiecesRefused) {
  SetTextureSizeLimits(1, 1, 32, 32);
  SetCreateDrawableGraph(1);  // exact: the limit is the device's 32
  const int g = CreateBlankGraph(640, 480, 1, 0, 0);
  EXPECT_EQ(g, -1);
  EXPECT_NE(ReadLog().find("エラー：画像の分割数が最大数の 64 を超えました"), std::string::npos);
  EXPECT_EQ(GetSurface3DCount(), 0);
  EXPECT_EQ(GetSurfaceDataCount(), 0);
  // Directly: PieceCount stays 0.
  GraphRecord record{};
  record.Width = 640;
  record.Height = 480;
  record.DrawValid = 1;
  record.ColorBitDepth = 16;
  record.TextureFlag = 1;
  record.PieceCount = 5;
  EXPECT_EQ(SplitGraphToTextures(record), -1);
  EXPECT_EQ(record.PieceCount, 0);
}

TEST_F(TexturePiecesTest, SquareOnlyDeviceCutsPiecesIntoSquares) {
  GetTextureDevice().SquareOnly = 1;
  const int g = CreateBlankGraph(128, 512, 1, 0, 0);
  ASSERT_NE(g, -1);
  const GraphRecord* r = GetGraphRecord(g);
  ASSERT_EQ(r->PieceCount, 4);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const Surface3D* s = GetSurface3DData(r->Pieces[static_cast<size_t>(i)]);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GraphX, 0);
    EXPECT_EQ(s->GraphY, 128 * i);
    EXPECT_EQ(s->Width, 128);
    EXPECT_EQ(s->Height, 128);
    EXPECT_EQ(GetSurfaceData(s->SurfaceData)->Width, 128);
    EXPECT_EQ(GetSurfaceData(s->SurfaceData)->Height, 128);
  }
  // A graphic whose texture reaches past its bottom: squares that would
  // start below the graphic are not made.
  const int h = CreateBlankGraph(100, 300, 1, 0, 0);
  ASSERT_NE(h, -1);
  const GraphRecord* rh = GetGraphRecord(h);
  ASSERT_EQ(rh->PieceCount, 3);
  const Surface3D* last = GetSurface3DData(rh->Pieces[2]);
  EXPECT_EQ(last->GraphY, 256);
  EXPECT_EQ(last->Height, 44);
  EXPECT_EQ(last->Width, 100);
}

TEST_F(TexturePiecesTest, SubGraphOfSeveralPiecesSharesTextures) {
  const int g = CreateBlankGraph(640, 480, 1, 0, 0);
  ASSERT_NE(g, -1);
  GraphRecord* parent = GetGraphRecord(g);
  GraphRecord child{};
  child.GraphHandle = -1;
  child.TextureFlag = 1;
  ASSERT_EQ(MakeSubGraphTextures(child, 500, 10, 40, 20, *parent), 0);
  ASSERT_EQ(child.PieceCount, 2);
  const Surface3D* a = GetSurface3DData(child.Pieces[0]);
  const Surface3D* b = GetSurface3DData(child.Pieces[1]);
  EXPECT_EQ(a->GraphX, 0);
  EXPECT_EQ(a->Width, 12);
  EXPECT_EQ(a->TexX, 500);
  EXPECT_EQ(a->TexY, 10);
  EXPECT_EQ(a->SrcX, 500);
  EXPECT_EQ(a->Height, 20);
  EXPECT_EQ(b->GraphX, 12);
  EXPECT_EQ(b->Width, 28);
  EXPECT_EQ(b->TexX, 0);
  EXPECT_EQ(b->SrcX, 512);  // the parent piece's source position
  EXPECT_EQ(a->SurfaceData, GetSurface3DData(parent->Pieces[0])->SurfaceData);
  EXPECT_EQ(b->SurfaceData, GetSurface3DData(parent->Pieces[1])->SurfaceData);
  EXPECT_FLOAT_EQ(a->Corners[kCornerTopLeft].U, 500.0f / 512.0f);
  // The parent goes; the child's pieces keep the textures alive.
  ReleaseGraph(g, 0);
  EXPECT_EQ(GetSurfaceDataCount(), 2);
  ASSERT_NE(GetSurfaceData(a->SurfaceData), nullptr);
  DeleteGraphTextures(child);
  EXPECT_EQ(GetSurfaceDataCount(), 0);
}

TEST_F(TexturePiecesTest, CutGraphOfOnePieceIsOnePieceAtOrigin) {
  const int g = CreateBlankGraph(100, 100, 1, 0, 0);
  ASSERT_NE(g, -1);
  GraphRecord* parent = GetGraphRecord(g);
  GraphRecord child{};
  ASSERT_EQ(MakeSubGraphTextures(child, 90, 30, 10, 50, *parent), 0);
  ASSERT_EQ(child.PieceCount, 1);
  const Surface3D* s = GetSurface3DData(child.Pieces[0]);
  EXPECT_EQ(s->GraphX, 0);
  EXPECT_EQ(s->GraphY, 0);
  EXPECT_EQ(s->TexX, 90);
  EXPECT_EQ(s->TexY, 30);
  EXPECT_EQ(s->Width, 10);
  EXPECT_EQ(s->Height, 50);
  // The parent's own piece and the sub-graphic's share one store.
  EXPECT_EQ(GetSurfaceData(s->SurfaceData)->RefCount, 2);
  DeleteGraphTextures(child);
  EXPECT_EQ(GetSurfaceData(GetSurface3DData(parent->Pieces[0])->SurfaceData)->RefCount, 1);
}

}  // namespace
}  // namespace graphics_test
