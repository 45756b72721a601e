#include "game/data/basic_data.h"

#include "game/data/common_event.h"
#include "game/data/database_file.h"

constinit DataBase SysDataBase{kEmptyRecord};
constinit DataBase UserDataBase{kEmptyRecord};
constinit DataBase CDataBase{kEmptyRecord};

void LoadBasicData() {
  SysDataBase = DataBase();
  UserDataBase = DataBase();
  CDataBase = DataBase();
  CommonEvents = CommonEventList();
  LoadDataBase(SysDataBase, "BasicData\\SysDataBase");
  LoadDataBase(UserDataBase, "BasicData\\DataBase");
  LoadDataBase(CDataBase, "BasicData\\CDataBase");
  CommonEvents.LoadCommonEvents("BasicData\\CommonEvent.dat");
}
