// Font handles (HandleType 4) and the default font. A FontRecord holds a
// face from the font stand-in (platform/font_faces.h), the geometry of its
// glyph cache and the storage of that cache, plus, for memory caches, the
// draw screen (a 2D surface of the screen's size) strings are composed in.
//
// Table: 40 slots, first free slot; the creation counter wraps 2047 -> 0.
// Sizes in pixels; face names are Shift-JIS and kept whole (std::string).
//
// Glyph caches: a memory cache is one column of square cells, 1 bit a pixel
// for type 0 and 8 bits a pixel for the edge and antialiased types. A
// texture cache is used only when the texture hooks give two 16-bit texture
// formats that fit and can make the cache graphs; without a 3D device every
// font takes the memory cache. Filling cells with glyphs is the glyph
// cache's (glyph_cache.h), drawing strings the string code's: this unit
// sizes and owns the cache.
//
// Limits beyond the table: size 1..512, edge size up to kMaxFontEdgeSize,
// face names shorter than kFontFaceNameSize bytes; a given slot must be
// 0..39 and a given check value 0..2047. Anything else answers -1.
// Operations run under ApiLock; there is no lock of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/image/color_format.h"

namespace platform {
class FontFace;
}

inline constexpr int kMaxFontHandles = 40;
inline constexpr int kMaxFontSize = 512;
inline constexpr int kMaxFontEdgeSize = 64;
inline constexpr int kFontFaceNameSize = 256;        // record field, with the NUL
inline constexpr int kDefaultFontNameSize = 128;     // default setting, with the NUL
inline constexpr int kInstalledFontNameSize = 64;    // ListInstalledFonts entries
inline constexpr int kMemoryCachePixels = 327680;
inline constexpr int kMinCacheCells = 20;
inline constexpr int kMaxCacheCells = 2024;

// Font type flags.
inline constexpr uint32_t kFontTypeEdge = 1;
inline constexpr uint32_t kFontTypeAntialias = 2;

// Character-set kinds.
inline constexpr int kFontKindDefault = 0;
inline constexpr int kFontKindShiftJis = 1;
inline constexpr int kFontKindHangul = 2;

struct FontRecord {
  uint32_t Check = 0;
  int32_t* LostFlag = nullptr;  // set to 1 when the record is deleted
  std::vector<GlyphEntry> Glyphs;  // kGlyphEntryCount; entry i describes cell i
  std::vector<int16_t> CodeMap;    // kCharacterKeyCount: the key's cell, -1 absent
  int32_t NextCell = 0;         // ring position of the next rendered glyph
  int32_t CellCount = 0;        // 1..2,024
  std::vector<uint8_t> MemoryCache;  // memory caches only
  int32_t MemoryCachePitch = 0;
  int32_t MemoryCacheBits = 0;  // 1 (type 0) or 8
  std::string FaceName;         // empty: the default face
  int32_t Thickness = 0;        // weight / 100
  int32_t Size = 0;
  int32_t LineHeight = 0;       // always even
  uint32_t Italic = 0;
  int32_t Spacing = 0;
  int32_t CellSize = 0;
  std::unique_ptr<platform::FontFace> Face;
  uint32_t Type = 0;
  int32_t Kind = 0;             // resolved: 0, 1 or 2
  int32_t EdgeSize = 1;
  int32_t CacheWidth = 0;
  int32_t CacheHeight = 0;
  int32_t CellsPerColumn = 0;
  int32_t DrawScreen = -1;
  int32_t DrawScreenRebuild = 0;
  int32_t CacheGraph = -1;
  int32_t EdgeCacheGraph = -1;
  int32_t TextureRebuild = 0;
  int32_t WorkWidth = 0, WorkHeight = 0;  // glyph work image (texture caches)
  std::vector<uint8_t> WorkPixels;        // 16 bits a pixel
  ColorFormat WorkFormat{};               // the texture format of the cache
  int32_t TextureCache = 0;

  FontRecord();
  ~FontRecord();
};

// Cache geometry from the text metrics (pure; exposed for tests).
struct FontCellGeometry {
  int cell_size = 0;
  int line_height = 0;
};
FontCellGeometry ComputeFontCellGeometry(int max_char_width, int text_height, uint32_t type,
                                         int edge_size);
