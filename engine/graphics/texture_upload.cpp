#include "engine/graphics/texture_upload.h"

#include <algorithm>
#include <cassert>
#include <cstdint>

#include "engine/core/base/fatal_error.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image_transfer_2d.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/vertex_batch.h"

namespace pd = platform::display;

namespace {

bool HasAlphaBits(const ColorFormat& format) { return format.AlphaWidth != 0; }

int PieceCount(const GraphRecord& graph) { return std::clamp(graph.PieceCount, 0, kGraphMaxPieces); }

// Cuts rect to the image (and alpha image) and its copy at (x, y) to a
// texture of texW x texH. False when nothing is left.
bool FitUpload(ImageRect* rect, int* x, int* y, const GraphImage& image, const GraphImage* alpha,
               int texW, int texH) {
  int64_t left = rect->left, top = rect->top, right = rect->right, bottom = rect->bottom;
  int64_t dx = *x, dy = *y;
  const int64_t shiftX = std::max<int64_t>({0, -left, -dx});
  const int64_t shiftY = std::max<int64_t>({0, -top, -dy});
  left += shiftX;
  dx += shiftX;
  top += shiftY;
  dy += shiftY;
  int64_t imageW = image.Width, imageH = image.Height;
  if (alpha != nullptr) {
    imageW = std::min<int64_t>(imageW, alpha->Width);
    imageH = std::min<int64_t>(imageH, alpha->Height);
  }
  right = std::min({right, imageW, left + (texW - dx)});
  bottom = std::min({bottom, imageH, top + (texH - dy)});
  if (right <= left || bottom <= top) return false;
  *rect = ImageRect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                    static_cast<int32_t>(bottom)};
  *x = static_cast<int>(dx);
  *y = static_cast<int>(dy);
  return true;
}

void Convert(uint8_t* bits, int pitch, int destX, int destY, const ColorFormat& textureFormat,
             const ImageRect& rect, const GraphImage& image, const GraphImage* alpha, uint32_t colorKey,
             int forceAlpha, int useAlpha) {
  const bool alphaImage = alpha != nullptr && alpha->Pixels != nullptr;
  const int keyToAlpha =
      (useAlpha != 0 && HasAlphaBits(textureFormat) && !alphaImage && !HasAlphaBits(image.Format)) ? 1 : 0;
  ConvertColorBlt(bits, pitch, &textureFormat, image.Pixels, image.Pitch, &image.Format,
                  alphaImage ? alpha->Pixels : nullptr, alphaImage ? alpha->Pitch : 0,
                  alphaImage ? &alpha->Format : nullptr, destX, destY, &rect, 0, keyToAlpha, colorKey,
                  kDitherNone, 0, forceAlpha, 0);
}

}  // namespace

int UploadTexture3D(const ImageRect& sourceRect, int destX, int destY, int handle, const GraphImage* image,
                    const GraphImage* alpha, int forceAlpha, int useAlpha) {
  if (IsTextureDeviceRunning() == 0) return -1;
  // Quads already batched may sample this texture: they are drawn first.
  FlushCurrentVertexBatch();
  const Surface3D* piece = GetSurface3DData(handle);
  if (piece == nullptr || image == nullptr || image->Pixels == nullptr) return -1;
  const int dataHandle = piece->SurfaceData;
  SurfaceData* data = GetSurfaceData(dataHandle);
  if (data == nullptr || data->Surface == nullptr) return -1;
  const ColorFormat* format = GetTextureColorFormat(data->FormatIndex);
  if (format == nullptr || format->BitDepth == 0) return -1;
  if (alpha != nullptr && alpha->Pixels == nullptr) alpha = nullptr;

  ImageRect rect = sourceRect;
  int x = destX, y = destY;
  if (!FitUpload(&rect, &x, &y, *image, alpha, data->Width, data->Height)) return 0;
  const pd::Rect destRect{x, y, x + (rect.right - rect.left), y + (rect.bottom - rect.top)};

  pd::LockedRect lock;
  if (data->Surface->Lock(&destRect, pd::kLockWait | pd::kLockWriteOnly, &lock) == pd::Result::kOk) {
    Convert(lock.bits, lock.pitch, 0, 0, *format, rect, *image, alpha, data->ColorKey, forceAlpha, useAlpha);
    data->Surface->Unlock();
  } else {
    // The texture cannot be locked: convert into a system-memory texture of
    // its size and format, and have the device copy the rectangle in.
    pd::SurfaceDesc desc;
    desc.caps = pd::kCapsTexture | pd::kCapsSystemMemory;
    desc.width = data->Width;
    desc.height = data->Height;
    desc.has_pixel_format = true;
    desc.pixel_format = TexturePixelFormatForSurface(data->FormatIndex);
    pd::SurfacePtr temporary;
    pd::LockedRect whole;
    if (!HasDirectDraw() ||
        GetDisplayState().DirectDrawObject->CreateSurface(desc, &temporary) != pd::Result::kOk ||
        temporary->Lock(nullptr, pd::kLockWait | pd::kLockWriteOnly, &whole) != pd::Result::kOk) {
      FatalErrorExit("テンポラリテクスチャサーフェスの作成に失敗しました");
    }
    Convert(whole.bits, whole.pitch, x, y, *format, rect, *image, alpha, data->ColorKey, forceAlpha,
            useAlpha);
    temporary->Unlock();
    RestoreSurfaceData(dataHandle);
    const TextureLoadFn& load = GetTextureDevice().Load;
    if (!load || load(data->Surface, x, y, temporary, destRect) != pd::Result::kOk) {
      FatalErrorExit("作業用テクスチャサーフェスから描画用テクスチャサーフェスへの画像転送に失敗しました");
    }
  }
  ApplySurfaceDataColorKey(dataHandle);
  return 0;
}

