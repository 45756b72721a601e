// Decoded images into 2D graphs: placement of a rectangle over the graph's
// pieces, the palette key search, refusals.
#include <cstring>
#include <vector>

#include "engine/graphics/dib_convert.h"
#include "engine/graphics/image_transfer_2d.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using ImageTransferTest = ScreenTest;

// An 8 x 4 store read back as 0x00RRGGBB.
std::vector<uint32_t> GraphPixels(int graph) {
  const MEMIMG& img =
      GetSurfaceData(GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle)->Image;
  std::vector<uint32_t> out;
  for (int y = 0; y < img.Height; ++y) {
    for (int x = 0; x < img.Width; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, img.Pixels + y * img.Pitch + x * img.Format->PixelByte, img.Format->PixelByte);
      int r = 0, g = 0, b = 0, a = 0;
      UnpackColor(img.Format, v, &r, &g, &b, &a);
      out.push_back(static_cast<uint32_t>(r << 16 | g << 8 | b));
    }
  }
  return out;
}

TEST_F(ImageTransferTest, RectanglesLandOnThePiecesTheyOverlap) {
  GetScreenColorState().ScreenBits = 32;
  StartSoftware();
  GraphImage image{};
  ASSERT_EQ(CreateArgb32GraphImage(6, 4, &image), 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) SetGraphImagePixel(&image, x, y, 40 * x, 60 * y, 200, 255);
  struct Case {
    int x, y;
    int firstColumn, columns;  // graph columns written, from the image's column 0
  };
  const Case cases[] = {
      {10, 0, 0, 0},  // right of the 8-wide graph: nothing
      {5, 0, 5, 3},   // the 3 left columns at x 5
      {-2, 0, 0, 4},  // the 4 right columns at x 0
      {0, 0, 0, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.x);
    const int graph = NewGraph(8, 4, 1);
    ASSERT_NE(graph, -1);
    FillGraph(graph, 1, 2, 3, 255);
    const std::vector<uint32_t> before = GraphPixels(graph);
    const ImageRect all{0, 0, 6, 4};
    EXPECT_EQ(TransImageRectToGraphSurface2D(all, c.x, c.y, *GetGraphRecord(graph), &image, nullptr), 0);
    const std::vector<uint32_t> after = GraphPixels(graph);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 8; ++x) {
        const bool written = x >= c.firstColumn && x < c.firstColumn + c.columns;
        const int u = x - c.x;
        const uint32_t want = written ? static_cast<uint32_t>((40 * u) << 16 | (60 * y) << 8 | 200)
                                      : before[y * 8 + x];
        EXPECT_EQ(after[y * 8 + x], want) << x << "," << y;
      }
    }
    FreeGraphHandle(graph, 0);
  }
  // Rectangles outside the image and stale handles are refused.
  const int graph = NewGraph(8, 4, 1);
  const int piece = GetGraphRecord(graph)->Pieces[0];
  EXPECT_EQ(TransGraphImageToSurface2D(ImageRect{0, 0, 7, 4}, 0, 0, piece, &image, nullptr, 0), -1);
  EXPECT_EQ(TransGraphImageToSurface2D(ImageRect{-1, 0, 3, 4}, 0, 0, piece, &image, nullptr, 0), -1);
  EXPECT_EQ(TransGraphImageToSurface2D(ImageRect{0, 0, 6, 4}, 0, 0, piece + 0x10000, &image, nullptr, 0), -1);
  // A destination far outside the store writes nothing and breaks nothing.
  EXPECT_EQ(TransGraphImageToSurface2D(ImageRect{0, 0, 6, 4}, 2000000000, -2000000000, piece, &image,
                                       nullptr, 0),
            0);
  ReleaseGraphImage(&image);
}

TEST_F(ImageTransferTest, PaletteKeyIsTheFirstMatchingEntry) {
  for (int kind : {kMemImgKind565, kMemImgKindXrgb32}) {
    SCOPED_TRACE(kind);
    MEMIMG img{};
    ASSERT_EQ(CreateMemImg(&img, 4, 4, -1, 0, kind, 1, 0, 1), 0);
    const int bytes = kind == kMemImgKindXrgb32 ? 4 : 2;
    for (int i = 0; i < 256; ++i) {
      const uint32_t v = 0x0A0B0C00u + static_cast<uint32_t>(i) + 0x1000;
      std::memcpy(img.DrawPalette + i * bytes, &v, bytes);
    }
    const uint32_t key = 0xFF123456u;
    std::memcpy(img.DrawPalette + 7 * bytes, &key, bytes);
    std::memcpy(img.DrawPalette + 9 * bytes, &key, bytes);
    EXPECT_EQ(FindPaletteKeyIndex(img, key), 7u) << "the first of two, high byte ignored";
    EXPECT_EQ(FindPaletteKeyIndex(img, 0x00ABCDEFu & (bytes == 2 ? 0xFFFFu : 0xFFFFFFu)), 0u);
    ReleaseMemImg(&img);
  }
}


