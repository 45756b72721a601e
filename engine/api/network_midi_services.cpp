// The socket layer and the HTTP tasks behind the network seam, and the
// message pass the MIDI stop runs.
#include "engine/api/network_midi_services.h"

#include "engine/api/library_services.h"
#include "engine/core/network/http_tasks.h"
#include "engine/core/network/socket_layer.h"
#include "engine/core/sound/midi_handles.h"
#include "engine/core/sound/sound_buffer.h"
#include "engine/core/sound/sound_output.h"
#include "engine/core/window/message_pump.h"
#include "platform/audio_mixer.h"
#include "platform/smf_player_loader.h"

void LibraryNetworkService::ClearHttpTasks() { ::ClearHttpTasks(); }
void LibraryNetworkService::DeleteAllHttpTasks() { ::DeleteAllHttpTasks(); }
void LibraryNetworkService::TerminateNetwork() { ::TerminateNetwork(); }
void LibraryNetworkService::PumpNetworkWindow(int close_finished) { ::PumpNetworkWindow(close_finished); }
void LibraryNetworkService::RunHttpTasks() { RunAllHttpTasks(); }
// The socket comes as the first word, the event and its error code as the
// second.
int64_t LibraryNetworkService::HandleSocketEvent(uint64_t wparam, int64_t lparam) {
  return ::HandleSocketEvent(static_cast<int>(lparam), static_cast<int>(wparam));
}

void ConnectMidiMessagePass() {
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
