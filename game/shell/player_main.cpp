// vesk-player: runs the game in the current folder (or the folder named by
// --game DIR). The launcher's options are taken off the command line; the
// rest is the engine's command line ("Test_Of_Main" selects test play).
#include "engine/api/library_services.h"
#include "game/shell/program_startup.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  if (!platform::SetLaunchArguments(argc, argv)) return 2;
  // The library's own services in place of the null ones.
  InstallServices(LibraryServiceSet());
  InstallDirect3DBackEnd();
  return WinMain(platform::CommandLine());
}
