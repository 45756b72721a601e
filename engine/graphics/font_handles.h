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
// texture cache is used only when the texture hooks say the two 16-bit
// texture formats fit and can make the cache graphs; without a 3D device
// (this build) every font takes the memory cache. Filling cells with glyphs
// and drawing strings are the glyph cache's and the string code's: this
// unit only sizes, clears (through the glyph-cache hook) and owns the cache.
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

// Upward hooks: the glyph cache (clearing a font's cells) and the texture
// cache (whether the 16-bit texture formats fit and making the cache
// graphs; the graphics' 3D side installs them). Unset members keep the
// defaults: clearing resets the ring position, no texture caches.
struct FontCacheHooks {
  std::function<void(FontRecord&)> clear_glyph_cache;
  std::function<bool()> texture_cache_usable;
  // Makes CacheGraph (and EdgeCacheGraph for edge types) of the record's
  // cache size; 0 or -1.
  std::function<int(FontRecord&)> create_cache_graphs;
  std::function<void(FontRecord&)> release_cache_graphs;
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
int ClearGlyphCache(FontRecord& record);

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
// Back to the start-up values (the graphics start does this before
// InitializeFonts); the handle is forgotten, not deleted.
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

// Drops every font and the default settings back to their start (tests).
void ResetFontTable();
