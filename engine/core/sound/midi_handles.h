// The MIDI handle table (HandleType 11, 256 slots) and the start-up road of
// the sound system that would play through it. Nothing in the player makes a
// MIDI handle or selects the second road: the game's MIDI music goes through
// the outside MIDI library instead. What runs is the check, stop and delete
// operations over the empty table, the per-pass state step, the sequencer's
// notification handler, the release of a pending one-shot sound, and the
// road's start-up fallback and shutdown. Tests add records through
// AddMidiRecordForTests.
//
// All of it runs under ApiLock. Results: 0 success, -1 failure.
#pragma once

#include <cstdint>
#include <functional>

struct MidiRecord {
  int check = 0;
  int playing = 0;
  int started = 0;
  uint8_t* data = nullptr;  // tracked block
  uint32_t size = 0;
  int segment = 0;          // the segment object on the second road (none here)
};

// The sound start-up road: 0 the plain road, 1 the segment road.
int GetSoundRoad();
void SetSoundRoad(int road);

// Sound start-up's segment road: logs its first step and, since the loader
// object cannot be made here, logs the fallback, sets the road to 0 and
// answers 1 (go on with the plain road). Answers 0 without doing anything
// when the road is 0.
int StartSegmentRoad();
// Marks the table usable without sound output (tests); it is usable anyway
// while sound is up.
void SetMidiSoundReady(int ready);
// Sound shutdown's part: deletes every handle, closes the segment road
// when it was taken, and clears the test mark. 0.
int TerminateMidi();

int IsMidiPlaying(int handle);
int StopMidi(int handle);
int DeleteMidi(int handle);
int DeleteAllMidi();
int UpdateMidiPlayState();
int HandleMciNotify();
int ReleasePendingSound();

// The one-shot handle to release at shutdown (0 none); sound handles are
// stopped and deleted through the given operations.
void SetPendingRelease(int handle);
struct PendingSoundOps {
  std::function<int(int)> stop_sound;
  std::function<int(int)> delete_sound;
};
void SetPendingSoundOps(const PendingSoundOps& ops);
// The message pass that StopMidi runs five times on the sequencer road
// (the entry layer installs ProcessMessage; empty: none).
void SetMidiMessagePass(std::function<int()> pass);

// Test door: a record with the given playing flag, its handle or -1.
int AddMidiRecordForTests(int playing);
int CountMidiHandles();
// Empties the table and puts every flag back (tests).
void ResetMidiHandles();
