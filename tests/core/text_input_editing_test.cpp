// Text-input editing: typed bytes go into the ring, one editing step applies
// them to the active handle, and the text, caret and state are checked.
// Texts are Shift-JIS bytes: "\x82\xA0" is one double-byte character.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/core/base/library_handle.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/core/window/main_window.h"
#include "platform/clock.h"
#include "platform/ime.h"
#include "tests/support/fresh_state_test.h"

namespace {

constexpr char kBs = 8, kEnter = 13, kDel = 16, kEsc = 27, kRight = 28, kLeft = 29;

class TextInputTest : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    platform::SetClock(&clock_);
    InitializeTextInput();
  }
  void TearDown() override { FreshStateTest::TearDown(); }

  static std::string Text(LibraryHandle handle) {
    char buffer[256];
    EXPECT_EQ(CopyKeyInputText(buffer, sizeof(buffer), handle), 0);
    return buffer;
  }
  static int Caret(LibraryHandle handle) {
    return GetTextInputState().records.Find(handle)->caret;
  }
  static void Type(const std::string& bytes) {
    for (char c : bytes) ASSERT_EQ(PushInputChar(static_cast<uint8_t>(c)), 0);
    ASSERT_EQ(UpdateKeyInput(), 0);
  }

  platform::VirtualClock clock_{5000000};
};

struct EditCase {
  const char* name;
  int maximum;
  int esc_cancels, single_byte_only, digits_only;
  std::string typed;
  std::string text;
  int caret;
  int state;
};

TEST_F(TextInputTest, EditingTable) {
  const std::vector<EditCase> cases = {
      // At the fifth byte the last character makes room for the new one.
      {"maximum 4 keeps the newest", 4, 0, 0, 0, "abcde", "abce", 4, 0},
      {"digits refuse letters and a later minus", 8, 0, 0, 1, "1-2a3", "123", 3, 0},
      {"digits take a minus at caret 0", 8, 0, 0, 1, std::string("12") + kLeft + kLeft + "-",
       "-12", 1, 0},
      {"digits refuse double-byte digits", 8, 0, 0, 1, "1\x82\x4F", "1", 1, 0},
      {"single-byte only refuses a double-byte character", 8, 0, 1, 0, "a\x82\xA0" "b", "ab", 2,
       0},
      {"Esc without Esc-cancels is ignored", 8, 0, 0, 0, std::string("ab") + kEsc, "ab", 2, 0},
      {"Esc with Esc-cancels cancels", 8, 1, 0, 0, std::string("ab") + kEsc, "ab", 2, 2},
      {"Enter ends and leaves later bytes alone", 8, 0, 0, 0, std::string("ab") + kEnter + "c",
       "ab", 2, 1},
      {"two backspaces after a double-byte character", 8, 0, 0, 0,
       std::string("ab\x82\xA0" "c") + kBs + kBs, "ab", 2, 0},
      // The byte two places before the caret is 0x9F, a lead byte, yet it is
      // the trail of the character before: only the 'a' goes.
      {"backspace after a trail byte in the lead range", 8, 0, 0, 0,
       std::string("\x82\x9F" "a") + kBs, "\x82\x9F", 2, 0},
      {"left after a trail byte in the lead range", 8, 0, 0, 0, std::string("\x82\x9F" "a") + kLeft,
       "\x82\x9F" "a", 2, 0},
      {"left then insert before a double-byte character", 8, 0, 0, 0,
       std::string("\x82\x9F") + kLeft + "x", "x\x82\x9F", 1, 0},
      {"delete takes a double-byte character whole", 8, 0, 0, 0,
       std::string("\x82\xA0" "b") + kLeft + kLeft + kDel, "b", 0, 0},
      {"right steps over a double-byte character", 8, 0, 0, 0,
       std::string("\x82\xA0" "b") + kLeft + kLeft + kRight, "\x82\xA0" "b", 2, 0},
      {"backspace and delete at the ends do nothing", 8, 0, 0, 0,
       std::string("a") + kDel + kRight + kLeft + kBs + kLeft, "a", 0, 0},
      {"insert in the middle with a full field drops the last character", 3, 0, 0, 0,
       std::string("abc") + kLeft + kLeft + "x", "axb", 2, 0},
      {"a double-byte character replaces a single one at the end", 3, 0, 0, 0,
       "ab\x82\xA0", "a\x82\xA0", 3, 0},
      {"maximum 0 takes nothing", 0, 0, 0, 0, "a\x82\xA0", "", 0, 0},
      {"maximum below 0 counts as 0", -7, 0, 0, 0, "a", "", 0, 0},
      {"maximum 1 keeps the last letter", 1, 0, 0, 0, "ab", "b", 1, 0},
      // A character larger than the field is refused, not looped over.
      {"maximum 1 refuses a double-byte character", 1, 0, 0, 0, "a\x82\xA0", "a", 1, 0},
      {"tab, up, down and NUL do nothing", 8, 0, 0, 0, std::string("a\t\x1E\x1F") + '\0', "a", 1,
       0},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    const LibraryHandle h = CreateKeyInput(c.maximum, c.esc_cancels, c.single_byte_only, c.digits_only);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ActivateKeyInput(h), 0);
    Type(c.typed);
    EXPECT_EQ(Text(h), c.text);
    EXPECT_EQ(Caret(h), c.caret);
    EXPECT_EQ(GetKeyInputState(h), c.state);
    EXPECT_EQ(GetTextInputState().records.Find(h)->length, static_cast<int>(c.text.size()));
    ASSERT_EQ(RemoveKeyInput(h), 0);
  }
}

