// Drawing the text-input field: the seam to the graphics engine, and the
// parts of the field's drawing that decide rather than draw (handle checks,
// the 3D-drawing flag, font and line step, caret blink and position, the
// input method's caret rectangle, the candidate page).
//
// The graphics engine lies above this layer, so it installs a
// TextInputDrawing of its own (SetTextInputDrawing); until then, and in
// tests that do not install one, the null back end draws nothing, measures
// every string as 0 pixels wide and gives a 16-pixel standard font.
//
// Where the pixels will come from: DrawKeyInputField,
// DrawImeCompositionParts, DrawWrappedStringParts and DrawWrappedBoxParts
// (key_input_drawing.cpp) are the places the field's drawing plugs in; today
// they draw nothing. Units: screen pixels; colours are screen colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/base/library_handle.h"

struct DrawAreaRect {
  int32_t left = 0, top = 0, right = 640, bottom = 480;
};

class TextInputDrawing {
 public:
  virtual ~TextInputDrawing() = default;
  // The 3D-drawing flag, which the field's drawing switches off and
  // restores.
  virtual int IsUsing3DDrawing() { return 0; }
  virtual void SetUse3DDrawing(int /*flag*/) {}
  virtual DrawAreaRect GetDrawArea() { return {}; }
  virtual void SetDrawArea(const DrawAreaRect& /*area*/) {}
  virtual void FillBox(int32_t /*x1*/, int32_t /*y1*/, int32_t /*x2*/, int32_t /*y2*/,
                       uint32_t /*color*/, int /*fill*/) {}
  virtual int GetStandardFont() { return -1; }
  // Pixel size of a font handle (-1: the standard font).
  virtual int GetFontSize(int /*font*/) { return 16; }
  // Width of the first `bytes` bytes of text.
  virtual int MeasureString(const char* /*text*/, int32_t /*bytes*/, int /*font*/) { return 0; }
  virtual void DrawString(int32_t /*x*/, int32_t /*y*/, const char* /*text*/, uint32_t /*color*/,
                          uint32_t /*edge_color*/, int /*font*/) {}
  // A screen colour from 8-bit channels.
  virtual uint32_t PackColor(int r, int g, int b) {
    return (static_cast<uint32_t>(r & 0xFF) << 16) | (static_cast<uint32_t>(g & 0xFF) << 8) |
           static_cast<uint32_t>(b & 0xFF);
  }
};

// Installs a back end (not owned); null restores the null back end.
void SetTextInputDrawing(TextInputDrawing* drawing);
TextInputDrawing& GetTextInputDrawing();

// Line step of a font size f: f + 3 × ⌊f / 10⌋.
int32_t KeyInputLineStep(int32_t font_size);

// One page of the candidate list: entries "%d:%s" numbered from 1 within
// the page, and the counter "%d/%d" (selection + 1, count).
struct CandidatePage {
  int32_t first = 0;                 // index of the page's first candidate
  int32_t selected = -1;             // index within the page, -1 off the page
  std::vector<std::string> entries;  // Shift-JIS
  std::string counter;
};
CandidatePage BuildCandidatePage(const std::vector<std::string>& candidates, int32_t selection,
                                 int32_t page_size);

// The field of handle at (x, y): 0, or -1 for a bad handle or an ended
// input.
int RenderKeyInput(int32_t x, int32_t y, LibraryHandle handle);
// The composition and candidate list at (x, y): 0, or -1 when the input
// method is not on and open.
int DrawImeComposition(int32_t x, int32_t y, int32_t page_size);
// A string, or a box, continued on the next line wherever it passes the
// draw area's right edge. 0.
int DrawWrappedString(int32_t x, int32_t y, int32_t line_step, const char* text, uint32_t color,
                      uint32_t edge_color, int font);
int DrawWrappedBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t line_step,
                   uint32_t color, int fill);
