#include "game/shell/game_records.h"

#include "game/data/basic_data.h"
#include "game/data/common_event.h"
#include "game/data/data_error_report.h"
#include "game/data/data_scrambler.h"
#include "game/data/database.h"
#include "game/data/empty_record.h"
#include "game/data/game_dat.h"
#include "game/data/game_ini.h"
#include "game/data/map_file.h"
#include "game/shell/program_startup.h"

void CreateGameRecords() {
  GameBasicInfo = GameBasicInfoRecord();
  SysDataBase = DataBase();
  UserDataBase = DataBase();
  CDataBase = DataBase();
  CommonEvents = CommonEventList();
}

void ResetGameRecords() {
  GameBasicInfo = GameBasicInfoRecord(kEmptyRecord);
  SysDataBase = DataBase(kEmptyRecord);
  UserDataBase = DataBase(kEmptyRecord);
  CDataBase = DataBase(kEmptyRecord);
  CommonEvents = CommonEventList(kEmptyRecord);
  DataBaseVersion = 0xC1;
  DBReadErrorFlag = 0;
  RuntimeRandom().Seed(1);

  Proxy.clear();
  ProxyPort.clear();
  ScreenShotFlag = 1;
  WindowModeFlag = 1;
  SEandBGM = 3;

  SetErrorBoxReporter({});
  SetErrorLocationProvider({});
  ClearRecordedErrorBoxes();
  SetGameDataFolder("Data\\");

  DebugMode = 0;
  ProgramFolder.clear();
  DataFolder.clear();
  TileSize = 32;
  DrawScale = 1;
  FrameStep = 1;
  SoftModeFlag = 0;
  FrameSkip = 0;
}
