#include "engine/graphics/surface_data.h"

#include <cstring>
#include <memory>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/next_free_slot.h"
#include "engine/graphics/texture_device.h"

namespace pd = platform::display;

namespace {

struct SurfaceDataTable {
  HandleTable<SurfaceData> table{HandleType::kSurfaceData};
  NextFreeSlot<SurfaceData> next_free{table};
};

SurfaceDataTable& Table() {
  static SurfaceDataTable* table = new SurfaceDataTable;
  return *table;
}

bool LiesInVideoMemory(pd::Surface& surface) {
  uint32_t caps = 0;
  return surface.GetCaps(&caps) == pd::Result::kOk && (caps & pd::kCapsVideoMemory) != 0;
}

// A texture of the entry SelectTextureFormat picks: drawable ones can be
// render targets, the others are managed by the device. A new texture is
// filled with 0.
int CreateTextureStorage(SurfaceData& data) {
  data.FormatIndex = SelectTextureFormat(data);
  const ColorFormat* format = GetTextureColorFormat(data.FormatIndex);
  pd::SurfacePtr surface;
  bool made = false;
  if (HasDirectDraw() && format != nullptr && format->BitDepth != 0) {
    pd::SurfaceDesc desc;
    desc.width = data.Width;
    desc.height = data.Height;
    desc.caps = pd::kCapsTexture |
                (data.DrawValid == 1 ? pd::kCaps3DDevice | pd::kCapsVideoMemory : pd::kCapsTextureManage);
    desc.has_pixel_format = true;
    desc.pixel_format = TexturePixelFormatForSurface(data.FormatIndex);
    made = GetDisplayState().DirectDrawObject->CreateSurface(desc, &surface) == pd::Result::kOk;
  }
  if (!made) {
    WriteLog("テクスチャサーフェスの作成に失敗しました\n");
    WriteLogF("DrawValid:%d  AlphaChFlag%d  AlphaTestFlag:%d  ColorBitDepth:%d", data.DrawValid,
              data.AlphaChFlag, data.AlphaTestFlag, data.ColorBitDepth);
    return -1;
  }
  pd::BltFx fx;
  fx.fill_color = 0;
  surface->Blt(nullptr, nullptr, nullptr, pd::kBltColorFill | pd::kBltWait, &fx);
  data.Surface = std::move(surface);
  return 0;
}

int CreateMemImgStorage(SurfaceData& data) {
  int result;
  if (data.BlendGraphFlag != 1) {
    const int kind = data.ColorBitDepth == 16 ? kMemImgKind565 : kMemImgKindXrgb32;
    data.FormatIndex = 13 - (data.AlphaChFlag ? 0 : 1) - (data.ColorBitDepth == 16 ? 2 : 0);
    uint32_t trans = 0xFFFF;
    if (data.PaletteFlag != 1) {
      const ColorFormat* format = GetColorFormat(kind, data.AlphaChFlag, 0);
      trans = PackColor(format, static_cast<int>((data.ColorKey >> 16) & 0xFF),
                        static_cast<int>((data.ColorKey >> 8) & 0xFF),
                        static_cast<int>(data.ColorKey & 0xFF), 255);
    }
    result = CreateMemImg(&data.Image, data.Width, data.Height, -1, trans, kind, data.PaletteFlag,
                          data.AlphaChFlag, 1);
  } else {
    data.FormatIndex = kMemImgKindMask8;
    result = CreateMemImg(&data.Image, data.Width, data.Height, -1, 0, kMemImgKindMask8, 0, 0, 1);
  }
  if (result != 0) {
    WriteLog("メモリイメージの作成に失敗しました\n");
    ReleaseMemImg(&data.Image);
    data.Image = MEMIMG{};
    return -1;
  }
  return 0;
}

int CreateDisplayStorage(SurfaceData& data) {
  const DisplayState& display = GetDisplayState();
  data.FormatIndex = kSurfaceDataFormatScreen;
  int screenWidth = 0;
  GetScreenSize(&screenWidth, nullptr);
  pd::SurfaceDesc desc;
  desc.width = data.Width;
  desc.height = data.Height;
  const bool systemMemory =
      data.SystemMemFlag == 1 || data.Width > screenWidth || IsSoftwareRendering() != 0;
  desc.caps = pd::kCapsOffscreenPlain |
              (systemMemory ? pd::kCapsSystemMemory : pd::kCapsVideoMemory | pd::kCaps3DDevice);
  pd::SurfacePtr surface;
  pd::Result made = display.DirectDrawObject->CreateSurface(desc, &surface);
  if (made != pd::Result::kOk && !systemMemory) {
    desc.caps = pd::kCapsOffscreenPlain | pd::kCapsSystemMemory;
    made = display.DirectDrawObject->CreateSurface(desc, &surface);
  }
  if (made != pd::Result::kOk) {
    WriteLog("標準サーフェスの作成に失敗しました\n");
    return -1;
  }
  data.Surface = std::move(surface);
  data.SystemMemFlag = LiesInVideoMemory(*data.Surface) ? 0 : 1;
  data.DrawValid = 1;
  return 0;
}

void ClearStorageFields(SurfaceData& data) {
  ReleaseMemImg(&data.Image);
  ReleaseMemImg(&data.DepthImage);
  data.Image = MEMIMG{};
  data.DepthImage = MEMIMG{};
  data.DepthSurface.reset();
  data.Surface.reset();
  data.LockCount = 0;
  data.LockPitch = 0;
  data.LockPointer = nullptr;
}

uint32_t PackForColorFormat(const ColorFormat& format, int r, int g, int b, int a) {
  return PackColor(&format, r, g, b, a);
}

}  // namespace

