// Text input on a started library with the real window (no display): the
// desktop's composition and commit events are injected as SDL events, the
// message pass turns them into IME messages and ring bytes, and the text is
// read back through the entry points as Shift-JIS.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/api/input_entry_points.h"
#include "engine/api/library_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/api/text_input_entry_points.h"
#include "engine/api/window_entry_points.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_thread.h"
#include "engine/core/window/window_procedure.h"
#include "platform/ime.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"
#include "tests/support/started_library_test.h"

namespace {

// UTF-8 of 表 (Shift-JIS 95 5C: its second byte is a backslash) and of ㌀, a
// character Shift-JIS cannot spell.
constexpr const char* kOmote = "\xE8\xA1\xA8";
constexpr const char* kNoSjis = "\xE3\x8C\x80";

class TextInputEntryPoints : public StartedLibraryTest {
 protected:
  void SetUp() override {
    StartedLibraryTest::SetUp();
    platform::ResetImeContext();
    ServiceSet services = WindowServices();
    services.text_input = &text_input_service_;
    InstallServices(services);
    ConnectTextInputDrawing();
    ASSERT_EQ(StartLibrary(), 0);
    PumpMessages();
  }
  void ResetAfterEnd() override {
    platform::ResetImeContext();
    SetTextInputDrawing(nullptr);
  }

  LibraryTextInputService text_input_service_;

