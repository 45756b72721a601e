// The text-input field's drawing: seam, decisions, and the places where the
// pixels plug in.
#include "engine/core/textinput/key_input_drawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>

#include "engine/core/textinput/key_input.h"
#include "engine/core/window/main_window.h"
#include "platform/clock.h"
#include "platform/ime.h"

namespace {

TextInputDrawing g_null_drawing;
TextInputDrawing* g_drawing = &g_null_drawing;

// Switches 3D drawing off for the lifetime of the object and then restores
// what was set.
class Suspend3DDrawing {
 public:
  explicit Suspend3DDrawing(TextInputDrawing& drawing)
      : drawing_(drawing), was_on_(drawing.IsUsing3DDrawing()) {
    drawing_.SetUse3DDrawing(0);
  }
  ~Suspend3DDrawing() { drawing_.SetUse3DDrawing(was_on_); }
  Suspend3DDrawing(const Suspend3DDrawing&) = delete;
  Suspend3DDrawing& operator=(const Suspend3DDrawing&) = delete;

 private:
  TextInputDrawing& drawing_;
  int was_on_;
};

// What the field's drawing needs, decided before any pixel is set.
struct KeyInputFieldLayout {
  int32_t x = 0, y = 0;
  int32_t caret_x = 0;
  int32_t font_size = 0;
  int32_t line_step = 0;
  int font = -1;
  bool caret_shown = true;
  const char* text = "";
};

// ---- where the drawing plugs in ----

uint32_t Colour(const TextInputState& s, int n) { return s.colors[static_cast<size_t>(n - 1)]; }

// The caret, when shown, as a filled 2-pixel box from (caret x, y) to
// (caret x + 2, y + f) in colour 2; then the text in colour 1 with edge
// colour 8.
void DrawKeyInputField(TextInputDrawing& /*drawing*/, const KeyInputFieldLayout& layout) {
  const TextInputState& s = GetTextInputState();
  if (layout.caret_shown) {
    DrawWrappedBox(layout.caret_x, layout.y, layout.caret_x + 2, layout.y + layout.font_size,
                   layout.line_step, Colour(s, 2), 1);
  }
  DrawWrappedString(layout.x, layout.y, layout.line_step, layout.text, Colour(s, 1), Colour(s, 8),
                    layout.font);
}

// Width of the first `bytes` bytes of text, never past its end.
int32_t WidthOf(TextInputDrawing& drawing, const char* text, int32_t bytes, int font) {
  const int32_t length = static_cast<int32_t>(std::strlen(text));
  return drawing.MeasureString(text, std::clamp(bytes, 0, length), font);
}

// The composition (background in colour 3, the clause under the caret in
// colour 6, the text in black with edge colour 3, the composition caret in
// colour 4 while no candidate list exists, clause underlines in colour 5)
// and the candidate box (colours 11 and 12, entries in colours 1/8 and
// 6/9, the page counter right-aligned below them).
void DrawImeCompositionParts(TextInputDrawing& drawing, int32_t x, int32_t y, int32_t font_size,
                             int font, const CandidatePage* page) {
  const TextInputState& s = GetTextInputState();
  const int32_t f = font_size;
  const int32_t c = f / 10;
  const int32_t step = f + 3 * c;
  const DrawAreaRect area = drawing.GetDrawArea();
  x = std::max(x, area.left);
  y = std::max(y, area.top);
  const char* text = s.composition.data();
  int32_t caret_x = x;
  if (text[0] != '\0') {
    const int32_t length = static_cast<int32_t>(strnlen(text, s.composition.size()));
    DrawWrappedBox(x, y, x + WidthOf(drawing, text, length, font), y + f, step, Colour(s, 3), 1);
    const int32_t caret_bytes = CountCharBytes(text, s.composition_caret);
    const int32_t clauses = std::clamp(s.clause_count, 0, static_cast<int32_t>(s.clause_offsets.size()));
    if (clauses != 2) {
      for (int32_t i = 0; i + 1 < clauses; ++i) {
        if (static_cast<int32_t>(s.clause_offsets[static_cast<size_t>(i)]) != caret_bytes) continue;
        const int32_t from = WidthOf(drawing, text, caret_bytes, font);
        const int32_t to =
            WidthOf(drawing, text, static_cast<int32_t>(s.clause_offsets[static_cast<size_t>(i) + 1]), font);
        DrawWrappedBox(x + from, y, x + to, y + f, step, Colour(s, 6), 1);
        break;
      }
    }
    DrawWrappedString(x, y, step, text, drawing.PackColor(0, 0, 0), Colour(s, 3), font);
    caret_x = x + WidthOf(drawing, text, caret_bytes, font);
    if (!s.candidates && s.caret_visible != 0) {
      DrawWrappedBox(caret_x, y, caret_x + 2, y + f, step, Colour(s, 4), 1);
    }
    for (int32_t i = 0; i + 1 < clauses; ++i) {
      const int32_t from =
          WidthOf(drawing, text, static_cast<int32_t>(s.clause_offsets[static_cast<size_t>(i)]), font);
      const int32_t to =
          WidthOf(drawing, text, static_cast<int32_t>(s.clause_offsets[static_cast<size_t>(i) + 1]), font);
      DrawWrappedBox(x + from + 2 * c, y + f + c, x + to - 2 * c, y + f + 2 * c, step, Colour(s, 5), 1);
    }
  }
  if (page == nullptr) return;

  const int32_t u = f;
  const int32_t v = u / 3;
  const int32_t entries = static_cast<int32_t>(page->entries.size());
  int32_t widest = 0;
  for (const std::string& entry : page->entries) {
    widest = std::max(widest, WidthOf(drawing, entry.c_str(), static_cast<int32_t>(entry.size()), font));
  }
  int32_t left = caret_x;
  int32_t top = y + u + u / 2;
  int32_t right = left + widest + 2 * v;
  int32_t bottom = y + (entries + 2) * u + u / 2 + 2 * v;
  if (bottom > area.bottom) {
    // Above the composition when the box fits there, else just enough.
    const int32_t above = (entries + 1) * u + u / 2 + 2 * v + top - y;
    const int32_t shift = top - above >= area.top ? above : bottom - area.bottom;
    top -= shift;
    bottom -= shift;
  }
  if (right > area.right) {
    left -= right - area.right;
    right = area.right;
  }
  drawing.FillBox(left, top, right, bottom, Colour(s, 12), 1);
  drawing.FillBox(left, top, right, bottom, Colour(s, 11), 0);
  for (int32_t k = 0; k < entries; ++k) {
    const bool selected = k == page->selected;
    drawing.DrawString(left + v, top + v + k * u, page->entries[static_cast<size_t>(k)].c_str(),
                       Colour(s, selected ? 6 : 1), Colour(s, selected ? 9 : 8), font);
  }
  const int32_t counter_width =
      WidthOf(drawing, page->counter.c_str(), static_cast<int32_t>(page->counter.size()), font);
  drawing.DrawString(left + v + widest - counter_width, top + v + entries * u, page->counter.c_str(),
                     Colour(s, 1), Colour(s, 8), font);
}

// Draw once at the start found, then again one line lower for every part
// cut off by the draw area's right edge, placed so the cut-off part begins
// at the left edge (the draw area clips the rest). Nothing below the
// area's bottom is drawn again.
void DrawWrappedStringParts(TextInputDrawing& drawing, int32_t x, int32_t y, int32_t line_step,
                            const char* text, uint32_t color, uint32_t edge_color, int font) {
  const DrawAreaRect area = drawing.GetDrawArea();
  const int64_t width = int64_t{area.right} - area.left;
  const int64_t length = drawing.MeasureString(text, static_cast<int32_t>(std::strlen(text)), font);
  int64_t px = x, py = y;
  drawing.DrawString(x, y, text, color, edge_color, font);
  while (width > 0 && line_step > 0 && px + length > area.right && py + line_step < area.bottom) {
    px -= width;
    py += line_step;
    drawing.DrawString(static_cast<int32_t>(px), static_cast<int32_t>(py), text, color, edge_color, font);
  }
}

void DrawWrappedBoxParts(TextInputDrawing& drawing, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                         int32_t line_step, uint32_t color, int fill) {
  const DrawAreaRect area = drawing.GetDrawArea();
  const int64_t width = int64_t{area.right} - area.left;
  int64_t ax = x1, ay = y1, bx = x2, by = y2;
  drawing.FillBox(x1, y1, x2, y2, color, fill);
  while (width > 0 && line_step > 0 && bx > area.right && ay + line_step < area.bottom) {
    ax -= width;
    bx -= width;
    ay += line_step;
    by += line_step;
    drawing.FillBox(static_cast<int32_t>(ax), static_cast<int32_t>(ay), static_cast<int32_t>(bx),
                    static_cast<int32_t>(by), color, fill);
  }
}

// ---- decisions ----

// Where wrapped drawing starts: clamped to the area's left and top, then
// moved down a line and back by the area's width while beyond its right
// edge. An area without width or a step that does not move stays put.
void WrapStart(const DrawAreaRect& area, int32_t line_step, int32_t* x, int32_t* y) {
  if (*x < area.left) *x = area.left;
  if (*y < area.top) *y = area.top;
  const int64_t width = int64_t{area.right} - area.left;
  if (width <= 0 || *x < area.right) return;
  const int64_t lines = (int64_t{*x} - area.right) / width + 1;
  *x = static_cast<int32_t>(*x - lines * width);
  *y = static_cast<int32_t>(*y + lines * line_step);
}

int FontOf(const TextInputState& s, TextInputDrawing& drawing) {
  return s.font >= 0 ? s.font : drawing.GetStandardFont();
}

void StepCaretBlink(TextInputState& s) {
  if (s.blink_enabled == 0) {
    s.caret_visible = 1;
    return;
  }
  const uint32_t now = platform::GetClock().Milliseconds();
  if (now - s.blink_start > s.blink_period) {
    s.caret_visible = s.caret_visible != 0 ? 0 : 1;
    s.blink_start = now;
  }
}

// The input method places its own window at the caret (client pixels).
void FollowCaret(int32_t caret_x, int32_t y, int32_t font_size) {
  const double scale = GetWindowScale();
  platform::SetImeCaretRect(static_cast<int32_t>(std::trunc(caret_x * scale)),
                            static_cast<int32_t>(std::trunc(y * scale)),
                            static_cast<int32_t>(std::trunc(2 * scale)),
                            static_cast<int32_t>(std::trunc(font_size * scale)));
}

}  // namespace

