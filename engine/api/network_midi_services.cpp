// The socket layer and the HTTP tasks behind the network seam, and the
// message pass the MIDI stop runs.
#include "engine/api/network_midi_services.h"

#include "engine/api/library_services.h"
#include "engine/core/network/http_tasks.h"
#include "engine/core/network/socket_layer.h"
#include "engine/core/sound/midi_handles.h"
#include "engine/core/window/message_pump.h"

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
}
