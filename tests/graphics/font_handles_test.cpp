// Font handles and the default font on memory-image screens, with the test
// font written by the project's font writer (added as a private font) and
// IPA Gothic as the default face.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/surface_2d.h"
#include "font/test_fonts.h"
#include "graphics_fixture.h"
#include "platform/font_faces.h"

namespace {

using fonttest::Sjis;

TEST(FontCacheGeometry, CellsAndLinesFromTheMetrics) {
  const struct {
    int max_width, height;
    uint32_t type;
    int edge, cell, line;
  } cases[] = {
      {16, 16, 0, 1, 24, 16},  // rounded up to 8
      {16, 16, 1, 1, 24, 18},  // edge: 2 x edge on both
      {16, 16, 2, 3, 24, 16},  // the edge size counts only with the edge bit
      {8, 17, 1, 2, 22, 22},   // line above the cell: the cell follows, unrounded
      {8, 17, 0, 1, 18, 18},   // odd line heights become even
      {30, 8, 3, 1, 40, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.max_width) + "/" + std::to_string(c.height) + " type " +
                 std::to_string(c.type) + " edge " + std::to_string(c.edge));
    const FontCellGeometry g = ComputeFontCellGeometry(c.max_width, c.height, c.type, c.edge);
    EXPECT_EQ(g.cell_size, c.cell);
    EXPECT_EQ(g.line_height, c.line);
  }
}

TEST(FontCacheGeometry, MemoryAndTextureCaches) {
  const struct {
    int cell, cells;
  } memory[] = {{8, 2024}, {16, 1280}, {24, 568}, {32, 320}, {128, 20}, {200, 20}, {4096, 20}};
  for (const auto& c : memory) EXPECT_EQ(MemoryCacheCellCount(c.cell), c.cells) << c.cell;

  const struct {
    int cell, width, height, cells, per_column;
  } texture[] = {
      {16, 512, 512, 1024, 32},  {8, 512, 512, 2024, 64},  {24, 512, 512, 441, 21},
      {200, 1024, 512, 10, 2},   {300, 2048, 1024, 18, 3}, {2100, 16384, 8192, 21, 3},
  };
  for (const auto& c : texture) {
    SCOPED_TRACE(c.cell);
    const TextureCacheGeometry g = ComputeTextureCacheGeometry(c.cell);
    EXPECT_EQ(g.width, c.width);
    EXPECT_EQ(g.height, c.height);
    EXPECT_EQ(g.cell_count, c.cells);
    EXPECT_EQ(g.cells_per_column, c.per_column);
  }
  int x = -1, y = -1;
  TextureCellPosition(ComputeTextureCacheGeometry(16), 16, 33, &x, &y);
  EXPECT_EQ(x, 16);
  EXPECT_EQ(y, 16);
}

class FontHandleTest : public graphics_test::GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    fonttest::TestFonts::Get();
    UseSoftwareRendering(32);
    ResetFontTable();
    SetFontCacheHooks({});
  }
  void TearDown() override {
    ResetFontTable();
    SetFontCacheHooks({});
    GraphicsTest::TearDown();
  }
  const std::string test_face_ = Sjis(u8"ベスク試験");
};

