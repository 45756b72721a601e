// The text-input field's drawing through a recording back end: the caret
// and text of the field, the composition with its clauses and caret, the
// candidate box with its page and counter and the rules that keep it inside
// the draw area, and strings and boxes continued a line lower at the left
// edge. The back end measures 8 pixels a byte at font size 16.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "platform/clock.h"
#include "tests/support/fresh_state_test.h"

namespace {

class RecordingDrawing : public TextInputDrawing {
 public:
  int IsUsing3DDrawing() override { return use_3d; }
  void SetUse3DDrawing(int flag) override { use_3d = flag; }
  DrawAreaRect GetDrawArea() override { return area; }
  void SetDrawArea(const DrawAreaRect& a) override { area = a; }
  void FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, int fill) override {
    char line[96];
    std::snprintf(line, sizeof line, "%s %d,%d-%d,%d c%u 3d%d", fill ? "fill" : "frame", x1, y1, x2, y2,
                  color, use_3d);
    calls.push_back(line);
  }
  int GetStandardFont() override { return 7; }
  int GetFontSize(int font) override { return font == 7 ? size : -1; }
  int MeasureString(const char* /*text*/, int32_t bytes, int /*font*/) override { return 8 * bytes; }
  void DrawString(int32_t x, int32_t y, const char* text, uint32_t color, uint32_t edge, int font) override {
    char line[160];
    std::snprintf(line, sizeof line, "text %d,%d \"%s\" c%u e%u f%d 3d%d", x, y, text, color, edge, font,
                  use_3d);
    calls.push_back(line);
  }
  uint32_t PackColor(int r, int g, int b) override { return static_cast<uint32_t>(r + g + b == 0 ? 0 : 999); }

  int use_3d = 1;
  int size = 16;
  DrawAreaRect area{0, 0, 640, 480};
  std::vector<std::string> calls;
};

class TextInputDrawingTest : public FreshStateTest {
 protected:
  void SetUp() override {
    FreshStateTest::SetUp();
    platform::SetClock(&clock_);
    InitializeTextInput();
    // Colour n is 100 + n; the edge colours 8 and 9 too.
    int64_t colors[kKeyInputColorCount];
    for (int i = 0; i < kKeyInputColorCount; ++i) colors[i] = 101 + i;
    ASSERT_EQ(ConfigureKeyInputColors(colors), 0);
    SetTextInputDrawing(&drawing_);
  }
  void TearDown() override {
    SetTextInputDrawing(nullptr);
    FreshStateTest::TearDown();
  }
  static void Type(const std::string& bytes) {
    for (char c : bytes) ASSERT_EQ(PushInputChar(static_cast<uint8_t>(c)), 0);
    ASSERT_EQ(UpdateKeyInput(), 0);
  }
  static void Compose(const char* text, std::vector<uint32_t> clauses, int caret) {
    TextInputState& s = GetTextInputState();
    std::snprintf(s.composition.data(), s.composition.size(), "%s", text);
    for (size_t i = 0; i < clauses.size(); ++i) s.clause_offsets[i] = clauses[i];
    s.clause_count = static_cast<int32_t>(clauses.size());
    s.composition_caret = caret;
  }
  static void Candidates(int count, int selection, int widest_bytes = 8) {
    auto list = std::make_unique<KeyInputCandidates>();
    for (int i = 0; i < count; ++i) {
      list->entries.push_back(std::string(static_cast<size_t>(i == 0 ? widest_bytes : 1 + i % 4), 'a' + i % 26));
    }
    list->selection = selection;
    GetTextInputState().candidates = std::move(list);
  }

  platform::VirtualClock clock_{5000000};
  RecordingDrawing drawing_;
};

