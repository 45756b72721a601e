// Images into texture pieces, read back through the texture's lock: every
// format entry from an opaque image with its key turned into alpha, images
// with their own alpha, a separate alpha image, forced (red) alpha and 8-bit
// palette images; the temporary-texture road when a lock fails; whole
// graphics and rectangles spread over several pieces; movie frames with
// their alpha in the lower half; lost textures restored and refilled.
#include <cstring>
#include <vector>

#include "engine/graphics/image_transfer_2d.h"
#include "engine/graphics/texture_upload.h"
#include "tests/graphics/texture_fixture.h"

namespace graphics_test {
namespace {

using TextureUploadTest = TextureTest;

struct Rgba {
  int r, g, b, a;
};

// Channel values whose scaled and truncated reductions agree at 1, 4, 5 and
// 6 bits, so the reference below does not depend on the rounding rule.
constexpr int kValues[] = {0, 132, 255};

uint32_t Channel(int v, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1u) == 0) ++shift;
  const uint32_t max = mask >> shift;
  return ((static_cast<uint32_t>(v) * max + 127u) / 255u) << shift;
}

// The texel a colour becomes in a format, computed from the masks alone.
uint32_t Expected(const ColorFormat& f, Rgba c) {
  return Channel(c.r, f.RedMask) | Channel(c.g, f.GreenMask) | Channel(c.b, f.BlueMask) |
         Channel(c.a, f.AlphaMask);
}

class Image {
 public:
  Image(int w, int h, bool alpha) {
    CreateArgb32GraphImage(w, h, &image_);
    if (!alpha) CreateColorFormat(&image_.Format, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  }
  ~Image() { ReleaseGraphImage(&image_); }
  void Set(int x, int y, Rgba c) {
    const uint32_t v = static_cast<uint32_t>(c.a) << 24 | static_cast<uint32_t>(c.r) << 16 |
                       static_cast<uint32_t>(c.g) << 8 | static_cast<uint32_t>(c.b);
    std::memcpy(image_.Pixels + y * image_.Pitch + x * 4, &v, 4);
  }
  GraphImage* get() { return &image_; }

 private:
  GraphImage image_{};
};

Rgba PatternAt(int x, int y) {
  const int n = x + 3 * y;
  return Rgba{kValues[n % 3], kValues[(n / 3) % 3], kValues[(n / 2 + 1) % 3], kValues[(n + 1) % 3]};
}

const Rgba kKey{254, 0, 254, 255};

void FillPattern(Image& image, int w, int h) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.Set(x, y, PatternAt(x, y));
  image.Set(1, 1, kKey);
}

uint32_t Texel(int piece, int x, int y, const ColorFormat** format = nullptr) {
  const Surface3D* s = GetSurface3DData(piece);
  if (s == nullptr) return 0xDEADBEEF;
  int pitch = 0;
  uint8_t* bits = nullptr;
  const ColorFormat* f = nullptr;
  if (LockSurfaceData(s->SurfaceData, &pitch, &bits, 0, nullptr, &f) != 0) return 0xDEADBEEF;
  uint32_t v = 0;
  std::memcpy(&v, bits + y * pitch + x * f->PixelByte, f->PixelByte);
  UnlockSurfaceData(s->SurfaceData);
  if (format != nullptr) *format = f;
  return v;
}

GraphCreationFlags FlagsForEntry(int entry) {
  struct Row {
    uint8_t alpha, drawValid, test, depth;
  };
  static const Row rows[kTextureFormatCount] = {{0, 0, 0, 16}, {0, 0, 0, 32}, {1, 0, 0, 16},
                                                {1, 0, 0, 32}, {0, 0, 1, 16}, {0, 0, 1, 32},
                                                {0, 1, 0, 16}, {0, 1, 0, 32}, {1, 1, 0, 32}};
  const Row& r = rows[entry];
  return GraphCreationFlags{1, r.alpha, r.drawValid, 0, r.test, r.depth, 0, 0};
}