void ResetSurfaceDataTable() {
  SurfaceDataTable& t = Table();
  t.table.ForEachLive([](int, SurfaceData& data) { ClearStorageFields(data); });
  t.table.Clear();
  t.table.counter().Reset();
  t.next_free.Reset();
}

int GetSurfaceDataCount() { return Table().table.live_count(); }
int GetSurfaceDataNextFreeIndex() { return Table().next_free.index(); }

int AllocSurfaceData(int refCount, int width, int height, uint32_t colorKey,
                     const GraphCreationFlags& flags) {
  SurfaceDataTable& t = Table();
  if (t.table.live_count() >= t.table.capacity()) {
    WriteLog("サーフェスのデータ数が許容量を越えました。\n");
    return -1;
  }
  const int slot = t.next_free.Choose();
  auto record = std::make_unique<SurfaceData>();
  static_cast<GraphCreationFlags&>(*record) = flags;
  SurfaceData& data = *record;
  data.Width = static_cast<uint16_t>(width);
  data.Height = static_cast<uint16_t>(height);
  data.RefCount = refCount;
  data.ColorKey = colorKey;
  if (data.TextureFlag == 1) {
    data.SystemMemFlag = 0;
    if (data.DrawValid == 1 || data.AlphaChFlag == 1) data.AlphaTestFlag = 0;
  } else {
    if (data.AlphaChFlag == 1 || data.BlendGraphFlag == 1) data.SystemMemFlag = 1;
    data.DrawValid = 1;
    data.AlphaTestFlag = 0;
  }
  data.MemImgFlag = (data.SystemMemFlag == 1 || ScreensInMemory()) ? 1 : 0;

  const int handle = t.table.Insert(slot, std::move(record));
  if (handle == kNoLibraryHandle) {
    WriteLog("サーフェス用データを保存するメモリ領域の確保に失敗しました\n");
    return -1;
  }
  t.next_free.Taken(slot);
  if (CreateSurfaceDataStorage(handle) != 0) {
    ReleaseSurfaceData(handle);
    return -1;
  }
  ApplySurfaceDataColorKey(handle);
  return handle;
}

SurfaceData* GetSurfaceData(int handle) { return Table().table.Find(handle); }

int AddSurfaceDataRef(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  return ++data->RefCount;
}

int ReleaseSurfaceDataRef(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  return --data->RefCount;
}

int ReleaseSurfaceData(int handle) {
  SurfaceDataTable& t = Table();
  if (t.table.Find(handle) == nullptr) return -1;
  ReleaseSurfaceDataStorage(handle);
  std::unique_ptr<SurfaceData> record = t.table.Remove(handle);
  if (record->LostFlag != nullptr) *record->LostFlag = 1;
  t.next_free.Released(static_cast<int>(HandleSlot(handle)));
  return 0;
}

