#include "engine/api/module_resets.h"

#include "engine/api/library_startup.h"
#include "engine/api/services/service_registry.h"
#include "engine/core/base/api_lock.h"
#include "engine/core/base/library_state.h"
#include "engine/core/base/log.h"
#include "engine/core/base/start_directory.h"
#include "engine/core/files/file_stream_table.h"
#include "engine/core/files/ora_archive_streams.h"
#include "engine/core/input/input_setup.h"
#include "engine/core/network/http_tasks.h"
#include "engine/core/network/socket_layer.h"
#include "engine/core/sound/midi_handles.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/textinput/key_input.h"
#include "engine/core/textinput/key_input_drawing.h"
#include "engine/core/window/main_window.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/message_thread.h"
#include "engine/core/window/window_procedure.h"
#include "engine/core/window/window_timers.h"
#include "engine/graphics/d3d_device.h"
#include "engine/graphics/display_state.h"
#include "engine/graphics/draw_target.h"
#include "engine/graphics/font_handles.h"
#include "engine/graphics/graph_manager.h"
#include "engine/graphics/image/image_reader.h"
#include "engine/graphics/image/screen_color.h"
#include "engine/graphics/screens.h"
#include "engine/graphics/software_front.h"
#include "platform/audio_mixer.h"
#include "platform/clock.h"
#include "platform/display/test_controls.h"
#include "platform/ime.h"
#include "platform/input_devices.h"
#include "platform/message_box.h"
#include "platform/tcp_socket.h"
#include "platform/window_events.h"
#include "platform/window_instance_lock.h"

namespace {

void ResetServices() { InstallServices({}); }

// Graph, 2D-surface, surface-data and mask tables, the draw state and
// draw target, the screens, the display, the screen's colour format, the
// fonts and the extra image readers.
void ResetGraphicsModule() {
  EnableTextureGraphsForTest(0);
  ResetDirect3DState();
  ResetGraphicsEngineState();
  ResetMainSurfaces();
  ResetDrawTargetState();
  ResetDisplayState();
  GetScreenColorState() = ScreenColorState{};
  SetReadBackPending(0);
  ResetFontTable();
  ClearImageReaders();
}

void ResetSoundModule() {
  TerminateSound();  // -1 and nothing done when sound never started
  GetSoundHooks() = SoundHooks{};
  ResetMidiHandles();
  SetPendingSoundOps({});
  SetMidiMessagePass(nullptr);
}

void ResetTextInputModule() {
  RemoveAllKeyInputs();
  SetTextInputDrawing(nullptr);
}

void ResetNetworkModule() {
  DeleteAllHttpTasks();
  TerminateNetwork();
  ClearHttpTasks();
  SetHttpBodyLimitForTests(0);
}

void ResetInputModule() {
  TerminateInput();
  SetNoDirectInputFlag(0);
  ClearInputBlock();
}

void ResetWindowModule() {
  if (HasMainWindowHandle()) DestroyMainWindow();
  KillAllWindowTimers();
  ClearPostedMessages();
  ResetWindowData();
  SetMessageThreadEnabled(true);
}

// The archives and their streams, the archive settings, and the
// archive-aware stream set of the start.
void ResetFilesModule() {
  ClearArchiveTables();
  UseArchiveExtension(nullptr);
  UseArchiveKey(nullptr);
  SetUseArchive(1);
  SetStreamFunctions(nullptr);
}

// The lock, the library's flags and machine facts, the log's switch and
// indent, the screen log, the start directory and the start-up overrides.
void ResetBaseModule() {
  DestroyApiLock();
  ResetLibraryState();
  EnableLogFile(1);
  while (GetLogIndent() > 0) DecreaseLogIndent();
  ResetScreenLog();
  SetStartDirectoryOverride(nullptr);
  SetProcessorInfoOverride(nullptr);
  SetStartDirectory("");
}

// The stand-ins' test controls and fakes, and the real clock.
void ResetPlatformModule() {
  platform::ClearInjectedWindowEvents();
  platform::ReleaseAllFakeKeys();
  platform::SetFakeMouseButtons(0);
  platform::InstallFakePads(0);
  platform::SetInstanceLockFolder("");
  platform::SetMessageBoxRecorder({});
  platform::SetDefaultAudioOutputMode(platform::AudioOutputMode::kDevice);
  platform::SetTcpSendLimitForTests(-1);
  platform::SetImeEnabled(false);
  platform::ResetImeContext();
  platform::display::test::ResetDisplayControls();
  platform::SetClock(nullptr);
}

constexpr ModuleReset kModuleResets[] = {
    {"services", &ResetServices},    {"graphics", &ResetGraphicsModule},
    {"sound", &ResetSoundModule},    {"text input", &ResetTextInputModule},
    {"network", &ResetNetworkModule}, {"input", &ResetInputModule},
    {"window", &ResetWindowModule},  {"files", &ResetFilesModule},
    {"base", &ResetBaseModule},      {"platform", &ResetPlatformModule},
};

}  // namespace

std::span<const ModuleReset> LibraryModuleResets() { return kModuleResets; }

void ResetLibraryModules() {
  for (const ModuleReset& entry : kModuleResets) entry.reset();
}
