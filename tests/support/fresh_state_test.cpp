#include "tests/support/fresh_state_test.h"

#include "engine/api/module_resets.h"
#include "game/shell/game_records.h"

void ResetEverything() {
  ResetGameRecords();
  ResetLibraryModules();
}
