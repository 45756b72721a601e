#include "engine/graphics/screen_readback_3d.h"

#include <algorithm>
#include <cstdint>

#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/image/convert_color_blt.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/surface_3d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/texture_device.h"
#include "engine/graphics/texture_format_table.h"
#include "engine/graphics/vertex_batch.h"
#include "platform/clock.h"
#include "platform/display/device_context.h"

namespace pd = platform::display;

namespace {

constexpr int kLoadTries = 10;

int Code(pd::Result result) { return static_cast<int>(result); }

// Where the pixels come from: the draw-target surface, the source's size
// and where it lies on that surface.
struct ReadBackSource {
  pd::Surface* Surface = nullptr;
  int Width = 0, Height = 0;
  int OffsetX = 0, OffsetY = 0;
};

// The desktop is read instead of the target: window mode, front screen as
// the target, and a caller that asked for it.
bool DesktopCase(int desktopFlag) {
  return desktopFlag == 0 && IsWindowedMode() != 0 && CurrentDrawState.DrawTarget == -4;
}

ReadBackSource SourceOf(bool desktop) {
  ReadBackSource s;
  s.Surface = GetDrawTargetState().TargetSurface;
  if (desktop) {
    GetDesktopDisplayMode(&s.Width, &s.Height, nullptr);
    return s;
  }
  GetGraphDimensions(CurrentDrawState.DrawTarget, &s.Width, &s.Height);
  s.OffsetX = CurrentDrawState.TargetSurfaceRect.left;
  s.OffsetY = CurrentDrawState.TargetSurfaceRect.top;
  return s;
}

// The request every strategy refuses.
bool Refused(int x1, int y1, int x2, int y2, const GraphRecord& graph, const ReadBackSource& s) {
  return x1 < 0 || y1 < 0 || x1 >= x2 || y1 >= y2 || x1 > s.Width || y1 > s.Height ||
         int64_t{x2} - x1 > graph.Width || int64_t{y2} - y1 > graph.Height;
}

int PieceCount(const GraphRecord& graph) { return std::clamp(graph.PieceCount, 0, kGraphMaxPieces); }

// One piece of the graphic with its texture store and format.
struct PieceTarget {
  int Handle = -1;
  const Surface3D* Piece = nullptr;
  SurfaceData* Data = nullptr;
  const ColorFormat* Format = nullptr;
};

bool GetPiece(const GraphRecord& graph, int index, PieceTarget* out) {
  out->Handle = graph.Pieces[static_cast<size_t>(index)];
  out->Piece = GetSurface3DData(out->Handle);
  if (out->Piece == nullptr) return false;
  out->Data = GetSurfaceData(out->Piece->SurfaceData);
  if (out->Data == nullptr || out->Data->Surface == nullptr) return false;
  out->Format = GetTextureColorFormat(out->Data->FormatIndex);
  return out->Format != nullptr && out->Format->BitDepth != 0;
}

// The piece's source rectangle on the source surface, cut at the source's
// right and bottom edges; false when it starts beyond them or is empty.
bool PieceSourceRect(int x1, int y1, const Surface3D& piece, const ReadBackSource& s, pd::Rect* out) {
  const int64_t left = int64_t{x1} + piece.GraphX, top = int64_t{y1} + piece.GraphY;
  if (left >= s.Width || top >= s.Height) return false;
  const int64_t right = std::min<int64_t>(left + piece.Width, s.Width);
  const int64_t bottom = std::min<int64_t>(top + piece.Height, s.Height);
  if (right <= left || bottom <= top) return false;
  *out = pd::Rect{static_cast<int32_t>(left + s.OffsetX), static_cast<int32_t>(top + s.OffsetY),
                  static_cast<int32_t>(right + s.OffsetX), static_cast<int32_t>(bottom + s.OffsetY)};
  return true;
}

int KeyToAlpha(const ColorFormat& format) { return format.AlphaWidth != 0 ? 1 : 0; }

// A system-memory texture of the store's size and format.
pd::Result MakeWorkTexture(const SurfaceData& data, pd::SurfacePtr* out) {
  if (!HasDirectDraw()) return pd::Result::kGeneric;
  pd::SurfaceDesc desc;
  desc.caps = pd::kCapsTexture | pd::kCapsSystemMemory;
  desc.width = data.Width;
  desc.height = data.Height;
  desc.has_pixel_format = true;
  desc.pixel_format = TexturePixelFormatForSurface(data.FormatIndex);
  return GetDisplayState().DirectDrawObject->CreateSurface(desc, out);
}

// The texts strategies 3 and 4 share; n is the strategy's number.
void LogDcFailed(int n, pd::Result r) {
  WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction%d  ＤＣ取得に失敗しました  GetDC  ReturnValue:%d", n, Code(r));
}
void LogWorkCreateFailed(int n, pd::Result r) {
  WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction%d 　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%d",
            n, Code(r));
}
void LogWorkDcFailed(int n, pd::Result r) {
  WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction%d 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%d",
            n, Code(r));
}
void LogWorkBitBltFailed(int n) {
  // The drawing layer keeps no error code of its own for a refused transfer.
  WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction%d 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x",
            n, 0u);
}
void LogWorkReleaseDcFailed(int n, pd::Result r) {
  WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction%d 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%d",
            n, Code(r));
}