TEST_F(TextureUploadTest, EveryFormatEntryFromOpaqueAndAlphaImages) {
  CurrentDrawState.ColorKey = 0xFE00FE;
  Image opaque(6, 3, false), withAlpha(6, 3, true);
  FillPattern(opaque, 6, 3);
  FillPattern(withAlpha, 6, 3);
  for (int entry = 0; entry < kTextureFormatCount; ++entry) {
    for (int sourceAlpha = 0; sourceAlpha < 2; ++sourceAlpha) {
      SCOPED_TRACE(testing::Message() << "entry " << entry << " source alpha " << sourceAlpha);
      const int piece = AddSurface3DData(8, 4, 0, 0, 6, 3, 0, 0, -1, -1, 0, 0, FlagsForEntry(entry));
      ASSERT_NE(piece, -1);
      const SurfaceData* data = GetSurfaceData(GetSurface3DData(piece)->SurfaceData);
      ASSERT_EQ(data->FormatIndex, entry);
      // Made filled with 0, keyed with every alpha and spare bit set.
      EXPECT_EQ(Texel(piece, 7, 3), 0u);
      const ColorFormat& f = *GetTextureColorFormat(entry);
      pd::ColorKey key;
      ASSERT_EQ(data->Surface->GetColorKey(pd::kColorKeySourceBlt, &key), pd::Result::kOk);
      EXPECT_EQ(key.low, Expected(f, kKey) | f.AlphaMask | f.SpareMask);

      Image& source = sourceAlpha ? withAlpha : opaque;
      ASSERT_EQ(UploadTexture3D(ImageRect{0, 0, 6, 3}, 1, 1, piece, source.get(), nullptr, 0, 1), 0);
      const uint32_t used = f.RedMask | f.GreenMask | f.BlueMask | f.AlphaMask;
      for (int y = 0; y < 2; ++y) {  // the texture ends at row 3: the rectangle is cut
        for (int x = 0; x < 6; ++x) {
          Rgba c = (x == 1 && y == 1) ? kKey : PatternAt(x, y);
          // Without an alpha of its own the key decides, compared in the
          // texture's format: colours that reduce to the key's are
          // transparent too.
          if (!sourceAlpha) {
            const Rgba rgb{c.r, c.g, c.b, 0};
            c.a = Expected(f, rgb) == Expected(f, Rgba{kKey.r, kKey.g, kKey.b, 0}) ? 0 : 255;
          }
          EXPECT_EQ(Texel(piece, x + 1, y + 1) & used, Expected(f, c)) << x << "," << y;
        }
      }
      EXPECT_EQ(Texel(piece, 0, 0), 0u);  // outside the rectangle: untouched
      EXPECT_EQ(DeleteSurface3DData(piece), 0);
    }
  }
}

TEST_F(TextureUploadTest, AlphaImageForcedAlphaAndPaletteSources) {
  const ColorFormat& f8888 = *GetTextureColorFormat(3);
  Image colour(3, 1, false), alphaImage(3, 1, false);
  for (int x = 0; x < 3; ++x) {
    colour.Set(x, 0, Rgba{kValues[x], 255, 0, 0});
    alphaImage.Set(x, 0, Rgba{kValues[2 - x], 0, 0, 0});  // alpha in the red channel
  }
  const int piece = AddSurface3DData(4, 4, 0, 0, 3, 1, 0, 0, -1, -1, 0, 0, FlagsForEntry(3));
  ASSERT_NE(piece, -1);
  ASSERT_EQ(UploadTexture3D(ImageRect{0, 0, 3, 1}, 0, 0, piece, colour.get(), alphaImage.get(), 0, 1), 0);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(Texel(piece, x, 0), Expected(f8888, Rgba{kValues[x], 255, 0, kValues[2 - x]})) << x;
  }
  // Forced alpha: the alpha follows the red channel.
  ASSERT_EQ(UploadTexture3D(ImageRect{0, 0, 3, 1}, 0, 1, piece, colour.get(), nullptr, 1, 1), 0);
  for (int x = 0; x < 3; ++x) {
    EXPECT_EQ(Texel(piece, x, 1), Expected(f8888, Rgba{kValues[x], 255, 0, kValues[x]})) << x;
  }

  // An 8-bit palette image into 5-6-5 through its palette.
  GraphImage palette{};
  SetPalette8ColorFormat(&palette.Format);
  uint8_t pixels[4] = {0, 1, 2, 1};
  palette.Width = 4;
  palette.Height = 1;
  palette.Pitch = 4;
  palette.Pixels = pixels;
  const Rgba entries[3] = {{255, 0, 132, 0}, {0, 132, 255, 0}, {132, 255, 0, 0}};
  for (int i = 0; i < 3; ++i) {
    palette.Format.PaletteTable[i * 4 + 0] = static_cast<uint8_t>(entries[i].b);
    palette.Format.PaletteTable[i * 4 + 1] = static_cast<uint8_t>(entries[i].g);
    palette.Format.PaletteTable[i * 4 + 2] = static_cast<uint8_t>(entries[i].r);
  }
  const int p565 = AddSurface3DData(4, 4, 0, 0, 4, 1, 0, 0, -1, -1, 0, 0, FlagsForEntry(0));
  ASSERT_EQ(UploadTexture3D(ImageRect{0, 0, 4, 1}, 0, 2, p565, &palette, nullptr, 0, 1), 0);
  const ColorFormat& f565 = *GetTextureColorFormat(0);
  for (int x = 0; x < 4; ++x) {
    Rgba c = entries[pixels[x]];
    c.a = 0;
    EXPECT_EQ(Texel(p565, x, 2), Expected(f565, c)) << x;
  }
}

