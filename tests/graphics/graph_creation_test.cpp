// Graphics from image files and memory, cuts that share their parent's
// pixels, and the restore after a lost display: the rebuild's order on the
// stand-in, the restore callback, and the default reload from files (one
// decoding for neighbours from one file, files that changed skipped).
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine/api/graph_file_entry_points.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/window/window_procedure.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_restore.h"
#include "engine/graphics/image/image_reader.h"
#include "engine/graphics/back_end_calls.h"
#include "engine/graphics/surface_3d.h"
#include "tests/graphics/screen_fixture.h"
#include "tools/writers/coded_image_writer.h"

namespace graphics_test {
namespace {

namespace fs = std::filesystem;

// An RGB PNG of width x height whose pixel (x, y) is Colour(x, y).
uint32_t Colour(int x, int y) {
  return static_cast<uint32_t>(((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 | ((x + y) & 0xFF));
}
std::vector<uint8_t> RgbPng(int width, int height) {
  writers::PngFile png;
  png.width = static_cast<uint32_t>(width);
  png.height = static_cast<uint32_t>(height);
  png.color_type = 2;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = Colour(x, y);
      png.rows.push_back(static_cast<uint8_t>(c >> 16));
      png.rows.push_back(static_cast<uint8_t>(c >> 8));
      png.rows.push_back(static_cast<uint8_t>(c));
    }
  }
  return writers::BuildPngFile(png);
}
// A grey PNG: 0 in the left half, 255 in the right.
std::vector<uint8_t> HalfGreyPng(int width, int height) {
  writers::PngFile png;
  png.width = static_cast<uint32_t>(width);
  png.height = static_cast<uint32_t>(height);
  png.color_type = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) png.rows.push_back(x < width / 2 ? 0 : 255);
  return writers::BuildPngFile(png);
}

// What a 16-bit screen keeps of a colour.
constexpr uint32_t kHighBits = 0xF8FCF8u;
uint32_t High(uint32_t rgb) { return rgb & kHighBits; }

// The one store behind a 2D graphic's first piece.
SurfaceData* StoreOf(int graph) {
  const GraphRecord* record = GetGraphRecord(graph);
  if (record == nullptr) return nullptr;
  const Surface2D* piece = GetSurface2D(record->Pieces[0]);
  return piece == nullptr ? nullptr : GetSurfaceData(piece->SurfaceDataHandle);
}

// Reads through a counting image reader that refuses everything, so the
// number of decodings can be seen.
int g_decodings = 0;
int CountingReader(const StreamOps*, StreamHandle, GraphImage*) {
  ++g_decodings;
  return -1;
}

int g_handler_calls = 0;
void CountingHandler() { ++g_handler_calls; }

class GraphCreationTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    folder_ = platform::NativeToEnginePath(scratch_.Path().string());
    StreamChDir(folder_.c_str());
    ClearBackEndCalls();
    g_decodings = 0;
    g_handler_calls = 0;
  }
  void TearDown() override {
    ClearImageReaders();
    RegisterGraphReloader(nullptr);
    ScreenTest::TearDown();
  }
  void Write(const std::string& leaf, const std::vector<uint8_t>& bytes) {
    fs::create_directories((scratch_.Path() / leaf).parent_path());
    std::ofstream out(scratch_.Path() / leaf, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // The back screen's pixel as 0x00RRGGBB after drawing graph at (0, 0).
  static uint32_t DrawnPixel(int graph, int x, int y, uint32_t background = 0x0000FF,
                             int transparent = 1) {
    // The DirectDraw path: the recording 3D device draws no pixels.
    const int32_t use3D = CurrentDrawState.Use3D;
    CurrentDrawState.Use3D = 0;
    struct PutBack {
      int32_t value;
      ~PutBack() { CurrentDrawState.Use3D = value; }
    } putBack{use3D};
    SetDrawTarget(-2);
    PaintBox(0, 0, 640, 480,
             PackScreenColor(static_cast<int>(background >> 16), static_cast<int>((background >> 8) & 0xFF),
                             static_cast<int>(background & 0xFF)),
             1);
    BlitGraph(0, 0, graph, transparent);
    return BackPixel(x, y) & kHighBits;
  }
  static uint32_t BackPixel(int x, int y) {
    uint32_t v = 0;
    int r = 0, g = 0, b = 0;
    const MainSurfaces& m = GetMainSurfaces();
    if (m.ScreensAreMemImgs != 0) {
      const MEMIMG& back = m.BackMemImg;
      std::memcpy(&v, back.Pixels + y * back.Pitch + x * back.Format->PixelByte, back.Format->PixelByte);
    } else {
      pd::LockedRect lock;
      const pd::Rect rect{x, y, x + 1, y + 1};
      if (m.BackSurface->Lock(&rect, pd::kLockReadOnly, &lock) != pd::Result::kOk) return 0xDEADBEEF;
      std::memcpy(&v, lock.bits, lock.format.bit_count / 8);
      m.BackSurface->Unlock();
    }
    UnpackScreenColor(v, &r, &g, &b);
    return static_cast<uint32_t>(r << 16 | g << 8 | b);
  }
  std::string folder_;
};

TEST_F(GraphCreationTest, FilesBecomeGraphsWithTheirAlphaPaletteAndMirror) {
  StartHardware(false, 32);
  Write("pic.png", RgbPng(8, 4));
  Write("pic_a.png", HalfGreyPng(8, 4));
  Write("plain.png", RgbPng(8, 4));

  // An "_a" sibling gives an alpha channel; a 2D graph with alpha is a
  // memory image even on the display surfaces.
  const int alpha = ReadGraphFromFile("pic.png", 0, 0, 0);
  ASSERT_NE(alpha, -1);
  EXPECT_EQ(GetGraphRecord(alpha)->AlphaChFlag, 1);
  EXPECT_EQ(GetGraphRecord(alpha)->FileName, "pic.png");
  EXPECT_EQ(StoreOf(alpha)->MemImgFlag, 1);
  EXPECT_EQ(DrawnPixel(alpha, 1, 1), High(0x0000FFu)) << "alpha 0 keeps the background";
  EXPECT_EQ(DrawnPixel(alpha, 6, 1), High(Colour(6, 1))) << "alpha 255 covers it";
  const int plain = ReadGraphFromFile("plain.png", 0, 0, 0);
  ASSERT_NE(plain, -1);
  EXPECT_EQ(GetGraphRecord(plain)->AlphaChFlag, 0);
  EXPECT_EQ(StoreOf(plain)->MemImgFlag, 0) << "a plain graph lies in a display surface";
  EXPECT_EQ(DrawnPixel(plain, 1, 1), High(Colour(1, 1)));

  // Mirrored from memory; the file name stays empty.
  const std::vector<uint8_t> bytes = RgbPng(8, 4);
  const int mirrored = ImportGraphFromMemory(bytes.data(), static_cast<int32_t>(bytes.size()), nullptr, 0, 0, 1);
  ASSERT_NE(mirrored, -1);
  EXPECT_TRUE(GetGraphRecord(mirrored)->FileName.empty());
  EXPECT_EQ(DrawnPixel(mirrored, 0, 2), High(Colour(7, 2)));
  EXPECT_EQ(DrawnPixel(mirrored, 7, 2), High(Colour(0, 2)));

  // An alpha block that does not decode only drops the alpha.
  const uint8_t junk[] = {1, 2, 3, 4, 5, 6, 7, 8};
  const int noAlpha = ImportGraphFromMemory(bytes.data(), static_cast<int32_t>(bytes.size()), junk,
                                            sizeof junk, 0, 0);
  ASSERT_NE(noAlpha, -1);
  EXPECT_EQ(GetGraphRecord(noAlpha)->AlphaChFlag, 0);
  EXPECT_EQ(ImportGraphFromMemory(junk, sizeof junk, nullptr, 0, 0, 0), -1);

  // The blend-graphic format with Direct3D running: a 32-bit texture whose
  // alpha holds the red it was given.
  const int blend = ImportGraphFileWithAlpha("plain.png");
  ASSERT_NE(blend, -1);
  const GraphRecord* blendRecord = GetGraphRecord(blend);
  EXPECT_EQ(blendRecord->BlendGraphFormat, 1);
  ASSERT_EQ(blendRecord->TextureFlag, 1);
  const int blendStore = GetSurface3DData(blendRecord->Pieces[0])->SurfaceData;
  int pitch = 0;
  uint8_t* bits = nullptr;
  const ColorFormat* format = nullptr;
  ASSERT_EQ(LockSurfaceData(blendStore, &pitch, &bits, 0, nullptr, &format), 0);
  EXPECT_EQ(format->AlphaMask, 0xFF000000u);
  uint32_t texel = 0;
  std::memcpy(&texel, bits + pitch + 6 * 4, 4);
  UnlockSurfaceData(blendStore);
  EXPECT_EQ(texel >> 24, Colour(6, 1) >> 16);
  EXPECT_EQ(CurrentDrawState.CreateBlendGraph, 0) << "the setting is put back";

  // Without Direct3D it is one 8-bit channel in memory.
  TerminateGraphics();
  StartSoftware();
  const int memoryBlend = ImportGraphFileWithAlpha("plain.png");
  ASSERT_NE(memoryBlend, -1);
  EXPECT_EQ(GetGraphRecord(memoryBlend)->BlendGraphFlag, 1);
  EXPECT_EQ(StoreOf(memoryBlend)->Image.Kind, 2);
}

TEST_F(GraphCreationTest, APaletteImageKeepsItsIndicesAndKey) {
  StartSoftware();
  SetColorKeyRgb(254, 0, 254);
  writers::PngFile png;
  png.width = 3;
  png.height = 1;
  png.color_type = 3;
  png.palette = {0x102030, 0xFE00FE, 0x0AC81E};
  png.rows = {2, 1, 0};
  const std::vector<uint8_t> bytes = writers::BuildPngFile(png);
  const int graph = ImportGraphFromMemory(bytes.data(), static_cast<int32_t>(bytes.size()), nullptr, 0, 0, 0);
  ASSERT_NE(graph, -1);
  EXPECT_EQ(GetGraphRecord(graph)->PaletteFlag, 1);
  const MEMIMG& image = StoreOf(graph)->Image;
  EXPECT_EQ(image.UsePalette, 1);
  EXPECT_EQ(image.Pixels[0], 2);
  EXPECT_EQ(image.Pixels[1], 1);
  EXPECT_EQ(image.Pixels[2], 0);
  EXPECT_EQ(image.TransColor, 1u) << "the key colour's index";
  EXPECT_EQ(DrawnPixel(graph, 0, 0), High(0x0AC81Eu));
  EXPECT_EQ(DrawnPixel(graph, 1, 0), High(0x0000FFu)) << "the key is transparent";
  EXPECT_EQ(DrawnPixel(graph, 2, 0), High(0x102030u));
}

TEST_F(GraphCreationTest, FilesThatAreMissingOrUnreadableAreLogged) {
  StartSoftware();
  EXPECT_EQ(ReadGraphFromFile("missing.png", 0, 0, 0), -1);
  EXPECT_NE(ReadLog().find("グラフィックファイル missing.png がありません"), std::string::npos);
  Write("junk.png", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  EXPECT_EQ(ReadGraphFromFile("junk.png", 0, 0, 0), -1);
  EXPECT_NE(ReadLog().find("右記のグラフィックファイルのロードに失敗しました：junk.png \r\n"),
            std::string::npos);
  EXPECT_EQ(GetGraphCount(), 0);
}

TEST_F(GraphCreationTest, CutsShareTheirParentsPixelsAndRefuseOutsideIt) {
  StartSoftware();
  const int parent = NewGraph(100, 100, 1);
  ASSERT_NE(parent, -1);
  GetGraphRecord(parent)->SourceX = 3;
  GetGraphRecord(parent)->SourceY = 4;
  GetGraphRecord(parent)->FileName = "sheet.png";
  const int cut = CutGraph(90, 0, 50, 10, parent);
  ASSERT_NE(cut, -1);
  int width = 0, height = 0;
  QueryGraphSize(cut, &width, &height);
  EXPECT_EQ(width, 10);
  EXPECT_EQ(height, 10);
  EXPECT_EQ(GetGraphRecord(cut)->SourceX, 93);
  EXPECT_EQ(GetGraphRecord(cut)->SourceY, 4);
  EXPECT_EQ(GetGraphRecord(cut)->FileName, "sheet.png");
  EXPECT_EQ(StoreOf(cut), StoreOf(parent)) << "one store";
  FillGraph(parent, 200, 100, 50, 255);
  EXPECT_EQ(DrawnPixel(cut, 5, 5), High(0xC86432u));

  const int cutOfCut = CutGraph(2, 3, 4, 4, cut);
  ASSERT_NE(cutOfCut, -1);
  EXPECT_EQ(GetGraphRecord(cutOfCut)->SourceX, 95);
  EXPECT_EQ(GetGraphRecord(cutOfCut)->SourceY, 7);

  struct Refused {
    int x, y, width, height;
  };
  for (const Refused& r : {Refused{100, 0, 10, 10}, Refused{-1, 0, 10, 10}, Refused{0, 101, 10, 10},
                           Refused{0, 100, 10, 10}, Refused{0, 0, 0, 10}, Refused{0, 0, 10, -5}}) {
    SCOPED_TRACE(std::to_string(r.x) + ", " + std::to_string(r.y) + ", " + std::to_string(r.width) +
                 ", " + std::to_string(r.height));
    const int count = GetGraphCount();
    EXPECT_EQ(CutGraph(r.x, r.y, r.width, r.height, parent), -1);
    EXPECT_EQ(GetGraphCount(), count);
  }
  EXPECT_EQ(CutGraph(0, 0, 10, 10, parent + 1), -1) << "a bad source";
}

TEST_F(GraphCreationTest, TheLostDisplayIsRebuiltInOrderAndTheHandlerCalledOnce) {
  const std::vector<std::string> rebuild = {
      "ReleaseDirect3DObject", "DeleteMaskBuffers",       "ReleaseMainSurfaces",
      "TerminateInput",        "ReleaseSurface2DStorage", "ReleaseClipper",
      "ReleaseDirectDrawObject", "RecreateDirectDrawObject", "CreateMainSurfaces",
      "RestorePalette8Bit",    "SelectDrawTarget",        "ReacquireDirect3D",
      "EraseDrawTarget",       "FlipBackScreen",          "NotifyGraphicsLost",
      "ReopenAllMovieStreams", "RecreateMaskScreen"};
  for (const bool fullScreen : {true, false}) {
    SCOPED_TRACE(fullScreen ? "full-screen reactivation" : "display change in a window");
    StartHardware(fullScreen, 16);
    CurrentDrawState.Use3D = 0;  // the DirectDraw path: the recording 3D device draws no pixels
    SetInitializedFlag(1);
    ASSERT_EQ(SetDrawTarget(-2), 0);
    ASSERT_EQ(RegisterRestoreHandler(&CountingHandler), 0);
    const int graph = NewGraph(16, 16, 1);
    ASSERT_NE(graph, -1);
    ClearBackEndCalls();
    g_handler_calls = 0;
    pd::test::MarkAllSurfacesLost();
    WindowMessage message;
    std::vector<std::string> expected = rebuild;
    if (fullScreen) {
      message.message = kWmActivate;
      message.wparam = 1;
    } else {
      message.message = kWmDisplayChange;
      message.wparam = 32;
      message.lparam = MakeLParam(1024, 768);
      expected.insert(expected.begin(), "ReleaseAllMovieStreams");
    }
    MainWindowProc(message);
    EXPECT_EQ(BackEndCalls(), expected);
    EXPECT_EQ(g_handler_calls, 1);
    EXPECT_EQ(GetDrawTarget(), -2);
    ASSERT_NE(GetMainSurfaces().BackSurface, nullptr);
    EXPECT_EQ(GetMainSurfaces().BackSurface->IsLost(), pd::Result::kOk) << "new surfaces";
    EXPECT_EQ(GetGraphRecord(graph)->RestorePending, 1) << "the game's handler reloads its own";
    // The screens and the graph's store work again.
    EXPECT_EQ(PaintBox(0, 0, 4, 4, PackScreenColor(255, 255, 255), 1), 0);
    EXPECT_EQ(BackPixel(1, 1) & kHighBits, kHighBits);
    EXPECT_EQ(FillGraph(graph, 255, 0, 0, 255), 0);
    EXPECT_EQ(DrawnPixel(graph, 3, 3, 0x0000FF, 0), High(0xFF0000u));
    TerminateGraphics();
    GetScreenColorState() = ScreenColorState{};
    GetDisplayState() = DisplayState{};
    ResetDrawTargetState();
    GetWindowData().window_mode = 1;
  }
}

TEST_F(GraphCreationTest, TheDefaultHandlerReloadsFileGraphsOnceAFile) {
  StartHardware(false, 16);
  SetInitializedFlag(1);
  Write("sheet.png", RgbPng(64, 32));
  const int whole = ReadGraphFromFile("sheet.png", 0, 0, 0);
  const int again = ReadGraphFromFile("sheet.png", 0, 0, 0);
  const int cut = CutGraph(40, 8, 16, 16, whole);
  const std::vector<uint8_t> bytes = RgbPng(8, 8);
  const int memory = ImportGraphFromMemory(bytes.data(), static_cast<int32_t>(bytes.size()), nullptr, 0, 0, 0);
  ASSERT_NE(whole, -1);
  ASSERT_NE(again, -1);
  ASSERT_NE(cut, -1);
  ASSERT_NE(memory, -1);
  // Reload from another folder: each graph's own folder is used and the
  // current one comes back.
  fs::create_directories(scratch_.Path() / "elsewhere");
  ASSERT_EQ(StreamChDir((folder_ + "\\elsewhere").c_str()), 0);
  ASSERT_EQ(AddImageReader(&CountingReader), 0);

  RegisterGraphReloader(nullptr);
  ForEachGraph([](int, GraphRecord& record) { record.RestorePending = 1; });
  // Wipe the pixels as a lost display does.
  ForEachSurfaceData([](int, SurfaceData& data) {
    if (data.Surface != nullptr) {
      data.Surface->Restore();
      pd::BltFx fx;
      fx.fill_color = 0;
      data.Surface->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill | pd::kBltWait, &fx);
    }
  });
  NotifyGraphicsLost();
  EXPECT_EQ(g_decodings, 1) << "one decoding for the three graphs of sheet.png";
  ForEachGraph([](int, GraphRecord& record) { EXPECT_EQ(record.RestorePending, 0); });
  EXPECT_EQ(DrawnPixel(whole, 5, 6), High(Colour(5, 6)));
  EXPECT_EQ(DrawnPixel(again, 63, 31), High(Colour(63, 31)));
  EXPECT_EQ(DrawnPixel(cut, 3, 2), High(Colour(43, 10)));
  EXPECT_EQ(DrawnPixel(memory, 3, 2, 0x0000FF, 0), 0u) << "graphs from memory are the game's";
  char current[kStreamPathBufferSize] = {};
  StreamGetDir(current);
  EXPECT_EQ(std::string(current), folder_ + "\\elsewhere");
}

TEST_F(GraphCreationTest, FilesThatChangedAreSkipped) {
  StartSoftware();
  Write("big.png", RgbPng(64, 64));
  Write("pair.png", RgbPng(8, 8));
  Write("pair_a.png", HalfGreyPng(8, 8));
  const int whole = ReadGraphFromFile("big.png", 0, 0, 0);
  const int corner = CutGraph(40, 40, 24, 24, whole);
  const int pair = ReadGraphFromFile("pair.png", 0, 0, 0);
  ASSERT_NE(corner, -1);
  ASSERT_NE(pair, -1);
  EXPECT_EQ(GetGraphRecord(pair)->AlphaChFlag, 1);
  // The files are replaced: a smaller image, a larger alpha image.
  Write("big.png", RgbPng(16, 16));
  Write("pair_a.png", HalfGreyPng(16, 16));
  FillGraph(whole, 1, 2, 3, 255);
  FillGraph(pair, 1, 2, 3, 255);
  ForEachGraph([](int, GraphRecord& record) { record.RestorePending = 1; });
  EXPECT_EQ(RestoreGraphsFromFiles(), 0);
  ForEachGraph([](int, GraphRecord& record) { EXPECT_EQ(record.RestorePending, 0); });
  // Nothing was transferred from the changed files.
  const MEMIMG& image = StoreOf(whole)->Image;
  uint32_t kept = 0;
  std::memcpy(&kept, image.Pixels + 5 * image.Pitch + 5 * image.Format->PixelByte,
              image.Format->PixelByte);
  EXPECT_EQ(kept, PackColor(image.Format, 1, 2, 3, 255));
  const MEMIMG& pairImage = StoreOf(pair)->Image;
  std::memcpy(&kept, pairImage.Pixels + 6 * pairImage.Pitch + 6 * pairImage.Format->PixelByte,
              pairImage.Format->PixelByte);
  EXPECT_EQ(kept, PackColor(pairImage.Format, 1, 2, 3, 255));
}

}  // namespace
}  // namespace graphics_test
