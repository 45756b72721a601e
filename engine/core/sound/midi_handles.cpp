// MIDI handles over an empty table, and the segment road's fallback.
#include "engine/core/sound/midi_handles.h"

#include <memory>

#include "engine/core/base/library_handle.h"
#include "engine/core/base/log.h"
#include "engine/core/base/tracked_memory.h"
#include "engine/core/sound/sound_output.h"

namespace {

constexpr int kMessagePassesAfterStop = 5;

struct MidiState {
  HandleTable<MidiRecord> table{HandleType::kMidi};
  int road = 0;
  int ready = 0;
  int sequencer_playing = 0;
  int sequencer_loop = 0;
  int temp_file = 0;
  int pending_release = 0;
  PendingSoundOps sound_ops;
  std::function<int()> message_pass;
};

MidiState& State() {
  static MidiState state;
  return state;
}

// The table answers while sound is up (or a test said it is).
bool Ready() { return State().ready != 0 || IsSoundStarted() == 1; }

MidiRecord* Find(int handle) {
  MidiState& s = State();
  if (!Ready()) return nullptr;
  return s.table.Find(handle);
}

}  // namespace

int GetSoundRoad() { return State().road; }
void SetSoundRoad(int road) { State().road = road; }

int StartSegmentRoad() {
  MidiState& s = State();
  if (s.road != 1) return 0;
  WriteLog("DirectSound8 の初期化を行います\n");
  // No loader object exists on this system.
  WriteLog("DirectMusicLoader8 オブジェクトの作成に失敗しました\n");
  WriteLog("前バージョンでの初期化処理に移ります\n");
  s.road = 0;
  return 1;
}

void SetMidiSoundReady(int ready) { State().ready = ready != 0 ? 1 : 0; }

int TerminateMidi() {
  DeleteAllMidi();
  // The segment road's objects are never made, so closing it releases
  // nothing; the road word stays as it is.
  State().ready = 0;
  return 0;
}

int IsMidiPlaying(int handle) {
  MidiRecord* record = Find(handle);
  if (record == nullptr) return -1;
  return State().road == 1 ? record->playing : State().sequencer_playing;
}

int StopMidi(int handle) {
  MidiState& s = State();
  MidiRecord* record = Find(handle);
  if (record == nullptr) return -1;
  if (s.road == 0) {
    s.sequencer_loop = 0;
    HandleMciNotify();
    for (int i = 0; i < kMessagePassesAfterStop && s.message_pass; ++i) s.message_pass();
  }
  s.temp_file = 0;  // no temporary file is ever written here
  record = Find(handle);
  if (record == nullptr) return 0;
  record->playing = 0;
  record->started = 0;
  return 0;
}

int DeleteMidi(int handle) {
  MidiState& s = State();
  if (Find(handle) == nullptr) return -1;
  if (IsMidiPlaying(handle) == 1) StopMidi(handle);
  std::unique_ptr<MidiRecord> record = s.table.Remove(handle);
  if (!record) return -1;
  TrackedFree(record->data);
  return 0;
}

int DeleteAllMidi() {
  MidiState& s = State();
  if (!Ready()) return -1;
  for (int slot = 0; slot < s.table.capacity(); ++slot) {
    const int handle = s.table.HandleAt(slot);
    if (handle != kNoLibraryHandle) DeleteMidi(handle);
  }
  return 0;
}

int UpdateMidiPlayState() {
  MidiState& s = State();
  if (s.road != 1 || !Ready()) return 0;
  // No segment ever plays here: every record asked answers "not playing".
  s.table.ForEachLive([](int, MidiRecord& record) {
    if (record.playing == 0) return;
    const int segment_playing = 0;
    if (record.started == 0) {
      if (segment_playing > 0) record.started = 1;
    } else {
      record.playing = segment_playing;
    }
  });
  return 0;
}

int HandleMciNotify() {
  MidiState& s = State();
  if (s.sequencer_loop != 0) {
    s.sequencer_playing = 1;  // played again from the top
  } else if (s.sequencer_playing != 0) {
    s.sequencer_playing = 0;  // closed
  }
  return 0;
}

int ReleasePendingSound() {
  MidiState& s = State();
  const int handle = s.pending_release;
  if (handle == 0) return 0;
  s.pending_release = 0;
  if (HandleTypeBits(handle) == static_cast<uint32_t>(HandleType::kMidi)) {
    StopMidi(handle);
    DeleteMidi(handle);
  } else {
    if (s.sound_ops.stop_sound) s.sound_ops.stop_sound(handle);
    if (s.sound_ops.delete_sound) s.sound_ops.delete_sound(handle);
  }
  return 0;
}

void SetPendingRelease(int handle) { State().pending_release = handle; }
void SetPendingSoundOps(const PendingSoundOps& ops) { State().sound_ops = ops; }
void SetMidiMessagePass(std::function<int()> pass) { State().message_pass = std::move(pass); }

int AddMidiRecordForTests(int playing) {
  MidiState& s = State();
  const int slot = s.table.FirstFreeSlot();
  if (slot < 0) return -1;
  auto record = std::make_unique<MidiRecord>();
  record->playing = playing;
  record->started = playing;
  record->data = static_cast<uint8_t*>(TrackedCalloc(16, "", 0));
  record->size = record->data != nullptr ? 16 : 0;
  const int handle = s.table.Insert(slot, std::move(record));
  if (handle >= 0) s.table.Find(handle)->check = static_cast<int>(HandleCheck(handle));
  if (s.road == 0 && playing != 0) s.sequencer_playing = 1;
  return handle;
}

int CountMidiHandles() { return State().table.live_count(); }

void ResetMidiHandles() {
  MidiState& s = State();
  for (int slot = 0; slot < s.table.capacity(); ++slot) {
    if (MidiRecord* record = s.table.RecordAt(slot)) TrackedFree(record->data);
  }
  s.table.Clear();
  s.road = 0;
  s.ready = 0;
  s.sequencer_playing = 0;
  s.sequencer_loop = 0;
  s.temp_file = 0;
  s.pending_release = 0;
}
