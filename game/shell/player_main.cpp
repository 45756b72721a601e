// vesk-player: runs the game in the current folder (or the folder named by
// --game DIR). An engine command line of exactly "Test_Of_Main" selects
// test play, which turns the library's log on. The player starts the
// library, pumps messages until the window is closed and ends the library.
#include <string>

#include "engine/core/api/input_entry_points.h"
#include "engine/core/api/library_entry_points.h"
#include "engine/core/api/library_services.h"
#include "engine/core/api/window_entry_points.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace {

// Hands the library's start-up the services that exist, in place of the
// defaults that do nothing.
void RegisterServices() {
  LibraryServices& services = GetLibraryServices();
  RegisterWindowServices(services);
  RegisterInputServices(services);
}

}  // namespace

int main(int argc, char** argv) {
  if (!platform::SetLaunchArguments(argc, argv)) return 2;
  const bool test_play = platform::CommandLine() == "Test_Of_Main";
  EnableLogOutput(test_play ? 1 : 0);

  RegisterServices();
  if (StartLibrary() == -1) {
    platform::ShowMessageBox("", "起動に失敗しました");
    platform::ExitProcess(-1);
  }
  // Until the game shell runs frames, the player keeps its window open and
  // pumps messages until the window is closed.
  while (PumpMessages() == 0) WaitMilliseconds(16);
  EndLibrary();
  return 0;
}
