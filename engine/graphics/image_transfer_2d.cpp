#include "engine/graphics/image_transfer_2d.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/core/base/log.h"
#include "engine/graphics/dib_convert.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg_transfer.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace pd = platform::display;

namespace {

// Cuts rect and (x, y) so that the rectangle lies inside the image and its
// copy inside a store of storeW x storeH. False when nothing is left.
bool FitTransfer(ImageRect* rect, int* x, int* y, const GraphImage& image, int storeW, int storeH) {
  ImageRect r = *rect;
  int dx = *x, dy = *y;
  const auto cutStart = [](int32_t& src, int& dst, int32_t minSrc, int minDst) {
    int64_t shift = std::max<int64_t>(int64_t{minSrc} - src, int64_t{minDst} - dst);
    if (shift > 0) {
      src = static_cast<int32_t>(src + shift);
      dst = static_cast<int>(dst + shift);
    }
  };
  cutStart(r.left, dx, 0, 0);
  cutStart(r.top, dy, 0, 0);
  r.right = static_cast<int32_t>(std::min<int64_t>({r.right, image.Width, int64_t{r.left} + storeW - dx}));
  r.bottom = static_cast<int32_t>(std::min<int64_t>({r.bottom, image.Height, int64_t{r.top} + storeH - dy}));
  if (r.right <= r.left || r.bottom <= r.top) return false;
  *rect = r;
  *x = dx;
  *y = dy;
  return true;
}

}  // namespace

uint32_t FindPaletteKeyIndex(const MEMIMG& image, uint32_t key) {
  if (image.DrawPalette == nullptr) return 0;
  for (uint32_t i = 0; i < 256; ++i) {
    if (image.Kind == kMemImgKindXrgb32) {
      uint32_t entry = 0;
      std::memcpy(&entry, image.DrawPalette + i * 4, 4);
      if ((entry & 0xFFFFFFu) == (key & 0xFFFFFFu)) return i;
    } else {
      uint16_t entry = 0;
      std::memcpy(&entry, image.DrawPalette + i * 2, 2);
      if (entry == (key & 0xFFFFu)) return i;
    }
  }
  return 0;
}

int TransGraphImageToSurface2D(const ImageRect& rect, int x, int y, int handle, const GraphImage* image,
                               const GraphImage* alpha, int redAsAlpha) {
  if (DirectDrawMissing()) return -1;
  if (IsGraphicsLost() != 0) return 0;
  const Surface2D* surface = GetSurface2D(handle);
  if (surface == nullptr || image == nullptr || image->Pixels == nullptr) return -1;
  const int dataHandle = surface->SurfaceDataHandle;
  SurfaceData* data = GetSurfaceData(dataHandle);
  if (data == nullptr) return -1;
  if (rect.left < 0 || rect.top < 0 || rect.right > image->Width || rect.bottom > image->Height ||
      rect.right < rect.left || rect.bottom < rect.top) {
    return -1;
  }
  ImageRect r = rect;
  if (!FitTransfer(&r, &x, &y, *image, data->Width, data->Height)) return 0;
  const int w = r.right - r.left, h = r.bottom - r.top;

  if (data->MemImgFlag == 1) {
    TransGraphImageToMemImg(image, alpha, &data->Image, r.left, r.top, w, h, x, y, 1);
    if (data->PaletteFlag == 1) {
      const ColorFormat* format = GetColorFormat(data->ColorBitDepth != 16, data->AlphaChFlag, 0);
      const uint32_t c = CurrentDrawState.ColorKey;
      const uint32_t key = PackColor(format, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF, 255);
      data->Image.TransColor = FindPaletteKeyIndex(data->Image, key);
      // The conversion built the run table with the key it found then; the
      // table is built again with the palette key, so the whole-image path
      // hides the same pixels as the clipped one.
      if (data->Image.RunTable != nullptr && data->Image.RunTableValid != 0) {
        BuildMemImgRunTable(&data->Image);
      }
    }
    ApplySurfaceDataColorKey(dataHandle);
    return 0;
  }
  if (data->Surface == nullptr) return -1;
  // The store may be the 3D device's render target.
  EndScene3DBeforeSurfaceAccess();
  if (GetScreenColorState().ScreenBits == 8) {
    // Through a 24-bit bitmap and the surface's device context, which maps
    // every colour to the screen's palette.
    pd::DeviceContextPtr memory = pd::CreateCompatibleDC(nullptr);
    pd::DeviceContextPtr target;
    if (memory == nullptr || data->Surface->GetDC(&target) != pd::Result::kOk || target == nullptr) {
      return -1;
    }
    DibImage dib;
    if (GraphImageToDib(*image, &dib, 0, 1) < 0) {
      WriteLog("GraphImage を BMP に変換する処理が失敗しました\n");
      data->Surface->ReleaseDC(std::move(target));
      return -1;
    }
    pd::BitmapPtr bitmap = CreateDibFromBits(dib.info, dib.bits, 0);
    if (bitmap == nullptr) {
      WriteLog("ＢＭＰデータからＢＭＰハンドルを作成する処理が失敗しました\n");
      data->Surface->ReleaseDC(std::move(target));
      return -1;
    }
    pd::BitmapPtr old = memory->SelectBitmap(bitmap);
    pd::BitBlt(target.get(), x, y, w, h, memory.get(), r.left, r.top);
    data->Surface->ReleaseDC(std::move(target));
    memory->SelectBitmap(old);
    ApplySurfaceDataColorKey(dataHandle);
    return 0;
  }
  const pd::Rect lockRect{x, y, x + w, y + h};
  pd::LockedRect lock;
  if (data->Surface->Lock(&lockRect, pd::kLockWait | pd::kLockWriteOnly, &lock) != pd::Result::kOk) {
    WriteLog("２Ｄサーフェスのロックに失敗しました\n");
    return -1;
  }
  ConvertColorBlt(lock.bits, lock.pitch, &GetScreenColorState().ScreenColorFormat, image->Pixels,
                  image->Pitch, &image->Format, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0,
                  redAsAlpha, 0);
  // A copy between equal layouts keeps the source's spare bits, but the
  // store's colour key (a screen colour) has them set: without them a keyed
  // pixel would no longer match.
  FillSpareBits(IntRect{0, 0, w, h}, lock.bits, lock.pitch, &GetScreenColorState().ScreenColorFormat, 255);
  data->Surface->Unlock();
  ApplySurfaceDataColorKey(dataHandle);
  return 0;
}