// Cells of a memory cache: 327,680 / cell², within 20..2,024.
int MemoryCacheCellCount(int cell_size);
struct TextureCacheGeometry {
  int width = 0, height = 0, cell_count = 0, cells_per_column = 0;
};
TextureCacheGeometry ComputeTextureCacheGeometry(int cell_size);
// Top-left corner of cell i in a texture cache.
void TextureCellPosition(const TextureCacheGeometry& geometry, int cell_size, int cell, int* x,
                         int* y);
// The character-set kind -1 stands for: 2 on a Hangul system, else 1.
int SystemFontKind();

// The texture cache's seam to the 3D side, which installs it: the two
// 16-bit texture formats, making and releasing the cache graphs, and the
// transfer of glyph work-image rectangles into them. Unset members: no
// texture caches.
struct FontCacheHooks {
  // The formats for antialiased fonts (alpha channel) and for the others
  // (one-bit alpha) when 3D drawing is in use; false otherwise. A texture
  // cache is made only when they fit TextureGlyphFormatsFit.
  std::function<bool(ColorFormat* alphaFormat, ColorFormat* maskFormat)> texture_formats;
  // Makes CacheGraph (and EdgeCacheGraph for edge types) of the record's
  // cache size; 0 or -1.
  std::function<int(FontRecord&)> create_cache_graphs;
  std::function<void(FontRecord&)> release_cache_graphs;
  // The rectangle (left, top, right, bottom) of the image to (x, y) of the
  // graph; 0 or -1.
  std::function<int(const GraphImage& image, int left, int top, int right, int bottom, int x, int y,
                     int graph)>
      transfer_image_rect;
};
void SetFontCacheHooks(FontCacheHooks hooks);
FontCacheHooks& GetFontCacheHooks();

int CreateFontToHandle(const char* face, int size, int thickness, int type, int kind, int edge,
                       int italic, int slot, int check);
int DeleteFontHandle(int handle);
int DeleteAllFontHandles();
int SetFontLostFlag(int handle, int32_t* flag);
int SetFontSpacing(int spacing, int handle);
// faceName, when given, receives up to kFontFaceNameSize bytes.
int GetFontInfo(char* faceName, int* size, int* thickness, int handle);
int GetStandardFont();
FontRecord* GetFontRecord(int handle);
int IsValidFontHandle(int handle);
int GetFontCount();
int RebuildFontCache(int handle);

// The default font.
struct DefaultFontSettings {
  int32_t Handle = -1;
  std::string FaceName;  // empty: the default face
  int32_t Size = 16;
  int32_t Thickness = 6;
  uint32_t Type = 0;
  int32_t Kind = kFontKindShiftJis;
  int32_t EdgeSize = 1;
  int32_t Italic = 0;
  int32_t Spacing = 0;
};
const DefaultFontSettings& GetDefaultFontSettings();
// Back to the start-up values (the graph manager's start does this before
// InitializeFonts): size 16, thickness 6, type 0, Shift-JIS, edge 1, upright,
// spacing 0. The face name the game chose is kept, so that a screen-mode
// change (which keeps size and thickness) keeps the face as well. The
// handle is forgotten, not deleted.
void ResetDefaultFontSettings();
int RefreshDefaultFont();
int SetDefaultFontSize(int size);
int SetDefaultFontThickness(int thickness);
// -1 for a name of kDefaultFontNameSize bytes or more (the setting stays).
int SetDefaultFontName(const char* face, int kind);
int SetDefaultFontType(int type);
int SetDefaultFontSizeThickness(const char* face, int size, int thickness);
int InitializeFonts();
int RestoreFonts();
// buffer: maximum entries of kInstalledFontNameSize bytes, or null to count
// every matching name.
int ListInstalledFonts(char* buffer, int maximum, int filter);

// The graph manager's zero-fill of the font table: every font is deleted
// (its caches and draw screen released, its owner's lost flag raised), the
// creation counter starts again at 0 and the default handle is forgotten.
// The default settings are left alone.
void ClearFontTable();
// ClearFontTable and every default setting, the face name included, back to
// its start (tests).
void ResetFontTable();