TEST_F(ImageTransferTest, ImagesAsBitmaps) {
  GraphImage rgb{}, argb{}, odd{};
  ASSERT_EQ(CreateRgb24GraphImage(4, 2, &rgb), 0);  // pitch 12: already aligned
  ASSERT_EQ(CreateArgb32GraphImage(3, 2, &argb), 0);
  ASSERT_EQ(CreateRgb24GraphImage(3, 2, &odd), 0);  // pitch 12 for 9 bytes
  SetGraphImagePixel(&argb, 2, 1, 10, 20, 30, 255);
  SetGraphImagePixel(&odd, 2, 1, 10, 20, 30, 255);
  struct Case {
    const char* name;
    const GraphImage* image;
    int forceCopy, want;
  };
  const Case cases[] = {
      {"aligned RGB24, own rows", &rgb, 0, 0},
      {"aligned RGB24, forced copy", &rgb, 1, 1},
      {"ARGB32 converted", &argb, 0, 1},
      {"RGB24, pitch kept", &odd, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DibImage dib;
    EXPECT_EQ(GraphImageToDib(*c.image, &dib, c.forceCopy, 1), c.want);
    EXPECT_EQ(dib.info.bit_count, 24);
    EXPECT_EQ(dib.info.height, -c.image->Height) << "top-down";
    EXPECT_EQ(dib.bits == c.image->Pixels, c.want == 0);
    if (c.image != &rgb) {
      const uint8_t* px = dib.bits + 12 + 2 * 3;  // row 1, column 2
      EXPECT_EQ(px[0], 30);
      EXPECT_EQ(px[1], 20);
      EXPECT_EQ(px[2], 10);
    }
  }
  DibImage empty;
  EXPECT_EQ(GraphImageToDib(GraphImage{}, &empty, 0, 1), -1);
  // Mirrored rows: the last column comes first.
  DibImage dib;
  ASSERT_GE(GraphImageToDib(argb, &dib, 0, 1), 0);
  EXPECT_NE(CreateDibFromBits(dib.info, dib.bits, 1), nullptr);
  EXPECT_EQ(CreateDibFromBits(dib.info, nullptr, 0), nullptr);
  ReleaseGraphImage(&rgb);
  ReleaseGraphImage(&argb);
  ReleaseGraphImage(&odd);
}

TEST_F(ImageTransferTest, EightBitScreensTakeImagesThroughABitmap) {
  pd::test::SetDesktop(1024, 768, 8);
  SetNotUseDirect3D(1);  // no 3D device renders at 8 bits
  StartHardware(true, 8);
  ASSERT_EQ(GetScreenColorState().ScreenBits, 8);
  const int graph = NewGraph(8, 6, 1);
  ASSERT_NE(graph, -1);
  const int piece = GetGraphRecord(graph)->Pieces[0];
  const int data = GetSurface2D(piece)->SurfaceDataHandle;
  ASSERT_EQ(GetSurfaceData(data)->MemImgFlag, 0);
  GraphImage white{};
  ASSERT_EQ(CreateArgb32GraphImage(6, 4, &white), 0);
  FillGraphImage(&white, 255, 255, 255, 255);
  GraphImage black{};
  ASSERT_EQ(CreateArgb32GraphImage(8, 6, &black), 0);
  FillGraphImage(&black, 0, 0, 0, 255);
  ASSERT_EQ(TransGraphImageToSurface2D(ImageRect{0, 0, 8, 6}, 0, 0, piece, &black, nullptr, 0), 0);
  ASSERT_EQ(TransGraphImageToSurface2D(ImageRect{1, 1, 4, 3}, 2, 1, piece, &white, nullptr, 0), 0);
  int pitch = 0;
  uint8_t* bits = nullptr;
  ASSERT_GE(LockSurfaceData(data, &pitch, &bits, 0, nullptr, nullptr), 0);
  const uint8_t outside = bits[0];
  const uint8_t inside = bits[pitch + 2];
  EXPECT_NE(inside, outside);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool in = x >= 2 && x < 5 && y >= 1 && y < 3;
      EXPECT_EQ(bits[y * pitch + x], in ? inside : outside) << x << "," << y;
    }
  }
  UnlockSurfaceData(data);
  ReleaseGraphImage(&white);
  ReleaseGraphImage(&black);
}