TEST_F(TextInputDrawingTest, FieldDrawsCaretThenText) {
  const LibraryHandle h = CreateKeyInput(16, 0, 0, 0);
  ASSERT_EQ(ActivateKeyInput(h), 0);
  Type(std::string("ab\x82\xA0") + char(29));  // caret before the kana
  GetTextInputState().ime_open = 0;           // no composition
  drawing_.calls.clear();
  ASSERT_EQ(RenderKeyInput(10, 20, h), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{
                                "fill 26,20-28,36 c102 3d0",
                                "text 10,20 \"ab\x82\xA0\" c101 e108 f7 3d0",
                            }));
  EXPECT_EQ(drawing_.use_3d, 1) << "restored";

  // Blinking on: the caret comes and goes every 500 ms.
  GetTextInputState().blink_enabled = 1;
  ResetCaretBlink();
  std::vector<bool> caret;
  for (int i = 0; i < 3; ++i) {
    clock_.Advance(501);
    drawing_.calls.clear();
    RenderKeyInput(10, 20, h);
    caret.push_back(drawing_.calls.size() == 2);
  }
  EXPECT_EQ(caret, (std::vector<bool>{false, true, false}));
}

TEST_F(TextInputDrawingTest, CompositionWithClausesAndCaret) {
  const LibraryHandle h = CreateKeyInput(16, 0, 0, 0);
  ASSERT_EQ(ActivateKeyInput(h), 0);
  GetTextInputState().ime_open = 1;
  Compose("abcdef", {0, 2, 6}, 2);
  ASSERT_EQ(DrawImeComposition(100, 50, 5), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{
                                "fill 100,50-148,66 c103 3d0",
                                "fill 116,50-148,66 c106 3d0",  // the clause at the caret
                                "text 100,50 \"abcdef\" c0 e103 f7 3d0",
                                "fill 116,50-118,66 c104 3d0",  // caret
                                "fill 102,67-114,68 c105 3d0",  // underlines, 2 in from each end
                                "fill 118,67-146,68 c105 3d0",
                            }));
  // One clause (two offsets): no clause fill; clamped to the area's corner.
  drawing_.calls.clear();
  drawing_.area = {120, 60, 640, 480};
  Compose("ab", {0, 2}, 1);
  ASSERT_EQ(DrawImeComposition(100, 50, 5), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{
                                "fill 120,60-136,76 c103 3d0",
                                "text 120,60 \"ab\" c0 e103 f7 3d0",
                                "fill 128,60-130,76 c104 3d0",
                                "fill 122,77-134,78 c105 3d0",
                            }));
}

TEST_F(TextInputDrawingTest, CandidateBoxAndPage) {
  const LibraryHandle h = CreateKeyInput(16, 0, 0, 0);
  ASSERT_EQ(ActivateKeyInput(h), 0);
  GetTextInputState().ime_open = 1;
  // Five entries, "1:" and eight bytes the widest: 80 pixels.
  Candidates(5, 2);
  ASSERT_EQ(DrawImeComposition(200, 100, 5), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{
                                "fill 200,124-290,230 c112 3d1",
                                "frame 200,124-290,230 c111 3d1",
                                "text 205,129 \"1:aaaaaaaa\" c101 e108 f7 3d1",
                                "text 205,145 \"2:bb\" c101 e108 f7 3d1",
                                "text 205,161 \"3:ccc\" c106 e109 f7 3d1",
                                "text 205,177 \"4:dddd\" c101 e108 f7 3d1",
                                "text 205,193 \"5:e\" c101 e108 f7 3d1",
                                "text 261,209 \"3/5\" c101 e108 f7 3d1",  // right-aligned to the widest
                            }));

  // Twelve candidates, selection 7: the second page, numbered from 1.
  drawing_.calls.clear();
  Candidates(12, 7);
  ASSERT_EQ(DrawImeComposition(200, 100, 5), 0);
  ASSERT_EQ(drawing_.calls.size(), 8u);
  EXPECT_EQ(drawing_.calls[2].substr(0, 17), "text 205,129 \"1:f");
  EXPECT_NE(drawing_.calls[4].find("\"3:h") , std::string::npos);
  EXPECT_NE(drawing_.calls[4].find("c106 e109"), std::string::npos);
  EXPECT_NE(drawing_.calls[6].find("\"5:j"), std::string::npos);
  EXPECT_NE(drawing_.calls[7].find("\"8/12\""), std::string::npos);
  EXPECT_EQ(GetTextInputState().candidates->page_start, 5);
  EXPECT_EQ(GetTextInputState().candidates->page_size, 5);
  // The last page holds what is left.
  drawing_.calls.clear();
  Candidates(12, 11);
  ASSERT_EQ(DrawImeComposition(200, 100, 5), 0);
  EXPECT_EQ(drawing_.calls.size(), 2u + 2u + 1u);
}