// Strategies 3 and 4 up to the copy into the work texture: a work texture
// of the piece's store with the piece's rectangle at (TexX, TexY). Null
// after a logged failure.
pd::SurfacePtr CopyPieceToWorkTexture(int n, pd::DeviceContext* sourceDc, const PieceTarget& t,
                                      const pd::Rect& rect) {
  pd::SurfacePtr work;
  if (const pd::Result r = MakeWorkTexture(*t.Data, &work); r != pd::Result::kOk || work == nullptr) {
    LogWorkCreateFailed(n, r);
    return nullptr;
  }
  pd::DeviceContextPtr workDc;
  if (const pd::Result r = work->GetDC(&workDc); r != pd::Result::kOk) {
    LogWorkDcFailed(n, r);
    return nullptr;
  }
  if (!pd::BitBlt(workDc.get(), t.Piece->TexX, t.Piece->TexY, rect.Width(), rect.Height(), sourceDc,
                  rect.left, rect.top)) {
    LogWorkBitBltFailed(n);
    work->ReleaseDC(std::move(workDc));
    return nullptr;
  }
  if (const pd::Result r = work->ReleaseDC(std::move(workDc)); r != pd::Result::kOk) {
    LogWorkReleaseDcFailed(n, r);
    return nullptr;
  }
  return work;
}

// The source's device context, held for a whole strategy and given back
// when it ends.
class SourceDc {
 public:
  explicit SourceDc(pd::Surface* surface) : surface_(surface) {}
  ~SourceDc() {
    if (dc_ != nullptr) surface_->ReleaseDC(std::move(dc_));
  }
  SourceDc(const SourceDc&) = delete;
  SourceDc& operator=(const SourceDc&) = delete;
  pd::Result Get() { return surface_ == nullptr ? pd::Result::kInvalidParams : surface_->GetDC(&dc_); }
  pd::DeviceContext* dc() const { return dc_.get(); }

 private:
  pd::Surface* surface_;
  pd::DeviceContextPtr dc_;
};

const ReadBackStrategy3D kStrategies[kReadBackStrategyCount] = {
    &G_D3D_GetDrawScreenGraphFunction5, &G_D3D_GetDrawScreenGraphFunction1,
    &G_D3D_GetDrawScreenGraphFunction3, &G_D3D_GetDrawScreenGraphFunction2,
    &G_D3D_GetDrawScreenGraphFunction4};

}  // namespace

ReadBackStrategy3D GetReadBackStrategy3D(int index) {
  return index >= 0 && index < kReadBackStrategyCount ? kStrategies[index] : nullptr;
}

int G_D3D_GetDrawScreenGraphFunction1(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag) {
  pd::Surface* target = GetDrawTargetState().TargetSurface;
  const bool desktop =
      DesktopCase(desktopFlag) && target != nullptr && target == GetMainSurfaces().PrimarySurface.get();
  const ReadBackSource s = SourceOf(desktop);
  if (s.Surface == nullptr || Refused(x1, y1, x2, y2, graph, s)) return -1;
  for (int i = 0; i < PieceCount(graph); ++i) {
    PieceTarget t;
    if (!GetPiece(graph, i, &t)) return -1;
    pd::Rect rect;
    if (!PieceSourceRect(x1, y1, *t.Piece, s, &rect)) continue;
    const pd::Result r = t.Data->Surface->BltFast(t.Piece->TexX, t.Piece->TexY, s.Surface, &rect,
                                                  pd::kBltFastNoColorKey | pd::kBltFastWait);
    if (r != pd::Result::kOk) {
      WriteLogF("Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%d", Code(r));
      return -1;
    }
    ApplySurfaceDataColorKey(t.Piece->SurfaceData);
  }
  return 0;
}