int CreateSurfaceDataStorage(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  if (data->Surface != nullptr || data->Image.Magic == kMemImgMagic) return 0;
  int result;
  if (data->TextureFlag == 1) {
    result = CreateTextureStorage(*data);
  } else if (data->MemImgFlag == 1) {
    result = CreateMemImgStorage(*data);
  } else {
    if (!HasDirectDraw()) return -1;
    result = CreateDisplayStorage(*data);
  }
  if (result != 0) {
    ClearStorageFields(*data);
    return -1;
  }
  // Nothing sets DepthFlag, so no depth buffer is ever attached here.
  if (data->DepthFlag != 0) SetSurfaceDataZBuffer(handle, 1);
  return 0;
}

int ReleaseSurfaceDataStorage(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  if (data->LockCount > 0 && data->Surface != nullptr) data->Surface->Unlock();
  if (data->DepthSurface != nullptr && data->Surface != nullptr) {
    data->Surface->DeleteAttachedSurface(data->DepthSurface.get());
  }
  ClearStorageFields(*data);
  return 0;
}

int ApplySurfaceDataColorKey(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  if (data->MemImgFlag == 1 || data->Surface == nullptr) return 0;
  if (data->TextureFlag == 1) {
    // The key as the texture stores it: every alpha and spare bit set.
    const ColorFormat* format = GetTextureColorFormat(data->FormatIndex);
    if (format == nullptr) return -1;
    const uint32_t key = PackColor(format, static_cast<int>((data->ColorKey >> 16) & 0xFF),
                                   static_cast<int>((data->ColorKey >> 8) & 0xFF),
                                   static_cast<int>(data->ColorKey & 0xFF), 255) |
                         format->AlphaMask | format->SpareMask;
    const pd::ColorKey range{key, key};
    if (data->Surface->SetColorKey(pd::kColorKeySourceBlt, &range) != pd::Result::kOk) {
      WriteLog("テクスチャサーフェスのカラーキーの設定に失敗しました\n");
      return -1;
    }
    return 0;
  }
  const uint32_t key =
      ScreenDepth() == 8 ? 0
                         : PackScreenColor(static_cast<int>((data->ColorKey >> 16) & 0xFF),
                                           static_cast<int>((data->ColorKey >> 8) & 0xFF),
                                           static_cast<int>(data->ColorKey & 0xFF));
  const pd::ColorKey range{key, key};
  if (data->Surface->SetColorKey(pd::kColorKeySourceBlt, &range) != pd::Result::kOk) {
    WriteLog("標準サーフェスのカラーキーの設定に失敗しました\n");
    return -1;
  }
  return 0;
}

int RestoreSurfaceData(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr || data->Surface == nullptr) return 0;
  if (data->Surface->IsLost() != pd::Result::kSurfaceLost) return 0;
  data->Surface->Restore();
  return -1;
}

int LockSurfaceData(int handle, int* pitch, uint8_t** pointer, int writeOnly, const int* point,
                    const ColorFormat** format) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  if (format != nullptr) {
    *format = data->MemImgFlag == 1   ? data->Image.Format
              : data->TextureFlag == 1 ? GetTextureColorFormat(data->FormatIndex)
                                       : &GetScreenColorState().ScreenColorFormat;
  }
  if (data->LockCount > 0) {
    if (pitch != nullptr) *pitch = data->LockPitch;
    if (pointer != nullptr) *pointer = data->LockPointer;
    ++data->LockCount;
    return -2;
  }
  const int px = point != nullptr ? point[0] : 0;
  const int py = point != nullptr ? point[1] : 0;
  if (data->MemImgFlag == 1) {
    if (data->Image.Pixels == nullptr || data->Image.Format == nullptr) return -1;
    data->LockPitch = data->Image.Pitch;
    data->LockPointer = data->Image.Pixels + static_cast<ptrdiff_t>(py) * data->Image.Pitch +
                        static_cast<ptrdiff_t>(px) * data->Image.Format->PixelByte;
  } else {
    if (data->Surface == nullptr) return -1;
    pd::LockedRect locked;
    const uint32_t flags = pd::kLockWait | (writeOnly == 1 ? pd::kLockWriteOnly : 0u);
    if (data->Surface->Lock(nullptr, flags, &locked) != pd::Result::kOk) {
      WriteLog("グラフィックのロックに失敗しました");
      return -1;
    }
    data->LockPitch = locked.pitch;
    data->LockPointer = locked.bits + static_cast<ptrdiff_t>(py) * locked.pitch +
                        static_cast<ptrdiff_t>(px) * static_cast<ptrdiff_t>(locked.format.bit_count / 8);
  }
  data->LockCount = 1;
  if (pitch != nullptr) *pitch = data->LockPitch;
  if (pointer != nullptr) *pointer = data->LockPointer;
  return 0;
}

