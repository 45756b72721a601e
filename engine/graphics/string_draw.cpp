#include "engine/graphics/string_draw.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

#include "engine/core/base/fatal_error.h"
#include "engine/core/base/log.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/d3d_targets.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_state_control.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/glyph_cache.h"
#include "engine/graphics/glyph_writer.h"
#include "engine/graphics/graph_creation.h"
#include "engine/graphics/graph_draw.h"
#include "engine/graphics/graph_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/quad_draw_2d.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "engine/graphics/software_front.h"
#include "engine/graphics/surface_draw_3d.h"

namespace {

StringGraphDraws g_draws;

constexpr char kBadFontHandle[] = "フォントハンドル値が異常です\n";
constexpr char kGlyphCacheFailed[] = "テキストキャッシュの作成に失敗しました";

constexpr uint16_t kFullWidthSpaceKey = 0x4081;

int ToInt(double value) {
  // Pens and products stay far inside int in any drawable string; out of
  // range values saturate instead of being undefined.
  if (!(value == value)) return 0;
  if (value >= 2147483647.0) return INT_MAX;
  if (value <= -2147483648.0) return INT_MIN;
  return static_cast<int>(value);
}

int Sat(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX)); }

// Sets DrawArea (both forms); on the 3D device the viewport follows it,
// since free quads are clipped by the viewport alone.
void SetDrawAreaRect(const IntRect& area) {
  DrawState& s = CurrentDrawState;
  s.DrawArea = area;
  s.DrawAreaF[0] = static_cast<float>(area.left);
  s.DrawAreaF[1] = static_cast<float>(area.top);
  s.DrawAreaF[2] = static_cast<float>(area.right);
  s.DrawAreaF[3] = static_cast<float>(area.bottom);
  if (IsUsing3DDrawing() != 0) SetDrawAreaViewport3D(area);
}

// Keeps DrawArea (both forms) and puts it back.
class DrawAreaKeeper {
 public:
  DrawAreaKeeper() : area_(CurrentDrawState.DrawArea) {
    std::copy(std::begin(CurrentDrawState.DrawAreaF), std::end(CurrentDrawState.DrawAreaF), f_);
  }
  ~DrawAreaKeeper() {
    SetDrawAreaRect(area_);
    std::copy(std::begin(f_), std::end(f_), CurrentDrawState.DrawAreaF);
  }
  DrawAreaKeeper(const DrawAreaKeeper&) = delete;
  DrawAreaKeeper& operator=(const DrawAreaKeeper&) = delete;
  const IntRect& area() const { return area_; }

 private:
  IntRect area_;
  float f_[4];
};

// DrawArea narrowed to a glyph's rectangle, never beyond the area the
// caller set; false when nothing of the glyph is left to draw.
bool NarrowDrawArea(const DrawAreaKeeper& keep, IntRect glyph) {
  ClipRect(&glyph, &keep.area());
  if (glyph.left >= glyph.right || glyph.top >= glyph.bottom) return false;
  SetDrawAreaRect(glyph);
  return true;
}

void SetBright(uint32_t rgb) { SetDrawBrightPacked(rgb & 0xFFFFFFu); }

int BlitPart(int x, int y, int sx, int sy, int w, int h, int graph) {
  if (g_draws.blit_part) return g_draws.blit_part(x, y, sx, sy, w, h, graph, 1, 0);
  return BlitGraphPart(x, y, sx, sy, w, h, graph, 1, 0);
}
int BlitStretchPart(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph) {
  if (g_draws.blit_stretch_part) return g_draws.blit_stretch_part(x1, y1, x2, y2, sx, sy, sw, sh, graph, 1);
  return BlitStretchGraphPart(x1, y1, x2, y2, sx, sy, sw, sh, graph, 1);
}
int BlitQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph) {
  if (g_draws.blit_quad) return g_draws.blit_quad(x1, y1, x2, y2, x3, y3, x4, y4, graph, 1);
  return BlitQuadGraph(x1, y1, x2, y2, x3, y3, x4, y4, graph, 1);
}
int SubGraph(int x, int y, int w, int h, int source) {
  if (g_draws.create_sub_graph) return g_draws.create_sub_graph(x, y, w, h, source);
  return CreateSubGraph(x, y, w, h, source);
}
void Release(int graph) {
  if (g_draws.release_graph) {
    g_draws.release_graph(graph);
  } else {
    ReleaseGraph(graph, 0);
  }
}
int FillBox3D(int x1, int y1, int x2, int y2, uint32_t color) {
  return g_draws.fill_box_3d ? g_draws.fill_box_3d(x1, y1, x2, y2, color) : ::FillBox3D(x1, y1, x2, y2, color);
}

}  // namespace

