// Upward hooks of the socket layer, the HTTP tasks and the MIDI handles.
#include "engine/api/network_midi_services.h"

#include "engine/api/library_services.h"
#include "engine/core/network/http_tasks.h"
#include "engine/core/network/socket_layer.h"
#include "engine/core/sound/midi_handles.h"
#include "engine/core/sound/sound_buffer.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/window/message_pump.h"
#include "engine/core/window/window_procedure_hooks.h"
#include "platform/audio_mixer.h"
#include "platform/smf_player_loader.h"

void RegisterNetworkServices(LibraryServices& services) {
  services.network.clear_http_tasks = [] { ClearHttpTasks(); };
  services.network.delete_all_http_tasks = [] { DeleteAllHttpTasks(); };
  services.network.terminate_network = [] { TerminateNetwork(); };
  WindowServiceHooks& hooks = GetWindowServiceHooks();
  hooks.pump_network_window = [](int close_finished) { PumpNetworkWindow(close_finished); };
  hooks.run_http_tasks = [] { RunAllHttpTasks(); };
  // The socket comes as the first word, the event and its error code as
  // the second.
  hooks.handle_socket_event = [](uint64_t wparam, int64_t lparam) -> int64_t {
    return HandleSocketEvent(static_cast<int>(lparam), static_cast<int>(wparam));
  };
}

void RegisterMidiServices(LibraryServices& services) {
  services.sound.release_pending_sound = [] { ReleasePendingSound(); };
  WindowServiceHooks& hooks = GetWindowServiceHooks();
  hooks.update_midi_play_state = [] { UpdateMidiPlayState(); };
  hooks.handle_mci_notify = [](uint64_t, int64_t) { HandleMciNotify(); };
  SetMidiMessagePass([] { return ProcessMessage(); });
  GetSoundHooks().delete_all_midi = [] { TerminateMidi(); };
  // The MIDI library's output joins the sound mixer as an outside source.
  platform::SetSmfOutputHooks({[](platform::SmfSampleSource source) {
                                 platform::AudioMixer* mixer = GetSoundMixer();
                                 return mixer != nullptr ? mixer->AttachOutsideSource(std::move(source)) : -1;
                               },
                               [](int id) {
                                 if (platform::AudioMixer* mixer = GetSoundMixer()) mixer->DetachOutsideSource(id);
                               }});
}