void SetTextInputDrawing(TextInputDrawing* drawing) {
  g_drawing = drawing != nullptr ? drawing : &g_null_drawing;
}

TextInputDrawing& GetTextInputDrawing() { return *g_drawing; }

int32_t KeyInputLineStep(int32_t font_size) { return font_size + 3 * (font_size / 10); }

CandidatePage BuildCandidatePage(const std::vector<std::string>& candidates, int32_t selection,
                                 int32_t page_size) {
  CandidatePage page;
  const int32_t count = static_cast<int32_t>(candidates.size());
  if (page_size < 1) page_size = 1;
  if (selection < 0) selection = 0;
  page.first = page_size * (selection / page_size);
  char number[32];
  for (int32_t k = 0; k < page_size && page.first + k < count; ++k) {
    std::snprintf(number, sizeof(number), "%d:", k + 1);
    page.entries.push_back(number + candidates[static_cast<size_t>(page.first + k)]);
  }
  if (selection - page.first < static_cast<int32_t>(page.entries.size())) {
    page.selected = selection - page.first;
  }
  std::snprintf(number, sizeof(number), "%d/%d", selection + 1, count);
  page.counter = number;
  return page;
}

int RenderKeyInput(int32_t x, int32_t y, LibraryHandle handle) {
  TextInputState& s = GetTextInputState();
  const KeyInputRecord* r = s.records.Find(handle);
  if (r == nullptr || r->ended != 0) return -1;
  TextInputDrawing& drawing = GetTextInputDrawing();
  Suspend3DDrawing suspend(drawing);
  KeyInputFieldLayout layout;
  layout.x = x;
  layout.y = y;
  layout.font = FontOf(s, drawing);
  layout.font_size = drawing.GetFontSize(layout.font);
  layout.line_step = KeyInputLineStep(layout.font_size);
  StepCaretBlink(s);
  layout.caret_shown = s.caret_visible != 0;
  layout.caret_x = x + drawing.MeasureString(r->text, r->caret, layout.font);
  layout.text = r->text;
  DrawKeyInputField(drawing, layout);
  if (handle == s.active) {
    if (s.ime_enabled != 0) FollowCaret(layout.caret_x, y, layout.font_size);
    DrawImeComposition(layout.caret_x, y, 5);
  }
  return 0;
}

