// Game.ini: the keys found anywhere after spaces are removed, one-character
// values, proxy texts losing their last character, the defaults of a missing
// key and of a missing file, and the exact bytes written.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "data_test_support.h"
#include "game/data/game_ini.h"
#include "tools/writers/data_file_writer.h"
#include "tools/writers/game_ini_writer.h"

namespace {

struct IniValues {
  int32_t start = 99, soft = 99, window = 99, sound = 99, skip = 99;
};

class GameIniTest : public DataLayerTest {
 protected:
  void SetUp() override {
    DataLayerTest::SetUp();
    Proxy = "unchanged";
    ProxyPort = "unchanged";
    ScreenShotFlag = 7;
  }
  IniValues Parse(const std::string& text) {
    IniValues v;
    ParseGameIniText(text, v.start, v.soft, v.window, v.sound, v.skip);
    return v;
  }
};

TEST_F(GameIniTest, ReadsTheValuesAsWritten) {
  const std::string text = writers::BuildGameIni({{"Start", "0"},
                                                  {"SoftModeFlag", "1"},
                                                  {"WindowModeFlag", "0"},
                                                  {"SEandBGM", "2  # comment"},
                                                  {"FrameSkip", "4"},
                                                  {"Proxy", "proxy.example"},
                                                  {"ProxyPort", "8080"},
                                                  {"ScreenShotFlag", "0"}},
                                                 "\r\n", true);
  const IniValues v = Parse(text);
  EXPECT_EQ(v.start, 0);
  EXPECT_EQ(v.soft, 1);
  EXPECT_EQ(v.window, 0);
  EXPECT_EQ(v.sound, 2);
  EXPECT_EQ(v.skip, 4);
  EXPECT_EQ(Proxy, "proxy.example");
  EXPECT_EQ(ProxyPort, "8080");
  EXPECT_EQ(ScreenShotFlag, 0);
}

TEST_F(GameIniTest, ValueRules) {
  const struct {
    const char* what;
    std::string text;
    int32_t start, window, sound, skip;
    const char* proxy;
    const char* port;
  } cases[] = {
      {"spaces around the sign, negative start", "Start = -1\r\n", -1, 0, 3, 0, "", ""},
      {"key on a later line", "X=1\r\nY=2\r\nStart=12\r\n", 12, 0, 3, 0, "", ""},
      {"two-digit value takes one character", "Start=0\r\nSEandBGM=12\r\n", 0, 0, 1, 0, "", ""},
      {"letter reads as 0", "FrameSkip=x\r\nWindowModeFlag=1\r\n", 0, 1, 3, 0, "", ""},
      {"proxy loses the CR", "Proxy=host\r\nProxyPort=80\r\n", 0, 0, 3, 0, "host", "80"},
      {"port at the end loses its last digit", "Proxy=NO\r\nProxyPort=8080", 0, 0, 3, 0, "NO", "808"},
      {"LF-only lines lose a real character", "Proxy=host\nStart=3\n", 3, 0, 3, 0, "hos", ""},
      {"only the start line", "Start=1", 1, 0, 3, 0, "", ""},
      {"value at the very end of the text", "SEandBGM=", 0, 0, 0, 0, "", ""},
      {"text ends at a zero byte", std::string("Start=5\r\n\0FrameSkip=3", 21), 5, 0, 3, 0, "", ""},
      {"start saturates", "Start=99999999999\r\n", INT32_MAX, 0, 3, 0, "", ""},
  };
  for (const auto& c : cases) {
    Proxy = "stale";
    const IniValues v = Parse(c.text);
    EXPECT_EQ(v.start, c.start) << c.what;
    EXPECT_EQ(v.window, c.window) << c.what;
    EXPECT_EQ(v.sound, c.sound) << c.what;
    EXPECT_EQ(v.skip, c.skip) << c.what;
    EXPECT_EQ(v.soft, 0) << c.what;
    EXPECT_EQ(Proxy, c.proxy) << c.what;
    EXPECT_EQ(ProxyPort, c.port) << c.what;
    EXPECT_EQ(ScreenShotFlag, 1) << c.what;
  }
}

TEST_F(GameIniTest, MissingFileGivesStartMinusOneAndKeepsTheGlobals) {
  ScratchGameFolder folder("ini_missing");
  IniValues v;
  EXPECT_EQ(ReadGameIni(v.start, v.soft, v.window, v.sound, v.skip), -1);
  EXPECT_EQ(v.start, -1);
  EXPECT_EQ(v.soft, 0);
  EXPECT_EQ(v.window, 1);
  EXPECT_EQ(v.sound, 3);
  EXPECT_EQ(v.skip, 0);
  EXPECT_EQ(Proxy, "unchanged");
  EXPECT_EQ(ScreenShotFlag, 7);
}

TEST_F(GameIniTest, ReadsFromTheCurrentFolderAndCutsLongFiles) {
  ScratchGameFolder folder("ini_read");
  std::string text = "Start=1\r\n" + std::string(600, '#') + "\r\nFrameSkip=5\r\n";
  ASSERT_TRUE(writers::WriteFileBytes(folder.Native("Game.ini"), std::vector<uint8_t>(text.begin(), text.end())));
  IniValues v;
  EXPECT_EQ(ReadGameIni(v.start, v.soft, v.window, v.sound, v.skip), 1);
  EXPECT_EQ(v.start, 1);
  EXPECT_EQ(v.skip, 0);  // beyond the bytes looked at
}

TEST_F(GameIniTest, WritesTheFixedTextWithCrLf) {
  ScratchGameFolder folder("ini_write");
  WindowModeFlag = 0;
  SEandBGM = 2;
  Proxy = "NO";
  ProxyPort = "";
  ScreenShotFlag = 1;
  ASSERT_TRUE(WriteGameIni(1, 0, 3));
  std::ifstream in(folder.Native("Game.ini"), std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  // The comment in Shift-JIS bytes: "0:SE･BGMなし 1:SEのみ 2:BGMのみ 3:SE+BGMあり".
  const std::string comment =
      "0:SE\xA5" "BGM\x82\xC8\x82\xB5 1:SE\x82\xCC\x82\xDD 2:BGM\x82\xCC\x82\xDD 3:SE+BGM\x82\xA0\x82\xE8";
  const std::string expected = "Start=1\r\nSoftModeFlag=0\r\nWindowModeFlag=0\r\nSEandBGM=2  # " + comment +
                               "\r\nFrameSkip=3\r\nProxy=NO\r\nProxyPort=\r\nScreenShotFlag=1";
  EXPECT_EQ(bytes.str(), expected);

  // What was written reads back (Proxy "NO" survives its CR).
  IniValues v;
  EXPECT_EQ(ReadGameIni(v.start, v.soft, v.window, v.sound, v.skip), 1);
  EXPECT_EQ(v.start, 1);
  EXPECT_EQ(v.window, 0);
  EXPECT_EQ(v.sound, 2);
  EXPECT_EQ(v.skip, 3);
  EXPECT_EQ(Proxy, "NO");
  EXPECT_EQ(ProxyPort, "");
  WindowModeFlag = 1;
  SEandBGM = 3;
}

}  // namespace
