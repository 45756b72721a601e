// Standard MIDI File reader: checks a whole file (header chunk, track
// chunks, every event with running status, variable-length numbers of at
// most four bytes) and merges the tracks into one event list in time order.
// Everything is bounds-checked: a damaged or truncated file is refused with
// its error, never read past its end, and the event list never holds more
// entries than the file has bytes. Times are ticks; tempos microseconds per
// quarter note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace smf {

// The largest file accepted.
inline constexpr size_t kMaxFileBytes = 16u * 1024u * 1024u;

enum class Error {
  kNone,
  kTooLarge,
  kNotMidi,       // no "MThd" chunk of at least six bytes at the start
  kBadHeader,     // format above 2, no tracks, or a zero time division
  kTruncated,     // a chunk, number or event runs past the end
  kBadEvent,      // a data byte without running status, or a status that no file holds
  kNoTracks,      // no "MTrk" chunk found
};

struct Event {
  uint64_t tick = 0;
  uint8_t status = 0;  // channel messages 0x80-0xEF; 0xF0 / 0xF7 system exclusive; 0xFF meta
  uint8_t data1 = 0;   // meta: the meta type
  uint8_t data2 = 0;
  uint32_t tempo = 0;       // meta 0x51: microseconds per quarter note
  uint32_t data_offset = 0; // system exclusive: its bytes in Song::bytes
  uint32_t data_length = 0;
};

struct Song {
  int format = 0;
  int track_count = 0;   // tracks found
  uint16_t division = 0; // as stored
  std::vector<Event> events;  // channel, system exclusive and tempo events, in time order
  uint64_t end_tick = 0;      // the last event or end-of-track marker
  std::vector<uint8_t> bytes; // the checked copy of the file
};

Error ReadSong(const uint8_t* data, size_t size, Song* song);

// Seconds per tick at the given tempo for the song's division (SMPTE
// divisions ignore the tempo).
double SecondsPerTick(uint16_t division, uint32_t tempo);
inline constexpr uint32_t kDefaultTempo = 500000;

// Seconds from the start to tick, following the song's tempo events.
double SecondsAtTick(const Song& song, double tick);
// The tick reached after seconds (fractional), following the tempo events.
double TickAtSeconds(const Song& song, double seconds);

}  // namespace smf