int TransImageToSurface2D(int x, int y, int handle, const GraphImage* image, const GraphImage* alpha,
                          int redAsAlpha) {
  const Surface2D* surface = GetSurface2D(handle);
  if (surface == nullptr) return -1;
  const ImageRect rect{x, y, x + surface->Width, y + surface->Height};
  return TransGraphImageToSurface2D(rect, surface->OffsetX, surface->OffsetY, handle, image, alpha,
                                    redAsAlpha);
}

int TransImageToGraphSurface2D(int x, int y, const GraphRecord& graph, const GraphImage* image,
                               const GraphImage* alpha) {
  if (DirectDrawMissing()) return -1;
  const int count = std::clamp(graph.PieceCount, 0, static_cast<int>(graph.Pieces.size()));
  for (int i = 0; i < count; ++i) {
    const Surface2D* piece = GetSurface2D(graph.Pieces[i]);
    if (piece == nullptr) return -1;
    if (TransImageToSurface2D(x + piece->PieceX, y + piece->PieceY, graph.Pieces[i], image, alpha,
                              graph.BlendGraphFormat) != 0) {
      return -1;
    }
  }
  return 0;
}

int TransImageRectToGraphSurface2D(const ImageRect& rect, int x, int y, const GraphRecord& graph,
                                   const GraphImage* image, const GraphImage* alpha) {
  if (DirectDrawMissing()) return -1;
  const int64_t rw = int64_t{rect.right} - rect.left, rh = int64_t{rect.bottom} - rect.top;
  const int count = std::clamp(graph.PieceCount, 0, static_cast<int>(graph.Pieces.size()));
  for (int i = 0; i < count; ++i) {
    const Surface2D* piece = GetSurface2D(graph.Pieces[i]);
    if (piece == nullptr) return -1;
    const int64_t px = piece->PieceX, py = piece->PieceY;
    if (!(px < x + rw && x < px + piece->Width && py < y + rh && y < py + piece->Height)) continue;
    ImageRect sub = rect;
    int dx = 0, dy = 0;
    if (x < px) {
      sub.left = static_cast<int32_t>(sub.left + (px - x));
    } else {
      dx = static_cast<int>(x - px);
    }
    if (y < py) {
      sub.top = static_cast<int32_t>(sub.top + (py - y));
    } else {
      dy = static_cast<int>(y - py);
    }
    sub.right = static_cast<int32_t>(std::min<int64_t>(sub.right, sub.left + (piece->Width - dx)));
    sub.bottom = static_cast<int32_t>(std::min<int64_t>(sub.bottom, sub.top + (piece->Height - dy)));
    // The piece may share its store at an offset: the part lands there.
    if (TransGraphImageToSurface2D(sub, dx + piece->OffsetX, dy + piece->OffsetY, graph.Pieces[i],
                                   image, alpha, 0) != 0) {
      return -1;
    }
  }
  return 0;
}

namespace {

// The store of a graph's first piece, open for writing: its pixels, pitch
// and colour format, locked when it is a display surface.
struct MovieStore {
  SurfaceData* data = nullptr;
  uint8_t* bits = nullptr;
  int pitch = 0;
  ColorFormat format{};
  bool locked = false;