int DrawImeComposition(int32_t x, int32_t y, int32_t page_size) {
  TextInputState& s = GetTextInputState();
  if (s.ime_enabled == 0 || s.ime_open == 0) return -1;
  TextInputDrawing& drawing = GetTextInputDrawing();
  const int font = FontOf(s, drawing);
  const int32_t font_size = drawing.GetFontSize(font);
  CandidatePage page;
  const CandidatePage* shown = nullptr;
  if (s.candidates) {
    page = BuildCandidatePage(s.candidates->entries, s.candidates->selection, page_size);
    shown = &page;
    // The input method's paging follows the page shown (SDL keeps none of
    // its own, so the list's copy is what there is to keep in step).
    s.candidates->page_size = std::max(page_size, 1);
    s.candidates->page_start = page.first;
  }
  DrawImeCompositionParts(drawing, x, y, font_size, font, shown);
  return 0;
}

int DrawWrappedString(int32_t x, int32_t y, int32_t line_step, const char* text, uint32_t color,
                      uint32_t edge_color, int font) {
  if (text == nullptr) return 0;
  TextInputDrawing& drawing = GetTextInputDrawing();
  Suspend3DDrawing suspend(drawing);
  WrapStart(drawing.GetDrawArea(), line_step, &x, &y);
  DrawWrappedStringParts(drawing, x, y, line_step, text, color, edge_color, font);
  return 0;
}

int DrawWrappedBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t line_step,
                   uint32_t color, int fill) {
  TextInputDrawing& drawing = GetTextInputDrawing();
  Suspend3DDrawing suspend(drawing);
  int32_t x = x1;
  int32_t y = y1;
  WrapStart(drawing.GetDrawArea(), line_step, &x, &y);
  DrawWrappedBoxParts(drawing, x, y, x2 + (x - x1), y2 + (y - y1), line_step, color, fill);
  return 0;
}