TEST_F(TextInputTest, EndedInputTakesNothingUntilActivatedAgain) {
  const LibraryHandle h = CreateKeyInput(8, 1, 0, 0);
  ActivateKeyInput(h);
  Type(std::string("a") + kEsc + "b");
  EXPECT_EQ(GetKeyInputState(h), 2);
  EXPECT_EQ(Text(h), "a");
  ASSERT_EQ(ActivateKeyInput(h), 0);  // 'b' waited in the ring
  EXPECT_EQ(GetKeyInputState(h), 0);
  ASSERT_EQ(UpdateKeyInput(), 0);
  EXPECT_EQ(Text(h), "ab");
}

TEST_F(TextInputTest, ALeadByteWaitsInTheRingForItsSecondByte) {
  const LibraryHandle h = CreateKeyInput(8, 0, 0, 0);
  ActivateKeyInput(h);
  Type("a\x82");
  EXPECT_EQ(Text(h), "a");
  EXPECT_EQ(GetTextInputState().ring.Used(), 1);
  uint8_t out[2] = {};
  EXPECT_EQ(PopInputChar(out, 0), 0);
  Type("\xA0");
  EXPECT_EQ(Text(h), "a\x82\xA0");
  EXPECT_TRUE(GetTextInputState().ring.Empty());
}

TEST_F(TextInputTest, PopLeavesTheRingAsItWasWithoutConsume) {
  PushInputChars("\x82\xA0" "b", 3);
  uint8_t out[2] = {};
  EXPECT_EQ(PopInputChar(out, 0), 2);
  EXPECT_EQ(PopInputChar(out, 1), 2);
  EXPECT_EQ(out[0], 0x82);
  EXPECT_EQ(out[1], 0xA0);
  EXPECT_EQ(PopInputChar(out, 1), 1);
  EXPECT_EQ(out[0], 'b');
  EXPECT_EQ(PopInputChar(out, 1), 0);
}

TEST_F(TextInputTest, RingHoldsTenTwentyFourBytesAndCharactersGoWhole) {
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(PushInputChar('a'), 0) << i;
  EXPECT_TRUE(IsInputCharRingFull());
  EXPECT_EQ(PushInputChar('a'), -1);
  uint8_t out[2] = {};
  ASSERT_EQ(PopInputChar(out, 1), 1);  // one byte of room, across the wrap
  // A double-byte character does not fit in one byte: nothing of it, nor of
  // what follows it, is stored.
  EXPECT_EQ(PushInputChars("\x82\xA0" "b", 3), 0);
  EXPECT_EQ(GetTextInputState().ring.Used(), 1023);
  ASSERT_EQ(PopInputChar(out, 1), 1);
  EXPECT_EQ(PushInputChars("\x82\xA0" "b", 3), 2);
  EXPECT_TRUE(IsInputCharRingFull());
  // Everything comes out in order over the wrap.
  int total = 0;
  int last = 0;
  while ((last = PopInputChar(out, 1)) != 0) total += last;
  EXPECT_EQ(total, 1024);
  EXPECT_EQ(out[0], 0x82);
  EXPECT_EQ(out[1], 0xA0);
}