  ~MovieStore() {
    if (locked) data->Surface->Unlock();
  }
};

// 0, or -1 for a bad piece or a failed lock (logged).
int OpenMovieStore(const GraphRecord& graph, MovieStore* store) {
  if (graph.Pieces.empty()) return -1;
  const Surface2D* surface = GetSurface2D(graph.Pieces[0]);
  if (surface == nullptr) return -1;
  SurfaceData* data = GetSurfaceData(surface->SurfaceDataHandle);
  if (data == nullptr) return -1;
  store->data = data;
  if (ScreensInMemory() || data->MemImgFlag == 1) {
    store->bits = data->Image.Pixels;
    store->pitch = data->Image.Pitch;
    store->format = *GetColorFormat(data->Image.Kind, 0, 0);
    return 0;
  }
  EndScene3DBeforeSurfaceAccess();
  pd::LockedRect lock;
  if (data->Surface == nullptr ||
      data->Surface->Lock(nullptr, pd::kLockWait | pd::kLockWriteOnly, &lock) != pd::Result::kOk ||
      !ColorFormatOfSurface(*data->Surface, &store->format)) {
    if (lock.bits != nullptr) data->Surface->Unlock();
    WriteLog("ムービーグラフィック転送先サーフェスのロックに失敗しました\n");
    return -1;
  }
  store->bits = lock.bits;
  store->pitch = lock.pitch;
  store->locked = true;
  return 0;
}

// The frame's pixels go into the store as they are (no conversion).
bool SameDepth(const MovieFrame& frame, const ColorFormat& store) {
  return frame.MovieKind != 2 && frame.SampleFormat->PixelByte * 8 == store.BitDepth;
}

}  // namespace

int TransMovieFrameToSurface2D(const MovieFrame& frame, const GraphRecord& graph) {
  if (graph.Pieces.empty() || GetSurface2D(graph.Pieces[0]) == nullptr) return -1;
  if (frame.FrameBuffer == nullptr || frame.SampleFormat == nullptr) return -1;
  MovieStore store;
  if (OpenMovieStore(graph, &store) != 0) return -1;
  const SurfaceData* data = store.data;
  uint8_t* bits = store.bits;
  const int pitch = store.pitch;
  const ColorFormat& format = store.format;
  // The graph's size bounds the write, the frame's size the read.
  const int width = std::min<int>({graph.Width, frame.FrameWidth, data->Width});
  const int height = std::min<int>({graph.Height, frame.FrameHeight, data->Height});
  if (width > 0 && height > 0 && bits != nullptr) {
    if (!SameDepth(frame, format)) {
      const ImageRect rect{0, 0, width, height};
      ConvertColorBlt(bits, pitch, &format, frame.FrameBuffer, frame.FramePitch, frame.SampleFormat,
                      nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0);
    } else {
      // Same depth: the rows as they are, as many bytes as the store has
      // per pixel.
      const size_t rowBytes = static_cast<size_t>(width) * format.PixelByte;
      for (int y = 0; y < height; ++y) {
        std::memcpy(bits + static_cast<ptrdiff_t>(y) * pitch,
                    frame.FrameBuffer + static_cast<ptrdiff_t>(y) * frame.FramePitch, rowBytes);
      }
      // The spare bits that the store's colour key has (the conversion
      // above sets them itself).
      FillSpareBits(IntRect{0, 0, width, height}, bits, pitch, &format, 255);
    }
  }
  return 0;
}

int WriteMovieFrameToSurface2D(const MovieFrame& frame, const GraphRecord& graph, const MovieFrameWriter& write) {
  if (frame.SampleFormat == nullptr || frame.FrameWidth <= 0 || frame.FrameHeight <= 0) return 0;
  MovieStore store;
  if (OpenMovieStore(graph, &store) != 0) return -1;
  const SurfaceData* data = store.data;
  if (store.bits == nullptr || !SameDepth(frame, store.format) || graph.Width < frame.FrameWidth ||
      graph.Height < frame.FrameHeight || data->Width < frame.FrameWidth || data->Height < frame.FrameHeight ||
      store.pitch < frame.FrameWidth * store.format.PixelByte) {
    return 0;
  }
  const MovieFrameWrite wrote = write(store.bits, store.pitch, frame.FrameHeight);
  if (wrote == MovieFrameWrite::kNothing) return 0;
  // A writer that set each pixel's top byte has already set spare bits
  // that are that byte; any other spare bits are set here.
  const bool spareSet = wrote == MovieFrameWrite::kWrittenTopByteSet && store.format.BitDepth == 32 &&
                        store.format.SpareMask == 0xFF000000u;
  if (!spareSet) {
    FillSpareBits(IntRect{0, 0, frame.FrameWidth, frame.FrameHeight}, store.bits, store.pitch, &store.format, 255);
  }
  return 1;
}
