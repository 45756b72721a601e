#include "game/shell/program_startup.h"

#include "engine/api/file_entry_points.h"
#include "engine/api/graphics_entry_points.h"
#include "engine/api/library_entry_points.h"
#include "engine/api/presentation_entry_points.h"
#include "engine/api/window_entry_points.h"
#include "game/data/basic_data.h"
#include "game/data/data_error_report.h"
#include "game/data/game_dat.h"
#include "game/data/game_ini.h"
#include "game/data/map_file.h"
#include "game/shell/game_records.h"
#include "platform/file_system.h"
#include "engine/api/services/service_registry.h"

int32_t DebugMode = 0;
std::string ProgramFolder;
std::string DataFolder;
int32_t TileSize = 32;
int32_t DrawScale = 1;
int32_t FrameStep = 1;
int32_t SoftModeFlag = 0;
int32_t FrameSkip = 0;

namespace {

void DebugLog(const char* text) {
  if (DebugMode) WriteLog(text);
}

// Pumps the library's messages and shows the back screen once per frame
// time until the window closes.
void RunMainLoop() {
  const int frame_ms = FrameStep * 1000 / 60;
  while (PumpMessages() == 0) {
    PresentFrame();
    WaitMilliseconds(frame_ms > 0 ? frame_ms : 16);
  }
}

}  // namespace

int WinMain(const std::string& command_line) {
  CreateGameRecords();
  DebugMode = command_line == "Test_Of_Main" ? 1 : 0;
  DebugLog("Main 初期化開始\n");

  // The game's folder stands for the program folder; the current folder
  // stays there for the whole run. A drive's own folder ("G:\") already
  // ends in the separator.
  ProgramFolder = platform::GetCurrentFolder();
  const bool drive_folder = ProgramFolder.size() == 3 && ProgramFolder[1] == ':';
  if (!drive_folder) ProgramFolder += "\\";
  DataFolder = ProgramFolder + "Data\\";
  SetGameDataFolder(DataFolder);

  if (!GameBasicInfo.LoadGameDat("Game.dat")) return 0;
  SetRunWhileInactive(1);
  DebugLog("ゲーム基本情報ファイル読み込み完了\n");
  EnableLogOutput(DebugMode);

  const int32_t tile_setting = GameBasicInfo.Setting(kSettingTileSize);
  if (tile_setting == 32) {
    TileSize = 32;
    DrawScale = 1;
  } else if (tile_setting == 16) {
    TileSize = 16;
    DrawScale = 2;
  }
  FrameStep = GameBasicInfo.FrameStepSixtieths();

  DebugLog("第二次初期化　開始\n");
  SetWindowTitle("起動中です、この処理にはしばらく時間がかかることがあります");
  int32_t start = 0;
  ReadGameIni(start, SoftModeFlag, WindowModeFlag, SEandBGM, FrameSkip);
  SetWindowedMode(WindowModeFlag);
  if (start == -1) {
    const std::string caption =
        FormatString("『%s』 初回起動メッセージ", GameBasicInfo.Text(kTextGameTitle).c_str());
    ShowUserMessage(caption,
                    "これより、処理が高速な「3Dモード」でゲームの起動を行います。\n"
                    "もし起動しなかった場合は、もう一度実行してください。\n"
                    "次回実行時から、処理が安定している「ソフトウェアモード」で起動します。",
                    MessageBoxButtons::kOk, MessageBoxKind::kInformation);
  }
  if (start == 1 || SoftModeFlag == 1) {
    WriteGameIni(1, 1, 0);
    SoftModeFlag = 1;
  } else {
    WriteGameIni(1, SoftModeFlag, 0);
  }
  // Software mode: the graphics start in software rendering.
  if (SoftModeFlag == 1) SetHardwareRendering(0);

  if (StartLibrary() == -1) {
    ShowUserMessage("エラー", "起動に失敗しました");
    return -1;
  }
  WriteGameIni(0, SoftModeFlag, 0);
  SetWindowTitle(GameBasicInfo.Text(kTextGameTitle).c_str());

  EnableArchiveAccess(1);
  ChangeArchiveExtension("vesk");
  ChangeArchiveKey(GameBasicInfo.Text(kTextArchiveKey).c_str());
  LoadBasicData();
  DebugLog("タイトル処理開始\n");

  RunMainLoop();

  EndLibrary();
  WriteGameIni(0, SoftModeFlag, 0);
  platform::SetCurrentFolder(ProgramFolder);
  return 0;
}
