// The library's own services behind the seams.
#include "engine/api/library_services.h"

#include "engine/api/network_midi_services.h"
#include "engine/api/sound_entry_points.h"
#include "engine/api/text_input_entry_points.h"

#include "engine/core/input/input_setup.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "platform/d3d/gl_direct3d.h"
#include "platform/window.h"

int LibraryWindowService::DesktopColorDepth() { return platform::GetDesktopMode().bits_per_pixel; }
int LibraryWindowService::WindowMode() { return IsWindowedMode(); }
int LibraryWindowService::CreateMainWindow() { return ::CreateMainWindow(); }
void LibraryWindowService::DestroyMainWindow() { ::DestroyMainWindow(); }
int LibraryWindowService::ProcessMessage() { return ::ProcessMessage(); }
void LibraryWindowService::ForceForeground(int) { platform::RaiseMainWindow(); }

int LibraryInputService::Initialize() { return InitializeInput(); }
void LibraryInputService::Terminate() { TerminateInput(); }

ServiceSet LibraryServiceSet() {
  static constinit LibraryWindowService window;
  static constinit LibraryInputService input;
  static constinit EngineGraphicsService graphics;
  static constinit LibrarySoundService sound;
  static constinit LibraryTextInputService text_input;
  static constinit LibraryNetworkService network;
  static constinit PlatformSystemService system;
  ConnectSoundMessagePass();
  ConnectMidiMessagePass();
  ConnectTextInputDrawing();
  ServiceSet set;
  set.window = &window;
  set.input = &input;
  set.graphics = &graphics;
  set.sound = &sound;
  set.text_input = &text_input;
  set.network = &network;
  set.system = &system;
  return set;
}

void InstallDirect3DBackEnd() { platform::d3d::InstallOpenGlDirect3D(); }
