// Texture graphics on a started Direct3D (the recording stand-in): what the
// start hands the texture storage and the end takes back, the textures
// through a display loss, the upload's flush of waiting quads, glyph
// caches kept in texture graphics and movie frames written into them.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "engine/api/graph_file_entry_points.h"
#include "engine/core/base/library_state.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/window/window_procedure.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_restore.h"
#include "engine/graphics/movie_graph.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_upload.h"
#include "font/test_fonts.h"
#include "platform/display/test_controls.h"
#include "platform/movie/movie_clip_writer.h"
#include "tests/graphics3d/d3d_fixture.h"
#include "tools/writers/coded_image_writer.h"

namespace d3d_engine_test {
namespace {

class TextureGraphsTest : public Direct3DTest {
 protected:
  void SetUp() override {
    Direct3DTest::SetUp();
    EnableTextureGraphsForTest(1);
  }
  void TearDown() override {
    ReleaseAllMovies();
    DeleteAllFontHandles();
    Direct3DTest::TearDown();
  }

  static const Surface3D& Piece(int graph, int i = 0) {
    return *GetSurface3DData(GetGraphRecord(graph)->Pieces[static_cast<size_t>(i)]);
  }
  static SurfaceData& Store(int graph, int i = 0) { return *GetSurfaceData(Piece(graph, i).SurfaceData); }