TEST_F(TextureUploadTest, TemporaryTextureGivesTheSameTexels) {
  CurrentDrawState.ColorKey = 0xFE00FE;
  Image source(6, 3, false);
  FillPattern(source, 6, 3);
  for (int entry : {0, 3, 4, 7}) {
    SCOPED_TRACE(entry);
    const int direct = AddSurface3DData(8, 8, 0, 0, 8, 8, 0, 0, -1, -1, 0, 0, FlagsForEntry(entry));
    const int viaTemp = AddSurface3DData(8, 8, 0, 0, 8, 8, 0, 0, -1, -1, 0, 0, FlagsForEntry(entry));
    ASSERT_EQ(UploadTexture3D(ImageRect{1, 0, 6, 3}, 2, 3, direct, source.get(), nullptr, 0, 1), 0);
    pd::test::ResetCounts();
    pd::test::FailLocks(1);
    ASSERT_EQ(UploadTexture3D(ImageRect{1, 0, 6, 3}, 2, 3, viaTemp, source.get(), nullptr, 0, 1), 0);
    EXPECT_GE(pd::test::GetCounts().blt_fasts, 1u);  // the device's copy
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) EXPECT_EQ(Texel(viaTemp, x, y), Texel(direct, x, y)) << x << "," << y;
  }
}

// The child's log lies in its own scratch folder: only the exit is checked.
TEST_F(TextureUploadTest, FailedTemporaryTextureOrCopyEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Image source(4, 4, false);
  const int piece = AddSurface3DData(4, 4, 0, 0, 4, 4, 0, 0, -1, -1, 0, 0, FlagsForEntry(0));
  ASSERT_NE(piece, -1);
  EXPECT_EXIT(
      {
        pd::test::FailLocks(-1);
        UploadTexture3D(ImageRect{0, 0, 4, 4}, 0, 0, piece, source.get(), nullptr, 0, 1);
      },
      ::testing::ExitedWithCode(255), "");
  EXPECT_EXIT(
      {
        pd::test::FailLocks(1);
        GetTextureDevice().Load = [](const pd::SurfacePtr&, int, int, const pd::SurfacePtr&, const pd::Rect&) {
          return pd::Result::kGeneric;
        };
        UploadTexture3D(ImageRect{0, 0, 4, 4}, 0, 0, piece, source.get(), nullptr, 0, 1);
      },
      ::testing::ExitedWithCode(255), "");
}

TEST_F(TextureUploadTest, WholeImagesAndRectanglesOverSeveralPieces) {
  // 640 x 40 is two pieces: columns 512 and 128.
  Image source(700, 50, false);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 700; ++x) source.Set(x, y, Rgba{(x % 2) * 255, (y % 2) * 255, x >= 600 ? 255 : 0, 255});
  const int g = CreateBlankGraph(640, 40, 1, 0, 0);
  ASSERT_NE(g, -1);
  const GraphRecord* r = GetGraphRecord(g);
  ASSERT_EQ(r->PieceCount, 2);
  ASSERT_EQ(UploadImageToGraphTextures(50, 5, *r, source.get(), nullptr), 0);
  const ColorFormat& f = *GetTextureColorFormat(GetSurfaceData(GetSurface3DData(r->Pieces[1])->SurfaceData)->FormatIndex);
  const uint32_t rgb = f.RedMask | f.GreenMask | f.BlueMask;
  // Graph pixel (gx, gy) comes from image pixel (gx + 50, gy + 5).
  for (int gx : {0, 1, 511, 512, 513, 549, 550, 639}) {
    for (int gy : {0, 1, 39}) {
      const int piece = gx < 512 ? r->Pieces[0] : r->Pieces[1];
      const int ix = gx + 50, iy = gy + 5;
      const Rgba c{(ix % 2) * 255, (iy % 2) * 255, ix >= 600 ? 255 : 0, 255};
      EXPECT_EQ(Texel(piece, gx % 512, gy) & rgb, Expected(f, c) & rgb) << gx << "," << gy;
    }
  }
  // A 30 x 4 rectangle written at graph (500, 10) lands on both pieces.
  Image white(30, 4, false);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 30; ++x) white.Set(x, y, Rgba{255, 255, 255, 255});
  ASSERT_EQ(UploadImageRectToGraphTextures(ImageRect{0, 0, 30, 4}, 500, 10, *r, white.get(), nullptr), 0);
  EXPECT_EQ(Texel(r->Pieces[0], 499, 10) & rgb, Expected(f, Rgba{(549 % 2) * 255, (15 % 2) * 255, 0, 0}) & rgb);
  EXPECT_EQ(Texel(r->Pieces[0], 500, 10) & rgb, rgb);
  EXPECT_EQ(Texel(r->Pieces[0], 511, 13) & rgb, rgb);
  EXPECT_EQ(Texel(r->Pieces[1], 0, 10) & rgb, rgb);
  EXPECT_EQ(Texel(r->Pieces[1], 17, 13) & rgb, rgb);
  EXPECT_NE(Texel(r->Pieces[1], 18, 13) & rgb, rgb);
  EXPECT_NE(Texel(r->Pieces[1], 0, 14) & rgb, rgb);
  // A smaller image than the graphic: what it covers is written, nothing read past it.
  Image small(20, 10, false);
  EXPECT_EQ(UploadImageToGraphTextures(0, 0, *r, small.get(), nullptr), 0);
  // Bad arguments.
  EXPECT_EQ(UploadImageToGraphTextures(0, 0, *r, nullptr, nullptr), -1);
  EXPECT_EQ(UploadTexture3D(ImageRect{0, 0, 1, 1}, 0, 0, 0x30001234, small.get(), nullptr, 0, 1), -1);
  GetTextureDevice().Running = 0;
  EXPECT_EQ(UploadTexture3D(ImageRect{0, 0, 1, 1}, 0, 0, r->Pieces[0], small.get(), nullptr, 0, 1), -1);
  GetTextureDevice().Running = 1;
}