int G_D3D_GetDrawScreenGraphFunction2(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag) {
  const ReadBackSource s = SourceOf(DesktopCase(desktopFlag));
  if (s.Surface == nullptr || Refused(x1, y1, x2, y2, graph, s)) return -1;
  SourceDc source(s.Surface);
  if (const pd::Result r = source.Get(); r != pd::Result::kOk) {
    WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction2  ＤＣ取得に失敗しました  GetDC ReturnValue:%d", Code(r));
    return -1;
  }
  for (int i = 0; i < PieceCount(graph); ++i) {
    PieceTarget t;
    if (!GetPiece(graph, i, &t)) return -1;
    pd::Rect rect;
    if (!PieceSourceRect(x1, y1, *t.Piece, s, &rect)) continue;
    pd::DeviceContextPtr dc;
    if (const pd::Result r = t.Data->Surface->GetDC(&dc); r != pd::Result::kOk) {
      WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC ReturnValue:%d",
                Code(r));
      return -1;
    }
    if (!pd::BitBlt(dc.get(), t.Piece->TexX, t.Piece->TexY, rect.Width(), rect.Height(), source.dc(),
                    rect.left, rect.top)) {
      WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:%x",
                0u);
      t.Data->Surface->ReleaseDC(std::move(dc));
      return -1;
    }
    if (const pd::Result r = t.Data->Surface->ReleaseDC(std::move(dc)); r != pd::Result::kOk) {
      WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction2 　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC ReturnValue:%d",
                Code(r));
      return -1;
    }
    ApplySurfaceDataColorKey(t.Piece->SurfaceData);
  }
  return 0;
}

int G_D3D_GetDrawScreenGraphFunction3(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag) {
  const ReadBackSource s = SourceOf(DesktopCase(desktopFlag));
  if (s.Surface == nullptr || Refused(x1, y1, x2, y2, graph, s)) return -1;
  SourceDc source(s.Surface);
  if (const pd::Result r = source.Get(); r != pd::Result::kOk) {
    LogDcFailed(3, r);
    return -1;
  }
  for (int i = 0; i < PieceCount(graph); ++i) {
    PieceTarget t;
    if (!GetPiece(graph, i, &t)) return -1;
    pd::Rect rect;
    if (!PieceSourceRect(x1, y1, *t.Piece, s, &rect)) continue;
    const pd::SurfacePtr work = CopyPieceToWorkTexture(3, source.dc(), t, rect);
    if (work == nullptr) return -1;
    pd::LockedRect texture;
    if (const pd::Result r = t.Data->Surface->Lock(nullptr, pd::kLockWait | pd::kLockWriteOnly, &texture);
        r != pd::Result::kOk) {
      WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction3 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
                Code(r));
      return -1;
    }
    pd::LockedRect from;
    if (const pd::Result r = work->Lock(nullptr, pd::kLockWait | pd::kLockWriteOnly, &from); r != pd::Result::kOk) {
      t.Data->Surface->Unlock();
      WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction3 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
                Code(r));
      return -1;
    }
    // The whole work texture goes in: beyond the piece's rectangle its
    // texels are the new surface's, which nothing draws.
    const ImageRect all{0, 0, t.Data->Width, t.Data->Height};
    ConvertColorBlt(texture.bits, texture.pitch, t.Format, from.bits, from.pitch, t.Format, nullptr, 0,
                    nullptr, 0, 0, &all, 0, KeyToAlpha(*t.Format), t.Data->ColorKey, kDitherNone, 0, 0, 0);
    t.Data->Surface->Unlock();
    work->Unlock();
    ApplySurfaceDataColorKey(t.Piece->SurfaceData);
  }
  return 0;
}

int G_D3D_GetDrawScreenGraphFunction4(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag) {
  const ReadBackSource s = SourceOf(DesktopCase(desktopFlag));
  if (s.Surface == nullptr || Refused(x1, y1, x2, y2, graph, s)) return -1;
  platform::d3d::Device3D* device = GetCurrentDevice3D();
  if (device == nullptr) return -1;
  SourceDc source(s.Surface);
  if (const pd::Result r = source.Get(); r != pd::Result::kOk) {
    LogDcFailed(4, r);
    return -1;
  }
  for (int i = 0; i < PieceCount(graph); ++i) {
    PieceTarget t;
    if (!GetPiece(graph, i, &t)) return -1;
    pd::Rect rect;
    if (!PieceSourceRect(x1, y1, *t.Piece, s, &rect)) continue;
    const pd::SurfacePtr work = CopyPieceToWorkTexture(4, source.dc(), t, rect);
    if (work == nullptr) return -1;
    const pd::Rect all{0, 0, t.Data->Width, t.Data->Height};
    pd::Result r = pd::Result::kOk;
    for (int attempt = 1; attempt <= kLoadTries; ++attempt) {
      r = device->Load(t.Data->Surface, 0, 0, work, &all, 0);
      if (r != pd::Result::kSurfaceBusy) break;
      if (attempt == kLoadTries) break;
      t.Data->Surface->Restore();
      platform::GetClock().Sleep(1);
    }
    if (r != pd::Result::kOk) {
      int screenW = 0, screenH = 0;
      GetScreenSize(&screenW, &screenH);
      WriteLogF("hr:%d  W:%d  H:%d  FullMode:%d  Point x:%d y:%d   Rect top:%d bottom:%d left:%d right:%d",
                Code(r), screenW, screenH, IsWindowedMode() == 0 ? 1 : 0, 0, 0, all.top, all.bottom, all.left,
                all.right);
      WriteLogF("AlphaCh:%d  AlphaTest:%d  ColorBitDepth:%d", t.Data->AlphaChFlag, t.Data->AlphaTestFlag,
                t.Data->ColorBitDepth);
      WriteLogF("ScreenColor:%d  SizeX:%d  SizeY:%d  DrawPointX:%d  DrawPointY:%d  WndRect.left:%d  "
                "WndRect.top:%d  left:%d  top:%d",
                ScreenDepth(), t.Piece->Width, t.Piece->Height, t.Piece->GraphX, t.Piece->GraphY, s.OffsetX,
                s.OffsetY, x1, y1);
      return -1;
    }
    ApplySurfaceDataColorKey(t.Piece->SurfaceData);
  }
  return 0;
}