void DrawFontTextureGlyph(const TextureGlyphPlacement& r, const FontRecord& font,
                          const GlyphEntry& glyph) {
  DrawState& s = CurrentDrawState;
  const int savedBlend = s.BlendGraph, savedParam = s.BorderParam, savedRange = s.BorderRange;
  const uint32_t savedBright = s.DrawBright;
  if (savedBlend != -1) SelectBlendGraphic(-1, savedParam, savedRange);

  const int perColumn = std::max(font.CellsPerColumn, 1);
  const int cellX = (glyph.Cell / perColumn) * font.CellSize;
  const int cellY = (glyph.Cell % perColumn) * font.CellSize;
  const int w = glyph.Width, h = glyph.Height;
  const bool edged = (font.Type & kFontTypeEdge) != 0 && font.EdgeCacheGraph != -1;
  const int penInt = ToInt(r.pen);

  // The edge pass first (edge types), then the glyph.
  struct Pass {
    int graph;
    uint32_t bright;
    int width;  // the graph's width
  };
  Pass passes[2];
  int passCount = 0;
  if (edged) passes[passCount++] = {font.EdgeCacheGraph, r.edge.texture, font.CacheWidth};
  passes[passCount++] = {font.CacheGraph, r.main.texture, font.CacheWidth * (edged ? 2 : 1)};
  const int graphHeight = font.CacheHeight;

  if (!r.vertical && !r.scaled) {
    const int gx = Sat(int64_t{r.x} + penInt + glyph.OriginX), gy = Sat(int64_t{r.y} + glyph.Top);
    for (int i = 0; i < passCount; ++i) {
      SetDrawBrightPacked(passes[i].bright);
      BlitPart(gx, gy, cellX, cellY, w, h, passes[i].graph);
    }
  } else if (!r.vertical) {
    const int x1 = Sat(int64_t{r.x} + ToInt(glyph.OriginX * r.xf + r.pen));
    const int y1 = Sat(int64_t{r.y} + ToInt(glyph.Top * r.yf));
    const int x2 = Sat(int64_t{x1} + ToInt(w * r.xf)), y2 = Sat(int64_t{y1} + ToInt(h * r.yf));
    for (int i = 0; i < passCount; ++i) {
      SetDrawBrightPacked(passes[i].bright);
      BlitStretchPart(x1, y1, x2, y2, cellX, cellY, w, h, passes[i].graph);
    }
  } else if (!r.scaled) {
    const int x0 = Sat(int64_t{r.x} + font.LineHeight - glyph.Top);
    const int y0 = Sat(int64_t{r.y} + penInt + glyph.OriginX);
    DrawAreaKeeper keep;
    const bool shown =
        NarrowDrawArea(keep, IntRect{Sat(int64_t{x0} - h - 1), y0, Sat(int64_t{x0} + 1), Sat(int64_t{y0} + w)});
    const float ax = static_cast<float>(int64_t{x0} + cellY) - 0.5f;
    const float ay = static_cast<float>(int64_t{y0} - cellX) - 0.5f;
    for (int i = 0; shown && i < passCount; ++i) {
      SetDrawBrightPacked(passes[i].bright);
      const float gw = static_cast<float>(passes[i].width), gh = static_cast<float>(graphHeight);
      BlitQuad(ax, ay, ax, ay + gw, ax - gh, ay + gw, ax - gh, ay, passes[i].graph);
    }
  } else {
    const int x0 = Sat(int64_t{r.x} + ToInt((font.LineHeight - glyph.Top) * r.xf));
    const int y0 = Sat(int64_t{r.y} + ToInt(glyph.OriginX * r.yf + r.pen));
    const int left = Sat(int64_t{x0} - ToInt(h * r.xf));
    const int bottom = Sat(int64_t{y0} + ToInt(w * r.yf));
    DrawAreaKeeper keep;
    const bool shown = NarrowDrawArea(keep, IntRect{Sat(int64_t{left} - 1), y0, Sat(int64_t{x0} + 1), bottom});
    const float fx0 = static_cast<float>(x0) - 0.5f, fy0 = static_cast<float>(y0) - 0.5f;
    const float fl = static_cast<float>(left) - 0.5f, fb = static_cast<float>(bottom) - 0.5f;
    for (int i = 0; shown && i < passCount; ++i) {
      SetDrawBrightPacked(passes[i].bright);
      const int sub = SubGraph(cellX, cellY, w, h, passes[i].graph);
      if (sub == -1) continue;
      BlitQuad(fx0, fy0, fx0, fb, fl, fb, fl, fy0, sub);
      Release(sub);
    }
  }

  if (savedBlend != -1) SelectBlendGraphic(savedBlend, savedParam, savedRange);
  SetBright(savedBright);
}