// The test font at cell height 20: one design step a pixel, the widest
// advance 16 pixels; at 40 two pixels a step.
TEST_F(FontHandleTest, CreationParametersShapeTheRecord) {
  const struct {
    const char* what;
    int size, thickness, type, kind, edge, italic;
    uint32_t want_type;
    int want_edge, cell, line, bits, pitch, cells, want_kind;
    bool bold, slanted;
  } cases[] = {
      {"defaults (weight 600: bold)", 20, -1, -1, -1, -1, 0, 0, 1, 24, 20, 1, 3, 568, 1, true, false},
      {"edge", 20, 4, 1, 1, 1, 0, 1, 1, 24, 22, 8, 24, 568, 1, false, false},
      {"edge size 2 makes an edge font", 20, 4, 0, 1, 2, 0, 1, 2, 24, 24, 8, 24, 568, 1, false, false},
      {"antialiased", 40, 4, 2, 0, -1, 0, 2, 1, 40, 40, 8, 40, 204, 0, false, false},
      {"antialiased edge: the line sets the cell", 40, 4, 3, 2, 2, 0, 3, 2, 44, 44, 8, 44, 169, 2, false, false},
      {"bold", 20, 7, 0, 1, -1, 0, 0, 1, 24, 20, 1, 3, 568, 1, true, false},
      {"italic", 20, 4, 0, 1, -1, 1, 0, 1, 24, 20, 1, 3, 568, 1, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const int handle =
        CreateFontToHandle(test_face_.c_str(), c.size, c.thickness, c.type, c.kind, c.edge, c.italic, -1, -1);
    ASSERT_NE(handle, -1);
    const FontRecord* r = GetFontRecord(handle);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Face->Family(), writers::kTestFontFamily);
    EXPECT_EQ(r->Type, c.want_type);
    EXPECT_EQ(r->EdgeSize, c.want_edge);
    EXPECT_EQ(r->CellSize, c.cell);
    EXPECT_EQ(r->LineHeight, c.line);
    EXPECT_EQ(r->MemoryCacheBits, c.bits);
    EXPECT_EQ(r->MemoryCachePitch, c.pitch);
    EXPECT_EQ(r->CellCount, c.cells);
    EXPECT_EQ(r->CellsPerColumn, c.cells);
    EXPECT_EQ(r->MemoryCache.size(), size_t(c.pitch) * c.cells * c.cell);
    EXPECT_EQ(r->Kind, c.want_kind);
    EXPECT_EQ(r->Face->SyntheticBold(), c.bold);
    EXPECT_EQ(r->Face->SyntheticItalic(), c.slanted);
    EXPECT_EQ(r->TextureCache, 0);
    EXPECT_EQ(r->CacheWidth, c.cell);
    EXPECT_EQ(r->CacheHeight, c.cell * c.cells);
    // The draw screen: screen-sized, with alpha exactly for antialiased fonts.
    const Surface2D* screen = GetSurface2D(r->DrawScreen);
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->Width, 640);
    EXPECT_EQ(screen->Height, 480);
    int size = 0, thickness = 0;
    char name[kFontFaceNameSize];
    ASSERT_EQ(GetFontInfo(name, &size, &thickness, handle), 0);
    EXPECT_EQ(std::string(name), test_face_);
    EXPECT_EQ(size, c.size);
    EXPECT_EQ(thickness, c.thickness == -1 ? 6 : c.thickness);
    const int draw_screen = r->DrawScreen;
    EXPECT_EQ(DeleteFontHandle(handle), 0);
    EXPECT_EQ(GetSurface2D(draw_screen), nullptr);
  }
  EXPECT_EQ(GetFontCount(), 0);
  EXPECT_EQ(GetSurface2DCount(), 0);
}