TEST_F(TextInputTest, CreatingEmptiesTheRing) {
  PushInputChars("abc", 3);
  const LibraryHandle h = CreateKeyInput(8, 0, 0, 0);
  ASSERT_GE(h, 0);
  EXPECT_TRUE(GetTextInputState().ring.Empty());
  EXPECT_EQ(GetTextInputState().ring.write_index(), 0);
}

TEST_F(TextInputTest, HandlesAreCheckedAndTwentyExistAtMost) {
  std::vector<LibraryHandle> handles;
  for (int i = 0; i < 20; ++i) {
    const LibraryHandle h = CreateKeyInput(4, 0, 0, 0);
    ASSERT_GE(h, 0);
    EXPECT_EQ(HandleTypeBits(h), 10u);
    EXPECT_EQ(HandleSlot(h), static_cast<uint32_t>(i));
    handles.push_back(h);
  }
  EXPECT_EQ(CreateKeyInput(4, 0, 0, 0), -1);
  ASSERT_EQ(RemoveKeyInput(handles[3]), 0);
  const LibraryHandle reused = CreateKeyInput(4, 0, 0, 0);
  EXPECT_EQ(HandleSlot(reused), 3u);
  char buffer[8];
  const LibraryHandle foreign = MakeLibraryHandle(HandleType::kFont, 0, HandleCheck(handles[0]));
  for (LibraryHandle bad : {handles[3], LibraryHandle{-1}, foreign, handles[0] + 20}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(GetKeyInputState(bad), -1);
    EXPECT_EQ(ActivateKeyInput(bad), -1);
    EXPECT_EQ(CopyKeyInputText(buffer, sizeof(buffer), bad), -1);
    EXPECT_EQ(RemoveKeyInput(bad), -1);
    EXPECT_EQ(RenderKeyInput(0, 0, bad), -1);
  }
}