namespace {

// The glyph of a key, rendered alone when the batch could not hold it.
const GlyphEntry* GlyphOf(int font, FontRecord& record, const CharacterKey& key) {
  const GlyphEntry* glyph = FindCachedGlyph(record, CharacterKeyValue(key));
  if (glyph != nullptr) return glyph;
  glyph = FillGlyphCache(font, 1, &key);
  if (glyph == nullptr) FatalErrorExit(kGlyphCacheFailed);
  return glyph;
}

int Depth16Or(int bits) { return bits == 0 ? 16 : bits; }

}  // namespace

StringColorForms ComputeStringColorForms(uint32_t screenColor, uint32_t drawBright) {
  int r = 0, g = 0, b = 0;
  UnpackScreenColor(screenColor, &r, &g, &b);
  r = r * static_cast<int>((drawBright >> 16) & 0xFF) / 255;
  g = g * static_cast<int>((drawBright >> 8) & 0xFF) / 255;
  b = b * static_cast<int>(drawBright & 0xFF) / 255;
  StringColorForms forms;
  forms.memory = PackScreenColor(r, g, b) & ~PackScreenColor(0, 0, 0);
  forms.texture = 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
                  static_cast<uint32_t>(b);
  return forms;
}

int RenderFontString(int mode, int x, int y, int scaled, double xFactor, double yFactor,
                     const char* text, uint32_t color, MEMIMG* dest, const IntRect* clip,
                     int font, uint32_t edgeColor, int byteLimit, int vertical,
                     int32_t* sizeOut) {
  return RenderFontStringInFormat(mode, x, y, scaled, xFactor, yFactor, text, color, dest, clip,
                                  font, edgeColor, byteLimit, vertical, sizeOut, nullptr);
}

