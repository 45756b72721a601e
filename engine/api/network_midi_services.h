// Where the message pass, the window procedure and library shutdown reach
// the socket layer, the HTTP tasks and the MIDI handle table: the one place
// that installs those upward hooks. The player and the tests call both
// registrations before StartLibrary.
#pragma once

struct LibraryServices;

// Fills LibraryServices::network and the window hooks pump_network_window,
// run_http_tasks and handle_socket_event.
void RegisterNetworkServices(LibraryServices& services);
// Fills the window hooks update_midi_play_state and handle_mci_notify and
// LibraryServices::sound.release_pending_sound, gives the MIDI layer the
// message pass its stop runs and sound shutdown its MIDI step, and attaches
// the MIDI library's output (once loaded) to the sound mixer. Call it after
// RegisterSoundServices.
void RegisterMidiServices(LibraryServices& services);