int UploadImageToGraphTextures(int x, int y, const GraphRecord& graph, const GraphImage* image,
                               const GraphImage* alpha) {
  for (int i = 0; i < PieceCount(graph); ++i) {
    const int handle = graph.Pieces[static_cast<size_t>(i)];
    const Surface3D* piece = GetSurface3DData(handle);
    if (piece == nullptr) return -1;
    const int64_t left = int64_t{x} + piece->GraphX, top = int64_t{y} + piece->GraphY;
    const ImageRect rect{static_cast<int32_t>(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX)),
                         static_cast<int32_t>(std::clamp<int64_t>(top, INT32_MIN, INT32_MAX)),
                         static_cast<int32_t>(std::clamp<int64_t>(left + piece->Width, INT32_MIN, INT32_MAX)),
                         static_cast<int32_t>(std::clamp<int64_t>(top + piece->Height, INT32_MIN, INT32_MAX))};
    if (UploadTexture3D(rect, piece->TexX, piece->TexY, handle, image, alpha, graph.BlendGraphFormat, 1) != 0) {
      return -1;
    }
  }
  return 0;
}

int UploadImageRectToGraphTextures(const ImageRect& sourceRect, int destX, int destY,
                                   const GraphRecord& graph, const GraphImage* image,
                                   const GraphImage* alpha) {
  const int64_t rw = int64_t{sourceRect.right} - sourceRect.left;
  const int64_t rh = int64_t{sourceRect.bottom} - sourceRect.top;
  for (int i = 0; i < PieceCount(graph); ++i) {
    const int handle = graph.Pieces[static_cast<size_t>(i)];
    const Surface3D* piece = GetSurface3DData(handle);
    if (piece == nullptr) return -1;
    // The graphics this serves are split graphics: their pieces start at
    // texel (0, 0) of their textures, so the offset inside the piece is the
    // texel.
    assert(piece->TexX == 0 && piece->TexY == 0);
    const int64_t gx = piece->GraphX, gy = piece->GraphY;
    if (!(gx < destX + rw && destX < gx + piece->Width && gy < destY + rh && destY < gy + piece->Height)) {
      continue;
    }
    int64_t left = sourceRect.left, top = sourceRect.top;
    if (gx > destX) left += gx - destX;
    if (gy > destY) top += gy - destY;
    const int tx = static_cast<int>(std::max<int64_t>(destX - gx, 0));
    const int ty = static_cast<int>(std::max<int64_t>(destY - gy, 0));
    const int64_t right = std::min<int64_t>(sourceRect.right, left + (piece->Width - tx));
    const int64_t bottom = std::min<int64_t>(sourceRect.bottom, top + (piece->Height - ty));
    if (right <= left || bottom <= top) continue;
    const ImageRect rect{static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right),
                         static_cast<int32_t>(bottom)};
    if (UploadTexture3D(rect, tx, ty, handle, image, alpha, 0, 1) != 0) return -1;
  }
  return 0;
}

int UploadMovieFrame3D(const MovieFrame& frame, int alphaInLowerHalf, const GraphRecord& graph) {
  if (frame.FrameBuffer == nullptr || frame.SampleFormat == nullptr) return -1;
  GraphImage colour{};
  colour.Format = *frame.SampleFormat;
  colour.Width = frame.FrameWidth;
  colour.Height = frame.FrameHeight;
  colour.Pitch = frame.FramePitch;
  colour.Pixels = const_cast<uint8_t*>(frame.FrameBuffer);
  GraphImage alphaImage{};
  const GraphImage* alpha = nullptr;
  if (alphaInLowerHalf != 0) {
    colour.Height = frame.FrameHeight / 2;
    alphaImage = colour;
    alphaImage.Pixels = colour.Pixels + static_cast<ptrdiff_t>(colour.Height) * frame.FramePitch;
    alpha = &alphaImage;
  }
  for (int i = 0; i < PieceCount(graph); ++i) {
    const int handle = graph.Pieces[static_cast<size_t>(i)];
    const Surface3D* piece = GetSurface3DData(handle);
    if (piece == nullptr) return -1;
    const ImageRect rect{piece->SrcX, piece->SrcY, piece->SrcX + piece->Width, piece->SrcY + piece->Height};
    if (UploadTexture3D(rect, piece->TexX, piece->TexY, handle, &colour, alpha, 0, 1) != 0) return -1;
  }
  return 0;
}