TEST_F(TextInputTest, CopyIsBoundedAndNeverSplitsACharacter) {
  const LibraryHandle h = CreateKeyInput(8, 0, 0, 0);
  ActivateKeyInput(h);
  Type("a\x82\xA0" "b");
  char buffer[8];
  std::memset(buffer, 'Z', sizeof(buffer));
  ASSERT_EQ(CopyKeyInputText(buffer, 3, h), 0);  // "a" and half a character would not fit
  EXPECT_STREQ(buffer, "a");
  EXPECT_EQ(buffer[3], 'Z');
  ASSERT_EQ(CopyKeyInputText(buffer, 4, h), 0);
  EXPECT_STREQ(buffer, "a\x82\xA0");
  ASSERT_EQ(CopyKeyInputText(buffer, 1, h), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(CopyKeyInputText(buffer, 0, h), -1);
  EXPECT_EQ(CopyKeyInputText(nullptr, 8, h), -1);
}

TEST_F(TextInputTest, ImeIsOnWhileAHandleExists) {
  EXPECT_FALSE(platform::IsImeEnabled());
  const LibraryHandle a = CreateKeyInput(8, 0, 0, 0);
  EXPECT_TRUE(platform::IsImeEnabled());
  EXPECT_EQ(GetTextInputState().ime_enabled, 1);
  EXPECT_EQ(GetTextInputState().ime_open, 1);
  const LibraryHandle b = CreateKeyInput(8, 0, 0, 0);
  TextInputState& s = GetTextInputState();
  std::strcpy(s.composition.data(), "\x82\xA0");
  s.composing = 1;
  s.candidates = std::make_unique<KeyInputCandidates>();
  ActivateKeyInput(a);
  RemoveKeyInput(a);
  EXPECT_EQ(s.active, -1);
  EXPECT_TRUE(platform::IsImeEnabled());
  EXPECT_STREQ(s.composition.data(), "\x82\xA0");
  RemoveKeyInput(b);
  EXPECT_FALSE(platform::IsImeEnabled());
  EXPECT_EQ(s.ime_enabled, 0);
  EXPECT_STREQ(s.composition.data(), "");
  EXPECT_EQ(s.composing, 0);
  EXPECT_EQ(s.candidates, nullptr);
  // All at once, too.
  CreateKeyInput(8, 0, 0, 0);
  CreateKeyInput(8, 0, 0, 0);
  RemoveAllKeyInputs();
  EXPECT_FALSE(platform::IsImeEnabled());
  EXPECT_EQ(s.records.live_count(), 0);
}

TEST_F(TextInputTest, ColoursFromTheGame) {
  TextInputState& s = GetTextInputState();
  EXPECT_EQ(s.colors[0], 0xFFFFFFu);   // start-up: white text
  EXPECT_EQ(s.colors[2], 0xFFFF00u);   // composition background
  EXPECT_EQ(s.colors[10], 0xFFFF00u);  // candidate frame as colour 3
  EXPECT_EQ(s.colors[6], 0xFFFF14u);
  // The game passes seven colours, 0, 0, 0 and two left alone.
  const int64_t colors[12] = {0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666,
                              0x777777, 0, 0, 0, -1, -1};
  ASSERT_EQ(ConfigureKeyInputColors(colors), 0);
  EXPECT_EQ(s.colors[2], 0x333333u);
  EXPECT_EQ(s.colors[7], 0u);
  EXPECT_EQ(s.colors[10], 0x333333u);  // follows colour 3
  EXPECT_EQ(s.colors[11], 0u);         // black
  // Only a value with both halves all ones keeps its colour.
  int64_t keep[12];
  for (int64_t& c : keep) c = -1;
  keep[0] = 0x00000000FFFFFFFFLL;
  keep[1] = static_cast<int64_t>(0xFFFFFFFF00000000ULL);
  s.colors[11] = 0x123456;
  ASSERT_EQ(ConfigureKeyInputColors(keep), 0);
  EXPECT_EQ(s.colors[0], 0xFFFFFFFFu);
  EXPECT_EQ(s.colors[1], 0u);
  EXPECT_EQ(s.colors[2], 0x333333u);
  EXPECT_EQ(s.colors[10], 0x333333u);  // colour 3 not given: kept
  EXPECT_EQ(s.colors[11], 0u);
}

TEST_F(TextInputTest, CharacterCounting) {
  const char* text = "a\x82\xA0" "b\x82\x9F";
  struct Row {
    int n, bytes, chars;
  };
  for (const Row& r : {Row{0, 0, 0}, Row{1, 1, 1}, Row{2, 3, 2}, Row{3, 4, 2}, Row{4, 6, 3},
                       Row{9, 6, 4}}) {
    SCOPED_TRACE(r.n);
    EXPECT_EQ(CountCharBytes(text, r.n), r.bytes);   // bytes of n characters
    EXPECT_EQ(CountCharsInBytes(text, r.n), r.chars);  // characters covering n bytes
  }
  EXPECT_EQ(CountCharBytes("\x82", 5), 1);  // a lead byte before the NUL counts alone
  EXPECT_EQ(IsControlCode(16), 1);
  EXPECT_EQ(IsControlCode(29), 1);
  EXPECT_EQ(IsControlCode(13), 0);
}

TEST_F(TextInputTest, CandidatePages) {
  std::vector<std::string> twelve;
  for (int i = 1; i <= 12; ++i) twelve.push_back(std::string(1, 'c').append(std::to_string(i)));
  const CandidatePage page = BuildCandidatePage(twelve, 7, 5);
  EXPECT_EQ(page.first, 5);
  EXPECT_EQ(page.entries, (std::vector<std::string>{"1:c6", "2:c7", "3:c8", "4:c9", "5:c10"}));
  EXPECT_EQ(page.selected, 2);
  EXPECT_EQ(page.counter, "8/12");
  const CandidatePage last = BuildCandidatePage(twelve, 11, 5);
  EXPECT_EQ(last.entries, (std::vector<std::string>{"1:c11", "2:c12"}));
  EXPECT_EQ(last.counter, "12/12");
  EXPECT_EQ(KeyInputLineStep(16), 19);
  EXPECT_EQ(KeyInputLineStep(24), 30);
  EXPECT_EQ(KeyInputLineStep(9), 9);
}

}  // namespace

