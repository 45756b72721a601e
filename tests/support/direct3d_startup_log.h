// The log lines of Direct3D's start on the recording stand-in (hardware
// drawing at 16 bits, its default device and texture formats), shared by
// the tests that read the start-up log.
#pragma once

#include <string>
#include <vector>

namespace test_support {

inline const std::vector<std::string>& Direct3DStartupLogLines() {
  static const std::vector<std::string> lines = {
      "Direct3D 関連の初期化を行います",
      "Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します",
      "Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました",
      "３Ｄデバイスを作成します... ３Ｄデバイスの作成に成功しました",
      "テクスチャ最大幅:2048 最小幅:1 ",
      "描画制限: D_D3DPTEXTURECAPS_POW2 = 1  D_D3DPTEXTURECAPS_SQUAREONLY = 0 ",
      "テクスチャピクセルフォーマット",
      "通常グラフィック用",
      // Each formatted line ends a log line of its own.
      " BIT:16  RED:5  GREEN:6  BLUE:5 ",
      " RED:00f800 GREEN:0007e0 BLUE:00001f ",
      "",
      " BIT:32  RED:8  GREEN:8  BLUE:8 ",
      " RED:ff0000 GREEN:00ff00 BLUE:0000ff ",
      "",
      "アルファチャンネル付きグラフィック用",
      " BIT:16  ALPHA:4  RED:4  GREEN:4  BLUE:4 ",
      " ALPHA:0000f000 RED:00000f00 GREEN:000000f0 BLUE:0000000f ",
      "",
      " BIT:32  ALPHA:8  RED:8  GREEN:8  BLUE:8 ",
      " ALPHA:ff000000 RED:00ff0000 GREEN:0000ff00 BLUE:000000ff ",
      "",
      "Direct3D 関連の初期化は正常に終了しました",
  };
  return lines;
}

}  // namespace test_support