int RenderFontStringInFormat(int mode, int x, int y, int scaled, double xFactor, double yFactor,
                             const char* text, uint32_t color, MEMIMG* dest, const IntRect* clip,
                             int font, uint32_t edgeColor, int byteLimit, int vertical,
                             int32_t* sizeOut, const ColorFormat* writeFormat) {
  if (IsGraphicsLost() != 0 || DirectDrawMissing()) return -1;
  FontRecord* record = GetFontRecord(font);
  if (record == nullptr) return -1;
  const bool texture = record->TextureCache != 0;
  if (!(texture && (mode == 0 || scaled != 0))) {
    xFactor = yFactor = 1.0;
    scaled = 0;
  }
  const StringColorForms main = ComputeStringColorForms(color, CurrentDrawState.DrawBright);
  const StringColorForms edge = ComputeStringColorForms(edgeColor, CurrentDrawState.DrawBright);
  if (text == nullptr || text[0] == '\0') return 0;

  size_t length = std::strlen(text);
  if (byteLimit != -1 && byteLimit >= 0 && static_cast<size_t>(byteLimit) < length) {
    length = static_cast<size_t>(byteLimit);
  } else if (byteLimit < -1) {
    length = 0;
  }
  const double step = vertical != 0 ? yFactor : xFactor;

  GlyphWriteRequest write;
  write.Dest = dest;
  write.Clip = clip != nullptr ? *clip : IntRect{INT_MIN / 2, INT_MIN / 2, INT_MAX / 2, INT_MAX / 2};
  write.X = x;
  write.Y = y;
  write.Vertical = vertical != 0;
  write.Main = main.memory;
  write.Edge = edge.memory;
  if (writeFormat != nullptr) {
    const ColorFormat* screen = &GetScreenColorState().ScreenColorFormat;
    write.Main = ConvertPixel(writeFormat, screen, main.memory);
    write.Edge = ConvertPixel(writeFormat, screen, edge.memory);
  }
  write.ScreenBits = Depth16Or(ScreenDepth());

  TextureGlyphPlacement tex;
  tex.x = x;
  tex.y = y;
  tex.scaled = scaled != 0;
  tex.vertical = vertical != 0;
  tex.xf = xFactor;
  tex.yf = yFactor;
  tex.main = main;
  tex.edge = edge;

  double pen = 0.0;
  CharacterKey keys[kMaxLayoutKeys];
  size_t done = 0;
  while (done < length) {
    // One table of characters at a time; the pen carries over.
    const size_t rest = length - done;
    const int limit = rest > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(rest);
    int count = 0, used = 0;
    if (LayoutFontString(font, text + done, limit, keys, &count, &used) != 0) return -1;
    if (used <= 0 || count <= 0) break;
    for (int i = 0; i < count; ++i) {
      const GlyphEntry* glyph = GlyphOf(font, *record, keys[i]);
      if (mode != 0) {
        const uint16_t key = CharacterKeyValue(keys[i]);
        const bool blank = key == ' ' || key == kFullWidthSpaceKey ||
                           (glyph->Width == 0 && glyph->Height == 0);
        if (!blank) {
          if (texture) {
            tex.pen = pen;
            DrawFontTextureGlyph(tex, *record, *glyph);
          } else if (dest != nullptr) {
            write.Pen = pen;
            WriteGlyphToMemImg(write, *record, *glyph);
          }
        }
      }
      pen += (static_cast<double>(glyph->Advance) + record->Spacing) * step;
    }
    done += static_cast<size_t>(used);
  }

  const int width = ToInt(pen);
  if (sizeOut != nullptr) {
    sizeOut[0] = vertical != 0 ? record->LineHeight : width;
    sizeOut[1] = vertical != 0 ? width : record->LineHeight;
  }
  return width;
}

namespace {

bool SoftwareFrontTarget() { return ScreensInMemory() && CurrentDrawState.DrawTarget == -4; }

struct StringDrawArgs {
  int x, y;
  bool scaled;
  double xf, yf;
  const char* text;
  uint32_t color;
  int font;
  uint32_t edge;
  int vertical;
};

int RunBackEnd(const StringDrawArgs& a, bool use3d) {
  if (use3d) {
    return a.scaled ? DrawFontStringScaled3D(a.x, a.y, a.xf, a.yf, a.text, a.color, a.font, a.edge, a.vertical)
                    : DrawFontString3D(a.x, a.y, a.text, a.color, a.font, a.edge, a.vertical);
  }
  return a.scaled ? DrawFontStringScaled2D(a.x, a.y, a.xf, a.yf, a.text, a.color, a.font, a.edge, a.vertical)
                  : DrawFontString2D(a.x, a.y, a.text, a.color, a.font, a.edge, a.vertical);
}

int DrawStringEntry(const StringDrawArgs& a) {
  DrawState& s = CurrentDrawState;
  if (a.text == nullptr || a.text[0] == '\0') return 0;
  if (IsGraphicsLost() != 0 || s.NothingToDraw != 0) return 0;
  const bool use3d = IsUsing3DDrawing() != 0;
  const FontRecord* record = GetFontRecord(a.font);
  if (record == nullptr) {
    WriteLog(kBadFontHandle);
    return -1;
  }
  if (ReadActiveFlag() == 0) WaitWhileInactive();

  // The subtract emulation is needed only where the glyphs really go
  // through the 3D device: a memory-cache font falls back to the 2D path,
  // which subtracts by itself.
  const bool emulateSubtract = use3d && s.BlendMode == 3 && record->TextureCache != 0;
  const bool bounded = emulateSubtract || s.MaskedDrawing != 0 || SoftwareFrontTarget();
  IntRect bounds{};
  if (bounded) {
    const int size = record->Size;
    const int across = a.scaled ? ToInt(a.yf * size) : size;
    const int down = a.scaled ? ToInt(a.xf * size) : size;
    bounds = a.vertical != 0 ? IntRect{a.x, a.y, Sat(int64_t{a.x} + down + 3), s.DrawArea.bottom}
                             : IntRect{a.x, a.y, s.DrawArea.right, Sat(int64_t{a.y} + across + 3)};
    if (bounds.left >= s.DrawArea.right) return 0;
    if (SoftwareFrontTarget() && GetReadBackPending() != 0) ReadBackSoftwareFront();
  }

  int result = 0;
  if (emulateSubtract) {
    // Each white fill inverts the rectangle only at full strength; the text
    // is added between them at the game's value, which leaves the target
    // minus the text.
    const uint32_t bright = s.DrawBright;
    const int value = s.BlendValue;
    const uint32_t white = PackScreenColor(255, 255, 255);
    SetBright(0xFFFFFF);
    SetBlendState(3, 255);
    FillBox3D(bounds.left, bounds.top, bounds.right, bounds.bottom, white);
    SetBlendState(5, value);
    SetBright(bright);
    result = RunBackEnd(a, true);
    SetBright(0xFFFFFF);
    SetBlendState(3, 255);
    FillBox3D(bounds.left, bounds.top, bounds.right, bounds.bottom, white);
    SetBlendState(3, value);
    SetBright(bright);
  } else {
    result = RunBackEnd(a, use3d);
  }
  if (bounded && SoftwareFrontTarget()) ShowSoftwareFrontRect(bounds);
  return result;
}

}  // namespace

