// The socket layer, the HTTP tasks and the MIDI handle table meet the
// message pass, the window procedure and library shutdown through the
// network and sound seams (LibraryNetworkService, LibrarySoundService in
// library_services.h). What is left here is the one downward hand-over.
#pragma once

// Gives the MIDI layer the message pass its stop runs and sound shutdown its
// MIDI step, and attaches the MIDI library's output (once loaded) to the
// sound mixer. LibraryServiceSet calls it after ConnectSoundMessagePass.
void ConnectMidiMessagePass();
