// vesk-player: runs the game in the current folder (or the folder named by
// --game DIR). The launcher's options are taken off the command line; the
// rest is the engine's command line ("Test_Of_Main" selects test play).
#include "engine/api/graphics_entry_points.h"
#include "engine/api/input_entry_points.h"
#include "engine/api/library_services.h"
#include "engine/api/network_midi_services.h"
#include "engine/api/sound_entry_points.h"
#include "engine/api/text_input_entry_points.h"
#include "engine/api/window_entry_points.h"
#include "game/shell/program_startup.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  if (!platform::SetLaunchArguments(argc, argv)) return 2;
  // Hand the library's start-up the services that exist, in place of the
  // defaults that do nothing.
  LibraryServices& services = GetLibraryServices();
  RegisterWindowServices(services);
  RegisterInputServices(services);
  RegisterTextInputServices(services);
  RegisterGraphicsServices(services);
  RegisterSoundServices(services);
  RegisterNetworkServices(services);
  RegisterMidiServices(services);
  return WinMain(platform::CommandLine());
}
