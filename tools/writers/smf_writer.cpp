// Standard MIDI File writer.
#include "tools/writers/smf_writer.h"

namespace {

void Be32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

}  // namespace

void AppendSmfNumber(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[5];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0 && count < 5);
  while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

SmfTrackWriter& SmfTrackWriter::Raw(uint32_t delta, std::vector<uint8_t> bytes) {
  AppendSmfNumber(bytes_, delta);
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}
SmfTrackWriter& SmfTrackWriter::NoteOn(uint32_t delta, int channel, int key, int velocity) {
  return Raw(delta, {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), static_cast<uint8_t>(velocity)});
}
SmfTrackWriter& SmfTrackWriter::NoteOff(uint32_t delta, int channel, int key) {
  return Raw(delta, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 64});
}
SmfTrackWriter& SmfTrackWriter::Program(uint32_t delta, int channel, int program) {
  return Raw(delta, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)});
}
SmfTrackWriter& SmfTrackWriter::Controller(uint32_t delta, int channel, int controller, int value) {
  return Raw(delta, {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller),
                     static_cast<uint8_t>(value)});
}
SmfTrackWriter& SmfTrackWriter::Tempo(uint32_t delta, uint32_t microseconds) {
  return Raw(delta, {0xFF, 0x51, 0x03, static_cast<uint8_t>(microseconds >> 16), static_cast<uint8_t>(microseconds >> 8),
                     static_cast<uint8_t>(microseconds)});
}
SmfTrackWriter& SmfTrackWriter::EndOfTrack(uint32_t delta) { return Raw(delta, {0xFF, 0x2F, 0x00}); }

std::vector<uint8_t> WriteSmf(int format, uint16_t division, const std::vector<SmfTrackWriter>& tracks) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
  Be32(out, 6);
  out.push_back(static_cast<uint8_t>(format >> 8));
  out.push_back(static_cast<uint8_t>(format));
  out.push_back(static_cast<uint8_t>(tracks.size() >> 8));
  out.push_back(static_cast<uint8_t>(tracks.size()));
  out.push_back(static_cast<uint8_t>(division >> 8));
  out.push_back(static_cast<uint8_t>(division));
  for (const SmfTrackWriter& track : tracks) {
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    Be32(out, static_cast<uint32_t>(track.bytes().size()));
    out.insert(out.end(), track.bytes().begin(), track.bytes().end());
  }
  return out;
}