int UnlockSurfaceData(int handle) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr || data->LockCount <= 0) return -1;
  if (--data->LockCount == 0) {
    if (data->Surface != nullptr) data->Surface->Unlock();
    data->LockPointer = nullptr;
    data->LockPitch = 0;
  }
  return 0;
}

int FillSurfaceData(int handle, int r, int g, int b, int a, const ImageRect* rect) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  if (data->MemImgFlag == 1) {
    // The store is a memory image: fill it in its own format (the font cache
    // clears its graphics this way in software rendering too).
    if (data->Image.Format == nullptr) return -1;
    FillMemImg(&data->Image, rect, PackColor(data->Image.Format, r, g, b, a));
    return 0;
  }
  if (!HasDirectDraw() || data->Surface == nullptr) return -1;
  ColorFormat format{};
  if (!ColorFormatOfSurface(*data->Surface, &format)) return -1;
  pd::BltFx fx;
  fx.fill_color = PackForColorFormat(format, r, g, b, a);
  pd::Rect area{0, 0, data->Width, data->Height};
  if (rect != nullptr) area = pd::Rect{rect->left, rect->top, rect->right, rect->bottom};
  return data->Surface->Blt(&area, nullptr, nullptr, pd::kBltColorFill | pd::kBltWait, &fx) ==
                 pd::Result::kOk
             ? 0
             : -1;
}

int SetSurfaceDataZBuffer(int handle, int on) {
  SurfaceData* data = GetSurfaceData(handle);
  if (data == nullptr) return -1;
  if (on == 0) {
    if (data->DepthSurface != nullptr && data->Surface != nullptr) {
      data->Surface->DeleteAttachedSurface(data->DepthSurface.get());
    }
    data->DepthSurface.reset();
    ReleaseMemImg(&data->DepthImage);
    data->DepthImage = MEMIMG{};
    return 0;
  }
  if (data->DrawValid != 1) return -1;
  if (data->MemImgFlag == 1) {
    if (data->DepthImage.Magic == kMemImgMagic) return 0;
    if (CreateZBufferMemImg(&data->DepthImage, data->Width, data->Height) != 0) {
      data->DepthImage = MEMIMG{};
      WriteLog("Ｚバッファの作成に失敗しました");
      return -1;
    }
    return 0;
  }
  if (data->Surface == nullptr || !HasDirectDraw()) return -1;
  if (data->DepthSurface != nullptr) return 0;
  pd::SurfaceDesc desc;
  desc.caps = pd::kCapsZBuffer | pd::kCapsVideoMemory;
  desc.width = data->Width;
  desc.height = data->Height;
  desc.has_pixel_format = true;
  desc.pixel_format = pd::Depth16Format();
  pd::SurfacePtr depth;
  if (GetDisplayState().DirectDrawObject->CreateSurface(desc, &depth) != pd::Result::kOk ||
      data->Surface->AddAttachedSurface(depth) != pd::Result::kOk) {
    WriteLog("Ｚバッファの作成に失敗しました");
    return -1;
  }
  data->DepthSurface = std::move(depth);
  return 0;
}

bool ColorFormatOfSurface(pd::Surface& surface, ColorFormat* out) {
  pd::PixelFormat pixel;
  if (surface.GetPixelFormat(&pixel) != pd::Result::kOk) return false;
  if ((pixel.flags & pd::kPixelFormatIndexed8) != 0) return SetPalette8ColorFormat(out) == 0;
  if ((pixel.flags & pd::kPixelFormatRgb) == 0) return false;
  return CreateColorFormat(out, static_cast<int>(pixel.bit_count), pixel.red_mask, pixel.green_mask,
                           pixel.blue_mask, pixel.alpha_mask) == 0;
}

void ForEachSurfaceData(void (*fn)(int handle, SurfaceData& data)) {
  Table().table.ForEachLive([fn](int handle, SurfaceData& data) { fn(handle, data); });
}
