// Standard MIDI Files from untrusted bytes: the check and track merge of the
// MIDI library, and the tempo map over whatever it accepted.
#include <cstddef>
#include <cstdint>

#include "platform/smf_player/smf_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  smf::Song song;
  if (smf::ReadSong(data, size, &song) != smf::Error::kNone) {
    if (!song.events.empty()) __builtin_trap();
    return 0;
  }
  if (song.events.size() > size || song.bytes.size() != size) __builtin_trap();
  for (size_t i = 1; i < song.events.size(); ++i) {
    if (song.events[i].tick < song.events[i - 1].tick) __builtin_trap();
  }
  for (const smf::Event& e : song.events) {
    if (e.data_length > size || e.data_offset > size - e.data_length) __builtin_trap();
  }
  const double seconds = smf::SecondsAtTick(song, static_cast<double>(song.end_tick));
  if (!(seconds >= 0)) __builtin_trap();
  (void)smf::TickAtSeconds(song, seconds / 2);
  return 0;
}
