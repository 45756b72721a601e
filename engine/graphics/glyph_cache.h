// The glyph cache of a font handle: character keys, the per-cell
// GlyphEntry records, the code map from key to cell, the ring in which cells
// are reused, and the rendering of glyphs from the font stand-in into the
// cells of a memory cache or, through the glyph work image, into the cache
// graphs of a texture cache.
//
// Character key: the character's first byte in the low 8 bits, its trail
// byte (0 for a one-byte character) in the high 8 bits ("\x81\x40" is
// 0x4081). A key list holds three bytes a character: first, trail or 0, 0.
//
// Memory cells, one value a pixel (row pitch of the cache): type 0 one bit,
// most significant first (1 = glyph); type 1 a byte, 0 empty, 1 glyph,
// 2 edge; type 2 a byte, coverage level - 1 (level 0 and 1 both 0); type 3
// a byte, low nibble the glyph level - 1, high nibble the edge level.
// Texture cells: 16-bit texture pixels, every colour bit set, the shape in
// the alpha: one bit for types 0 and 1, level - 1 in four bits for types 2
// and 3; the edge silhouette goes to the edge cache graph.
//
// Bounds: a glyph never reaches beyond its cell. A bitmap wider or taller
// than the cell is cut at the cell's edge (and at the work image's), and
// the entry's width and height are limited to the cell size, so neither
// the writer nor a texture draw reads a neighbouring cell. A batch never
// holds more than kMaxLayoutKeys keys.
#pragma once

#include <cstdint>
#include <functional>

struct ColorFormat;
struct FontRecord;
struct GraphImage;

inline constexpr int kGlyphEntryCount = 2025;  // the largest cell count + 1
inline constexpr int kCharacterKeyCount = 65536;
inline constexpr int kMaxLayoutKeys = 256;

struct GlyphEntry {
  int16_t InUse = 0;
  int16_t OriginX = 0;  // bitmap's left edge from the pen position
  int16_t Top = 0;      // bitmap's first row below the line's top
  int16_t Advance = 0;  // pen advance in x
  int32_t Cell = 0;     // entry i holds i; the entry after the last cell -1
  int16_t Width = 0;    // black box, at most the cell size
  int16_t Height = 0;
  int32_t Key = -1;     // the code-map entry naming this glyph, -1 none
};

struct CharacterKey {
  uint8_t First = 0;
  uint8_t Trail = 0;
  uint8_t Zero = 0;
};
static_assert(sizeof(CharacterKey) == 3, "a key-list entry is three bytes");

inline uint16_t CharacterKeyValue(const CharacterKey& key) {
  return static_cast<uint16_t>(key.First | (key.Trail << 8));
}
// The code the font stand-in takes: first x 256 + trail, or the byte.
inline uint32_t GlyphCodeOf(const CharacterKey& key) {
  return key.Trail != 0 ? (uint32_t{key.First} << 8) | key.Trail : key.First;
}
// Lead bytes by character-set kind: kind 2 every byte from 0x80, the
// others 0x81-0x9F and 0xE0-0xFC.
bool IsFontLeadByte(int kind, uint8_t byte);

// The cached glyph of a key, or null.
const GlyphEntry* FindCachedGlyph(const FontRecord& record, uint16_t key);

// Empties the cache: every code-map entry absent, the entries numbered 0 to
// cell count - 1 with -1 after the last, the ring at 0. 0, or -1 for a bad
// handle.
int ClearGlyphCache(int handle);
int ClearGlyphCache(FontRecord& record);

// Renders count keys into the cache in ring order and returns the entry of
// the last; null when the display is lost, no display object exists yet, the
// handle is bad or count is below 1.
GlyphEntry* FillGlyphCache(int handle, int count, const CharacterKey* keys);
// The same for a record, without the display checks (benchmarks, tests).
GlyphEntry* FillGlyphCache(FontRecord& record, int count, const CharacterKey* keys);

// Splits at most byteLimit bytes of text (-1: all of it; at most
// kMaxLayoutKeys characters) into keys (an array of kMaxLayoutKeys, or null
// for a scratch one), renders those not cached in one batch and stores the
// character count; bytesUsed, when given, receives the bytes the keys cover
// (a longer string is continued from there). 0, or -1 for a bad handle.
int LayoutFontString(int handle, const char* text, int byteLimit, CharacterKey* keys, int* count,
                     int* bytesUsed = nullptr);

// Edge masks: 1 when offset (a across, b down) belongs to the edge of the
// given size (1: the four neighbours; 2-4: the rounded squares; 5 and more:
// the whole square).
bool EdgeMaskCovers(int size, int a, int b);
// The union of an edge level e with a glyph level v (both 0..16).
inline int UnionEdgeLevel(int e, int v) { return (256 - (16 - e) * (16 - v)) / 16; }

// Texture pixels: level 0..16 in an alpha-channel format (level 0 and 1 both
// carry alpha 0); set or clear in a one-bit-alpha format.
uint16_t TextureLevelPixel(const ColorFormat& format, int level);
uint16_t TextureMaskPixel(const ColorFormat& format, bool set);
// The two formats a texture cache works with: 4 bits in each of the four
// fields, and 5-5-5 with one bit of alpha.
bool TextureGlyphFormatsFit(const ColorFormat& alphaFormat, const ColorFormat& maskFormat);