TEST_F(FontHandleTest, TableLimitsSlotsAndCheckValues) {
  std::vector<int> handles;
  for (int i = 0; i < kMaxFontHandles; ++i) {
    handles.push_back(CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1));
    ASSERT_NE(handles.back(), -1) << i;
    EXPECT_EQ(HandleSlot(handles.back()), uint32_t(i));
    EXPECT_EQ(HandleTypeBits(handles.back()), 4u);
    EXPECT_EQ(HandleCheck(handles.back()), uint32_t(i));
  }
  EXPECT_EQ(CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1), -1);
  EXPECT_NE(ReadLog().find("作成できるフォントハンドル数 40 の限界を超えました"), std::string::npos);

  // A freed slot is taken again, under a new check value.
  ASSERT_EQ(DeleteFontHandle(handles[5]), 0);
  EXPECT_EQ(DeleteFontHandle(handles[5]), -1);
  EXPECT_EQ(IsValidFontHandle(handles[5]), 0);
  const int again = CreateFontToHandle(nullptr, 8, -1, -1, -1, -1, 0, -1, -1);
  EXPECT_EQ(HandleSlot(again), 5u);
  EXPECT_NE(again, handles[5]);

  ResetFontTable();
  ASSERT_EQ(CreateFontToHandle(test_face_.c_str(), 20, -1, -1, -1, -1, 0, 1, 0), 0x20000001);
  // An occupied slot answers -1 and leaves its font alone.
  EXPECT_EQ(CreateFontToHandle(nullptr, 30, -1, -1, -1, -1, 0, 1, 5), -1);
  EXPECT_EQ(GetFontRecord(0x20000001)->Size, 20);
  const std::string long_name(kFontFaceNameSize, 'a');
  const std::string longest(kFontFaceNameSize - 1, 'a');
  const struct {
    const char* what;
    const char* face;
    int size, edge, slot, check;
  } refused[] = {
      {"slot 40", nullptr, 16, -1, 40, -1},      {"slot -2", nullptr, 16, -1, -2, -1},
      {"check 2048", nullptr, 16, -1, 2, 2048},  {"check -5", nullptr, 16, -1, 2, -5},
      {"size 0", nullptr, 0, -1, -1, -1},        {"size 513", nullptr, 513, -1, -1, -1},
      {"size -20", nullptr, -20, -1, -1, -1},    {"edge 65", nullptr, 16, 65, -1, -1},
      {"name too long", long_name.c_str(), 16, -1, -1, -1},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(CreateFontToHandle(c.face, c.size, -1, -1, -1, c.edge, 0, c.slot, c.check), -1) << c.what;
  }
  EXPECT_EQ(GetFontCount(), 1);
  EXPECT_NE(CreateFontToHandle(longest.c_str(), 512, -1, -1, -1, 64, 0, -1, 2047), -1);

  // Foreign and damaged handles.
  for (int bad : {-1, 0, 0x20000000 | 39, 0x08000001, static_cast<int>(0xA0000001u)}) {
    EXPECT_EQ(IsValidFontHandle(bad), 0) << bad;
    EXPECT_EQ(GetFontRecord(bad), nullptr);
    EXPECT_EQ(SetFontSpacing(1, bad), -1);
    EXPECT_EQ(GetFontInfo(nullptr, nullptr, nullptr, bad), -1);
    EXPECT_EQ(SetFontLostFlag(bad, nullptr), -1);
    EXPECT_EQ(RebuildFontCache(bad), -1);
  }
}

TEST_F(FontHandleTest, FacesNotInstalledFallBackAndNamesStayWhole) {
  const std::string missing = Sjis(u8"存在しない書体");
  const int handle = CreateFontToHandle(missing.c_str(), 16, -1, -1, -1, -1, 0, -1, -1);
  ASSERT_NE(handle, -1);
  EXPECT_EQ(GetFontRecord(handle)->FaceName, missing);
  EXPECT_EQ(GetFontRecord(handle)->Face->Family(), "IPAGothic");
  const int standard = CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, 0, -1, -1);
  EXPECT_EQ(GetFontRecord(standard)->FaceName, "");
  EXPECT_EQ(GetFontRecord(standard)->Face->Family(), "IPAGothic");
  const int latin = CreateFontToHandle(writers::kTestFontLatinFamily, 20, -1, -1, 0, -1, 0, -1, -1);
  EXPECT_EQ(GetFontRecord(latin)->Face->Family(), writers::kTestFontLatinFamily);
}

TEST_F(FontHandleTest, DamagedPrivateFontFilesFallBack) {
  std::vector<uint8_t> bytes = writers::BuildTestFont({.family = "Vesk Damaged"});
  bytes.resize(bytes.size() / 3);  // tables cut short
  scratch_.Write("damaged.ttf", bytes);
  const std::string path = platform::NativeToEnginePath((scratch_.Path() / "damaged.ttf").string());
  platform::AddPrivateFontFile(path);
  const int handle = CreateFontToHandle("Vesk Damaged", 20, -1, 3, -1, 2, 1, -1, -1);
  ASSERT_NE(handle, -1);
  EXPECT_GT(GetFontRecord(handle)->CellSize, 0);
  platform::RemovePrivateFontFile(path);
}

