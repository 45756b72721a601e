#include "engine/graphics/glyph_cache.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "engine/core/base/fatal_error.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/graph_image.h"
#include "platform/font_faces.h"

namespace {

constexpr uint16_t kAsciiSpaceKey = 0x0020;
constexpr uint16_t kWideSpaceKey = 0x4081;

struct Offset {
  int a, b;
};

// The offsets of an edge mask, row by row.
std::vector<Offset> EdgeOffsets(int size) {
  std::vector<Offset> offsets;
  for (int b = -size; b <= size; ++b) {
    for (int a = -size; a <= size; ++a) {
      if (EdgeMaskCovers(size, a, b)) offsets.push_back({a, b});
    }
  }
  return offsets;
}

// One glyph's bitmap as the stand-in delivered it.
struct GlyphBitmap {
  const uint8_t* bits = nullptr;
  int width = 0;   // pixels readable in a row (black box, cut to the row)
  int height = 0;  // rows
  int pitch = 0;
  bool mono = true;

  int Level(int x, int y) const {
    const uint8_t* row = bits + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    if (mono) return (row[x >> 3] >> (7 - (x & 7))) & 1 ? 16 : 0;
    return std::min<int>(row[x], 16);
  }
};

// Memory cells -------------------------------------------------------------

void RenderPlainCell(uint8_t* cell, int pitch, int cellSize, const GlyphBitmap& g) {
  const int rows = std::min(g.height, cellSize);
  const int bytes = std::min(g.pitch, pitch);
  for (int y = 0; y < rows; ++y) {
    std::memcpy(cell + static_cast<size_t>(y) * static_cast<size_t>(pitch),
                g.bits + static_cast<size_t>(y) * static_cast<size_t>(g.pitch), static_cast<size_t>(bytes));
  }
  // A glyph wider than the cell leaves no bit in the row's padding.
  if (cellSize % 8 != 0 && g.width > cellSize) {
    const uint8_t keep = static_cast<uint8_t>(0xFF << (8 - cellSize % 8));
    for (int y = 0; y < rows; ++y) cell[static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(cellSize / 8)] &= keep;
  }
}

void RenderGrayCell(uint8_t* cell, int pitch, int cellSize, const GlyphBitmap& g) {
  const int rows = std::min(g.height, cellSize);
  const int cols = std::min(g.width, cellSize);
  for (int y = 0; y < rows; ++y) {
    uint8_t* out = cell + static_cast<size_t>(y) * static_cast<size_t>(pitch);
    const uint8_t* in = g.bits + static_cast<size_t>(y) * static_cast<size_t>(g.pitch);
    for (int x = 0; x < cols; ++x) {
      const int v = std::min<int>(in[x], 16);
      if (v >= 1) out[x] = static_cast<uint8_t>(v - 1);
    }
  }
}

// Types 1 and 3: the bitmap at (edge, edge), the edge around it.
void RenderEdgeCell(uint8_t* cell, int pitch, int cellSize, const GlyphBitmap& g, int edge,
                    const std::vector<Offset>& offsets, bool gray) {
  const int rows = std::min(g.height, cellSize - edge);
  const int cols = std::min(g.width, cellSize - edge);
  auto at = [&](int x, int y) -> uint8_t& {
    return cell[static_cast<size_t>(y) * static_cast<size_t>(pitch) + static_cast<size_t>(x)];
  };
  if (!gray) {
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < cols; ++x) {
        if (g.Level(x, y) != 0) at(x + edge, y + edge) = 1;
      }
    }
  }
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const int v = g.Level(x, y);
      if (v == 0) continue;
      const int cx = x + edge, cy = y + edge;
      if (gray) at(cx, cy) = static_cast<uint8_t>((at(cx, cy) & 0xF0) | (v - 1));
      for (const Offset& o : offsets) {
        const int px = cx + o.a, py = cy + o.b;
        if (px < 0 || py < 0 || px >= cellSize || py >= cellSize) continue;
        uint8_t& p = at(px, py);
        if (!gray) {
          if (p == 0) p = 2;
        } else if ((p >> 4) < v - 1) {
          p = static_cast<uint8_t>((p & 0x0F) | ((v - 1) << 4));
        }
      }
    }
  }
}

// Texture cells ------------------------------------------------------------

struct WorkImage {
  uint16_t* pixels;
  int width;   // the whole image (both halves for edge types)
  int height;
  int half;    // width of one half: the cell size
  uint16_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

void RenderTexturePlain(WorkImage& w, const GlyphBitmap& g, const ColorFormat& format) {
  const int rows = std::min(g.height, std::min(w.half, w.height));
  const int cols = std::min(g.width, w.half);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const int v = g.Level(x, y);
      w.At(x, y) = g.mono ? TextureMaskPixel(format, v != 0) : TextureLevelPixel(format, v);
    }
  }
}

