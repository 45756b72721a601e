#include "engine/graphics/font_handles.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/graph_creation_flags.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/surface_2d.h"
#include "platform/font_faces.h"

FontRecord::FontRecord() : Glyphs(kGlyphEntryCount), CodeMap(kCharacterKeyCount, -1) {}
FontRecord::~FontRecord() = default;

namespace {

struct FontTable {
  HandleTable<FontRecord> table{HandleType::kFont, kMaxFontHandles};
  DefaultFontSettings defaults;
  FontCacheHooks hooks;
};

FontTable& Fonts() {
  static FontTable fonts;
  return fonts;
}

// The face the system uses when a font names none.
constexpr char kDefaultFaceName[] = "ＭＳ ゴシック";

int GdiCharset(int kind) {
  switch (kind) {
    case kFontKindDefault: return platform::kDefaultCharset;
    case kFontKindHangul: return platform::kHangulCharset;
    default: return platform::kShiftJisCharset;
  }
}

std::unique_ptr<platform::FontFace> OpenFace(const std::string& face, int size, int thickness,
                                             bool italic, int charset) {
  platform::FontRequest request;
  request.face_name = face;
  request.height = size;
  const int64_t weight = int64_t{thickness} * 100;
  request.weight = static_cast<int32_t>(std::clamp<int64_t>(weight, 0, 1000));
  request.italic = italic;
  request.charset = charset;
  return platform::CreateFontFace(request);
}

bool IsEdgeType(uint32_t type) { return (type & kFontTypeEdge) != 0; }

// The type a creation with these flags ends up with on the current screen.
uint32_t EffectiveType(uint32_t type) {
  if (GetScreenColorState().ScreenBits == 8) type &= ~kFontTypeAntialias;
  return type;
}

int CreateDrawScreen(FontRecord& record) {
  int width = 0, height = 0;
  GetScreenSize(&width, &height);
  GraphCreationFlags flags{};
  flags.AlphaChFlag = (record.Type & kFontTypeAntialias) != 0 ? 1 : 0;
  flags.DrawValid = 1;
  flags.SystemMemFlag = 1;
  flags.ColorBitDepth = static_cast<uint8_t>(ScreenDepth());
  const int handle = AddSurface2D(width, height, 0, 0, -1, nullptr, 0, 0, flags);
  if (handle == -1) return -1;
  record.DrawScreen = handle;
  SetSurface2DLostFlag(handle, &record.DrawScreenRebuild);
  return 0;
}

void ReleaseCaches(FontRecord& record) {
  record.Face.reset();
  record.MemoryCache.clear();
  record.MemoryCache.shrink_to_fit();
  if (record.DrawScreen != -1) {
    const int screen = record.DrawScreen;
    record.DrawScreen = -1;
    SetSurface2DLostFlag(screen, nullptr);
    DeleteSurface2D(screen);
  }
  if (record.CacheGraph != -1 || record.EdgeCacheGraph != -1) {
    // The cache graph's lost flag lies in this record: whatever the hooks
    // do with the graph, it must not write there later.
    if (record.CacheGraph != -1) SetGraphLostFlag(record.CacheGraph, nullptr);
    FontCacheHooks& hooks = Fonts().hooks;
    if (hooks.release_cache_graphs) hooks.release_cache_graphs(record);
    record.CacheGraph = record.EdgeCacheGraph = -1;
  }
  record.WorkPixels.clear();
  record.WorkPixels.shrink_to_fit();
}

// Tears down a record whose creation failed after it took its slot.
int FailCreation(int handle) {
  if (FontRecord* record = GetFontRecord(handle)) record->Check = 0;
  DeleteFontHandle(handle);
  return -1;
}

bool AllocateZeroed(std::vector<uint8_t>& bytes, size_t size) {
  try {
    bytes.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

FontCellGeometry ComputeFontCellGeometry(int max_char_width, int text_height, uint32_t type,
                                         int edge_size) {
  const int edge = IsEdgeType(type) ? 2 * edge_size : 0;
  FontCellGeometry g;
  g.cell_size = (max_char_width + 2 + edge + 7) / 8 * 8;
  g.line_height = text_height + edge;
  if (g.line_height % 2 != 0) ++g.line_height;
  if (g.cell_size < g.line_height) g.cell_size = g.line_height;
  return g;
}

int MemoryCacheCellCount(int cell_size) {
  if (cell_size <= 0) return kMaxCacheCells;
  const int64_t cells = kMemoryCachePixels / (int64_t{cell_size} * cell_size);
  return static_cast<int>(std::clamp<int64_t>(cells, kMinCacheCells, kMaxCacheCells));
}

TextureCacheGeometry ComputeTextureCacheGeometry(int cell_size) {
  TextureCacheGeometry g;
  if (cell_size <= 0) return g;
  int64_t width = 512, height = 512;
  // Doubling ends: each step at least doubles one side, and 32 steps give
  // sides far beyond any cell the size limits allow.
  for (int step = 0; step < 32 && (width / cell_size) * (height / cell_size) < 10; ++step) {
    if (width > height) {
      height *= 2;
    } else {
      width *= 2;
    }
  }
  g.width = static_cast<int>(width);
  g.height = static_cast<int>(height);
  g.cell_count = static_cast<int>(std::min<int64_t>((width / cell_size) * (height / cell_size), kMaxCacheCells));
  g.cells_per_column = static_cast<int>(height / cell_size);
  return g;
}

void TextureCellPosition(const TextureCacheGeometry& geometry, int cell_size, int cell, int* x,
                         int* y) {
  const int per_column = geometry.cells_per_column > 0 ? geometry.cells_per_column : 1;
  if (x != nullptr) *x = cell / per_column * cell_size;
  if (y != nullptr) *y = cell % per_column * cell_size;
}

int SystemFontKind() { return platform::OemCodePage() == 949 ? kFontKindHangul : kFontKindShiftJis; }

void SetFontCacheHooks(FontCacheHooks hooks) { Fonts().hooks = std::move(hooks); }
FontCacheHooks& GetFontCacheHooks() { return Fonts().hooks; }

int CreateFontToHandle(const char* face, int size, int thickness, int type, int kind, int edge,
                       int italic, int slot, int check) {
  if (DirectDrawMissing()) return -1;
  uint32_t flags = type == -1 ? 0u : static_cast<uint32_t>(type);
  if (edge > 1) flags |= kFontTypeEdge;
  if (edge < 1) edge = 1;
  if (size == -1) size = 16;
  if (thickness == -1) thickness = 6;
  if (kind == -1) kind = SystemFontKind();
  if (kind < kFontKindDefault || kind > kFontKindHangul) kind = kFontKindShiftJis;
  // Bounds that keep the caches small and the handle fields whole.
  if (size < 1 || size > kMaxFontSize || edge > kMaxFontEdgeSize) return -1;
  if (slot < -1 || slot >= kMaxFontHandles) return -1;
  if (check < -1 || check >= static_cast<int>(kHandleCheckLimit)) return -1;
  const std::string face_name = face != nullptr ? std::string(face) : std::string();
  if (face_name.size() >= static_cast<size_t>(kFontFaceNameSize)) return -1;

  FontTable& fonts = Fonts();
  if (slot == -1) {
    slot = fonts.table.FirstFreeSlot(0);
    if (slot == -1) {
      WriteLogF("作成できるフォントハンドル数 %d の限界を超えました", kMaxFontHandles);
      return -1;
    }
  } else if (fonts.table.RecordAt(slot) != nullptr) {
    return -1;
  }
  std::unique_ptr<FontRecord> fresh;
  try {
    fresh = std::make_unique<FontRecord>();
  } catch (const std::bad_alloc&) {
    WriteLog("フォント管理用メモリ領域の確保に失敗しました\n");
    return -1;
  }
  FontRecord& record = *fresh;
  const int handle = fonts.table.Insert(slot, std::move(fresh), check);
  if (handle == -1) return -1;
  record.Check = HandleCheck(handle);
  record.DrawScreen = record.CacheGraph = record.EdgeCacheGraph = -1;
  record.EdgeSize = edge;
  record.Type = EffectiveType(flags);
  record.Size = size;
  record.Thickness = thickness;
  record.Italic = italic != 0 ? 1u : 0u;
  record.Spacing = 0;
  ColorFormat alphaFormat{}, maskFormat{};
  record.TextureCache = fonts.hooks.texture_formats &&
                                fonts.hooks.texture_formats(&alphaFormat, &maskFormat) &&
                                TextureGlyphFormatsFit(alphaFormat, maskFormat)
                            ? 1
                            : 0;
  record.FaceName = face_name;

  // The system's creation only fails without any font at all; the chain
  // still tries the fall-backs in order.
  const bool slanted = record.Italic != 0;
  if (!face_name.empty()) {
    for (int charset : {GdiCharset(kind), platform::kDefaultCharset, platform::kShiftJisCharset}) {
      record.Face = OpenFace(face_name, size, thickness, slanted, charset);
      if (record.Face) break;
    }
    if (!record.Face) {
      WriteLog("指定のフォントの作成に失敗しました\n");
      return FailCreation(handle);
    }
  } else {
    record.Face = OpenFace(kDefaultFaceName, size, thickness, slanted, GdiCharset(kind));
    if (!record.Face) record.Face = OpenFace(kDefaultFaceName, size, thickness, false, platform::kDefaultCharset);
    if (!record.Face) record.Face = OpenFace("", size, thickness, false, platform::kDefaultCharset);
    if (!record.Face) {
      WriteLog("フォントの作成に失敗しました\n");
      return FailCreation(handle);
    }
  }

  const platform::TextMetrics& metrics = record.Face->Metrics();
  const FontCellGeometry cell =
      ComputeFontCellGeometry(metrics.max_char_width, metrics.height, record.Type, record.EdgeSize);
  record.CellSize = cell.cell_size;
  record.LineHeight = cell.line_height;

  if (record.TextureCache != 0) {
    const TextureCacheGeometry tex = ComputeTextureCacheGeometry(record.CellSize);
    record.CacheWidth = tex.width;
    record.CacheHeight = tex.height;
    record.CellCount = tex.cell_count;
    record.CellsPerColumn = tex.cells_per_column;
    record.TextureRebuild = 1;
    if (RebuildFontCache(handle) != 0) {
      WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
      record.TextureCache = 0;
      record.TextureRebuild = 0;
    } else {
      const bool edged = IsEdgeType(record.Type);
      record.WorkFormat = (record.Type & kFontTypeAntialias) != 0 ? alphaFormat : maskFormat;
      record.WorkWidth = record.CellSize * (edged ? 2 : 1);
      record.WorkHeight = record.CellSize + (edged ? 2 * record.EdgeSize : 0);
      if (!AllocateZeroed(record.WorkPixels, size_t{2} * static_cast<size_t>(record.WorkWidth) *
                                                 static_cast<size_t>(record.WorkHeight))) {
        WriteLog("文字キャッシュ処理用メモリの確保に失敗しました\n");
        return FailCreation(handle);
      }
    }
  }
  if (record.TextureCache == 0) {
    record.CellCount = MemoryCacheCellCount(record.CellSize);
    record.CellsPerColumn = record.CellCount;
    record.MemoryCacheBits = record.Type == 0 ? 1 : 8;
    record.MemoryCachePitch = (record.MemoryCacheBits * record.CellSize + 7) / 8;
    record.CacheWidth = record.CellSize;
    record.CacheHeight = record.CellCount * record.CellSize;
    if (!AllocateZeroed(record.MemoryCache, static_cast<size_t>(record.MemoryCachePitch) *
                                                static_cast<size_t>(record.CacheHeight))) {
      WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
      return FailCreation(handle);
    }
    record.DrawScreenRebuild = 1;
    if (RebuildFontCache(handle) != 0) {
      WriteLog("フォント用描画スクリーンの作成に失敗しました\n");
      return FailCreation(handle);
    }
  }
  ClearGlyphCache(record);
  record.Kind = kind;
  record.LostFlag = nullptr;
  return handle;
}

int RebuildFontCache(int handle) {
  FontRecord* record = Fonts().table.Find(handle);
  if (record == nullptr) return -1;
  // A memory cache always needs its draw screen, however it was lost.
  if (record->TextureCache == 0 && GetSurface2D(record->DrawScreen) == nullptr) {
    record->DrawScreenRebuild = 1;
  }
  if (record->DrawScreenRebuild == 1) {
    record->DrawScreenRebuild = 0;
    if (record->DrawScreen != -1) {
      // The old surface is gone or going: forget it without raising the flag.
      SetSurface2DLostFlag(record->DrawScreen, nullptr);
      DeleteSurface2D(record->DrawScreen);
      record->DrawScreen = -1;
    }
    if (CreateDrawScreen(*record) != 0) return -1;
  }
  if (record->TextureRebuild == 1) {
    record->TextureRebuild = 0;
    FontCacheHooks& hooks = Fonts().hooks;
    if (!hooks.create_cache_graphs || hooks.create_cache_graphs(*record) != 0) return -1;
    ClearGlyphCache(*record);
  }
  return 0;
}

int DeleteFontHandle(int handle) {
  FontTable& fonts = Fonts();
  if (fonts.table.Find(handle) == nullptr) return -1;
  std::unique_ptr<FontRecord> record = fonts.table.Remove(handle);
  ReleaseCaches(*record);
  if (record->LostFlag != nullptr) *record->LostFlag = 1;
  return 0;
}

int DeleteAllFontHandles() {
  for (int slot = 0; slot < kMaxFontHandles; ++slot) DeleteFontHandle(Fonts().table.HandleAt(slot));
  return 0;
}

int SetFontLostFlag(int handle, int32_t* flag) {
  FontRecord* record = GetFontRecord(handle);
  if (record == nullptr) return -1;
  record->LostFlag = flag;
  if (flag != nullptr) *flag = 0;
  return 0;
}

int SetFontSpacing(int spacing, int handle) {
  FontRecord* record = GetFontRecord(handle);
  if (record == nullptr) return -1;
  record->Spacing = spacing;
  return 0;
}

int GetFontInfo(char* faceName, int* size, int* thickness, int handle) {
  const FontRecord* record = GetFontRecord(handle);
  if (record == nullptr) return -1;
  if (faceName != nullptr) {
    // Creation keeps names below the field's size, so the copy is whole.
    std::memcpy(faceName, record->FaceName.c_str(), record->FaceName.size() + 1);
  }
  if (size != nullptr) *size = record->Size;
  if (thickness != nullptr) *thickness = record->Thickness;
  return 0;
}

int GetStandardFont() { return Fonts().defaults.Handle; }
FontRecord* GetFontRecord(int handle) { return Fonts().table.Find(handle); }
int IsValidFontHandle(int handle) { return GetFontRecord(handle) != nullptr ? 1 : 0; }
int GetFontCount() { return Fonts().table.live_count(); }

const DefaultFontSettings& GetDefaultFontSettings() { return Fonts().defaults; }
void ResetDefaultFontSettings() {
  DefaultFontSettings& d = Fonts().defaults;
  std::string face = std::move(d.FaceName);
  const int32_t handle = d.Handle;
  d = DefaultFontSettings{};
  d.FaceName = std::move(face);
  d.Handle = handle;
}

int RefreshDefaultFont() {
  DefaultFontSettings& d = Fonts().defaults;
  if (const FontRecord* r = GetFontRecord(d.Handle)) {
    // Compared with the type the creation would give, so that a font whose
    // antialiasing an 8-bit screen dropped is not made again on every use.
    if (r->FaceName == d.FaceName && r->Type == EffectiveType(d.Type) && r->Size == d.Size &&
        r->Thickness == d.Thickness && r->Kind == d.Kind && r->EdgeSize == d.EdgeSize &&
        r->Italic == static_cast<uint32_t>(d.Italic != 0 ? 1 : 0)) {
      return 0;
    }
  }
  DeleteFontHandle(d.Handle);
  d.Handle = CreateFontToHandle(d.FaceName.c_str(), d.Size, d.Thickness, static_cast<int>(d.Type),
                                d.Kind, IsEdgeType(d.Type) ? d.EdgeSize : -1, d.Italic, -1, -1);
  SetFontSpacing(d.Spacing, d.Handle);
  return 0;
}

int SetDefaultFontSize(int size) {
  Fonts().defaults.Size = size == -1 ? 16 : size;
  return RefreshDefaultFont();
}

int SetDefaultFontThickness(int thickness) {
  Fonts().defaults.Thickness = thickness == -1 ? 6 : thickness;
  return RefreshDefaultFont();
}

int SetDefaultFontName(const char* face, int kind) {
  const std::string name = face != nullptr ? std::string(face) : std::string();
  if (name.size() >= static_cast<size_t>(kDefaultFontNameSize)) return -1;
  DefaultFontSettings& d = Fonts().defaults;
  d.FaceName = name;
  // Stored resolved, as the record stores it, so the two compare equal.
  d.Kind = kind == -1 ? SystemFontKind() : kind;
  return RefreshDefaultFont();
}

int SetDefaultFontType(int type) {
  Fonts().defaults.Type = type == -1 ? 0u : static_cast<uint32_t>(type);
  return RefreshDefaultFont();
}

int SetDefaultFontSizeThickness(const char* /*face*/, int size, int thickness) {
  if (DirectDrawMissing()) return -1;
  DefaultFontSettings& d = Fonts().defaults;
  d.Size = size == -1 ? 16 : size;
  d.Thickness = thickness == -1 ? 6 : thickness;
  return RefreshDefaultFont();
}

int InitializeFonts() {
  if (DirectDrawMissing()) return -1;
  WriteLog("フォントの初期化を行います\n");
  IncreaseLogIndent();
  DefaultFontSettings& d = Fonts().defaults;
  struct Remembered {
    std::string face;
    int size, thickness, type, kind, edge, italic;
  };
  Remembered keep{"", 16, 6, -1, -1, -1, 0};
  if (const FontRecord* r = GetFontRecord(d.Handle)) {
    keep = {r->FaceName, r->Size, r->Thickness, static_cast<int>(r->Type), r->Kind, r->EdgeSize,
            static_cast<int>(r->Italic)};
  }
  DeleteAllFontHandles();
  d.Handle = CreateFontToHandle(keep.face.c_str(), keep.size, keep.thickness, keep.type, keep.kind,
                                keep.edge, keep.italic, -1, -1);
  DecreaseLogIndent();
  WriteLog("フォントの初期化は正常に終了しました\n");
  return 0;
}

int RestoreFonts() {
  FontTable& fonts = Fonts();
  for (int slot = 0; slot < kMaxFontHandles; ++slot) {
    const FontRecord* r = fonts.table.RecordAt(slot);
    if (r == nullptr) continue;
    const std::string face = r->FaceName;
    const int check = static_cast<int>(r->Check);
    const int type = static_cast<int>(r->Type), kind = r->Kind, size = r->Size;
    const int thickness = r->Thickness, edge = r->EdgeSize, italic = static_cast<int>(r->Italic);
    const int spacing = r->Spacing;
    DeleteFontHandle(fonts.table.HandleAt(slot));
    const int handle = CreateFontToHandle(face.c_str(), size, thickness, type, kind, edge, italic, slot, check);
    if (handle != -1) SetFontSpacing(spacing, handle);
  }
  return 0;
}

int ListInstalledFonts(char* buffer, int maximum, int filter) {
  if (filter != 0 && filter != 1) return 0;
  const std::vector<platform::FontFamilyInfo> families = platform::EnumerateFontFamilies();
  std::vector<std::string> taken;
  for (const platform::FontFamilyInfo& f : families) {
    if (f.full_name.empty() || f.full_name[0] == '@') continue;
    if (f.full_name.size() >= static_cast<size_t>(kInstalledFontNameSize)) continue;
    if (filter == 1 && !(f.true_type && f.script == "日本語")) continue;
    if (std::find(taken.begin(), taken.end(), f.full_name) != taken.end()) continue;
    if (buffer != nullptr) {
      char* entry = buffer + taken.size() * kInstalledFontNameSize;
      std::memset(entry, 0, kInstalledFontNameSize);
      std::memcpy(entry, f.full_name.data(), f.full_name.size());
    }
    taken.push_back(f.full_name);
    if (maximum > 0 && static_cast<int>(taken.size()) >= maximum) break;
  }
  return static_cast<int>(taken.size());
}

void ClearFontTable() {
  DeleteAllFontHandles();
  FontTable& fonts = Fonts();
  fonts.table.Clear();
  fonts.table.counter().Reset();
  fonts.defaults.Handle = -1;
}

void ResetFontTable() {
  ClearFontTable();
  Fonts().defaults = DefaultFontSettings{};
}