TEST_F(FontHandleTest, AnEightBitScreenDropsAntialiasing) {
  GetScreenColorState().ScreenBits = 8;
  GetScreenColorState().RequestedScreenBits = 8;
  const int handle = CreateFontToHandle(test_face_.c_str(), 20, -1, 3, -1, -1, 0, -1, -1);
  ASSERT_NE(handle, -1);
  EXPECT_EQ(GetFontRecord(handle)->Type, 1u);
  // The default font on that screen is made once, not on every refresh.
  ASSERT_EQ(SetDefaultFontType(2), 0);
  const int standard = GetStandardFont();
  ASSERT_NE(standard, -1);
  EXPECT_EQ(GetFontRecord(standard)->Type, 0u);
  RefreshDefaultFont();
  EXPECT_EQ(GetStandardFont(), standard);
}

TEST_F(FontHandleTest, DefaultFontFollowsItsSettings) {
  EXPECT_EQ(GetStandardFont(), -1);
  ASSERT_EQ(RefreshDefaultFont(), 0);
  const int first = GetStandardFont();
  ASSERT_NE(first, -1);
  const FontRecord* r = GetFontRecord(first);
  EXPECT_EQ(r->Size, 16);
  EXPECT_EQ(r->Thickness, 6);
  EXPECT_EQ(r->Kind, kFontKindShiftJis);
  RefreshDefaultFont();
  EXPECT_EQ(GetStandardFont(), first);  // nothing changed: the same font

  struct Step {
    const char* what;
    int (*apply)(const std::string&);
    int size, thickness;
    uint32_t type;
    const char* family;
  };
  const Step steps[] = {
      {"size", [](const std::string&) { return SetDefaultFontSize(20); }, 20, 6, 0, "IPAGothic"},
      {"name", [](const std::string& f) { return SetDefaultFontName(f.c_str(), -1); }, 20, 6, 0,
       writers::kTestFontFamily},
      {"thickness", [](const std::string&) { return SetDefaultFontThickness(8); }, 20, 8, 0,
       writers::kTestFontFamily},
      {"type", [](const std::string&) { return SetDefaultFontType(3); }, 20, 8, 3, writers::kTestFontFamily},
      {"size and thickness", [](const std::string&) { return SetDefaultFontSizeThickness("x", -1, -1); }, 16,
       6, 3, writers::kTestFontFamily},
      {"defaults", [](const std::string&) { return SetDefaultFontName(nullptr, 1) | SetDefaultFontType(-1); },
       16, 6, 0, "IPAGothic"},
  };
  int previous = first;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    ASSERT_EQ(s.apply(test_face_), 0);
    const int now = GetStandardFont();
    ASSERT_NE(now, -1);
    EXPECT_NE(now, previous);
    EXPECT_EQ(IsValidFontHandle(previous), 0);  // the old default is gone
    const FontRecord* f = GetFontRecord(now);
    EXPECT_EQ(f->Size, s.size);
    EXPECT_EQ(f->Thickness, s.thickness);
    EXPECT_EQ(f->Type, s.type);
    EXPECT_EQ(f->Face->Family(), s.family);
    EXPECT_EQ(GetFontCount(), 1);
    previous = now;
  }
  // A name too long for the setting is refused and changes nothing.
  EXPECT_EQ(SetDefaultFontName(std::string(kDefaultFontNameSize, 'a').c_str(), 1), -1);
  EXPECT_EQ(GetStandardFont(), previous);
  EXPECT_EQ(GetDefaultFontSettings().FaceName, "");
}

