// The base of the test fixtures: before each test and after it, every
// module of the library (engine/api/module_resets.h) and every record of the
// game (game/shell/game_records.h) goes back to its state before start-up,
// the services to the null ones and the clock to the real one. So no test
// sees what another left behind, whatever order they run in. A fixture
// calls FreshStateTest::SetUp first and FreshStateTest::TearDown last.
#pragma once

#include <gtest/gtest.h>

// Resets everything as described above.
void ResetEverything();

class FreshStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEverything(); }
  void TearDown() override { ResetEverything(); }
};