void RenderTextureEdge(WorkImage& w, const GlyphBitmap& g, const ColorFormat& format, int edge,
                       const std::vector<Offset>& offsets) {
  const int rows = std::min(g.height, w.height - edge);
  const int cols = std::min(g.width, w.half - edge);
  const uint16_t solid = TextureMaskPixel(format, true);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < cols; ++x) {
      const int v = g.Level(x, y);
      if (v == 0) continue;
      const int cx = x + edge, cy = y + edge;
      w.At(cx, cy) = g.mono ? solid : static_cast<uint16_t>(v);
      for (const Offset& o : offsets) {
        const int px = cx + o.a, py = cy + o.b;
        if (px < 0 || py < 0 || px >= w.half || py >= w.height) continue;
        uint16_t& p = w.At(w.half + px, py);
        if (g.mono) {
          if ((p & format.AlphaMask) == 0) p = solid;
        } else {
          p = static_cast<uint16_t>(UnionEdgeLevel(p, v));
        }
      }
    }
  }
  if (g.mono) return;
  // Levels to texture pixels over the glyph and its edge, both halves.
  const int areaRows = std::min(g.height + 2 * edge, w.height);
  const int areaCols = std::min(g.width + 2 * edge, w.half);
  for (int y = 0; y < areaRows; ++y) {
    for (int x = 0; x < areaCols; ++x) {
      w.At(x, y) = TextureLevelPixel(format, w.At(x, y));
      w.At(w.half + x, y) = TextureLevelPixel(format, w.At(w.half + x, y));
    }
  }
}

void TransferWorkImage(FontRecord& record, int cell, int width, int height) {
  FontCacheHooks& hooks = GetFontCacheHooks();
  if (!hooks.transfer_image_rect || width <= 0 || height <= 0) return;
  const int perColumn = std::max(record.CellsPerColumn, 1);
  const int x = cell / perColumn * record.CellSize;
  const int y = cell % perColumn * record.CellSize;
  GraphImage image{};
  image.Format = record.WorkFormat;
  image.Width = record.WorkWidth;
  image.Height = record.WorkHeight;
  image.Pitch = record.WorkWidth * 2;
  image.Pixels = record.WorkPixels.data();
  hooks.transfer_image_rect(image, 0, 0, width, height, x, y, record.CacheGraph);
  if ((record.Type & kFontTypeEdge) != 0) {
    hooks.transfer_image_rect(image, record.CellSize, 0, record.CellSize + width, height,
                              x + record.CacheWidth, y, record.CacheGraph);
  }
}

int16_t ToInt16(int64_t value) {
  return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

}  // namespace

