// Sound decoding: a 10 s stereo OGG Vorbis image read to the end through
// ReadSoundConvert against libvorbisfile's ov_read into a 4096-byte buffer
// over the same image (the converter's own cost is what lies between), and
// the WAVE codecs (A-law, IMA and Microsoft ADPCM) decoded through the
// converter against memcpy of the PCM they produce. Each pair reports
// reference time / our time; the summary is printed when the program ends.
#include <benchmark/benchmark.h>
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/core/files/file_stream.h"
#include "engine/core/sound/sound_convert.h"
#include "platform/clock.h"
#include "tools/sound_writers/sound_writers.h"

namespace {

// ---- timing and the ratio summary --------------------------------------------

template <class F>
double TimedNs(benchmark::State& state, F&& body) {
  platform::Clock& clock = platform::GetClock();
  const uint64_t t0 = clock.Microseconds();
  for (auto _ : state) body();
  const uint64_t t1 = clock.Microseconds();
  return state.iterations() ? double(t1 - t0) * 1000.0 / double(state.iterations()) : 0.0;
}

struct Summary {
  std::map<std::string, double> ns;
  std::map<std::string, std::string> lines;
  ~Summary() {
    if (lines.empty()) return;
    std::printf("\nSound decoding vs references (time ratio reference / ours, above 1 = ours faster)\n");
    for (const auto& [key, line] : lines) std::printf("  %s\n", line.c_str());
  }
  void Record(benchmark::State& state, const std::string& key, double time, const std::string& ours,
              const std::string& reference) {
    ns[key] = time;
    if (!ns.count(ours) || !ns.count(reference) || ns[ours] <= 0) return;
    const double ratio = ns[reference] / ns[ours];
    state.counters["ref_over_ours"] = ratio;
    char line[160];
    std::snprintf(line, sizeof line, "%-28s vs %-22s %6.3f", ours.c_str(), reference.c_str(), ratio);
    lines[ours] = line;
  }
};

Summary& Ratios() {
  static Summary summary;
  return summary;
}

// ---- sound images ------------------------------------------------------------------

const std::vector<uint8_t>& OggImage() {
  static const std::vector<uint8_t> image =
      writers::EncodeOggVorbis(writers::TestSignal(441000, 2, 7), 2, 44100, 0.4f);
  return image;
}

const std::vector<uint8_t>& WaveImage(const std::string& codec) {
  static std::map<std::string, std::vector<uint8_t>> images;
  auto& image = images[codec];
  if (image.empty()) {
    const std::vector<int16_t> signal = writers::TestSignal(441000, 2, 8);
    if (codec == "alaw") {
      writers::WaveFmt fmt;
      fmt.tag = 6;
      fmt.bits = 8;
      fmt.block_align = 2;
      std::vector<uint8_t> codes;
      for (int16_t s : signal) codes.push_back(writers::EncodeALaw(s));
      image = writers::WaveFile(fmt, codes);
    } else {
      const writers::AdpcmFile file = codec == "ima" ? writers::EncodeImaAdpcm(signal, 2, 44100, 2048)
                                                     : writers::EncodeMsAdpcm(signal, 2, 44100, 2048);
      image = writers::WaveFile(file.fmt, file.data);
    }
  }
  return image;
}

// Opens a converter over the image, reads it to the end in 4096-byte pieces
// and closes it; the bytes produced.
int64_t ConvertThrough(const std::vector<uint8_t>& image) {
  MemoryStream* stream = OpenMemoryStream(image.data(), static_cast<int32_t>(image.size()));
  SoundConvert convert;
  int64_t total = 0;
  if (OpenSoundConvert(GetMemoryStreamOps(), MemoryStreamHandle(stream), &convert) == 0) {
    uint8_t buffer[4096];
    int64_t got;
    while ((got = ReadSoundConvert(&convert, buffer, sizeof buffer)) > 0) {
      benchmark::DoNotOptimize(buffer);
      total += got;
    }
    CloseSoundConvert(&convert);
  }
  CloseMemoryStream(MemoryStreamHandle(stream));
  return total;
}

struct MemoryReader {
  const std::vector<uint8_t>* bytes;
  size_t position = 0;
};

size_t ReadMemory(void* out, size_t size, size_t count, void* source) {
  auto* r = static_cast<MemoryReader*>(source);
  const size_t n = std::min(size * count, r->bytes->size() - r->position);
  std::memcpy(out, r->bytes->data() + r->position, n);
  r->position += n;
  return size ? n / size : 0;
}
int SeekMemory(void* source, ogg_int64_t offset, int origin) {
  auto* r = static_cast<MemoryReader*>(source);
  const int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<int64_t>(r->position)
                                                                   : static_cast<int64_t>(r->bytes->size());
  const int64_t target = base + offset;
  if (target < 0 || target > static_cast<int64_t>(r->bytes->size())) return -1;
  r->position = static_cast<size_t>(target);
  return 0;
}
long TellMemory(void* source) { return static_cast<long>(static_cast<MemoryReader*>(source)->position); }

int64_t PlainOvRead(const std::vector<uint8_t>& image) {
  MemoryReader reader{&image};
  const ov_callbacks callbacks = {ReadMemory, SeekMemory, nullptr, TellMemory};
  OggVorbis_File file;
  int64_t total = 0;
  if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) return 0;
  char buffer[4096];
  int stream = 0;
  long got;
  while ((got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &stream)) > 0) {
    benchmark::DoNotOptimize(buffer);
    total += got;
  }
  ov_clear(&file);
  return total;
}