int DrawFontString(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                   int vertical) {
  return DrawStringEntry({x, y, false, 1.0, 1.0, text, color, font, edgeColor, vertical});
}

int DrawFontStringScaled(int x, int y, double xFactor, double yFactor, const char* text,
                         uint32_t color, int font, uint32_t edgeColor, int vertical) {
  return DrawStringEntry({x, y, true, xFactor, yFactor, text, color, font, edgeColor, vertical});
}

int DrawDefaultFontString(int x, int y, const char* text, uint32_t color, uint32_t edgeColor) {
  RefreshDefaultFont();
  return DrawFontString(x, y, text, color, GetDefaultFontSettings().Handle, edgeColor, 0);
}

int MeasureFontString(const char* text, int byteLimit, int font, int vertical) {
  return RenderFontString(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, font, 0, byteLimit,
                          vertical, nullptr);
}

int MeasureDefaultFontString(const char* text, int byteLimit, int vertical) {
  RefreshDefaultFont();
  return MeasureFontString(text, byteLimit, GetDefaultFontSettings().Handle, vertical);
}

int DrawFontString3D(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                     int vertical) {
  const FontRecord* record = GetFontRecord(font);
  if (record == nullptr) return -1;
  if (record->TextureCache == 0) return DrawFontString2D(x, y, text, color, font, edgeColor, vertical);
  if (GetDirect3DState().Suspended3D != 0) return -1;
  RebuildFontCache(font);
  const IntRect area = CurrentDrawState.DrawArea;
  RenderFontString(1, x, y, 0, 1.0, 1.0, text, color, nullptr, &area, font, edgeColor, -1, vertical,
                   nullptr);
  return 0;
}

int DrawFontStringScaled3D(int x, int y, double xFactor, double yFactor, const char* text,
                           uint32_t color, int font, uint32_t edgeColor, int vertical) {
  const FontRecord* record = GetFontRecord(font);
  if (record == nullptr) return -1;
  if (record->TextureCache == 0) {
    return DrawFontStringScaled2D(x, y, xFactor, yFactor, text, color, font, edgeColor, vertical);
  }
  if (GetDirect3DState().Suspended3D != 0) return -1;
  RebuildFontCache(font);
  const IntRect area = CurrentDrawState.DrawArea;
  RenderFontString(1, x, y, 1, xFactor, yFactor, text, color, nullptr, &area, font, edgeColor, -1,
                   vertical, nullptr);
  return 0;
}

void SetStringGraphDraws(StringGraphDraws draws) { g_draws = std::move(draws); }