GlyphEntry* FillGlyphCache(FontRecord& record, int count, const CharacterKey* keys) {
  if (count < 1 || keys == nullptr || record.CellCount < 1) return nullptr;
  if (!record.Face) FatalErrorExit("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
  platform::FontFace& face = *record.Face;
  const int ascent = face.Metrics().ascent;
  const bool gray = (record.Type & kFontTypeAntialias) != 0;
  const bool edged = (record.Type & kFontTypeEdge) != 0;
  const int edge = edged ? record.EdgeSize : 0;
  const platform::GlyphFormat format = gray ? platform::GlyphFormat::kGray : platform::GlyphFormat::kMono;
  const std::vector<Offset> offsets = edged ? EdgeOffsets(edge) : std::vector<Offset>{};
  const int cellSize = record.CellSize;
  std::vector<uint8_t> buffer;
  GlyphEntry* last = nullptr;

  for (int i = 0; i < count; ++i) {
    const CharacterKey& key = keys[i];
    const uint16_t value = CharacterKeyValue(key);
    const int cell = record.NextCell;
    GlyphEntry& entry = record.Glyphs[static_cast<size_t>(cell)];
    // The glyph leaving the cell loses its code-map entry, unless a later
    // cell took over its key (a character repeated in one batch).
    if (entry.InUse != 0 && entry.Key >= 0 && record.CodeMap[static_cast<size_t>(entry.Key)] == cell) {
      record.CodeMap[static_cast<size_t>(entry.Key)] = -1;
    }
    entry.InUse = 1;
    entry.Key = value;
    record.CodeMap[value] = static_cast<int16_t>(cell);

    uint8_t* memoryCell = nullptr;
    if (record.TextureCache != 0) {
      std::fill(record.WorkPixels.begin(), record.WorkPixels.end(), uint8_t{0});
    } else {
      memoryCell = record.MemoryCache.data() +
                   static_cast<size_t>(cell) * static_cast<size_t>(cellSize) * static_cast<size_t>(record.MemoryCachePitch);
      std::memset(memoryCell, 0, static_cast<size_t>(cellSize) * static_cast<size_t>(record.MemoryCachePitch));
    }

    platform::GlyphMetrics metrics;
    const uint32_t code = GlyphCodeOf(key);
    const int64_t size = face.GlyphOutline(code, format, &metrics, nullptr, 0);
    if (size < 0) FatalErrorExit("GetGlyphOutline 関数が失敗しました");
    entry.OriginX = entry.Top = 0;
    entry.Width = entry.Height = 0;
    entry.Advance = metrics.cell_inc_x;
    if (value != kAsciiSpaceKey && value != kWideSpaceKey) {
      GlyphBitmap bitmap;
      if (size > 0 && metrics.black_box_y > 0) {
        try {
          buffer.assign(static_cast<size_t>(size), 0);
        } catch (const std::bad_alloc&) {
          FatalErrorExit("アンチエイリアス文字取得用バッファの確保に失敗しました");
        }
        if (face.GlyphOutline(code, format, &metrics, buffer.data(), buffer.size()) < 0) {
          FatalErrorExit("GetGlyphOutline 関数が失敗しました");
        }
        bitmap.bits = buffer.data();
        bitmap.mono = !gray;
        bitmap.height = static_cast<int>(metrics.black_box_y);
        bitmap.pitch = static_cast<int>(size / metrics.black_box_y / 4 * 4);
        const int64_t readable = gray ? bitmap.pitch : int64_t{bitmap.pitch} * 8;
        bitmap.width = static_cast<int>(std::min<int64_t>(metrics.black_box_x, readable));
      }
      entry.OriginX = ToInt16(metrics.origin_x);
      entry.Top = ToInt16(int64_t{ascent} - metrics.origin_y);
      entry.Advance = metrics.cell_inc_x;
      entry.Width = ToInt16(metrics.black_box_x);
      entry.Height = ToInt16(metrics.black_box_y);
      if (bitmap.bits != nullptr && bitmap.pitch > 0) {
        if (memoryCell != nullptr) {
          const int pitch = record.MemoryCachePitch;
          if (edged) {
            RenderEdgeCell(memoryCell, pitch, cellSize, bitmap, edge, offsets, gray);
          } else if (gray) {
            RenderGrayCell(memoryCell, pitch, cellSize, bitmap);
          } else {
            RenderPlainCell(memoryCell, pitch, cellSize, bitmap);
          }
        } else {
          WorkImage work{reinterpret_cast<uint16_t*>(record.WorkPixels.data()), record.WorkWidth,
                         record.WorkHeight, cellSize};
          if (edged) {
            RenderTextureEdge(work, bitmap, record.WorkFormat, edge, offsets);
          } else {
            RenderTexturePlain(work, bitmap, record.WorkFormat);
          }
        }
      }
    }
    if (edged) {
      entry.Advance = ToInt16(int64_t{entry.Advance} + 2 * edge);
      entry.Width = ToInt16(int64_t{entry.Width} + 2 * edge);
      entry.Height = ToInt16(int64_t{entry.Height} + 2 * edge);
    }
    // Nothing of a glyph lies outside its cell.
    entry.Width = std::min<int16_t>(entry.Width, ToInt16(cellSize));
    entry.Height = std::min<int16_t>(entry.Height, ToInt16(cellSize));
    if (record.TextureCache != 0) {
      const int w = edged ? entry.Width : cellSize;
      const int h = edged ? entry.Height : cellSize;
      TransferWorkImage(record, cell, w, h);
    }
    record.NextCell = cell + 1 >= record.CellCount ? 0 : cell + 1;
    last = &entry;
  }
  return last;
}

bool IsFontLeadByte(int kind, uint8_t byte) {
  if (kind == kFontKindHangul) return byte >= 0x80;
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

const GlyphEntry* FindCachedGlyph(const FontRecord& record, uint16_t key) {
  const int cell = record.CodeMap[key];
  return cell < 0 ? nullptr : &record.Glyphs[static_cast<size_t>(cell)];
}

int ClearGlyphCache(FontRecord& record) {
  std::fill(record.CodeMap.begin(), record.CodeMap.end(), int16_t{-1});
  const int cells = std::clamp(record.CellCount, 0, kGlyphEntryCount - 1);
  for (int i = 0; i < kGlyphEntryCount; ++i) {
    GlyphEntry& e = record.Glyphs[static_cast<size_t>(i)];
    e = GlyphEntry{};
    e.Cell = i < cells ? i : -1;
  }
  record.NextCell = 0;
  return 0;
}

int ClearGlyphCache(int handle) {
  FontRecord* record = GetFontRecord(handle);
  return record == nullptr ? -1 : ClearGlyphCache(*record);
}

GlyphEntry* FillGlyphCache(int handle, int count, const CharacterKey* keys) {
  if (IsGraphicsLost() != 0 || DirectDrawMissing()) return nullptr;
  FontRecord* record = GetFontRecord(handle);
  return record == nullptr ? nullptr : FillGlyphCache(*record, count, keys);
}

int LayoutFontString(int handle, const char* text, int byteLimit, CharacterKey* keys, int* count,
                     int* bytesUsed) {
  FontRecord* record = GetFontRecord(handle);
  if (record == nullptr) return -1;
  CharacterKey scratch[kMaxLayoutKeys];
  if (keys == nullptr) keys = scratch;
  const size_t textLength = text != nullptr ? std::strlen(text) : 0;
  size_t length = textLength;
  if (byteLimit != -1) length = std::min(length, static_cast<size_t>(std::max(byteLimit, 0)));
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);

  CharacterKey pending[kMaxLayoutKeys];
  const int pendingLimit = std::min(kMaxLayoutKeys, record->CellCount);
  int pendingCount = 0;
  int characters = 0;
  size_t pos = 0;
  while (pos < length && characters < kMaxLayoutKeys) {
    CharacterKey key;
    key.First = bytes[pos];
    // A lead byte takes its follower even past the limit; the string's end
    // is never passed.
    if (IsFontLeadByte(record->Kind, key.First) && pos + 1 < textLength) {
      key.Trail = bytes[pos + 1];
      pos += 2;
    } else {
      pos += 1;
    }
    keys[characters++] = key;
    if (record->CodeMap[CharacterKeyValue(key)] < 0 && pendingCount < pendingLimit) {
      pending[pendingCount++] = key;
    }
  }
  if (pendingCount > 0) FillGlyphCache(handle, pendingCount, pending);
  if (count != nullptr) *count = characters;
  if (bytesUsed != nullptr) *bytesUsed = static_cast<int>(pos);
  return 0;
}

bool EdgeMaskCovers(int size, int a, int b) {
  if (size < 1 || a < -size || a > size || b < -size || b > size) return false;
  const int x = a < 0 ? -a : a, y = b < 0 ? -b : b;
  switch (size) {
    case 1: return x + y == 1;
    case 2: return !(x == 2 && y == 2);
    case 3: {
      // ...#... / .#####. / .#####. / ####### and back, by |b|.
      static constexpr int kHalfWidth[4] = {3, 2, 2, 0};
      return x <= kHalfWidth[y];
    }
    case 4: {
      // ..#####.. / .#######. / five rows of ######### / .#######. / ..#####..
      static constexpr int kHalfWidth[5] = {4, 4, 4, 3, 2};  // by |b|
      return x <= kHalfWidth[y];
    }
    default: return true;
  }
}

uint16_t TextureLevelPixel(const ColorFormat& format, int level) {
  const uint32_t colour = format.RedMask | format.GreenMask | format.BlueMask;
  level = std::clamp(level, 0, 16);
  if (level == 0 || format.AlphaWidth < 4) return static_cast<uint16_t>(colour);
  const uint32_t alpha = (static_cast<uint32_t>(level - 1) << (format.AlphaShift + format.AlphaWidth - 4)) & format.AlphaMask;
  return static_cast<uint16_t>(colour | alpha);
}

uint16_t TextureMaskPixel(const ColorFormat& format, bool set) {
  const uint32_t colour = format.RedMask | format.GreenMask | format.BlueMask;
  return static_cast<uint16_t>(set ? colour | format.AlphaMask : colour);
}

bool TextureGlyphFormatsFit(const ColorFormat& alphaFormat, const ColorFormat& maskFormat) {
  const ColorFormat& a = alphaFormat;
  const ColorFormat& m = maskFormat;
  return a.BitDepth == 16 && a.RedWidth == 4 && a.GreenWidth == 4 && a.BlueWidth == 4 && a.AlphaWidth == 4 &&
         m.BitDepth == 16 && m.RedWidth == 5 && m.GreenWidth == 5 && m.BlueWidth == 5 && m.AlphaWidth == 1;
}