TEST_F(FontHandleTest, InitializeFontsKeepsOnlyTheDefaultFont) {
  ASSERT_EQ(SetDefaultFontName(test_face_.c_str(), 1), 0);
  ASSERT_EQ(SetDefaultFontSize(20), 0);
  CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0, -1, -1);
  CreateFontToHandle(nullptr, 14, -1, 1, -1, 3, 0, 7, -1);
  ASSERT_EQ(GetFontCount(), 3);
  ASSERT_EQ(InitializeFonts(), 0);
  EXPECT_EQ(GetFontCount(), 1);
  const FontRecord* r = GetFontRecord(GetStandardFont());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->FaceName, test_face_);
  EXPECT_EQ(r->Size, 20);
  const std::string log = ReadLog();
  EXPECT_NE(log.find("フォントの初期化を行います"), std::string::npos);
  EXPECT_NE(log.find("フォントの初期化は正常に終了しました"), std::string::npos);

  // Without a default font the start values are used.
  ResetFontTable();
  ASSERT_EQ(InitializeFonts(), 0);
  r = GetFontRecord(GetStandardFont());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Size, 16);
  EXPECT_EQ(r->FaceName, "");
}

TEST_F(FontHandleTest, RestoreFontsKeepsEveryHandleAndSetting) {
  struct Made {
    int handle;
    std::string face;
    int size, thickness, type, edge, spacing;
  };
  std::vector<Made> made = {
      {0, test_face_, 20, 6, 0, 1, 0},
      {0, "", 16, 8, 1, 3, 2},
      {0, test_face_, 40, 6, 3, 2, -1},
  };
  int32_t lost = 7;
  for (Made& m : made) {
    m.handle = CreateFontToHandle(m.face.c_str(), m.size, m.thickness, m.type, -1, m.edge, 0, -1, -1);
    ASSERT_NE(m.handle, -1);
    SetFontSpacing(m.spacing, m.handle);
  }
  ASSERT_EQ(SetFontLostFlag(made[1].handle, &lost), 0);
  EXPECT_EQ(lost, 0);
  DeleteFontHandle(made[0].handle);  // a hole in the table stays a hole
  made.erase(made.begin());
  ASSERT_EQ(RestoreFonts(), 0);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(GetFontCount(), 2);
  for (const Made& m : made) {
    const FontRecord* r = GetFontRecord(m.handle);
    ASSERT_NE(r, nullptr) << m.size;
    EXPECT_EQ(r->FaceName, m.face);
    EXPECT_EQ(r->Size, m.size);
    EXPECT_EQ(r->Thickness, m.thickness);
    EXPECT_EQ(r->Type, uint32_t(m.type));
    EXPECT_EQ(r->EdgeSize, m.edge);
    EXPECT_EQ(r->Spacing, m.spacing);
    EXPECT_EQ(r->LostFlag, nullptr);
    EXPECT_NE(GetSurface2D(r->DrawScreen), nullptr);
  }
}

TEST_F(FontHandleTest, LostDrawScreensAreMadeAgain) {
  const int handle = CreateFontToHandle(test_face_.c_str(), 20, -1, 2, -1, -1, 0, -1, -1);
  FontRecord* r = GetFontRecord(handle);
  const int screen = r->DrawScreen;
  ASSERT_EQ(DeleteSurface2D(screen), 0);  // released under the font
  EXPECT_EQ(r->DrawScreenRebuild, 1);
  ASSERT_EQ(RebuildFontCache(handle), 0);
  EXPECT_EQ(r->DrawScreenRebuild, 0);
  EXPECT_NE(GetSurface2D(r->DrawScreen), nullptr);
  EXPECT_EQ(GetSurface2DCount(), 1);
}

