// The three global databases and the loading of all basic data: at start
// and at every return to the title, SysDataBase, UserDataBase and CDataBase
// are replaced by fresh instances and loaded from "Data\BasicData\", and the
// common-event list is rebuilt and loaded from CommonEvent.dat.
#pragma once

#include "game/data/database.h"

extern DataBase SysDataBase;
extern DataBase UserDataBase;
extern DataBase CDataBase;

// Rebuilds and loads the three databases and the common events. Results are
// not looked at: a database that failed stays as far as it was read; a
// missing file ends the program (LoadDataBase).
void LoadBasicData();
