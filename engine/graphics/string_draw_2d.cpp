// The 2D back ends of string drawing: glyphs written straight into the
// target's memory image (software rendering) or into the image BeginDraw2D
// exposes, or the whole string composed on the font's screen-sized draw
// screen and drawn from there like a graphic, which is how blending and
// antialiased fonts reach the target. DrawArea and DrawBright are always
// back to their values on return; the draw screen keeps its last key.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_frame_2d.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/image/color_format.h"
#include "engine/graphics/image/draw_state.h"
#include "engine/graphics/image/memimg.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/mask_layer.h"
#include "engine/graphics/scaled_draw_2d.h"
#include "engine/graphics/string_draw.h"
#include "engine/graphics/surface_2d.h"
#include "engine/graphics/surface_data.h"
#include "engine/graphics/vertex_batch.h"

namespace {

int Saturate(int64_t v) {
  return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

// trunc(value), saturated.
int64_t Trunc(double value) {
  if (!(value == value)) return 0;
  if (value >= 9.0e18) return INT64_MAX / 4;
  if (value <= -9.0e18) return INT64_MIN / 4;
  return static_cast<int64_t>(value);
}

// Source pixels that 3 destination pixels of a stretch by factor cover,
// with one to spare.
int64_t Margin(double factor) {
  if (!(factor > 1.0 / 65536.0)) return INT_MAX;
  return static_cast<int64_t>(std::ceil(3.0 / factor)) + 1;
}

void SetArea(const IntRect& area) {
  DrawState& s = CurrentDrawState;
  s.DrawArea = area;
  s.DrawAreaF[0] = static_cast<float>(area.left);
  s.DrawAreaF[1] = static_cast<float>(area.top);
  s.DrawAreaF[2] = static_cast<float>(area.right);
  s.DrawAreaF[3] = static_cast<float>(area.bottom);
}

// DrawArea (both forms) and DrawBright, put back when the scope ends.
class DrawStateKeeper {
 public:
  DrawStateKeeper()
      : area_(CurrentDrawState.DrawArea), bright_(CurrentDrawState.DrawBright) {
    std::copy(std::begin(CurrentDrawState.DrawAreaF), std::end(CurrentDrawState.DrawAreaF), f_);
  }
  ~DrawStateKeeper() {
    CurrentDrawState.DrawArea = area_;
    CurrentDrawState.DrawBright = bright_;
    std::copy(std::begin(f_), std::end(f_), CurrentDrawState.DrawAreaF);
  }
  DrawStateKeeper(const DrawStateKeeper&) = delete;
  DrawStateKeeper& operator=(const DrawStateKeeper&) = delete;
  const IntRect& area() const { return area_; }

 private:
  IntRect area_;
  uint32_t bright_;
  float f_[4];
};

// The draw screen's key: 0 with an alpha channel; otherwise raised (within
// the pixel's width) past every value the string's pixels may take, the
// colours as given and as they are written.
uint32_t ChooseDrawScreenKey(const MEMIMG& screen, uint32_t color, uint32_t edge) {
  if (screen.UseAlpha != 0) return 0;
  const int bytes = screen.Format != nullptr ? screen.Format->PixelByte : 4;
  const uint32_t mask = bytes >= 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1u;
  const uint32_t bright = CurrentDrawState.DrawBright;
  const uint32_t taken[4] = {color & mask, edge & mask,
                             ComputeStringColorForms(color, bright).memory & mask,
                             ComputeStringColorForms(edge, bright).memory & mask};
  uint32_t key = screen.TransColor & mask;
  for (int round = 0; round < 5; ++round) {
    if (std::find(std::begin(taken), std::end(taken), key) == std::end(taken)) break;
    key = (key + 1u) & mask;
  }
  return key;
}

struct ComposeRequest {
  int x, y;
  bool scaled;
  double xf, yf;
  const char* text;
  uint32_t color, edge;
  int font, vertical;
  int width, height;  // the string's measure
};

int ComposeOnDrawScreen(const ComposeRequest& r) {
  if (RebuildFontCache(r.font) != 0) return -1;
  const FontRecord* record = GetFontRecord(r.font);
  if (record == nullptr) return -1;
  const Surface2D* surface = GetSurface2D(record->DrawScreen);
  SurfaceData* data = surface != nullptr ? GetSurfaceData(surface->SurfaceDataHandle) : nullptr;
  if (data == nullptr || data->MemImgFlag != 1 || data->Image.Pixels == nullptr) return -1;
  MEMIMG& screen = data->Image;

  DrawStateKeeper keep;
  int screenWidth = 0, screenHeight = 0;
  GetScreenSize(&screenWidth, &screenHeight);
  IntRect used{0, 0, r.width, r.height};
  const IntRect whole{0, 0, screenWidth, screenHeight};
  ClipRect(&used, &whole);
  SetArea(used);
  screen.TransColor = ChooseDrawScreenKey(screen, r.color, r.edge);
  // A stretched string shows 3 pixels more than its own rectangle; the
  // draw screen's pixels there are what earlier strings left, so they are
  // cleared to the key too.
  IntRect cleared = used;
  if (r.scaled) {
    cleared.right = Saturate(int64_t{r.width} + Margin(r.xf));
    cleared.bottom = Saturate(int64_t{r.height} + Margin(r.yf));
    ClipRect(&cleared, &whole);
  }
  FillMemImg(&screen, &cleared, screen.TransColor);
  if (RenderFontString(1, 0, 0, 0, 1.0, 1.0, r.text, r.color, &screen, &used, r.font, r.edge, -1,
                       r.vertical, nullptr) == -1) {
    return -1;
  }

  CurrentDrawState.DrawBright = 0xFFFFFF;
  if (!r.scaled) {
    IntRect shown{r.x, r.y, Saturate(int64_t{r.x} + used.right), Saturate(int64_t{r.y} + used.bottom)};
    ClipRect(&shown, &keep.area());
    SetArea(shown);
    DrawSurface2D(r.x, r.y, record->DrawScreen, 1);
    return 0;
  }
  IntRect shown{r.x, r.y, Saturate(r.x + Trunc(r.width * r.xf) + 3),
                Saturate(r.y + Trunc(r.height * r.yf) + 3)};
  ClipRect(&shown, &keep.area());
  SetArea(shown);
  // The whole screen-sized draw screen is stretched; the narrowed area keeps
  // only the string. The stretch's own refusal is not the string's failure.
  DrawStretchGraph2D(r.x, r.y, Saturate(r.x + Trunc(r.xf * screenWidth) + 3),
                     Saturate(r.y + Trunc(r.yf * screenHeight) + 3), nullptr, 1, 1,
                     record->DrawScreen);
  return 0;
}

}  // namespace

int DrawFontString2D(int x, int y, const char* text, uint32_t color, int font, uint32_t edgeColor,
                     int vertical) {
  if (DirectDrawMissing()) return -1;
  const FontRecord* record = GetFontRecord(font);
  if (record == nullptr) return -1;
  if (record->TextureCache != 0) return DrawFontString3D(x, y, text, color, font, edgeColor, vertical);
  int32_t size[2] = {0, 0};
  if (RenderFontString(0, 0, 0, 0, 1.0, 1.0, text, color, nullptr, nullptr, font, edgeColor, -1,
                       vertical, size) == -1) {
    return -1;
  }
  const DrawState& s = CurrentDrawState;
  const bool antialiased = (record->Type & kFontTypeAntialias) != 0;
  const bool screen8 = GetScreenColorState().ScreenBits == 8;
  if (!screen8 && (s.BlendMode != 0 || antialiased) &&
      (antialiased || s.BlendMode != 1 || s.BlendValue != 255)) {
    return ComposeOnDrawScreen(
        {x, y, false, 1.0, 1.0, text, color, edgeColor, font, vertical, size[0], size[1]});
  }
  const IntRect area = s.DrawArea;
  if (ScreensInMemory()) {
    MEMIMG* mask = s.MaskedDrawing == 1 ? GetMaskDrawMemImg() : nullptr;
    MEMIMG* dest = mask != nullptr ? mask : GetDrawTargetState().TargetMemImg;
    if (dest == nullptr) return -1;
    return RenderFontString(1, x, y, 0, 1.0, 1.0, text, color, dest, &area, font, edgeColor, -1,
                            vertical, nullptr) == -1
               ? -1
               : 0;
  }
  if (GetDisplayState().DirectDrawStarted != 0) EndCurrentScene3D();
  FlushCurrentVertexBatch();
  const IntRect bounds{x, y, Saturate(int64_t{x} + size[0]), Saturate(int64_t{y} + size[1])};
  if (BeginDraw2D(nullptr, 0, nullptr, bounds, 1, nullptr, nullptr) < 0) return -1;
  const Draw2DState& frame = GetDraw2DState();
  // The locked copy of a screen in another format is in the standard one.
  const ColorFormat* writeFormat =
      frame.DestViaWork == 1 && frame.DestConvert == 1
          ? GetColorFormat(GetScreenColorState().ScreenBits != 16 ? 1 : 0, 0, 0)
          : nullptr;
  RenderFontStringInFormat(1, x, y, 0, 1.0, 1.0, text, color, frame.DestImage, &area, font,
                           edgeColor, -1, vertical, nullptr, writeFormat);
  EndDraw2D();
  return 0;
}

int DrawFontStringScaled2D(int x, int y, double xFactor, double yFactor, const char* text,
                           uint32_t color, int font, uint32_t edgeColor, int vertical) {
  if (DirectDrawMissing()) return -1;
  const FontRecord* record = GetFontRecord(font);
  if (record == nullptr) return -1;
  if (record->TextureCache != 0) {
    return DrawFontStringScaled3D(x, y, xFactor, yFactor, text, color, font, edgeColor, vertical);
  }
  int32_t size[2] = {0, 0};
  if (RenderFontString(0, 0, 0, 0, 1.0, 1.0, text, color, nullptr, nullptr, font, edgeColor, -1,
                       vertical, size) == -1) {
    return -1;
  }
  return ComposeOnDrawScreen(
      {x, y, true, xFactor, yFactor, text, color, edgeColor, font, vertical, size[0], size[1]});
}
