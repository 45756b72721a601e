// vesk-make-sound-seeds DIR: writes one small sound file of every kind the
// sound converter reads into DIR (the fuzz target's seeds).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/sound_writers/sound_writers.h"

namespace {

void Save(const std::filesystem::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(folder / name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

writers::WaveFmt Fmt(uint16_t tag, uint16_t channels, uint16_t bits, uint16_t block_align,
                     std::vector<uint8_t> extra = {}) {
  writers::WaveFmt f;
  f.tag = tag;
  f.channels = channels;
  f.rate = 22050;
  f.bits = bits;
  f.block_align = block_align;
  f.extra = std::move(extra);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vesk-make-sound-seeds DIR\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  using namespace writers;
  const std::vector<int16_t> stereo = TestSignal(300, 2, 1);
  const std::vector<int16_t> mono = TestSignal(1100, 1, 2);

  Save(folder, "pcm16_stereo.wav", WaveFile(Fmt(1, 2, 16, 4), Pcm16Bytes(stereo)));
  WaveFmt short_fmt = Fmt(1, 1, 8, 1);
  short_fmt.with_cb_size = false;
  Save(folder, "pcm8_short_fmt.wav", WaveFile(short_fmt, std::vector<uint8_t>(200, 0x80)));
  Save(folder, "chunks.wav",
       RiffWaveFile({{"fmt ", FmtChunkData(Fmt(1, 1, 16, 2)), {}},
                     {"LIST", {'I', 'N', 'F'}, {}},
                     {"data", Pcm16Bytes(mono), 5000u}}));
  std::vector<uint8_t> wide;
  for (int16_t s : stereo) wide.insert(wide.end(), {0x12, static_cast<uint8_t>(s), static_cast<uint8_t>(s >> 8)});
  Save(folder, "pcm24.wav", WaveFile(Fmt(1, 2, 24, 6), wide));
  std::vector<uint8_t> floats;
  for (int16_t s : mono) {
    const float f = s / 20000.0f;
    const auto* p = reinterpret_cast<const uint8_t*>(&f);
    floats.insert(floats.end(), p, p + 4);
  }
  Save(folder, "float32.wav", WaveFile(Fmt(3, 1, 32, 4), floats));
  Save(folder, "extensible_float.wav",
       WaveFile(Fmt(0xFFFE, 1, 32, 4, {32, 0, 4, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}),
                floats));
  std::vector<uint8_t> alaw, mulaw;
  for (int16_t s : mono) {
    alaw.push_back(EncodeALaw(s));
    mulaw.push_back(EncodeMuLaw(s));
  }
  Save(folder, "alaw.wav", WaveFile(Fmt(6, 1, 8, 1), alaw));
  Save(folder, "mulaw.wav", WaveFile(Fmt(7, 1, 8, 1), mulaw));
  const AdpcmFile ima = EncodeImaAdpcm(TestSignal(1200, 2, 3), 2, 22050, 512);
  Save(folder, "ima_stereo.wav", WaveFile(ima.fmt, ima.data));
  const AdpcmFile ms = EncodeMsAdpcm(mono, 1, 22050, 256);
  Save(folder, "msadpcm_mono.wav", WaveFile(ms.fmt, ms.data));

  MpegFrameParams small;
  small.mpeg1 = false;
  small.bitrate_kbps = 16;
  small.rate = 24000;
  small.mono = true;
  WaveFmt mpeg = Fmt(0x55, 1, 0, 1, {1, 0, 2, 0, 0, 0, 48, 0, 1, 0, 0x71, 0x05});
  mpeg.rate = 24000;
  Save(folder, "mpeg_in_wave.wav", WaveFile(mpeg, SilentMp3(small, 6)));
  std::vector<uint8_t> footer = {'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0, 5};
  Save(folder, "silent_tagged.mp3", Concat({Id3v2Tag(4, 0x10, 5), footer, SilentMp3(small, 8, true), Id3v1Tag()}));
  Save(folder, "layer1.mp3", ToneMpegLayer1(10, 5));
  Save(folder, "tone.ogg", EncodeOggVorbis(TestSignal(2000, 1, 4), 1, 8000, 0.0f));
  return 0;
}
