// Graphics start-up in both ways of running: the log line for line, the
// screens made, the front screen as draw target; and shutdown.
#include <algorithm>

#include "engine/graphics/font_handles.h"
#include "font/test_fonts.h"
#include "tests/graphics/screen_fixture.h"
#include "tests/support/direct3d_startup_log.h"

namespace graphics_test {
namespace {

using GraphicsStartupTest = ScreenTest;

const std::vector<std::string> kObjectLines = {
    "DirectDraw 関連の初期化を行います",
    "DirectDraw オブジェクトの取得を行います....  成功",
    "引き続き初期化処理... 初期化に成功しました",
    "ビデオカードの情報",
    "画面モード変更処理を開始します",
    "画面モードの変更処理を開始します 640 x 480  16 bit ",
    "ウインドウモードにします",
    "画面モードの変更は正常に終了しました ",
};
const std::vector<std::string> kManagerLines = {
    "グラフィック管理系の初期化を行います",
    "３Ｄグラフィック描画機能は使用しません",
    "フォントの初期化を行います",
    "フォントの初期化は正常に終了しました",
    "グラフィック管理系の初期化は正常に終了しました",
};

const std::vector<std::string>& kDirect3DLines = test_support::Direct3DStartupLogLines();
const std::vector<std::string> kManagerLines3D = {
    "グラフィック管理系の初期化を行います",
    "３Ｄグラフィック描画機能を使用します",
    "フォントの初期化を行います",
    "フォントの初期化は正常に終了しました",
    "グラフィック管理系の初期化は正常に終了しました",
};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST_F(GraphicsStartupTest, SoftwareRenderingStartLogAndScreens) {
  StartSoftware();
  const std::vector<std::string> expected = Join({
      kObjectLines,
      {"出力画面用の DirectDrawSurface を作成します", "各スクリーンメモリの配置位置",
       "PrimaryBuffer : SYSTEMMEMORY( MEMIMG ) BaskBuffer : SYSTEMMEMORY( MEMIMG ) "
       "出力画面用の DirectDrawSurface の作成は正常に終了しました"},
      kManagerLines,
      {"画面モード変更処理は正常に終了しました", "DirectDraw 関連の初期化は正常に終了しました"},
  });
  EXPECT_EQ(LogLines(), expected);
  EXPECT_EQ(GetMainSurfaces().ScreensAreMemImgs, 1);
  EXPECT_EQ(CurrentDrawState.DrawTarget, -4);
  EXPECT_EQ(GetDrawTargetState().TargetMemImg, &GetMainSurfaces().FrontMemImg);
  EXPECT_EQ(GetDisplayState().MinFlipInterval, -1);
  EXPECT_EQ(MixTable[63][5][9], 5) << "tables built";
}

TEST_F(GraphicsStartupTest, HardwareDrawingStartLogAndScreens) {
  StartHardware();
  const std::vector<std::string> expected = Join({
      kObjectLines,
      {"カラー情報",
       "A:00000000  B:00ff0000  G:0000ff00  B:000000ff出力画面用の DirectDrawSurface を作成します",
       "各スクリーンメモリの配置位置", "PrimaryBuffer : VIDEOMEMORY  ", "BaskBuffer : VIDEOMEMORY  ",
       "出力画面用の DirectDrawSurface の作成は正常に終了しました"},
      kDirect3DLines,
      kManagerLines3D,
      {"サーフェス間転送には BitBlt を使用します", "BitBlt:0μs   BltFast:0μs", "スキャンラインの数:768",
       "１フレーム当たりの時間は 17 msecです", "Tri00:17 msec", "Tri01:17 msec", "Tri02:16 msec",
       "Tri03:17 msec", "画面モード変更処理は正常に終了しました",
       "DirectDraw 関連の初期化は正常に終了しました"},
  });
  EXPECT_EQ(LogLines(), expected);
  EXPECT_EQ(GetScreenColorState().ScreenBits, 32) << "a 32-bit desktop";
  EXPECT_EQ(CurrentDrawState.DrawTarget, -4);
  EXPECT_EQ(GetDrawTargetState().TargetSurface, GetMainSurfaces().PrimarySurface.get());
  EXPECT_EQ(GetDisplayState().MinFlipInterval, 10);

  TerminateGraphics();
  EXPECT_EQ(GetMainSurfaces().PrimarySurface, nullptr);
  EXPECT_FALSE(HasDirectDraw());
  EXPECT_NE(ReadLog().find("DirectDraw 関連の終了処理は正常に終了しました\r\n"), std::string::npos);
}

TEST_F(GraphicsStartupTest, AReleasedTargetGraphSendsDrawingToTheBackScreen) {
  StartSoftware();
  CurrentDrawState.CreateDrawable = 1;
  const int graph = NewGraph(16, 16, 1);
  ASSERT_EQ(SetDrawTarget(graph), 0);
  EXPECT_EQ(CurrentDrawState.TargetWidth, 16);
  ASSERT_EQ(FreeGraphHandle(graph, 0), 0);
  EXPECT_EQ(CurrentDrawState.DrawTarget, -2);
  EXPECT_EQ(GetDrawTargetState().TargetMemImg, &GetMainSurfaces().BackMemImg);
  EXPECT_EQ(SetDrawTarget(5), -1) << "an empty raw slot";
  EXPECT_EQ(SetDrawTarget(graph), -1) << "a released handle";
  EXPECT_EQ(CurrentDrawState.DrawTarget, -2);
}

// The graph manager's start makes the default font from the start values;
// a mode change ends every font but keeps the default font's face, size and
// thickness; the graphics' end leaves no font behind.
TEST_F(GraphicsStartupTest, FontsFollowTheGraphManager) {
  fonttest::TestFonts::Get();
  ResetFontTable();
  StartSoftware();
  ASSERT_EQ(GetFontCount(), 1);
  const FontRecord* standard = GetFontRecord(GetStandardFont());
  ASSERT_NE(standard, nullptr);
  EXPECT_EQ(standard->Size, 16);
  EXPECT_EQ(standard->Thickness, 6);
  EXPECT_EQ(standard->Type, 0u);
  EXPECT_EQ(standard->FaceName, "");
  EXPECT_NE(GetSurface2D(standard->DrawScreen), nullptr);

  const std::string face = fonttest::Sjis(u8"ベスク試験");
  ASSERT_EQ(SetDefaultFontName(face.c_str(), 1), 0);
  ASSERT_EQ(SetDefaultFontSize(20), 0);
  ASSERT_EQ(SetDefaultFontThickness(8), 0);
  ASSERT_EQ(SetDefaultFontType(3), 0);
  const int other = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0, -1, -1);
  int32_t lost = 0;
  ASSERT_EQ(SetFontLostFlag(other, &lost), 0);