// A palette image whose key is entry 7: drawn whole and drawn clipped, its
// key pixels are hidden alike; a key no entry holds gives index 0.
TEST_F(ImageTransferTest, PaletteKeyHidesTheSamePixelsWholeAndClipped) {
  StartSoftware();
  ASSERT_EQ(SetTargetScreen(-2), 0);
  SetTransparentColor(254, 0, 254);
  GraphImage img{};
  ASSERT_EQ(AllocGraphImagePixels(&img, 8, 4, 8, 1), 0);
  SetPalette8ColorFormat(&img.Format);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = img.Format.PaletteTable + i * 4;
    e[0] = static_cast<uint8_t>(i);  // blue
    e[1] = static_cast<uint8_t>(255 - i);
    e[2] = 40;
  }
  uint8_t* key = img.Format.PaletteTable + 7 * 4;
  key[0] = 254;
  key[1] = 0;
  key[2] = 254;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) img.Pixels[y * 8 + x] = static_cast<uint8_t>((x + y) % 3 == 0 ? 7 : 20 + x);
  const int graph = CreateBlankGraph(8, 4, 0, 0, 1);
  ASSERT_NE(graph, -1);
  ASSERT_EQ(TransImageToGraphSurface2D(0, 0, *GetGraphRecord(graph), &img, nullptr), 0);
  const MEMIMG& stored = GetSurfaceData(GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle)->Image;
  EXPECT_EQ(stored.TransColor, 7u);
  MEMIMG& back = GetMainSurfaces().BackMemImg;
  const ImageRect all{0, 0, back.Width, back.Height};
  FillMemImg(&back, &all, 0);
  EXPECT_EQ(PutGraph(10, 10, graph, 1), 0);  // whole
  EXPECT_EQ(PutGraph(-1, 20, graph, 1), 0);  // one column clipped
  auto at = [&back](int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, back.Pixels + y * back.Pitch + x * back.Format->PixelByte, back.Format->PixelByte);
    return v;
  };
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      const bool keyed = (x + y) % 3 == 0;
      EXPECT_EQ(at(10 + x, 10 + y) == 0, keyed) << "whole " << x << "," << y;
      if (x >= 1) {
        EXPECT_EQ(at(x - 1, 20 + y) == 0, keyed) << "clipped " << x << "," << y;
      }
    }
  }
  // No entry holds the key: index 0.
  SetTransparentColor(1, 2, 3);
  const int other = CreateBlankGraph(8, 4, 0, 0, 1);
  ASSERT_EQ(TransImageToGraphSurface2D(0, 0, *GetGraphRecord(other), &img, nullptr), 0);
  EXPECT_EQ(GetSurfaceData(GetSurface2D(GetGraphRecord(other)->Pieces[0])->SurfaceDataHandle)->Image.TransColor, 0u);
  ReleaseGraphImage(&img);
}

TEST_F(ImageTransferTest, MovieFramesAreCopiedOrConverted) {
  StartSoftware();  // 16 bits
  const int graph = NewGraph(320, 4, 1);
  ASSERT_NE(graph, -1);
  const MEMIMG& img = GetSurfaceData(GetSurface2D(GetGraphRecord(graph)->Pieces[0])->SurfaceDataHandle)->Image;
  // A 16-bit frame with 64 bytes of padding a row: 640 bytes a row arrive.
  std::vector<uint8_t> frame16(704 * 4);
  for (size_t i = 0; i < frame16.size(); ++i) frame16[i] = static_cast<uint8_t>(i * 7 + 1);
  const MovieFrame f16{1, GetColorFormat(kMemImgKind565, 0, 0), 320, 4, 704, frame16.data()};
  ASSERT_EQ(TransMovieFrameToSurface2D(f16, *GetGraphRecord(graph)), 0);
  for (int y = 0; y < 4; ++y) {
    EXPECT_EQ(std::memcmp(img.Pixels + y * img.Pitch, frame16.data() + y * 704, 640), 0) << y;
  }
  // A 24-bit frame is converted.
  GraphImage rgb{};
  ASSERT_EQ(CreateRgb24GraphImage(320, 4, &rgb), 0);
  FillGraphImage(&rgb, 255, 0, 0, 255);
  const MovieFrame f24{2, &rgb.Format, 320, 4, rgb.Pitch, rgb.Pixels};
  ASSERT_EQ(TransMovieFrameToSurface2D(f24, *GetGraphRecord(graph)), 0);
  uint16_t px = 0;
  std::memcpy(&px, img.Pixels + 3 * img.Pitch + 319 * 2, 2);
  EXPECT_EQ(px, 0xF800);
  // A frame smaller than the graph is read only where it has pixels.
  const MovieFrame small{1, GetColorFormat(kMemImgKind565, 0, 0), 2, 1, 4, frame16.data()};
  EXPECT_EQ(TransMovieFrameToSurface2D(small, *GetGraphRecord(graph)), 0);
  GraphRecord stale = *GetGraphRecord(graph);
  stale.Pieces[0] += 0x10000;
  EXPECT_EQ(TransMovieFrameToSurface2D(f16, stale), -1);
  ReleaseGraphImage(&rgb);
}

}  // namespace
}  // namespace graphics_test
