// Drawing and measuring strings with font handles.
//
// Strings are NUL-terminated Shift-JIS bytes (Hangul lead bytes for fonts of
// character-set kind 2). There are no line breaks and no control codes:
// every byte, or lead byte with its follower, is one character with its own
// glyph and advance; the ASCII space and the full-width space advance
// without drawing. The pen is a double in pixels along the line, growing by
// (advance + spacing) x factor after every character.
//
// RenderFontString walks a string of any length in pieces of at most
// kMaxLayoutKeys characters with the pen carried over, so a long string
// measures and draws exactly as its pieces joined. Glyphs of a memory cache
// are written into a MEMIMG by the glyph writer; glyphs of a texture cache
// are drawn with the graph draw entries (through StringGraphDraws, which
// tests replace), their colour given by DrawBright.
//
// The drawing entries follow the draw skeleton of the graph entries and
// pick the 3D or the 2D back end; the 2D back ends write straight into the
// target's image or compose the string on the font's draw screen first.
// Colours are ScreenColor values. Everything runs under the library lock.
#pragma once

#include <cstdint>
#include <functional>

#include "engine/core/base/rect_helpers.h"

struct ColorFormat;
struct MEMIMG;

// The two forms of a colour after DrawBright: the packed screen value
// without the bits packed black carries (memory images), and
// 0xFF000000 | R << 16 | G << 8 | B (DrawBright while a texture glyph is
// drawn).
struct StringColorForms {
  uint32_t memory = 0;
  uint32_t texture = 0;
};
StringColorForms ComputeStringColorForms(uint32_t screenColor, uint32_t drawBright);

// mode 0 measures, 1 draws. Factors apply only to texture caches, in measure
// mode or with scaled set. byteLimit -1: the whole string. sizeOut, when
// given, receives {width, height}: {trunc(pen), line height} horizontally,
// {line height, trunc(pen)} vertically. Result: trunc(pen); 0 for a null or
// empty string; -1 when the display is lost, DirectDraw is in use but not
// yet made, or the font handle is bad (tested in that order, before the
// string).
int RenderFontString(int mode, int x, int y, int scaled, double xFactor, double yFactor,
                     const char* text, uint32_t color, MEMIMG* dest, const IntRect* clip,
                     int font, uint32_t edgeColor, int byteLimit, int vertical,
                     int32_t* sizeOut);

// The same, the memory form of the colours converted from the screen's
// format to writeFormat (null: none) for an image in that format.
int RenderFontStringInFormat(int mode, int x, int y, int scaled, double xFactor, double yFactor,
                             const char* text, uint32_t color, MEMIMG* dest, const IntRect* clip,
                             int font, uint32_t edgeColor, int byteLimit, int vertical,
                             int32_t* sizeOut, const ColorFormat* writeFormat);

// 0 drawn (or nothing to draw), -1 failure (bad handle, logged).
int DrawFontString(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                   int vertical);
int DrawFontStringScaled(int x, int y, double xFactor, double yFactor, const char* text,
                         uint32_t color, int font, uint32_t edgeColor, int vertical);
int DrawDefaultFontString(int x, int y, const char* text, uint32_t color, uint32_t edgeColor);
// The advance sum in pixels, -1 for a bad handle.
int MeasureFontString(const char* text, int byteLimit, int font, int vertical);
int MeasureDefaultFontString(const char* text, int byteLimit, int vertical);

// The back ends.
int DrawFontString2D(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                     int vertical);
int DrawFontStringScaled2D(int x, int y, double xFactor, double yFactor, const char* text,
                           uint32_t color, int font, uint32_t edgeColor, int vertical);
int DrawFontString3D(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                     int vertical);
int DrawFontStringScaled3D(int x, int y, double xFactor, double yFactor, const char* text,
                           uint32_t color, int font, uint32_t edgeColor, int vertical);

// One glyph of a texture cache: the string's origin, the pen before the
// glyph, and the colours. Draws the edge cache graph in the edge colour
// (edge types) and then the cache graph in the main colour, with no blend
// graphic; the blend graphic, DrawBright and DrawArea are as before
// afterwards.
struct TextureGlyphPlacement {
  int x = 0, y = 0;
  double pen = 0.0;
  bool scaled = false, vertical = false;
  double xf = 1.0, yf = 1.0;
  StringColorForms main, edge;
};
struct FontRecord;
struct GlyphEntry;
void DrawFontTextureGlyph(const TextureGlyphPlacement& placement, const FontRecord& font,
                          const GlyphEntry& glyph);

// What the texture path and the 3D subtract emulation ask of the graph
// draw entries and the 3D box fill. Unset members are the engine's own.
struct StringGraphDraws {
  std::function<int(int x, int y, int sx, int sy, int width, int height, int graph,
                    int transparent, int mirror)>
      blit_part;
  std::function<int(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph,
                    int transparent)>
      blit_stretch_part;
  std::function<int(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                    float y4, int graph, int transparent)>
      blit_quad;
  std::function<int(int x, int y, int width, int height, int source)> create_sub_graph;
  std::function<int(int graph)> release_graph;
  std::function<int(int x1, int y1, int x2, int y2, uint32_t color)> fill_box_3d;
};
void SetStringGraphDraws(StringGraphDraws draws);
