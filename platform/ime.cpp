// The input-method stand-in over SDL's text input and text editing.
#include "platform/ime.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <optional>

#include "platform/sdl_main_window.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

// Main thread only, like the window's events.
bool g_enabled = false;
// Composing as the translation of the desktop's events sees it.
bool g_translating_composition = false;
// The input context as the handed-out events left it.
ImeComposition g_composition;
bool g_composing = false;
std::string g_result;
std::optional<ImeCandidateList> g_candidates;

WindowEvent MakeEvent(WindowEventKind kind) {
  WindowEvent event;
  event.kind = kind;
  return event;
}

// Length of the UTF-8 sequence starting with lead (1 for a stray byte).
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  return 1;
}

}  // namespace

void SetImeEnabled(bool enabled) {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) {
    if (enabled) {
      SDL_StartTextInput();
    } else {
      SDL_StopTextInput();
    }
  }
  g_enabled = enabled;
  if (!enabled) {
    g_translating_composition = false;
    g_composing = false;
    g_composition = ImeComposition{};
  }
}

bool IsImeEnabled() { return g_enabled; }

bool IsImeOpen() { return g_enabled; }

void SetImeCaretRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0 || GetSdlMainWindow() == nullptr) return;
  SDL_Rect rect{x, y, width, height};
  SDL_SetTextInputRect(&rect);
}

const ImeComposition& CurrentImeComposition() { return g_composition; }

const std::string& CurrentImeResult() { return g_result; }

bool IsImeComposing() { return g_composing; }

bool GetImeCandidateList(ImeCandidateList* list) {
  if (!g_candidates) return false;
  if (list != nullptr) *list = *g_candidates;
  return true;
}

void SetImeCandidateListForTest(const ImeCandidateList* list) {
  if (list == nullptr) {
    g_candidates.reset();
  } else {
    g_candidates = *list;
  }
}

void ResetImeContext() {
  g_translating_composition = false;
  g_composing = false;
  g_composition = ImeComposition{};
  g_result.clear();
  g_candidates.reset();
}

std::string Utf8ToSjisDropping(std::string_view utf8, std::vector<uint32_t>* char_offsets) {
  std::string out;
  if (char_offsets != nullptr) char_offsets->clear();
  size_t pos = 0;
  while (pos < utf8.size()) {
    const size_t length =
        std::min(SequenceLength(static_cast<unsigned char>(utf8[pos])), utf8.size() - pos);
    if (char_offsets != nullptr) char_offsets->push_back(static_cast<uint32_t>(out.size()));
    const std::string_view one = utf8.substr(pos, length);
    const std::string sjis = Utf8ToSjis(one);
    // The converter marks a character it cannot convert with '?'; a real
    // question mark is the only one-character text that converts to it.
    if (!(sjis == "?" && one != "?")) out += sjis;
    pos += length;
  }
  if (char_offsets != nullptr) char_offsets->push_back(static_cast<uint32_t>(out.size()));
  return out;
}

void TranslateTextEditing(std::string_view utf8, int32_t start, int32_t length,
                          std::vector<WindowEvent>* out) {
  std::vector<uint32_t> offsets;
  std::string sjis = Utf8ToSjisDropping(utf8, &offsets);
  if (sjis.empty()) {
    if (g_translating_composition) {
      g_translating_composition = false;
      out->push_back(MakeEvent(WindowEventKind::kImeEndComposition));
    }
    return;
  }
  if (!g_translating_composition) {
    g_translating_composition = true;
    out->push_back(MakeEvent(WindowEventKind::kImeStartComposition));
  }
  const int32_t chars = static_cast<int32_t>(offsets.size()) - 1;
  const int32_t caret = std::clamp(start, 0, chars);
  const int32_t selected_end =
      std::clamp(static_cast<int32_t>(std::min<int64_t>(int64_t{caret} + std::max(length, 0),
                                                        chars)),
                 caret, chars);
  WindowEvent event = MakeEvent(WindowEventKind::kImeComposition);
  event.text = std::move(sjis);
  event.value = static_cast<int32_t>(offsets[static_cast<size_t>(caret)]);
  event.x = event.value;
  event.y = static_cast<int32_t>(offsets[static_cast<size_t>(selected_end)]);
  out->push_back(std::move(event));
}

void TranslateTextInput(std::string_view utf8, std::vector<WindowEvent>* out) {
  std::string sjis = Utf8ToSjisDropping(utf8, nullptr);
  if (!sjis.empty()) {
    WindowEvent event = MakeEvent(WindowEventKind::kImeResult);
    event.text = std::move(sjis);
    out->push_back(std::move(event));
  }
  // A commit ends the composition it came from; what is left to convert
  // starts a new one.
  if (g_translating_composition) {
    g_translating_composition = false;
    out->push_back(MakeEvent(WindowEventKind::kImeEndComposition));
  }
}

void ApplyImeEvent(const WindowEvent& event) {
  switch (event.kind) {
    case WindowEventKind::kImeStartComposition:
      g_composing = true;
      g_composition = ImeComposition{};
      break;
    case WindowEventKind::kImeComposition: {
      g_composing = true;
      g_composition.text = event.text;
      const int32_t size = static_cast<int32_t>(event.text.size());
      g_composition.cursor = std::clamp(event.value, 0, size);
      g_composition.clauses.clear();
      if (size > 0) {
        // One clause, or three around a selected part (empty ones left out).
        const int32_t from = std::clamp(event.x, 0, size);
        const int32_t to = std::clamp(event.y, from, size);
        g_composition.clauses.push_back(0);
        if (from > 0 && from < to) g_composition.clauses.push_back(static_cast<uint32_t>(from));
        if (to > from && to < size) g_composition.clauses.push_back(static_cast<uint32_t>(to));
        g_composition.clauses.push_back(static_cast<uint32_t>(size));
      }
      break;
    }
    case WindowEventKind::kImeEndComposition:
      g_composing = false;
      g_composition = ImeComposition{};
      break;
    case WindowEventKind::kImeResult:
      g_result = event.text;
      break;
    default:
      break;
  }
}

}  // namespace platform
