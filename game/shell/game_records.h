// The lifetime of the game's process-wide records: the basic information
// (GameBasicInfo), the three databases, the common events, the user's
// settings from Game.ini, the data layer's report and folder settings, the
// runtime random generator and the settings owned by start-up.
//
// Until CreateGameRecords runs they hold their empty, constant state.
// CreateGameRecords builds them in start-up order (the new-game defaults of
// GameBasicInfo draw from the runtime random generator); ResetGameRecords
// puts every one back to its state before start-up, so a test or a second
// run in the same process starts from the same place.
#pragma once

void CreateGameRecords();
void ResetGameRecords();