TEST_F(TextInputDrawingTest, CandidateBoxStaysInsideTheArea) {
  const LibraryHandle h = CreateKeyInput(16, 0, 0, 0);
  ASSERT_EQ(ActivateKeyInput(h), 0);
  GetTextInputState().ime_open = 1;
  Candidates(5, 0);
  const struct {
    const char* what;
    DrawAreaRect area;
    int x, y;
    const char* box;
  } cases[] = {
      {"fits", {0, 0, 640, 480}, 200, 100, "fill 200,124-290,230"},
      {"above the line when it fits there", {0, 0, 640, 200}, 200, 150, "fill 200,36-290,142"},
      {"just enough when it does not", {0, 0, 640, 150}, 200, 60, "fill 200,44-290,150"},
      {"left to end at the right edge", {0, 0, 250, 480}, 200, 100, "fill 160,124-250,230"},
  };
  for (const auto& c : cases) {
    drawing_.calls.clear();
    drawing_.area = c.area;
    ASSERT_EQ(DrawImeComposition(c.x, c.y, 5), 0);
    ASSERT_FALSE(drawing_.calls.empty());
    EXPECT_EQ(drawing_.calls[0].substr(0, std::strlen(c.box)), c.box) << c.what;
  }
}

TEST_F(TextInputDrawingTest, WrappedStringsAndBoxesContinueAtTheLeftEdge) {
  drawing_.area = {0, 0, 100, 480};
  ASSERT_EQ(DrawWrappedString(90, 10, 19, "abcd", 1, 2, 7), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{
                                "text 90,10 \"abcd\" c1 e2 f7 3d0",
                                "text -10,29 \"abcd\" c1 e2 f7 3d0",
                            }));
  EXPECT_EQ(drawing_.use_3d, 1);
  drawing_.calls.clear();
  // Starting beyond the right edge: two lines down and back.
  ASSERT_EQ(DrawWrappedString(250, 10, 19, "abcd", 1, 2, 7), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{"text 50,48 \"abcd\" c1 e2 f7 3d0"}));
  drawing_.calls.clear();
  // A string wider than two lines.
  ASSERT_EQ(DrawWrappedString(60, 0, 20, "abcdefghijklmnopqrst", 1, 2, 7), 0);
  EXPECT_EQ(drawing_.calls.size(), 3u);
  EXPECT_EQ(drawing_.calls.back().substr(0, 12), "text -140,40");
  drawing_.calls.clear();
  ASSERT_EQ(DrawWrappedBox(95, 5, 105, 15, 19, 3, 1), 0);
  EXPECT_EQ(drawing_.calls, (std::vector<std::string>{
                                "fill 95,5-105,15 c3 3d0",
                                "fill -5,24-5,34 c3 3d0",
                            }));
  // Nothing is drawn again below the area.
  drawing_.calls.clear();
  drawing_.area = {0, 0, 100, 30};
  ASSERT_EQ(DrawWrappedString(60, 0, 20, "abcdefghijklmnopqrst", 1, 2, 7), 0);
  EXPECT_EQ(drawing_.calls.size(), 2u);
  EXPECT_EQ(DrawWrappedString(0, 0, 20, nullptr, 1, 2, 7), 0);
}

}  // namespace
