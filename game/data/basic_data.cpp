#include "game/data/basic_data.h"

#include <utility>

#include "game/data/database_file.h"

DataBase SysDataBase;
DataBase UserDataBase;
DataBase CDataBase;

namespace {

CommonEventLoadHooks& InstalledCommonEventHooks() {
  static CommonEventLoadHooks hooks;
  return hooks;
}

}  // namespace

void SetCommonEventLoadHooks(CommonEventLoadHooks hooks) { InstalledCommonEventHooks() = std::move(hooks); }

void LoadBasicData() {
  SysDataBase = DataBase();
  UserDataBase = DataBase();
  CDataBase = DataBase();
  const CommonEventLoadHooks& common_events = InstalledCommonEventHooks();
  // Common events: the list is replaced by a fresh one of 10 records here.
  if (common_events.reset) common_events.reset();
  LoadDataBase(SysDataBase, "BasicData\\SysDataBase");
  LoadDataBase(UserDataBase, "BasicData\\DataBase");
  LoadDataBase(CDataBase, "BasicData\\CDataBase");
  // Common events: LoadCommonEvents with "BasicData\CommonEvent.dat".
  if (common_events.load) common_events.load("BasicData\\CommonEvent.dat");
}