  ASSERT_EQ(ChangeScreenModeDD(-1, -1, -1, 1, -1), 0);
  EXPECT_EQ(lost, 1) << "a mode change ends every font";
  EXPECT_EQ(GetFontCount(), 1);
  standard = GetFontRecord(GetStandardFont());
  ASSERT_NE(standard, nullptr);
  EXPECT_EQ(standard->FaceName, face);
  EXPECT_EQ(standard->Size, 20);
  EXPECT_EQ(standard->Thickness, 8);
  EXPECT_EQ(standard->Type, 0u) << "the type goes back to its start value";
  EXPECT_EQ(standard->Face->Family(), writers::kTestFontFamily);

  ASSERT_EQ(SetFontLostFlag(GetStandardFont(), &lost), 0);
  const int surfaces = GetSurface2DCount();
  ASSERT_EQ(TerminateGraphManager(), 0);
  EXPECT_EQ(lost, 1);
  EXPECT_EQ(GetFontCount(), 0);
  EXPECT_EQ(GetSurface2DCount(), surfaces - 1) << "the draw screen went with its font";
  const std::vector<std::string> lines = LogLines();
  const auto end = std::find(lines.rbegin(), lines.rend(), "フォントの初期化は正常に終了しました");
  ASSERT_NE(end, lines.rend());
  EXPECT_EQ(*(end - 1), "グラフィック管理系の終了処理は正常に終了しました");
  ResetFontTable();
}

}  // namespace
}  // namespace graphics_test