TEST_F(TextureUploadTest, MovieFrameWithAlphaInLowerHalf) {
  // A 4 x 8 frame: colour rows 0-3, alpha (in red) rows 4-7.
  Image frame(4, 8, false);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      frame.Set(x, y, Rgba{0, 255, 132, 0});
      frame.Set(x, y + 4, Rgba{kValues[(x + y) % 3], 0, 0, 0});
    }
  }
  GraphCreationFlags flags = FlagsForEntry(3);
  const int piece = AddSurface3DData(4, 4, 0, 0, 4, 4, 0, 0, -1, -1, 0, 0, flags);
  GraphRecord graph{};
  graph.Pieces[0] = piece;
  graph.PieceCount = 1;
  MovieFrame movie{0, &frame.get()->Format, 4, 8, frame.get()->Pitch, frame.get()->Pixels};
  ASSERT_EQ(UploadMovieFrame3D(movie, 1, graph), 0);
  const ColorFormat& f = *GetTextureColorFormat(3);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(Texel(piece, x, y), Expected(f, Rgba{0, 255, 132, kValues[(x + y) % 3]})) << x << "," << y;
}

TEST_F(TextureUploadTest, LostTextureRestoredThenRefilled) {
  Image source(32, 32, false);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) source.Set(x, y, Rgba{255, 132, 0, 255});
  const int g = CreateBlankGraph(32, 32, 1, 0, 0);
  ASSERT_NE(g, -1);
  const GraphRecord* r = GetGraphRecord(g);
  ASSERT_EQ(UploadImageToGraphTextures(0, 0, *r, source.get(), nullptr), 0);
  const uint32_t before = Texel(r->Pieces[0], 5, 5);
  SurfaceData* data = GetSurfaceData(GetSurface3DData(r->Pieces[0])->SurfaceData);
  pd::test::MarkSurfaceLost(*data->Surface);
  EXPECT_EQ(RestoreGraphSurfaces3D(*r), -1);
  EXPECT_EQ(RestoreGraphSurfaces3D(*r), 0);  // restored now
  EXPECT_NE(Texel(r->Pieces[0], 5, 5), before);  // its pixels are gone
  ASSERT_EQ(UploadImageToGraphTextures(0, 0, *r, source.get(), nullptr), 0);
  EXPECT_EQ(Texel(r->Pieces[0], 5, 5), before);
  // Every live piece through the window's restore.
  pd::test::MarkAllSurfacesLost();
  EXPECT_EQ(RestoreLostSurfaces3D(), 0);
  EXPECT_EQ(data->Surface->IsLost(), pd::Result::kOk);
  // FillGraph on a texture graphic.
  EXPECT_EQ(FillGraph(g, 0, 0, 0, 0), 0);
  EXPECT_EQ(Texel(r->Pieces[0], 5, 5), 0u);
}

}  // namespace
}  // namespace graphics_test
