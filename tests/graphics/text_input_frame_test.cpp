// End to end: a text-input field with a composition of three clauses and a
// candidate list, drawn by the graphics engine's text-input back end in
// software rendering with the test font, compared exactly with a golden
// frame (tests/graphics/golden; VESK_UPDATE_GOLDEN=1 writes it anew).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/api/text_input_entry_points.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/graphics/font_handles.h"
#include "font/test_fonts.h"
#include "tests/graphics/golden_png.h"
#include "tests/graphics/screen_fixture.h"

namespace graphics_test {
namespace {

using fonttest::Sjis;

class TextInputFrameTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    fonttest::TestFonts::Get();
    SetFontCacheHooks({});
  }
  void TearDown() override {
    SetTextInputDrawing(nullptr);
    ScreenTest::TearDown();
  }
};

TEST_F(TextInputFrameTest, CompositionWithCandidatesMatchesItsGolden) {
  GetScreenColorState().ScreenBits = 16;
  StartSoftware();
  ASSERT_EQ(SetTargetScreen(-2), 0);
  ConnectTextInputDrawing();
  InitializeTextInput();
  TextInputState& s = GetTextInputState();
  const std::string face = Sjis(u8"ベスク試験");
  s.font = CreateFontToHandle(face.c_str(), 20, 4, 1, 1, -1, 0, -1, -1);
  ASSERT_NE(s.font, -1);
  EXPECT_EQ(PutBox(0, 0, 320, 240, PackScreenColor(30, 50, 70), 1), 0);

  const LibraryHandle h = CreateKeyInput(32, 0, 0, 0);
  ASSERT_EQ(ActivateKeyInput(h), 0);
  for (char c : std::string("ILT")) ASSERT_EQ(PushInputChar(static_cast<uint8_t>(c)), 0);
  ASSERT_EQ(UpdateKeyInput(), 0);
  s.ime_open = 1;
  const std::string composition = Sjis(u8"あア日一");
  std::snprintf(s.composition.data(), s.composition.size(), "%s", composition.c_str());
  const uint32_t clauses[] = {0, 2, 6, 8};
  for (size_t i = 0; i < 4; ++i) s.clause_offsets[i] = clauses[i];
  s.clause_count = 4;
  s.composition_caret = 1;
  auto list = std::make_unique<KeyInputCandidates>();
  for (const char8_t* c : {u8"ア日", u8"あ", u8"日一あ", u8"IL", u8"TO", u8"一", u8"LOL"}) {
    list->entries.push_back(Sjis(c));
  }
  list->selection = 2;
  s.candidates = std::move(list);

  ASSERT_EQ(RenderKeyInput(40, 60, h), 0);

  const MEMIMG& back = GetMainSurfaces().BackMemImg;
  golden::Frame f;
  f.width = 320;
  f.height = 240;
  for (int y = 0; y < f.height; ++y) {
    for (int x = 0; x < f.width; ++x) {
      uint32_t v = 0;
      std::memcpy(&v, back.Pixels + y * back.Pitch + x * back.Format->PixelByte, back.Format->PixelByte);
      int r = 0, g = 0, b = 0, a = 0;
      UnpackColor(back.Format, v, &r, &g, &b, &a);
      f.rgb.push_back(static_cast<uint32_t>(r << 16 | g << 8 | b));
    }
  }
  const std::string path = std::string(VESK_SOURCE_DIR) + "/tests/graphics/golden/text_input16.png";
  EXPECT_EQ(golden::CompareWithGolden(path, f), "");
  RemoveAllKeyInputs();
}

}  // namespace
}  // namespace graphics_test