  // Texel (x, y) of a piece's texture, read through its lock.
  static uint32_t Texel(int graph, int i, int x, int y) {
    const int store = Piece(graph, i).SurfaceData;
    int pitch = 0;
    uint8_t* bits = nullptr;
    const ColorFormat* f = nullptr;
    if (LockSurfaceData(store, &pitch, &bits, 0, nullptr, &f) != 0) return 0xDEADBEEF;
    uint32_t v = 0;
    std::memcpy(&v, bits + static_cast<ptrdiff_t>(y) * pitch + x * f->PixelByte, f->PixelByte);
    UnlockSurfaceData(store);
    return v;
  }
};

d3d::RecordingScript SquareOnlyDeviceWithoutSizes() {
  d3d::RecordingScript script = d3d::RecordingScript::LikeOpenGl();
  for (d3d::RecordingScript::Device& d : script.devices) {
    d.desc.triangle_texture_caps |= d3d::kTextureCapsSquareOnly;
    d.desc.min_texture_width = d.desc.min_texture_height = 0;
    d.desc.max_texture_width = d.desc.max_texture_height = 0;
  }
  return script;
}

TEST_F(TextureGraphsTest, TheStartHandsTheDeviceToTheTextureStorageAndTheEndTakesItBack) {
  struct Case {
    const char* what;
    d3d::RecordingScript script;
    int min, max, squareOnly;
    int pieces;  // of a 128 x 512 graphic
  } const cases[] = {
      {"ordinary device", d3d::RecordingScript::LikeOpenGl(), 1, 2048, 0, 1},
      // Limits 32 and 256: rows 256 + 256, each 128 x 256 cut into squares.
      {"square-only device reporting no sizes", SquareOnlyDeviceWithoutSizes(), 32, 256, 1, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseScript(c.script);
    EXPECT_EQ(GetTextureDevice().Running, 0);
    StartHardware();
    const TextureDevice& device = GetTextureDevice();
    EXPECT_EQ(device.Running, 1);
    EXPECT_EQ(device.MinTextureSize, c.min);
    EXPECT_EQ(device.MaxTextureSize, c.max);
    EXPECT_EQ(device.SquareOnly, c.squareOnly);
    ASSERT_TRUE(static_cast<bool>(device.Load));

    const int graph = MakeBlankGraph(128, 512, 0);
    ASSERT_NE(graph, -1);
    ASSERT_EQ(GetGraphRecord(graph)->TextureFlag, 1);
    EXPECT_EQ(GetGraphRecord(graph)->PieceCount, c.pieces);
    for (int i = 0; i < c.pieces; ++i) {
      EXPECT_EQ(Piece(graph, i).GraphY, i * (512 / c.pieces)) << i;
      EXPECT_EQ(Store(graph, i).Width, 128);
    }

    // A texture that cannot be locked is filled through the device's copy.
    GraphImage image{};
    ASSERT_EQ(CreateArgb32GraphImage(128, 512, &image), 0);
    for (int y = 0; y < 512; ++y) {
      for (int x = 0; x < 128; ++x) {
        const uint32_t v = 0xFF000000u | (x % 2 == 0 ? 0xFF0000u : 0x0000FFu);
        std::memcpy(image.Pixels + static_cast<ptrdiff_t>(y) * image.Pitch + x * 4, &v, 4);
      }
    }
    ClearTrace();
    pd::test::FailLocks(1);
    EXPECT_EQ(UploadImageToGraphTextures(0, 0, *GetGraphRecord(graph), &image, nullptr), 0);
    ReleaseGraphImage(&image);
    EXPECT_EQ(Count("Load("), 1);
    const ColorFormat* f = GetTextureColorFormat(Store(graph).FormatIndex);
    const uint32_t rgb = f->RedMask | f->GreenMask | f->BlueMask;
    for (int i = 0; i < c.pieces; ++i) {
      EXPECT_EQ(Texel(graph, i, 0, 0) & rgb, f->RedMask) << i;
      EXPECT_EQ(Texel(graph, i, 127, 127) & rgb, f->BlueMask) << i;
    }

    // The end deletes every piece and leaves the storage without a device.
    EXPECT_GT(GetSurface3DCount(), 0);
    TerminateGraphics();
    EXPECT_EQ(GetSurface3DCount(), 0);
    EXPECT_EQ(GetTextureDevice().Running, 0);
    EXPECT_FALSE(static_cast<bool>(GetTextureDevice().Load));
  }
}

TEST_F(TextureGraphsTest, TexturesAreReleasedOnLossAndComeBackEmptyAndKeyed) {
  StartHardware();
  CurrentDrawState.ColorKey = 0x00FF00;
  const int graph = MakeBlankGraph(64, 32, 0);
  ASSERT_NE(graph, -1);
  ASSERT_EQ(GetGraphRecord(graph)->TextureFlag, 1);
  const int sub = CreateSubGraph(8, 8, 16, 16, graph);
  ASSERT_NE(sub, -1);
  ASSERT_EQ(Piece(sub).SurfaceData, Piece(graph).SurfaceData) << "the sub-graphic shares the texture";
  ASSERT_EQ(FillGraph(graph, 255, 0, 0, 255), 0);
  ASSERT_NE(Texel(graph, 0, 5, 5), 0u);
  const int pieces = GetSurface3DCount();

  ASSERT_EQ(ReleaseDirect3DObject(), 0);
  EXPECT_EQ(Store(graph).Surface, nullptr) << "lost with the device";
  EXPECT_EQ(GetSurface3DCount(), pieces) << "the pieces stay for the reload";

  ASSERT_EQ(ReacquireDirect3D(), 0);
  ASSERT_NE(Store(graph).Surface, nullptr);
  EXPECT_EQ(Store(sub).Surface, Store(graph).Surface) << "one texture made for both pieces";
  EXPECT_EQ(Texel(graph, 0, 5, 5), 0u) << "made again empty";
  const ColorFormat* f = GetTextureColorFormat(Store(graph).FormatIndex);
  pd::ColorKey key{};
  ASSERT_EQ(Store(graph).Surface->GetColorKey(pd::kColorKeySourceBlt, &key), pd::Result::kOk);
  EXPECT_EQ(key.low, f->GreenMask | f->AlphaMask | f->SpareMask);
  // Refilled as a reload would.
  EXPECT_EQ(FillGraph(graph, 0, 0, 255, 255), 0);
  EXPECT_EQ(Texel(sub, 0, 0, 0) & (f->RedMask | f->GreenMask | f->BlueMask), f->BlueMask);
}

TEST_F(TextureGraphsTest, AnUploadDrawsTheWaitingQuadsFirst) {
  StartHardware();
  const int graph = MakeBlankGraph(16, 16, 0);
  ASSERT_NE(graph, -1);
  GraphImage image{};
  ASSERT_EQ(CreateArgb32GraphImage(16, 16, &image), 0);
  VertexBatch3D& batch = Record().Batch;
  batch.Format = 1;
  batch.Primitive = d3d::kPrimTriangleList;
  batch.Count = 6;
  ClearTrace();
  EXPECT_EQ(UploadImageToGraphTextures(0, 0, *GetGraphRecord(graph), &image, nullptr), 0);
  ReleaseGraphImage(&image);
  EXPECT_EQ(Count("DrawPrimitive("), 1);
  EXPECT_EQ(batch.Count, 0u);
}

TEST_F(TextureGraphsTest, GlyphCachesLiveInTextureGraphics) {
  fonttest::TestFonts::Get();
  StartHardware();
  const std::string face = fonttest::Sjis(u8"ベスク試験");
  struct Case {
    int type, edge;
    int alphaWidth;
    bool edged;
  } const cases[] = {{0, -1, 1, false}, {2, -1, 4, false}, {1, 1, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    // A drawable setting does not reach the cache's textures.
    CurrentDrawState.CreateDrawable = 1;
    const int font = CreateFontToHandle(face.c_str(), 20, 4, c.type, 1, c.edge, 0, -1, -1);
    ASSERT_NE(font, -1);
    EXPECT_EQ(CurrentDrawState.CreateDrawable, 1) << "the creation settings are put back";
    CurrentDrawState.CreateDrawable = 0;
    const FontRecord& record = *GetFontRecord(font);
    ASSERT_EQ(record.TextureCache, 1);
    const GraphRecord* cache = GetGraphRecord(record.CacheGraph);
    ASSERT_NE(cache, nullptr);
    EXPECT_EQ(cache->TextureFlag, 1);
    EXPECT_EQ(cache->Width, record.CacheWidth * (c.edged ? 2 : 1));
    EXPECT_EQ(GetTextureColorFormat(Store(record.CacheGraph).FormatIndex)->AlphaWidth, c.alphaWidth);
    EXPECT_EQ(record.WorkFormat.AlphaWidth, c.alphaWidth);
    if (c.edged) {
      ASSERT_NE(GetGraphRecord(record.EdgeCacheGraph), nullptr);
      EXPECT_EQ(Piece(record.EdgeCacheGraph).SurfaceData, Piece(record.CacheGraph).SurfaceData);
      EXPECT_EQ(Piece(record.EdgeCacheGraph).TexX, record.CacheWidth);
    } else {
      EXPECT_EQ(record.EdgeCacheGraph, -1);
    }
    EXPECT_EQ(Texel(record.CacheGraph, 0, 3, 3) & 0xFFFF,
              GetTextureColorFormat(Store(record.CacheGraph).FormatIndex)->RedMask |
                  GetTextureColorFormat(Store(record.CacheGraph).FormatIndex)->GreenMask |
                  GetTextureColorFormat(Store(record.CacheGraph).FormatIndex)->BlueMask)
        << "white, alpha 0";
    const int cacheGraph = record.CacheGraph;
    DeleteFontHandle(font);
    EXPECT_EQ(GetGraphRecord(cacheGraph), nullptr) << "the cache graphs go with the font";
  }

  // A plain 'L' in cell 1 of a 24-pixel cell cache lies at (0, 24): its
  // strokes white with the alpha bit, the rest of the cell without.
  const int font = CreateFontToHandle(face.c_str(), 20, 4, 0, 1, -1, 0, -1, -1);
  ASSERT_NE(font, -1);
  const int cache = GetFontRecord(font)->CacheGraph;
  for (uint8_t code : {uint8_t{'I'}, uint8_t{'L'}}) {
    CharacterKey key;
    key.First = code;
    ASSERT_NE(FillGlyphCache(font, 1, &key), nullptr);
  }
  EXPECT_EQ(Texel(cache, 0, 0, 24 + 0), 0xFFFFu);
  EXPECT_EQ(Texel(cache, 0, 1, 24 + 9), 0xFFFFu);
  EXPECT_EQ(Texel(cache, 0, 2, 24 + 9), 0x7FFFu);
  EXPECT_EQ(Texel(cache, 0, 4, 24 + 11), 0xFFFFu);
  EXPECT_EQ(Texel(cache, 0, 5, 24 + 11) & 0x8000u, 0u);

  // Without 3D drawing the font keeps its glyphs in memory.
  SetUse3DDrawing(0);
  const int memory = CreateFontToHandle(face.c_str(), 20, 4, 0, 1, -1, 0, -1, -1);
  ASSERT_NE(memory, -1);
  EXPECT_EQ(GetFontRecord(memory)->TextureCache, 0);
}

// An RGB PNG whose pixel (x, y) is FileColour(x, y).
uint32_t FileColour(int x, int y) {
  return static_cast<uint32_t>((x & 0xFF) << 16 | ((x >> 8) * 64 + (y & 0x3F)) << 8 | ((y * 3) & 0xFF));
}

std::vector<uint8_t> FilePng(int width, int height) {
  writers::PngFile png;
  png.width = static_cast<uint32_t>(width);
  png.height = static_cast<uint32_t>(height);
  png.color_type = 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = FileColour(x, y);
      for (int shift : {16, 8, 0}) png.rows.push_back(static_cast<uint8_t>(c >> shift));
    }
  }
  return writers::BuildPngFile(png);
}

TEST_F(TextureGraphsTest, AFileGraphFillsEveryPieceAndIsReloadedAfterALostDisplay) {
  StartHardware();
  SetInitializedFlag(1);
  const std::vector<uint8_t> bytes = FilePng(640, 480);
  {
    std::ofstream out(scratch_.Path() / "screen.png", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  ASSERT_EQ(StreamChDir(platform::NativeToEnginePath(scratch_.Path().string()).c_str()), 0);
  const int graph = ReadGraphFromFile("screen.png", 1, 0, 0);
  ASSERT_NE(graph, -1);
  const GraphRecord& record = *GetGraphRecord(graph);
  ASSERT_EQ(record.TextureFlag, 1);
  ASSERT_EQ(record.PieceCount, 2) << "columns 512 and 128, one row of 512";
  const int cut = CutGraph(500, 100, 40, 20, graph);
  ASSERT_NE(cut, -1);
  ASSERT_EQ(GetGraphRecord(cut)->PieceCount, 2);
  EXPECT_EQ(Piece(cut, 0).SurfaceData, Piece(graph, 0).SurfaceData) << "the cut shares the textures";
  EXPECT_EQ(Piece(cut, 1).SurfaceData, Piece(graph, 1).SurfaceData);
  const ColorFormat* f = GetTextureColorFormat(Store(graph).FormatIndex);
  ASSERT_EQ(f->BitDepth, 32);
  const uint32_t rgb = f->RedMask | f->GreenMask | f->BlueMask;
  ASSERT_EQ(rgb, 0xFFFFFFu);

  // Every texel of both pieces, against the file's pixel at the piece's place.
  const auto mismatches = [&] {
    int bad = 0;
    for (int i = 0; i < record.PieceCount; ++i) {
      const Surface3D& p = Piece(graph, i);
      for (int y = 0; y < p.Height; y += 7) {
        for (int x = 0; x < p.Width; ++x) {
          bad += (Texel(graph, i, p.TexX + x, p.TexY + y) & rgb) != FileColour(p.GraphX + x, p.GraphY + y);
        }
      }
    }
    return bad;
  };
  EXPECT_EQ(mismatches(), 0);

  // A lost display: the textures go with the device, come back empty with
  // it, and the default reload fills them from the file again.
  RegisterGraphReloader(nullptr);
  pd::test::MarkAllSurfacesLost();
  WindowMessage message;
  message.message = kWmDisplayChange;
  message.wparam = 32;
  message.lparam = MakeLParam(1024, 768);
  MainWindowProc(message);
  ASSERT_NE(GetGraphRecord(graph), nullptr);
  ASSERT_NE(Store(graph).Surface, nullptr);
  EXPECT_EQ(Store(graph).Surface->IsLost(), pd::Result::kOk);
  EXPECT_EQ(record.RestorePending, 0);
  EXPECT_EQ(mismatches(), 0);
  EXPECT_EQ(Texel(cut, 1, Piece(cut, 1).TexX + 3, Piece(cut, 1).TexY + 2) & rgb, FileColour(515, 102));
}

TEST_F(TextureGraphsTest, MovieFramesAreWrittenIntoTextureGraphics) {
  StartHardware();
  platform::movie::ClipOptions o;
  o.sound = false;
  o.frames = 10;
  const std::filesystem::path native = scratch_.Path() / "tex.mkv";
  ASSERT_TRUE(platform::movie::WriteClipFile(native.string(), o));
  const int graph = OpenMovieGraph(platform::NativeToEnginePath(native.string()).c_str(), 1, 0);
  ASSERT_NE(graph, -1);
  ASSERT_EQ(GetGraphRecord(graph)->TextureFlag, 1);
  const ColorFormat* f = GetTextureColorFormat(Store(graph).FormatIndex);
  ASSERT_EQ(f->BitDepth, 32);
  const uint32_t rgb = f->RedMask | f->GreenMask | f->BlueMask;
  ASSERT_EQ(rgb, 0xFFFFFFu);

  ASSERT_EQ(PlayGraphMovie(graph), 0);
  clock_.Advance(80);  // frame 2
  ASSERT_EQ(UpdateMovieFrame(graph, 1), 0);
  const auto pixel = [&](int x, int y) { return Texel(graph, 0, x, y) & rgb; };
  EXPECT_EQ(platform::movie::ReadClipFrameIndex(o, pixel), 2);
  int bad = 0;
  for (int y = 0; y < o.height; ++y) {
    for (int x = 0; x < o.width; ++x) bad += pixel(x, y) != platform::movie::ClipPixel(o, 2, x, y);
  }
  EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace d3d_engine_test
