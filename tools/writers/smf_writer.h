// Writes Standard MIDI Files from tracks of events: the header chunk
// ("MThd", six bytes: format, track count, division) and one "MTrk" chunk
// per track, big-endian lengths, delta times as variable-length numbers.
// Tests, fuzz seeds and benchmarks build their MIDI fixtures with it.
#pragma once

#include <cstdint>
#include <vector>

class SmfTrackWriter {
 public:
  // Any event: delta ticks, then its bytes as they stand (status included,
  // or left out for running status).
  SmfTrackWriter& Raw(uint32_t delta, std::vector<uint8_t> bytes);
  SmfTrackWriter& NoteOn(uint32_t delta, int channel, int key, int velocity);
  SmfTrackWriter& NoteOff(uint32_t delta, int channel, int key);
  SmfTrackWriter& Program(uint32_t delta, int channel, int program);
  SmfTrackWriter& Controller(uint32_t delta, int channel, int controller, int value);
  // Meta tempo: microseconds per quarter note.
  SmfTrackWriter& Tempo(uint32_t delta, uint32_t microseconds);
  SmfTrackWriter& EndOfTrack(uint32_t delta);
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

void AppendSmfNumber(std::vector<uint8_t>& out, uint32_t value);
std::vector<uint8_t> WriteSmf(int format, uint16_t division, const std::vector<SmfTrackWriter>& tracks);