namespace {

// A back end that only answers: 3D drawing on, a font of 16 pixels, 8
// pixels a byte.
class AnsweringDrawing : public TextInputDrawing {
 public:
  int IsUsing3DDrawing() override { return use_3d; }
  void SetUse3DDrawing(int flag) override {
    use_3d = flag;
    ++switches;
  }
  int MeasureString(const char* /*text*/, int32_t bytes, int /*font*/) override { return 8 * bytes; }
  int use_3d = 1;
  int switches = 0;
};

class TextInputRenderTest : public TextInputTest {
 protected:
  void SetUp() override {
    TextInputTest::SetUp();
    SetTextInputDrawing(&drawing_);
  }
  void TearDown() override {
    SetTextInputDrawing(nullptr);
    TextInputTest::TearDown();
  }
  AnsweringDrawing drawing_;
};

TEST_F(TextInputRenderTest, RenderRestoresThe3DFlagAndRefusesAnEndedInput) {
  const LibraryHandle h = CreateKeyInput(8, 0, 0, 0);
  ActivateKeyInput(h);
  EXPECT_EQ(RenderKeyInput(10, 20, h), 0);
  EXPECT_EQ(drawing_.use_3d, 1);
  // Off, then back on; the caret box and the text are wrapped draws,
  // which switch it off and back (to off) once more each.
  EXPECT_EQ(drawing_.switches, 6);
  Type(std::string("ab") + kEnter);
  drawing_.switches = 0;
  EXPECT_EQ(RenderKeyInput(10, 20, h), -1);
  EXPECT_EQ(drawing_.switches, 0);
}

TEST_F(TextInputRenderTest, CaretBlinksOnlyWhenBlinkingIsOn) {
  const LibraryHandle h = CreateKeyInput(8, 0, 0, 0);
  ActivateKeyInput(h);
  TextInputState& s = GetTextInputState();
  // Off after start-up: always shown.
  s.caret_visible = 0;
  clock_.Advance(2000);
  RenderKeyInput(0, 0, h);
  EXPECT_EQ(s.caret_visible, 1);
  s.blink_enabled = 1;
  ResetCaretBlink();
  std::vector<int> shown;
  for (int step = 0; step < 4; ++step) {
    clock_.Advance(501);
    RenderKeyInput(0, 0, h);
    shown.push_back(s.caret_visible);
  }
  EXPECT_EQ(shown, (std::vector<int>{0, 1, 0, 1}));
  // Typing shows the caret again and restarts the period.
  Type("a");
  EXPECT_EQ(s.caret_visible, 1);
  clock_.Advance(400);
  RenderKeyInput(0, 0, h);
  EXPECT_EQ(s.caret_visible, 1);
}

TEST_F(TextInputRenderTest, CompositionNeedsTheImeOnAndOpen) {
  EXPECT_EQ(DrawImeComposition(0, 0, 5), -1);
  const LibraryHandle h = CreateKeyInput(8, 0, 0, 0);
  EXPECT_EQ(DrawImeComposition(0, 0, 5), 0);
  RemoveKeyInput(h);
  EXPECT_EQ(DrawImeComposition(0, 0, 5), -1);
}

}  // namespace

namespace {

// Random typing over a small alphabet (letters, lead bytes, bytes that are
// trail bytes in the lead range, edit codes, NUL) never leaves the text
// longer than its maximum, with a caret off a character boundary, or with a
// NUL inside it.
TEST_F(TextInputTest, RandomTypingKeepsTheTextWhole) {
  const uint8_t alphabet[] = {'a', '1', '-', 0x82, 0x9F, 0xA0, 0xE0, 0, 8, 9, 13, 16, 27, 28, 29};
  std::mt19937 random(12345);
  for (int round = 0; round < 300; ++round) {
    const int maximum = static_cast<int>(random() % 9) - 1;
    const LibraryHandle h = CreateKeyInput(maximum, static_cast<int>(random() % 2),
                                           static_cast<int>(random() % 2),
                                           static_cast<int>(random() % 4 == 0));
    ASSERT_GE(h, 0);
    ActivateKeyInput(h);
    for (int step = 0; step < 60; ++step) {
      PushInputChar(alphabet[random() % sizeof(alphabet)]);
      if (random() % 3 == 0) {
        ASSERT_EQ(UpdateKeyInput(), 0);
        if (GetKeyInputState(h) != 0) ActivateKeyInput(h);
        const KeyInputRecord& r = *GetTextInputState().records.Find(h);
        ASSERT_LE(r.length, std::max(maximum, 0));
        ASSERT_EQ(static_cast<int>(std::strlen(r.text)), r.length);
        int pos = 0;
        while (pos < r.caret) pos += CountCharBytes(r.text + pos, 1);
        ASSERT_EQ(pos, r.caret) << "caret inside a character, round " << round;
      }
    }
    RemoveKeyInput(h);
  }
}

}  // namespace
