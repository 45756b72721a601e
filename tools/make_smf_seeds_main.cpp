// vesk-make-smf-seeds DIR: writes small Standard MIDI Files of each format
// and division kind into DIR (the MIDI fuzz target's seeds).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/writers/smf_writer.h"

namespace {

void Save(const std::filesystem::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vesk-make-smf-seeds DIR\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  SmfTrackWriter melody;
  melody.Program(0, 0, 73).NoteOn(0, 0, 69, 100).Raw(96, {0x45, 0x00}).Controller(0, 0, 7, 100)
      .Raw(0, {0xE0, 0x00, 0x40}).Raw(10, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).EndOfTrack(10);
  SmfTrackWriter conductor;
  conductor.Tempo(0, 500000).Raw(0, {0xFF, 0x03, 0x04, 'n', 'a', 'm', 'e'}).Tempo(48, 400000).EndOfTrack(0);
  Save(folder, "format0.mid", WriteSmf(0, 96, {melody}));
  Save(folder, "format1.mid", WriteSmf(1, 480, {conductor, melody}));
  Save(folder, "smpte.mid", WriteSmf(2, 0xE728, {melody, conductor}));
  return 0;
}