// The 16-bit texture formats a 3D device offers for glyph caches.
bool GlyphTextureFormats(ColorFormat* alpha, ColorFormat* mask) {
  CreateColorFormat(alpha, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
  CreateColorFormat(mask, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
  return true;
}

TEST_F(FontHandleTest, TextureCachesThatCannotBeMadeFallBackToMemory) {
  FontCacheHooks hooks;
  hooks.texture_formats = GlyphTextureFormats;
  SetFontCacheHooks(hooks);
  const int handle = CreateFontToHandle(test_face_.c_str(), 20, -1, 1, -1, -1, 0, -1, -1);
  ASSERT_NE(handle, -1);
  const FontRecord* r = GetFontRecord(handle);
  EXPECT_EQ(r->TextureCache, 0);
  EXPECT_EQ(r->CellCount, 568);
  EXPECT_NE(ReadLog().find("テクスチャ文字キャッシュの作成に失敗しました"), std::string::npos);
  EXPECT_EQ(r->Glyphs[567].Cell, 567) << "the glyph cache was cleared for the memory cells";
  EXPECT_EQ(r->Glyphs[568].Cell, -1);

  // With cache graphs the font keeps the texture geometry and a work image
  // in the format of its type.
  hooks.create_cache_graphs = [](FontRecord& f) {
    f.CacheGraph = 1;
    f.EdgeCacheGraph = 2;
    return 0;
  };
  int released = 0;
  hooks.release_cache_graphs = [&released](FontRecord&) { ++released; };
  SetFontCacheHooks(hooks);
  const int textured = CreateFontToHandle(test_face_.c_str(), 20, -1, 1, -1, -1, 0, -1, -1);
  const FontRecord* t = GetFontRecord(textured);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->TextureCache, 1);
  EXPECT_EQ(t->CacheWidth, 512);
  EXPECT_EQ(t->CellCount, 441);
  EXPECT_EQ(t->WorkWidth, 48);
  EXPECT_EQ(t->WorkHeight, 26);
  EXPECT_EQ(t->WorkFormat.AlphaWidth, 1);
  EXPECT_EQ(t->DrawScreen, -1);
  EXPECT_TRUE(t->MemoryCache.empty());
  DeleteFontHandle(textured);
  EXPECT_EQ(released, 1);
  const int smooth = CreateFontToHandle(test_face_.c_str(), 20, -1, 2, -1, -1, 0, -1, -1);
  ASSERT_NE(GetFontRecord(smooth), nullptr);
  EXPECT_EQ(GetFontRecord(smooth)->WorkFormat.AlphaWidth, 4);

  // Formats of other layouts keep every font in memory.
  hooks.texture_formats = [](ColorFormat* alpha, ColorFormat* mask) {
    CreateColorFormat(alpha, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
    CreateColorFormat(mask, 16, 0xF800, 0x07E0, 0x001F, 0);
    return true;
  };
  SetFontCacheHooks(hooks);
  const int memory = CreateFontToHandle(test_face_.c_str(), 20, -1, 1, -1, -1, 0, -1, -1);
  ASSERT_NE(GetFontRecord(memory), nullptr);
  EXPECT_EQ(GetFontRecord(memory)->TextureCache, 0);
}

TEST_F(FontHandleTest, InstalledFontNames) {
  const int all = ListInstalledFonts(nullptr, 0, 0);
  const int japanese = ListInstalledFonts(nullptr, 0, 1);
  ASSERT_GT(japanese, 0);
  EXPECT_GE(all, japanese);
  EXPECT_EQ(ListInstalledFonts(nullptr, 0, 2), 0);
  std::vector<char> names(size_t(all) * kInstalledFontNameSize, 'x');
  ASSERT_EQ(ListInstalledFonts(names.data(), 0, 1), japanese);
  std::vector<std::string> listed;
  for (int i = 0; i < japanese; ++i) {
    const char* entry = names.data() + i * kInstalledFontNameSize;
    ASSERT_NE(std::memchr(entry, 0, kInstalledFontNameSize), nullptr);
    listed.emplace_back(entry);
    EXPECT_NE(listed.back()[0], '@');
    for (int j = 0; j + 1 < i; ++j) EXPECT_NE(listed[size_t(j)], listed.back());
  }
  EXPECT_NE(std::find(listed.begin(), listed.end(), test_face_), listed.end());
  EXPECT_EQ(std::find(listed.begin(), listed.end(), std::string(writers::kTestFontLatinFamily)), listed.end());
  EXPECT_EQ(ListInstalledFonts(names.data(), 2, 0), 2);
}

}  // namespace