// ---- benchmarks ------------------------------------------------------------------

void BM_OggOvReadReference(benchmark::State& state) {
  const auto& image = OggImage();
  int64_t bytes = 0;
  const double ns = TimedNs(state, [&] { bytes = PlainOvRead(image); });
  state.SetBytesProcessed(state.iterations() * bytes);
  Ratios().Record(state, "ogg ov_read", ns, "ogg ReadSoundConvert", "ogg ov_read");
}
BENCHMARK(BM_OggOvReadReference)->Unit(benchmark::kMillisecond);

void BM_OggReadSoundConvert(benchmark::State& state) {
  const auto& image = OggImage();
  int64_t bytes = 0;
  const double ns = TimedNs(state, [&] { bytes = ConvertThrough(image); });
  state.SetBytesProcessed(state.iterations() * bytes);
  Ratios().Record(state, "ogg ReadSoundConvert", ns, "ogg ReadSoundConvert", "ogg ov_read");
}
BENCHMARK(BM_OggReadSoundConvert)->Unit(benchmark::kMillisecond);

// The PCM a 10 s stereo sound decodes to, copied once: the floor under any
// decoder that must write it.
void BM_PcmMemcpyReference(benchmark::State& state) {
  std::vector<uint8_t> from(441000 * 4, 1), to(from.size());
  const double ns = TimedNs(state, [&] {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::DoNotOptimize(to.data());
  });
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(from.size()));
  Ratios().ns["pcm memcpy"] = ns;
  for (const char* codec : {"alaw", "ima", "msadpcm"}) {
    const std::string ours = std::string(codec) + " ReadSoundConvert";
    if (Ratios().ns.count(ours)) Ratios().Record(state, "pcm memcpy", ns, ours, "pcm memcpy");
  }
}
BENCHMARK(BM_PcmMemcpyReference)->Unit(benchmark::kMillisecond);

void BM_WaveCodecReadSoundConvert(benchmark::State& state, const char* codec) {
  const auto& image = WaveImage(codec);
  int64_t bytes = 0;
  const double ns = TimedNs(state, [&] { bytes = ConvertThrough(image); });
  state.SetBytesProcessed(state.iterations() * bytes);
  const std::string ours = std::string(codec) + " ReadSoundConvert";
  Ratios().Record(state, ours, ns, ours, "pcm memcpy");
}
BENCHMARK_CAPTURE(BM_WaveCodecReadSoundConvert, alaw, "alaw")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WaveCodecReadSoundConvert, ima, "ima")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WaveCodecReadSoundConvert, msadpcm, "msadpcm")->Unit(benchmark::kMillisecond);

}  // namespace