int G_D3D_GetDrawScreenGraphFunction5(int x1, int y1, int x2, int y2, const GraphRecord& graph,
                                      int desktopFlag) {
  if (DesktopCase(desktopFlag)) return -1;
  const ReadBackSource s = SourceOf(false);
  if (s.Surface == nullptr || Refused(x1, y1, x2, y2, graph, s)) return -1;
  pd::Surface* work = GetMainSurfaces().WorkSurface1.get();
  if (work == nullptr) return -1;
  const int width = x2 - x1, height = y2 - y1;
  const IntRect from{x1 + s.OffsetX, y1 + s.OffsetY, x2 + s.OffsetX, y2 + s.OffsetY};
  if (BltSurfaceOrGdi(work, s.Surface, 0, 0, from, -1) != 0) return -1;
  const pd::Rect workArea{0, 0, width, height};
  pd::LockedRect source;
  if (const pd::Result r = work->Lock(&workArea, pd::kLockWait | pd::kLockReadOnly, &source);
      r != pd::Result::kOk) {
    WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
              Code(r));
    return -1;
  }
  const ColorFormat* screenFormat = &GetScreenColorState().ScreenColorFormat;
  for (int i = 0; i < PieceCount(graph); ++i) {
    PieceTarget t;
    if (!GetPiece(graph, i, &t)) {
      work->Unlock();
      return -1;
    }
    const Surface3D& p = *t.Piece;
    // Only the copied rectangle of the work surface is read (and locked).
    const ImageRect rect{p.GraphX, p.GraphY, std::min<int32_t>(p.GraphX + p.Width, width),
                         std::min<int32_t>(p.GraphY + p.Height, height)};
    if (rect.right <= rect.left || rect.bottom <= rect.top) continue;
    const pd::Rect onTexture{p.TexX, p.TexY, p.TexX + p.Width, p.TexY + p.Height};
    pd::LockedRect texture;
    if (const pd::Result r = t.Data->Surface->Lock(&onTexture, pd::kLockWait | pd::kLockWriteOnly, &texture);
        r != pd::Result::kOk) {
      work->Unlock();
      WriteLogF("Error  G_D3D_GetDrawScreenGraphFunction5 　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%d",
                Code(r));
      return -1;
    }
    ConvertColorBlt(texture.bits, texture.pitch, t.Format, source.bits, source.pitch, screenFormat, nullptr, 0,
                    nullptr, 0, 0, &rect, 0, KeyToAlpha(*t.Format), t.Data->ColorKey, kDitherNone, 0, 0, 0);
    t.Data->Surface->Unlock();
    ApplySurfaceDataColorKey(p.SurfaceData);
  }
  work->Unlock();
  return 0;
}

int ReadBackTargetToGraph3D(int x1, int y1, int x2, int y2, const GraphRecord& graph, int desktopFlag) {
  Direct3DState& state = GetDirect3DState();
  if (state.Suspended3D != 0) return 0;
  if (!IsDirect3DRunning() || graph.PieceCount < 1) return -1;
  const Surface3D* first = GetSurface3DData(graph.Pieces[0]);
  if (first == nullptr) return -1;
  const SurfaceData* data = GetSurfaceData(first->SurfaceData);
  if (data == nullptr) return -1;
  FlushCurrentVertexBatch();
  EndCurrentScene3D();

  int32_t& slot = state.ReadBackChoice[(data->AlphaChFlag != 0 || data->AlphaTestFlag != 0) ? 1 : 0];
  if (const ReadBackStrategy3D known = GetReadBackStrategy3D(slot); known != nullptr) {
    const int result = known(x1, y1, x2, y2, graph, desktopFlag);
    if (result >= 0) return result;
  }
  int result = -1;
  for (int i = 0; i < kReadBackStrategyCount; ++i) {
    result = kStrategies[i](x1, y1, x2, y2, graph, desktopFlag);
    if (result == 0) {
      slot = i;
      return 0;
    }
  }
  slot = -1;
  return result;
}