  static void Editing(const char* utf8, int start, int length) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    std::strncpy(e.edit.text, utf8, sizeof(e.edit.text) - 1);
    e.edit.start = start;
    e.edit.length = length;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  static void Commit(const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, utf8, sizeof(e.text.text) - 1);
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  static void Key(SDL_Scancode code) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.scancode = code;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  static std::string Read(int handle) {
    char buffer[64] = {};
    EXPECT_EQ(ReadTextInputString(buffer, sizeof(buffer), handle), 0);
    return buffer;
  }
};

TEST_F(TextInputEntryPoints, TypesThroughCompositionCommitBackspaceAndEnter) {
  EXPECT_FALSE(platform::IsImeEnabled());  // off from the window's creation
  EXPECT_EQ(SDL_IsTextInputActive(), SDL_FALSE);
  const int h = OpenTextInput(16, 1, 0, 0);
  ASSERT_GE(h, 0);
  EXPECT_EQ(SDL_IsTextInputActive(), SDL_TRUE);
  ASSERT_EQ(FocusTextInput(h), 0);

  Commit("ab");
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(Read(h), "ab");

  // A composition of two characters with the second selected.
  const std::string omote_ka = std::string(kOmote) + "\xE3\x81\x8B";  // 表か
  Editing(omote_ka.c_str(), 1, 1);
  ASSERT_EQ(PumpMessages(), 0);
  const TextInputState& s = GetTextInputState();
  EXPECT_EQ(s.composing, 1);
  EXPECT_STREQ(s.composition.data(), "\x95\x5C\x82\xA9");
  EXPECT_EQ(s.composition_caret, 1);  // characters
  ASSERT_EQ(s.clause_count, 3);       // two clauses and the end
  EXPECT_EQ(s.clause_offsets[0], 0u);
  EXPECT_EQ(s.clause_offsets[1], 2u);
  EXPECT_EQ(s.clause_offsets[2], 4u);
  EXPECT_EQ(Read(h), "ab");  // nothing typed yet

  // The commit; a character Shift-JIS lacks is dropped from it.
  Commit((std::string(kOmote) + kNoSjis).c_str());
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(s.composing, 0);
  EXPECT_STREQ(s.composition.data(), "");
  EXPECT_EQ(Read(h), "ab\x95\x5C");

  Key(SDL_SCANCODE_BACKSPACE);
  Key(SDL_SCANCODE_BACKSPACE);
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(Read(h), "a");
  EXPECT_EQ(GetTextInputStatus(h), 0);

  // The input method's window follows the caret of the field in focus.
  ASSERT_EQ(SetWindowZoom(2.0), 0);
  ASSERT_EQ(PutTextInput(30, 40, h), 0);
  const platform::ImeCaretRectangle caret = platform::GetImeCaretRect();
  EXPECT_EQ(caret.x, 60);
  EXPECT_EQ(caret.y, 80);
  EXPECT_EQ(caret.width, 4);
  EXPECT_EQ(caret.height, 32);

  Key(SDL_SCANCODE_RETURN);
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(GetTextInputStatus(h), 1);
  EXPECT_EQ(PutTextInput(0, 0, h), -1);  // an ended input is not drawn

  ASSERT_EQ(CloseTextInput(h), 0);
  EXPECT_EQ(SDL_IsTextInputActive(), SDL_FALSE);
  EXPECT_EQ(GetTextInputStatus(h), -1);
}

TEST_F(TextInputEntryPoints, CompositionEventsBecomeImeMessages) {
  const int h = OpenTextInput(16, 0, 0, 0);
  FocusTextInput(h);
  const TextInputState& s = GetTextInputState();
  struct Row {
    const char* name;
    std::string utf8;
    int start, length;
    int composing;
    const char* composition;
    int caret;
    std::vector<uint32_t> clauses;
  };
  const std::vector<Row> rows = {
      {"one clause", kOmote, 1, 0, 1, "\x95\x5C", 1, {0, 2}},
      {"selection at the start", std::string(kOmote) + "a", 0, 1, 1, "\x95\x5C" "a", 0, {0, 2, 3}},
      {"a character without Shift-JIS takes no bytes",
       std::string("a") + kNoSjis + "b", 2, 1, 1, "ab", 1, {0, 1, 2}},
      {"a cursor beyond the text is the end", "ab", 9, 0, 1, "ab", 2, {0, 2}},
      {"empty text ends the composition", "", 0, 0, 0, "", 0, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Editing(r.utf8.c_str(), r.start, r.length);
    ASSERT_EQ(PumpMessages(), 0);
    EXPECT_EQ(s.composing, r.composing);
    EXPECT_STREQ(s.composition.data(), r.composition);
    EXPECT_EQ(s.composition_caret, r.caret);
    const std::vector<uint32_t> clauses(s.clause_offsets.begin(),
                                        s.clause_offsets.begin() + s.clause_count);
    EXPECT_EQ(clauses, r.clauses);
  }
  EXPECT_EQ(Read(h), "");  // compositions type nothing
  EXPECT_TRUE(GetTextInputState().ring.Empty());
}

TEST_F(TextInputEntryPoints, CandidateListsComeThroughNotifications) {
  const int h = OpenTextInput(16, 0, 0, 0);
  FocusTextInput(h);
  platform::ImeCandidateList list;
  for (int i = 0; i < 12; ++i) list.entries.push_back(std::string(1, 'c').append(std::to_string(i)));
  list.selection = 7;
  platform::SetImeCandidateListForTest(&list);
  platform::WindowEvent open;
  open.kind = platform::WindowEventKind::kImeNotify;
  open.value = platform::kImeNotifyOpenCandidate;
  platform::PushWindowEvent(open);
  ASSERT_EQ(PumpMessages(), 0);
  const TextInputState& s = GetTextInputState();
  ASSERT_NE(s.candidates, nullptr);
  EXPECT_EQ(s.candidates->entries.size(), 12u);
  EXPECT_EQ(s.candidates->selection, 7);
  // No list any more: the next change drops the copy.
  platform::SetImeCandidateListForTest(nullptr);
  open.value = platform::kImeNotifyChangeCandidate;
  platform::PushWindowEvent(open);
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(s.candidates, nullptr);
  platform::SetImeCandidateListForTest(&list);
  platform::PushWindowEvent(open);
  platform::WindowEvent close = open;
  close.value = platform::kImeNotifyCloseCandidate;
  platform::PushWindowEvent(close);
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(s.candidates, nullptr);
  CloseTextInput(h);
}

TEST_F(TextInputEntryPoints, WindowMessagesFeedTheRing) {
  const int h = OpenTextInput(16, 0, 0, 0);
  FocusTextInput(h);
  struct Row {
    uint32_t message;
    uint64_t wparam;
  };
  // A line feed typed as a character is Enter; a letter key pushes nothing;
  // the left arrow is an edit code.
  for (const Row& r : {Row{kWmChar, 'x'}, Row{kWmKeyDown, 'A'}, Row{kWmChar, 0x01},
                       Row{kWmKeyDown, kVkLeft}, Row{kWmChar, 'y'}, Row{kWmChar, 0x0A}}) {
    WindowMessage m;
    m.message = r.message;
    m.wparam = r.wparam;
    PostWindowMessage(m);
  }
  ASSERT_EQ(PumpMessages(), 0);
  EXPECT_EQ(Read(h), "yx");
  EXPECT_EQ(GetTextInputStatus(h), 1);
}

TEST_F(TextInputEntryPoints, StartUpColoursAreInTheScreensFormat) {
  // A 16-bit (5-6-5) screen in software rendering.
  ScreenColorState& screen = GetScreenColorState();
  const ScreenColorState saved = screen;
  screen.SoftwareRendering = 1;
  screen.RequestedScreenBits = 16;
  screen.ScreenBits = 16;
  InitializeTextInput();
  const TextInputState& s = GetTextInputState();
  EXPECT_EQ(s.colors[0], 0xFFFFu);
  EXPECT_EQ(s.colors[2], 0xFFE0u);   // yellow
  EXPECT_EQ(s.colors[3], 0x07FFu);   // cyan
  EXPECT_EQ(s.colors[10], 0xFFE0u);
  EXPECT_EQ(s.colors[11], 0u);
  screen = saved;
}

TEST_F(TextInputEntryPoints, BadHandlesAndBuffers) {
  char buffer[4];
  for (int bad : {-1, 0, 0x50000000, 0x7FFFFFFF}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(CloseTextInput(bad), -1);
    EXPECT_EQ(FocusTextInput(bad), -1);
    EXPECT_EQ(GetTextInputStatus(bad), -1);
    EXPECT_EQ(PutTextInput(0, 0, bad), -1);
    EXPECT_EQ(ReadTextInputString(buffer, sizeof(buffer), bad), -1);
  }
  const int h = OpenTextInput(16, 0, 0, 0);
  EXPECT_EQ(ReadTextInputString(nullptr, 4, h), -1);
  EXPECT_EQ(ReadTextInputString(buffer, -3, h), -1);
  EXPECT_EQ(SetTextInputColors(nullptr), 0);
}

}  // namespace