int WriteMovieFrameToTextures3D(const MovieFrame& frame, const GraphRecord& graph, const MovieRectWriter& write) {
  if (IsTextureDeviceRunning() == 0 || frame.SampleFormat == nullptr || frame.MovieKind == 2) return 0;
  const ColorFormat& sample = *frame.SampleFormat;
  if (sample.BitDepth != 32 || HasAlphaBits(sample)) return 0;
  const int count = PieceCount(graph);
  if (count == 0) return 0;
  // Every piece is looked at before any is written.
  for (int i = 0; i < count; ++i) {
    const Surface3D* piece = GetSurface3DData(graph.Pieces[static_cast<size_t>(i)]);
    if (piece == nullptr) return 0;
    const SurfaceData* data = GetSurfaceData(piece->SurfaceData);
    const ColorFormat* format = data == nullptr ? nullptr : GetTextureColorFormat(data->FormatIndex);
    if (data == nullptr || data->Surface == nullptr || format == nullptr || format->BitDepth != sample.BitDepth ||
        format->RedMask != sample.RedMask || format->GreenMask != sample.GreenMask ||
        format->BlueMask != sample.BlueMask) {
      return 0;
    }
    // Positions are unsigned.
    if (piece->Width <= 0 || piece->Height <= 0 || int64_t{piece->SrcX} + piece->Width > frame.FrameWidth ||
        int64_t{piece->SrcY} + piece->Height > frame.FrameHeight ||
        int64_t{piece->TexX} + piece->Width > data->Width || int64_t{piece->TexY} + piece->Height > data->Height) {
      return 0;
    }
  }
  // Quads already batched may sample these textures: they are drawn first.
  FlushCurrentVertexBatch();
  for (int i = 0; i < count; ++i) {
    const Surface3D* piece = GetSurface3DData(graph.Pieces[static_cast<size_t>(i)]);
    SurfaceData* data = GetSurfaceData(piece->SurfaceData);
    const pd::Rect destRect{piece->TexX, piece->TexY, piece->TexX + piece->Width, piece->TexY + piece->Height};
    pd::LockedRect lock;
    if (data->Surface->Lock(&destRect, pd::kLockWait | pd::kLockWriteOnly, &lock) != pd::Result::kOk) return 0;
    const ColorFormat& format = *GetTextureColorFormat(data->FormatIndex);
    MovieRowsDone keyToAlpha;
    if (HasAlphaBits(format)) {
      // The texture's alpha comes from the colour key, as UploadTexture3D
      // gives it: each band of written pixels is converted again where it
      // lies (each pixel read, then written back in its place).
      GraphImage written{};
      written.Format = sample;
      written.Width = piece->Width;
      written.Height = piece->Height;
      written.Pitch = lock.pitch;
      written.Pixels = lock.bits;
      const uint32_t key = data->ColorKey;
      const int width = piece->Width;
      keyToAlpha = [written, &format, key, width](int first, int rows) {
        Convert(written.Pixels, written.Pitch, 0, first, format, ImageRect{0, first, width, first + rows}, written,
                nullptr, key, 0, 1);
      };
    }
    const bool wrote =
        write(piece->SrcX, piece->SrcY, piece->Width, piece->Height, lock.bits, lock.pitch, keyToAlpha);
    data->Surface->Unlock();
    if (!wrote) return 0;
    ApplySurfaceDataColorKey(piece->SurfaceData);
  }
  return 1;
}

GraphImage GraphImageView(const MEMIMG& image) {
  GraphImage view{};
  if (image.Format != nullptr) view.Format = *image.Format;
  view.Width = image.Width;
  view.Height = image.Height;
  view.Pitch = image.Pitch;
  view.Pixels = image.Pixels;
  return view;
}

int RestoreGraphSurfaces3D(const GraphRecord& graph) {
  int result = 0;
  for (int i = 0; i < PieceCount(graph); ++i) {
    const Surface3D* piece = GetSurface3DData(graph.Pieces[static_cast<size_t>(i)]);
    if (piece == nullptr || GetSurfaceData(piece->SurfaceData) == nullptr) {
      result = -1;
      continue;
    }
    if (RestoreSurfaceData(piece->SurfaceData) != 0) result = -1;
  }
  return result;
}

int RestoreLostSurfaces3D() {
  ForEachSurface3D([](int, Surface3D& piece) { RestoreSurfaceData(piece.SurfaceData); });
  return 0;
}

int UnlockSurface3D(int handle) {
  const Surface3D* piece = GetSurface3DData(handle);
  if (piece == nullptr) return -1;
  return UnlockSurfaceData(piece->SurfaceData);
}

int FillGraphTextures(const GraphRecord& graph, int r, int g, int b, int a) {
  if (IsTextureDeviceRunning() == 0) return -1;
  for (int i = 0; i < PieceCount(graph); ++i) {
    const Surface3D* piece = GetSurface3DData(graph.Pieces[static_cast<size_t>(i)]);
    if (piece == nullptr) return -1;
    const ImageRect area{piece->TexX, piece->TexY, piece->TexX + piece->Width, piece->TexY + piece->Height};
    if (FillSurfaceData(piece->SurfaceData, r, g, b, a, &area) != 0) return -1;
  }
  return 0;
}
